#include "app/startup.h"

#include "test/doctest_main.h"

TEST_CASE("the configuration file is named after the executable") {
    struct Case {
        const wchar_t* module;
        const wchar_t* ini;
    };
    const Case cases[] = {
        {L"C:\\Temp\\pkg\\setup.exe", L"C:\\Temp\\pkg\\setup.ini"},
        {L"D:\\kit\\Setup.EXE", L"D:\\kit\\Setup.ini"},
        {L"C:\\x\\a.b.c.exe", L"C:\\x\\a.b.c.ini"},
        {L"C:\\x\\my.setup.exe", L"C:\\x\\my.setup.ini"},
        // Only the file name's dot counts, not one in a folder name.
        {L"C:\\my.dir\\setup", L"C:\\my.dir\\setup.ini"},
        {L"C:\\setup.exe", L"C:\\setup.ini"},
        {L"\\\\server\\share\\Setup.exe", L"\\\\server\\share\\Setup.ini"},
        // A bare name stays relative to the current folder.
        {L"setup.exe", L"setup.ini"},
        {L"C:\\x\\.exe", L"C:\\x\\.ini"},
        {L"", L".ini"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.module);
        CHECK(IniPathForModule(c.module) == c.ini);
    }
}
