#pragma once

#include <vector>

#include "base/wide_string.h"
#include "ui/progress_sink.h"

// A prerequisite whose page the user is sent to: its name for the status
// line, its OpenSite location for the browser.
struct SiteToOpen {
    WideString Name;
    WideString Location;
};

// What opening the sites needs from the chain: the log and the shell.
class SiteOpener {
public:
    virtual ~SiteOpener() = default;
    virtual void LogLine(const WideString& text) = 0;
    virtual void OpenSite(const WideString& url) = 0;
};

// Opens the sites in the order given. With a sink, a cancel ends the work
// before the next site, and each site's status line is `statusFormat` filled
// with its name. Without a sink (silent mode) nothing is shown and nothing
// can cancel. Registering the restart and choosing which prerequisites are
// sites is the caller's.
void OpenSiteList(const std::vector<SiteToOpen>& sites, ProgressSink* sink, const WideString& statusFormat,
                  SiteOpener& opener);
