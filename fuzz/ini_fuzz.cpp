// libFuzzer target: a configuration file's bytes, as the loader sees them
// after the two it skips, through the parser and every lookup.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "config/ini_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IniDocument doc;
    if (size >= 2) doc.ParseBytes(data + 2, size - 2);

    std::vector<WideString> names;
    doc.GetSectionNames(names);
    if (names.size() != doc.Sections.size()) std::abort();
    for (const WideString& name : names) {
        // The first section of a name is the one found.
        const IniSection* found = doc.FindSection(name);
        if (!found || found->Name != name) std::abort();
        for (const IniEntry& entry : found->Entries) {
            const IniEntry* first = found->FindEntry(entry.Key);
            if (!first || first->Key != entry.Key) std::abort();
            // Keys and values come trimmed.
            for (const WideView* text : {&entry.Key, &entry.Value}) {
                if (!text->empty() && (IsIniWhiteSpace(text->front()) || IsIniWhiteSpace(text->back()))) std::abort();
            }
        }
        WideString value;
        doc.GetValue(name, L"Options", value);
    }
    return 0;
}
