#include "app/interboot_store.h"

#include "base/number_text.h"

NarrowText SignedDecimal(int32_t number) {
    NarrowText text;
    for (wchar_t c : DecimalText(number)) text += static_cast<char>(c);  // digits and "-": ASCII
    return text;
}

int32_t RegistryStore::SetNumber(const NarrowText& name, int32_t number) {
    return SetString(name, SignedDecimal(number));
}
