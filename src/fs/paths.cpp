#include "fs/paths.h"

namespace {

const wchar_t kLongPathPrefix[] = L"\\\\?\\";

}  // namespace

void AppendBackslash(WideString& path) {
    if (!path.empty() && path.back() != L'\\') path += L'\\';
}

WideString ParentFolder(const WideString& path) {
    const size_t slash = path.rfind(L'\\');
    if (slash == WideString::npos) return WideString();
    return path.substr(0, slash);
}

void ReplaceExtension(WideString& path, const WideString& extension) {
    const size_t dot = path.rfind(L'.');
    if (dot == WideString::npos) return;
    path.replace(dot, WideString::npos, extension);
}

void SanitizeFileName(WideString& name) {
    for (wchar_t& c : name) {
        switch (c) {
        case L'<': case L'>': case L':': case L'"': case L'/':
        case L'\\': case L'|': case L'?': case L'*':
            c = L'_';
            break;
        default:
            break;
        }
    }
}

bool IsUncPath(const WideString& path) {
    return path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'?';
}

bool HasLongPathPrefix(const WideString& path) {
    return path.compare(0, 4, kLongPathPrefix) == 0;
}

WideString SkipLongPathPrefix(const WideString& path) {
    return HasLongPathPrefix(path) ? path.substr(4) : path;
}

bool IsAbsolutePath(const WideString& path) {
    if (path.size() < 2) return false;
    return (path[0] == L'\\' && path[1] == L'\\') || path[1] == L':';
}

bool IsLookupCandidate(const WideString& path) {
    if (path.empty()) return false;
    return path[0] == L'\\' || path.find(L':') != WideString::npos;
}

std::vector<WideString> SplitPath(const WideString& path) {
    WideString prefix;
    WideString text = path;
    if (HasLongPathPrefix(text)) {
        prefix = kLongPathPrefix;
        text = text.substr(4);
    }
    // The root of a UNC path is "\\" and the server name.
    const size_t searchFrom = IsUncPath(text) ? 2 : 0;
    const size_t slash = text.find(L'\\', searchFrom);
    const WideString root = prefix + (slash == WideString::npos ? text : text.substr(0, slash));

    std::vector<WideString> parts;
    if (!root.empty()) parts.push_back(root);
    if (slash == WideString::npos) return parts;

    size_t start = slash + 1;
    while (start < text.size()) {
        size_t end = text.find(L'\\', start);
        if (end == WideString::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

WideString NormalizePath(const WideString& path) {
    WideString result;
    for (const WideString& component : SplitPath(path)) {
        if (!result.empty() && result.back() != L']') AppendBackslash(result);
        size_t keep = component.size();
        while (keep > 0 && (component[keep - 1] == L' ' || component[keep - 1] == L'.')) --keep;
        result.append(component, 0, keep);
    }
    return result;
}
