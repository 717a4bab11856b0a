#include "download/url_rules.h"

#include "fs/paths.h"

namespace {

const size_t kMaxUrlFileName = 40;
const wchar_t kFileScheme[] = L"file://";
const size_t kFileSchemeLength = 7;

// Position of the last character that can belong to the file name: the end
// of the URL, or the second "://" when the URL carries another one in its
// query. False for an empty URL, which has no last character.
bool FindNameEnd(const WideString& url, size_t& end) {
    if (url.empty()) return false;
    end = url.size() - 1;
    const size_t first = url.find(L"://");
    if (first == WideString::npos) return true;
    // find() from beyond the end simply finds nothing.
    const size_t second = url.find(L"://", first + 4);
    if (second != WideString::npos) end = second;
    return true;
}

}  // namespace

bool IsFileNameChar(wchar_t c) {
    switch (c) {
    case L'\\': case L'/': case L':': case L'*': case L'?':
    case L'"': case L'<': case L'>': case L'|':
        return false;
    default:
        return true;
    }
}

bool IsFileUrl(const WideString& location) {
    return location.compare(0, kFileSchemeLength, kFileScheme) == 0;
}

WideString LocalPathFromFileUrl(const WideString& location) {
    if (!IsFileUrl(location)) return WideString();
    return location.substr(kFileSchemeLength);
}

WideString FileNameFromUrl(const WideString& url) {
    size_t end0 = 0;
    if (!FindNameEnd(url, end0)) return WideString();

    // The name ends after the extension that the nearest "." before the end
    // starts, where that extension meets a character no file name may hold.
    size_t end = end0;
    const size_t dot = url.rfind(L'.', end0);
    if (dot != WideString::npos) {
        size_t i = dot + 1;
        while (i < end0 && IsFileNameChar(url[i])) ++i;
        if (i < end0) end = i - 1;
    }

    // Back from the end over allowed characters, at most 40 of them. Looking
    // at the character before `start` keeps the index from going below 0.
    size_t start = end + 1;
    while (start > 0 && end + 1 - start < kMaxUrlFileName && IsFileNameChar(url[start - 1])) --start;
    return url.substr(start, end + 1 - start);
}

WideString LocalPathForDownload(const WideString& baseFolder, const WideString& url, const WideString& folder) {
    WideString path = baseFolder;
    AppendBackslash(path);
    const size_t question = folder.find(L'?');
    WideString fileName;
    if (question == WideString::npos) {
        path += folder;
    } else {
        path.append(folder, 0, question);
        fileName = folder.substr(question + 1);
    }
    AppendBackslash(path);
    path += fileName.empty() ? FileNameFromUrl(url) : fileName;
    return path;
}

WideString TargetNameFromUrlPath(const WideString& urlPath, int32_t scheme) {
    WideString path = urlPath;
    if (!path.empty() && path.back() == L'/') path.pop_back();
    const size_t slash = path.rfind(L'/');
    WideString name = slash == WideString::npos ? WideString() : path.substr(slash + 1);

    // The parameters that follow the name: HTTP's query, FTP's type code.
    wchar_t cut = 0;
    if (scheme == SchemeHttp || scheme == SchemeHttps) cut = L'?';
    else if (scheme == SchemeFtp) cut = L';';
    const size_t at = cut ? name.find(cut) : WideString::npos;
    if (at != WideString::npos && at > 0) {
        name.erase(at);
    } else if (at == 0) {
        // No name before the query: take the first parameter's value, the
        // way "?file=setup.exe&lang=en" names its file.
        name.erase(0, 1);
        const size_t ampersand = name.find(L'&');
        if (ampersand != WideString::npos && ampersand > 0) name.erase(ampersand);
        const size_t equals = name.find(L'=');
        if (equals != WideString::npos && equals > 0) name.erase(0, equals + 1);
    }

    SanitizeFileName(name);
    if (name.find(L'.') != WideString::npos) ReplaceExtension(name, L".vtu");
    else name += L".vtu";
    return name;
}

WideString TargetPathInFolder(const WideString& name, const WideString& baseFolder) {
    if (name.find(L':', 1) != WideString::npos) return name;
    if (baseFolder.empty()) return name;
    WideString path = baseFolder;
    AppendBackslash(path);
    return path + name;
}

bool UrlPortFits(const WideString& url) {
    const size_t scheme = url.find(L"://");
    if (scheme == WideString::npos) return true;
    const size_t start = scheme + 3;
    size_t end = url.find_first_of(L"/?#", start);
    if (end == WideString::npos) end = url.size();
    // The host follows any user name and password; a bracketed IPv6
    // address has colons of its own.
    size_t host = url.rfind(L'@', end);
    host = host == WideString::npos || host < start ? start : host + 1;
    if (host < end && url[host] == L'[') {
        const size_t close = url.find(L']', host);
        if (close != WideString::npos && close < end) host = close;
    }
    const size_t colon = url.find(L':', host);
    if (colon == WideString::npos || colon >= end) return true;
    uint32_t port = 0;
    for (size_t i = colon + 1; i < end; ++i) {
        const wchar_t c = url[i];
        if (c < L'0' || c > L'9') return true;  // not a number: the cracker's to judge
        port = port * 10 + static_cast<uint32_t>(c - L'0');
        if (port > 65535) return false;
    }
    return true;
}
