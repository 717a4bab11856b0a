#include "download/download_available_win.h"

#include <windows.h>

#include "test/doctest_main.h"
#include "test/temp_folder_win.h"

TEST_CASE("IsDownloadAvailable") {
    TempFolder dir;
    const WideString url = L"http://example.com/dl/setup.exe";
    TempFolder::WriteFile(dir / L"setup.exe", "12345");
    TempFolder::WriteFile(dir / L"empty.exe", "");
    ::CreateDirectoryW((dir / L"A").c_str(), nullptr);
    TempFolder::WriteFile(dir / L"A\\b.exe", "123");

    const WideString base = dir.Path();
    const WideString baseSlash = dir.Path() + L"\\";
    struct Case { WideString base; WideString location; const wchar_t* folder; int32_t size; bool available; };
    const Case cases[] = {
        // A local location is never looked for on disk.
        {base, L"file://C:\\nowhere\\setup.exe", L"", 77, true},
        {L"", L"file://", L"", 0, true},
        // Only the exact lowercase scheme counts; otherwise the name is
        // taken from the text and is not in the folder.
        {base, L"FILE://C:\\nowhere\\missing.exe", L"", 0, false},
        {base, L"FILE://C:\\nowhere\\setup.exe", L"", 5, true},
        {base, url, L"", 5, true},
        {baseSlash, url, L"", 5, true},
        {base, url, L"", 0, true},
        {base, url, L"", 4, false},
        {base, url, L"", 6, false},
        {base, url, L"", -5, false},
        {base, L"http://example.com/empty.exe", L"", 0, true},
        {base, L"http://example.com/empty.exe", L"", 1, false},
        {base, L"http://example.com/dl/other.exe", L"", 0, false},
        {base, url, L"A?b.exe", 3, true},
        {base, url, L"A?b.exe", 5, false},
        {base, url, L"?setup.exe", 5, true},
        {base, L"http://example.com/x/b.exe", L"A", 3, true},
        {base, url, L"A", 0, false},
        {base, url, L"Missing?b.exe", 0, false},
        // A URL without a file name leaves only the folder itself.
        {base, L"http://example.com/dl.v2/", L"", 0, false},
        {base, L"http://example.com/dl.v2/", L"A", 0, false},
        {L"C:\\no such folder", url, L"", 0, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.base);
        CAPTURE(c.location);
        CAPTURE(c.folder);
        CAPTURE(c.size);
        CHECK(IsDownloadAvailable(c.base, c.location, c.folder, c.size) == c.available);
    }
}
