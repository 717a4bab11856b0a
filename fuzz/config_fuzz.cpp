// libFuzzer target: a configuration file's bytes through the parser and the
// whole typed configuration load, with the version texts it carries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/ini_document.h"
#include "config/setup_config.h"
#include "detect/version.h"

namespace {

class Environment : public ConfigEnvironment {
public:
    WideString ExpandReferences(const WideString& text) override { return text; }
    WideString TempFolder() override { return L"C:\\Temp\\"; }
};

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IniDocument doc;
    if (size >= 2) doc.ParseBytes(data + 2, size - 2);

    Environment environment;
    SetupConfig config;
    config.Load(doc, environment);
    ChainerOptions chainer;
    chainer.Read(doc);

    for (const Prerequisite& p : config.Prerequisites) {
        Check(p.LanguageList.empty() || p.LanguageList.back() == L';');
        Check(p.SkipDetection == p.HasOption(L'i'));
        Check(p.Status == Undefined && !p.Selected && !p.Downloaded);
        Check(p.LocationKind >= LocationSetupFile && p.LocationKind <= LocationOpenSite);
        for (const PrereqSearch& search : p.Searches) {
            VersionQuad low, high;
            ParseVersion(search.VerMin, low);
            ParseVersion(search.VerMax, high);
            AcceptableVersionFound({search.SearchString, search.RefContent}, search.VerMin, search.VerMax);
            FileVersionInRange(ParseVersion(search.SearchString), low, high);
            const WideString text = VersionToText(low);
            Check(!text.empty());
        }
    }
    // A folder text that normalises to nothing ("\ ", "...") resolves to
    // an empty folder; any other ends with a backslash.
    const WideString& extraction = config.ExtractionFolderPath();
    Check(extraction.empty() || extraction.back() == L'\\');
    const WideString& download = config.DownloadFolderPath();
    Check(download.empty() || download.back() == L'\\');
    return 0;
}
