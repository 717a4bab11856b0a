#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/wide_string.h"

// The configuration file: UTF-16LE text behind a byte-order mark, made of
// "[section]" headers and "key=value" lines. Nothing else is understood:
// no comments, quotes, escapes or continuation lines. Duplicates are kept
// and every lookup is an exact, case-sensitive comparison, so the first of
// two equal names wins.

// Keys and values are views of text the document owns: parsing a large
// file then costs two small records per line instead of two allocations.
// They stay valid as long as the document that made them, moves included.
struct IniEntry {
    WideView Key;
    WideView Value;
};

class IniSection {
public:
    WideView Name;
    std::vector<IniEntry> Entries;

    // The first entry whose key equals `key`, or null.
    const IniEntry* FindEntry(WideView key) const;
};

// What the configuration reader needs of a document.
class ConfigSource {
public:
    virtual ~ConfigSource() = default;
    // Leaves `value` untouched when the section or the key is missing.
    virtual void GetValue(const WideString& sectionName, const WideString& key,
                          WideString& value) const = 0;
    virtual void GetSectionNames(std::vector<WideString>& names) const = 0;
    virtual void AddValue(const WideString& sectionName, const WideString& key,
                          const WideString& value) = 0;
};

class IniDocument : public ConfigSource {
public:
    IniDocument() = default;
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;
    IniDocument(IniDocument&&) = default;
    IniDocument& operator=(IniDocument&&) = default;

    std::vector<IniSection> Sections;

    // Reads `size` bytes of the file at `path` (the caller knows the size from
    // its directory lookup), skips the first two and parses the rest.
    // 0 after parsing or for an empty path, 2 when the file cannot be opened,
    // positioned or read. Windows only (ini_file_win.cpp).
    int32_t LoadFile(const WideString& path, uint32_t size);

    // Parses the bytes that follow the two skipped ones: little-endian code
    // units, an odd last byte ignored.
    void ParseBytes(const unsigned char* data, size_t count);

    // Replaces every section by those found in `text`. Always false.
    bool Parse(const WideString& text);
    bool Parse(WideString&& text);

    IniSection* FindSection(const WideString& name);
    const IniSection* FindSection(const WideString& name) const;
    // Appends a new empty section, even when one of that name exists.
    IniSection& AddSection(const WideString& name);

    void GetValue(const WideString& sectionName, const WideString& key,
                  WideString& value) const override;
    void GetSectionNames(std::vector<WideString>& names) const override;
    void AddValue(const WideString& sectionName, const WideString& key,
                  const WideString& value) override;
    // Appends to a section of this document, without looking for an existing
    // entry of that key.
    void AddEntry(IniSection& section, const WideString& key, const WideString& value);

private:
    void ParseOwned(const WideString& text);
    WideView Keep(const WideString& text);

    // Every text the views point into, each in a place of its own that
    // neither growth nor a move of the document changes.
    std::vector<std::unique_ptr<WideString>> texts_;
};

// White space as the Windows C library's iswspace classifies it. Fixed here
// so that the portable build trims exactly as the product does.
bool IsIniWhiteSpace(wchar_t c);

// Text from little-endian UTF-16 bytes; an odd last byte is ignored.
WideString TextFromUtf16LeBytes(const unsigned char* data, size_t count);
