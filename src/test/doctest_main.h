#pragma once

// Every test program is built from several files; DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
// is defined for exactly one of them by the build. The Windows compilers'
// default runtime has no std::mutex, so doctest runs single-threaded there.
#if defined(_WIN32) && !defined(DOCTEST_CONFIG_NO_MULTITHREADING)
#define DOCTEST_CONFIG_NO_MULTITHREADING
#endif
#include <doctest/doctest.h>

#include <string>

// Readable failure messages for wide strings, both on Windows (16-bit
// wchar_t) and on Linux (32-bit wchar_t): code units above ASCII are shown
// as \uXXXX.
namespace doctest {
template <>
struct StringMaker<std::wstring> {
    static String convert(const std::wstring& text) {
        std::string out = "L\"";
        for (wchar_t c : text) {
            const unsigned long u = static_cast<unsigned long>(c);
            if (u >= 0x20 && u < 0x7F) {
                out += static_cast<char>(u);
            } else {
                char buffer[16];
                static const char digits[] = "0123456789ABCDEF";
                buffer[0] = '\\';
                buffer[1] = 'u';
                for (int i = 0; i < 4; ++i) buffer[2 + i] = digits[(u >> (12 - 4 * i)) & 0xF];
                out.append(buffer, 6);
            }
        }
        out += "\"";
        return String(out.c_str());
    }
};
template <>
struct StringMaker<const wchar_t*> {
    static String convert(const wchar_t* text) {
        return StringMaker<std::wstring>::convert(text ? std::wstring(text) : std::wstring(L"(null)"));
    }
};
}  // namespace doctest
