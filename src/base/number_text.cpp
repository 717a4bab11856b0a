#include "base/number_text.h"

WideString UnsignedText(uint64_t value) { return ZeroPadded(value, 1); }

WideString DecimalText(int64_t value) {
    if (value >= 0) return UnsignedText(static_cast<uint64_t>(value));
    // The magnitude of the most negative value does not fit its own type.
    return L"-" + UnsignedText(0 - static_cast<uint64_t>(value));
}

namespace {

WideString PaddedDigits(uint64_t value, unsigned base, int width) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    wchar_t digits[24];
    int count = 0;
    do {
        digits[count++] = kDigits[value % base];
        value /= base;
    } while (value != 0);
    while (count < width && count < 24) digits[count++] = L'0';
    WideString text;
    text.reserve(count);
    while (count > 0) text += digits[--count];
    return text;
}

}  // namespace

WideString ZeroPadded(uint64_t value, int width) { return PaddedDigits(value, 10, width); }

WideString HexPadded(uint64_t value, int width) { return PaddedDigits(value, 16, width); }
