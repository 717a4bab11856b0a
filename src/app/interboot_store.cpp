#include "app/interboot_store.h"

NarrowText SignedDecimal(int32_t number) {
    // Through 64 bits, so that the most negative number has its digits too.
    int64_t value = number;
    const bool negative = value < 0;
    if (negative) value = -value;
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    NarrowText text;
    if (negative) text += '-';
    while (count > 0) text += digits[--count];
    return text;
}

int32_t RegistryStore::SetNumber(const NarrowText& name, int32_t number) {
    return SetString(name, SignedDecimal(number));
}
