#include "detect/version.h"

#include "base/number_text.h"

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

const int32_t kMaxPart = 2147483647;

}  // namespace

bool VersionQuad::IsUnsetBound() const {
    return IsZero() || (Parts[0] == 65535 && Parts[1] == 65535 && Parts[2] == 65535 && Parts[3] == 65535);
}

bool ParseVersion(const WideString& text, VersionQuad& version) {
    version = VersionQuad();
    size_t i = 0;
    int part = 0;
    bool anyDigit = false;
    while (i < text.size() && part < 4) {
        if (!IsDigit(text[i])) {
            ++i;
            continue;
        }
        int64_t value = 0;
        while (i < text.size() && IsDigit(text[i])) {
            value = value * 10 + (text[i] - L'0');
            if (value > kMaxPart) {
                version = VersionQuad();
                return false;
            }
            ++i;
        }
        anyDigit = true;
        version.Parts[part++] = static_cast<int32_t>(value);
    }
    return anyDigit;
}

VersionQuad ParseVersion(const WideString& text) {
    VersionQuad version;
    ParseVersion(text, version);
    return version;
}

int CompareVersions(const VersionQuad& a, const VersionQuad& b) {
    for (int i = 0; i < 4; ++i) {
        if (a.Parts[i] < b.Parts[i]) return -1;
        if (a.Parts[i] > b.Parts[i]) return 1;
    }
    return 0;
}

WideString VersionToText(const VersionQuad& version) {
    int last = -1;
    for (int i = 0; i < 4; ++i) {
        if (version.Parts[i] != 0 && version.Parts[i] != 65535) last = i;
    }
    if (last < 0) return L"0.0.0.0";
    if (last < 1) last = 1;
    WideString text;
    for (int i = 0; i <= last; ++i) {
        if (i) text += L'.';
        text += DecimalText(version.Parts[i]);
    }
    return text;
}

WideString FileVersionText(uint32_t mostSignificant, uint32_t leastSignificant) {
    const unsigned parts[4] = {mostSignificant >> 16, mostSignificant & 0xFFFF, leastSignificant >> 16,
                               leastSignificant & 0xFFFF};
    WideString text;
    for (int i = 0; i < 4; ++i) {
        if (i) text += L'.';
        text += UnsignedText(parts[i]);
    }
    return text;
}

bool AcceptableVersionFound(const std::vector<WideString>& found, const WideString& verMin,
                            const WideString& verMax) {
    if (found.empty()) return false;
    const VersionQuad low = ParseVersion(verMin);
    const VersionQuad high = ParseVersion(verMax);
    if (low.IsZero() && high.IsZero()) return true;
    for (const WideString& text : found) {
        const VersionQuad version = ParseVersion(text);
        if (version.IsZero()) continue;
        if (!low.IsZero() && CompareVersions(version, low) < 0) continue;
        if (!high.IsZero() && CompareVersions(version, high) > 0) continue;
        return true;
    }
    return false;
}

bool FileVersionInRange(const VersionQuad& version, const VersionQuad& verMin, const VersionQuad& verMax) {
    const bool haveMin = !verMin.IsUnsetBound();
    const bool haveMax = !verMax.IsUnsetBound();
    if (!haveMin && !haveMax) return true;
    if (haveMin && CompareVersions(version, verMin) < 0) return false;
    if (haveMax && CompareVersions(version, verMax) > 0) return false;
    return true;
}
