#include <windows.h>

#include <new>

#include "base/scoped_win.h"
#include "config/ini_document.h"

namespace {
const int32_t kLoadFailed = 2;
}

int32_t IniDocument::LoadFile(const WideString& path, uint32_t size) {
    if (path.empty()) return 0;

    ScopedFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return kLoadFailed;

    // The first two bytes are the byte-order mark, whatever they hold.
    if (::SetFilePointer(file.Get(), 2, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return kLoadFailed;

    // Too short to hold a character: the single read would deliver nothing.
    if (size <= 2) return kLoadFailed;
    DWORD toRead = size - 2;
    // Never allocate for more than the file holds: a size that does not match
    // the file would otherwise ask for up to 4 GB for a few bytes.
    LARGE_INTEGER actual;
    if (::GetFileSizeEx(file.Get(), &actual) && actual.QuadPart - 2 < static_cast<LONGLONG>(toRead)) {
        toRead = actual.QuadPart > 2 ? static_cast<DWORD>(actual.QuadPart - 2) : 0;
        if (toRead == 0) return kLoadFailed;
    }

    try {
        // Windows' wchar_t is a little-endian UTF-16 code unit, so the file's
        // bytes are read straight into the text: one buffer, no conversion.
        static_assert(sizeof(wchar_t) == 2, "UTF-16 code units");
        WideString text((toRead + 1) / 2, L'\0');
        DWORD read = 0;
        if (!::ReadFile(file.Get(), &text[0], toRead, &read, nullptr) || read == 0) return kLoadFailed;
        // The file may have shrunk since its size was taken: use what came,
        // and an odd last byte is no code unit.
        text.resize(read / 2);
        Parse(std::move(text));
    } catch (const std::bad_alloc&) {
        // More than this process can hold: the same as a file we cannot read.
        Sections.clear();
        return kLoadFailed;
    }
    return 0;
}
