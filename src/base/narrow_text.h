#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

// Text in the ANSI code page, for the few places that must hand Windows
// narrow text (the interboot store's registry calls, the Internet-shortcut
// file). Not std::string: the C++ runtime's ready-made std::string comes as
// one block of about 33 KB, which would add a sixth to the executable.
// Always followed by a zero byte, so c_str() can be handed to Windows.
class NarrowText {
public:
    NarrowText() : bytes_(1, '\0') {}
    NarrowText(const char* text) : NarrowText(text, std::strlen(text)) {}  // NOLINT: used like a string
    NarrowText(const char* data, size_t size) : bytes_(data, data + size) { bytes_.push_back('\0'); }

    const char* c_str() const { return bytes_.data(); }
    const char* data() const { return bytes_.data(); }
    size_t size() const { return bytes_.size() - 1; }
    bool empty() const { return size() == 0; }

    NarrowText& operator+=(const NarrowText& other) {
        bytes_.pop_back();
        bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
        return *this;
    }
    NarrowText& operator+=(char c) {
        bytes_.back() = c;
        bytes_.push_back('\0');
        return *this;
    }
    friend NarrowText operator+(NarrowText a, const NarrowText& b) { return a += b; }
    friend bool operator==(const NarrowText& a, const NarrowText& b) { return a.bytes_ == b.bytes_; }
    friend bool operator!=(const NarrowText& a, const NarrowText& b) { return !(a == b); }
    friend bool operator<(const NarrowText& a, const NarrowText& b) { return a.bytes_ < b.bytes_; }

private:
    std::vector<char> bytes_;
};
