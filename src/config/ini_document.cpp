#include "config/ini_document.h"

#include <cstring>
#include <utility>

namespace {

const wchar_t kCr = 0x000D;
const wchar_t kLf = 0x000A;
const wchar_t kByteOrderMark = 0xFEFF;

// A header is recognised by its first and last character above U+0020.
bool IsHeaderBlank(wchar_t c) { return static_cast<unsigned long>(c) <= 0x20; }

WideView Trim(const wchar_t* begin, const wchar_t* end) {
    while (begin < end && IsIniWhiteSpace(*begin)) ++begin;
    while (end > begin && IsIniWhiteSpace(end[-1])) --end;
    return WideView(begin, static_cast<size_t>(end - begin));
}

}  // namespace

bool IsIniWhiteSpace(wchar_t c) {
    switch (static_cast<unsigned long>(c)) {
    case 0x0009: case 0x000A: case 0x000B: case 0x000C: case 0x000D:
    case 0x0020: case 0x00A0: case 0x1680:
    case 0x2000: case 0x2001: case 0x2002: case 0x2003: case 0x2004: case 0x2005:
    case 0x2006: case 0x2007: case 0x2008: case 0x2009: case 0x200A:
    case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
        return true;
    default:
        return false;
    }
}

WideString TextFromUtf16LeBytes(const unsigned char* data, size_t count) {
    WideString text;
    const size_t units = count / 2;
    text.resize(units);
#if defined(_WIN32)
    // Windows runs little-endian with a 16-bit wchar_t: the bytes are the text.
    if (units) std::memcpy(&text[0], data, units * 2);
#else
    for (size_t i = 0; i < units; ++i) {
        text[i] = static_cast<wchar_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
#endif
    return text;
}

const IniEntry* IniSection::FindEntry(WideView key) const {
    for (const IniEntry& entry : Entries) {
        if (entry.Key == key) return &entry;
    }
    return nullptr;
}

WideView IniDocument::Keep(const WideString& text) {
    texts_.push_back(std::unique_ptr<WideString>(new WideString(text)));
    return WideView(*texts_.back());
}

void IniDocument::AddEntry(IniSection& section, const WideString& key, const WideString& value) {
    const WideView keptKey = Keep(key);
    section.Entries.push_back(IniEntry{keptKey, Keep(value)});
}

IniSection* IniDocument::FindSection(const WideString& name) {
    for (IniSection& section : Sections) {
        if (section.Name == name) return &section;
    }
    return nullptr;
}

const IniSection* IniDocument::FindSection(const WideString& name) const {
    for (const IniSection& section : Sections) {
        if (section.Name == name) return &section;
    }
    return nullptr;
}

IniSection& IniDocument::AddSection(const WideString& name) {
    Sections.emplace_back();
    Sections.back().Name = Keep(name);
    return Sections.back();
}

void IniDocument::GetValue(const WideString& sectionName, const WideString& key,
                           WideString& value) const {
    const IniSection* section = FindSection(sectionName);
    if (!section) return;
    const IniEntry* entry = section->FindEntry(key);
    if (!entry) return;
    value.assign(entry->Value.data(), entry->Value.size());
}

void IniDocument::GetSectionNames(std::vector<WideString>& names) const {
    names.clear();
    for (const IniSection& section : Sections) names.push_back(WideString(section.Name));
}

void IniDocument::AddValue(const WideString& sectionName, const WideString& key,
                           const WideString& value) {
    IniSection* section = FindSection(sectionName);
    if (!section) section = &AddSection(sectionName);
    AddEntry(*section, key, value);
}

void IniDocument::ParseBytes(const unsigned char* data, size_t count) {
    Parse(TextFromUtf16LeBytes(data, count));
}

bool IniDocument::Parse(const WideString& text) {
    Sections.clear();
    texts_.clear();
    texts_.push_back(std::unique_ptr<WideString>(new WideString(text)));
    ParseOwned(*texts_.back());
    return false;
}

bool IniDocument::Parse(WideString&& text) {
    Sections.clear();
    texts_.clear();
    texts_.push_back(std::unique_ptr<WideString>(new WideString(std::move(text))));
    ParseOwned(*texts_.back());
    return false;
}

void IniDocument::ParseOwned(const WideString& text) {
    // Index of the current section; sections may move while the vector grows.
    size_t current = 0;
    bool haveSection = false;

    const wchar_t* const textEnd = text.data() + text.size();
    const wchar_t* lineBegin = text.data();
    bool firstLine = true;

    while (lineBegin < textEnd) {
        // Only the pair CR LF ends a line; a lone CR or LF stays in it. The
        // same pass notes the line's first "=": one look at each character.
        const wchar_t* lineEnd = lineBegin;
        const wchar_t* firstEquals = nullptr;
        for (;;) {
            while (lineEnd < textEnd && *lineEnd != kCr && *lineEnd != L'=') ++lineEnd;
            if (lineEnd == textEnd) break;
            if (*lineEnd == L'=') {
                if (!firstEquals) firstEquals = lineEnd;
            } else if (lineEnd + 1 < textEnd && lineEnd[1] == kLf) {
                break;
            }
            ++lineEnd;
        }
        const wchar_t* next = lineEnd < textEnd ? lineEnd + 2 : textEnd;

        const wchar_t* begin = lineBegin;
        if (firstLine && begin < lineEnd && *begin == kByteOrderMark) ++begin;
        firstLine = false;

        if (begin < lineEnd) {
            const wchar_t* first = begin;
            while (first < lineEnd && IsHeaderBlank(*first)) ++first;
            bool isHeader = false;
            if (first < lineEnd && *first == L'[') {
                const wchar_t* last = lineEnd;
                while (last > first && IsHeaderBlank(last[-1])) --last;
                // `last` is one past the last visible character; the "[" itself
                // cannot serve as the closing bracket.
                if (last - first >= 2 && last[-1] == L']') {
                    Sections.emplace_back();
                    Sections.back().Name = WideView(first + 1, static_cast<size_t>(last - 1 - (first + 1)));
                    Sections.back().Entries.reserve(8);
                    current = Sections.size() - 1;
                    haveSection = true;
                    isHeader = true;
                }
            }
            if (!isHeader && haveSection && firstEquals) {
                const WideView key = Trim(begin, firstEquals);
                Sections[current].Entries.push_back(IniEntry{key, Trim(firstEquals + 1, lineEnd)});
            }
        }
        lineBegin = next;
    }
}
