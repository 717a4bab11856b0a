#include "download/web_sites.h"

#include "base/format_text.h"

void OpenSiteList(const std::vector<SiteToOpen>& sites, ProgressSink* sink, const WideString& statusFormat,
                  SiteOpener& opener) {
    for (const SiteToOpen& site : sites) {
        if (sink) {
            if (sink->IsCancelled()) return;
            sink->SetStatusText(FormatText(statusFormat, site.Name).c_str());
        }
        opener.LogLine(L"Launching URL:" + site.Location);
        opener.OpenSite(site.Location);
    }
}
