#pragma once

#include "base/wide_string.h"
#include "download/web_sites.h"

// Sends the user's browser to `url`: writes an Internet shortcut for it into
// the temporary folder and has the shell open that file. Reports nothing and
// does not wait; the shortcut stays behind.
void OpenSite(const WideString& url);

// OpenSiteList's view of the real system: the log file (when enabled) and
// OpenSite.
class ShellSiteOpener : public SiteOpener {
public:
    void LogLine(const WideString& text) override;
    void OpenSite(const WideString& url) override;
};
