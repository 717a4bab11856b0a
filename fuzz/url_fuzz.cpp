// libFuzzer target: the URL naming rules over arbitrary text. The input is
// UTF-16LE; its first code unit picks the scheme, and the rest holds up to
// four lines: URL, Folder, base folder, and a cracked URL path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "download/url_rules.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool AllFileNameChars(const WideString& text) {
    for (wchar_t c : text) {
        if (!IsFileNameChar(c)) return false;
    }
    return true;
}

bool StartsWith(const WideString& text, const WideString& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const WideString& text, const WideString& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Whether some ":" in the text is followed by digits worth more than 65535.
bool HasLargeNumberAfterColon(const WideString& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L':') continue;
        uint64_t value = 0;
        for (size_t j = i + 1; j < text.size() && text[j] >= L'0' && text[j] <= L'9' && value <= 65535; ++j) {
            value = value * 10 + static_cast<uint64_t>(text[j] - L'0');
        }
        if (value > 65535) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<WideString> lines(1);
    int32_t scheme = SchemeHttp;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (i == 0) {
            scheme = unit % 6;
        } else if (unit == L'\n' && lines.size() < 4) {
            lines.emplace_back();
        } else {
            lines.back() += unit;
        }
    }
    lines.resize(4);
    const WideString& url = lines[0];
    const WideString& folder = lines[1];
    const WideString& base = lines[2];
    const WideString& urlPath = lines[3];

    // A port is refused only when the URL really holds one that large.
    if (!UrlPortFits(url)) Check(url.find(L"://") != WideString::npos && HasLargeNumberAfterColon(url));

    const WideString name = FileNameFromUrl(url);
    Check(name.size() <= 40);
    Check(AllFileNameChars(name));
    Check(name.empty() || url.find(name) != WideString::npos);

    const WideString local = LocalPathFromFileUrl(url);
    Check(IsFileUrl(url) ? local == url.substr(7) : local.empty());

    // The download path lies in the base folder and ends with the file name
    // that Folder gives, or else with the URL's.
    const WideString path = LocalPathForDownload(base, url, folder);
    Check(StartsWith(path, base));
    const size_t question = folder.find(L'?');
    const WideString folderName = question == WideString::npos ? WideString() : folder.substr(question + 1);
    Check(EndsWith(path, folderName.empty() ? name : folderName));
    Check(path.size() <= base.size() + folder.size() + name.size() + 2);

    const WideString target = TargetNameFromUrlPath(urlPath, scheme);
    Check(EndsWith(target, L".vtu"));
    Check(AllFileNameChars(target));
    Check(target.size() <= urlPath.size() + 4);

    // A name from a URL can hold no ":", so it always joins the base folder.
    const WideString targetPath = TargetPathInFolder(target, base);
    Check(StartsWith(targetPath, base) && EndsWith(targetPath, target));
    Check(targetPath.size() <= base.size() + 1 + target.size());

    // Any other target (the configuration's) is either absolute or joined.
    const WideString anyPath = TargetPathInFolder(folder, base);
    Check(anyPath == folder || (StartsWith(anyPath, base) && EndsWith(anyPath, folder)));
    return 0;
}
