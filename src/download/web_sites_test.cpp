#include "download/web_sites.h"

#include "test/doctest_main.h"

namespace {

// Records everything in one list, so the order of status, log and opening
// across sites is visible.
class Recorder : public SiteOpener, public ProgressSink {
public:
    std::vector<WideString> Events;
    int CancelAtQuestion = -1;  // the question (from 0) that first answers true
    int Questions = 0;

    void LogLine(const WideString& text) override { Events.push_back(L"log " + text); }
    void OpenSite(const WideString& url) override { Events.push_back(L"open " + url); }

    void SetRange(uint32_t) override {}
    void SetItemRange(uint32_t, const wchar_t*) override {}
    void Complete(int32_t) override {}
    void SetStatusText(const wchar_t* text) override { Events.push_back(WideString(L"status ") + text); }
    void AddItemProgress(uint32_t) override {}
    bool IsCancelled() override {
        const bool cancelled = CancelAtQuestion >= 0 && Questions >= CancelAtQuestion;
        ++Questions;
        return cancelled;
    }
    bool IsPaused() override { return false; }
    void ReportItemError(uint32_t, uint32_t) override {}
};

const std::vector<SiteToOpen> kTwoSites = {
    {L"Runtime", L"http://example.test/runtime"},
    {L"Fonts 100%", L"https://example.test/fonts?a=1&b=%20"},
};

}  // namespace

TEST_CASE("OpenSiteList: silent mode logs and opens every site in order") {
    Recorder recorder;
    OpenSiteList(kTwoSites, nullptr, L"Opening site of %s", recorder);
    const std::vector<WideString> expected = {
        L"log Launching URL:http://example.test/runtime",
        L"open http://example.test/runtime",
        L"log Launching URL:https://example.test/fonts?a=1&b=%20",
        L"open https://example.test/fonts?a=1&b=%20",
    };
    CHECK(recorder.Events == expected);
    CHECK(recorder.Questions == 0);
}

TEST_CASE("OpenSiteList: with a sink, each site's status comes first; a cancel stops before the next site") {
    struct Case {
        int cancelAt;
        std::vector<WideString> expected;
    };
    const Case cases[] = {
        {-1,
         {L"status Opening site of Runtime", L"log Launching URL:http://example.test/runtime",
          L"open http://example.test/runtime", L"status Opening site of Fonts 100%",
          L"log Launching URL:https://example.test/fonts?a=1&b=%20", L"open https://example.test/fonts?a=1&b=%20"}},
        // Cancelled before the second site: nothing of it is shown, logged or opened.
        {1,
         {L"status Opening site of Runtime", L"log Launching URL:http://example.test/runtime",
          L"open http://example.test/runtime"}},
        {0, {}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.cancelAt);
        Recorder recorder;
        recorder.CancelAtQuestion = c.cancelAt;
        OpenSiteList(kTwoSites, &recorder, L"Opening site of %s", recorder);
        CHECK(recorder.Events == c.expected);
    }
}

TEST_CASE("OpenSiteList: nothing to open does nothing, and a name cannot widen the status format") {
    Recorder recorder;
    OpenSiteList({}, &recorder, L"Opening site of %s", recorder);
    CHECK(recorder.Events.empty());
    CHECK(recorder.Questions == 0);

    OpenSiteList({{L"%s %d", L""}}, &recorder, L"Opening site of %s", recorder);
    const std::vector<WideString> expected = {L"status Opening site of %s %d", L"log Launching URL:",
                                              L"open "};
    CHECK(recorder.Events == expected);
}
