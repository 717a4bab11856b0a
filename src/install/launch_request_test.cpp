#include "install/launch_request.h"

#include "test/doctest_main.h"

TEST_CASE("MakeLaunchRequest: the file and folder the shell gets") {
    struct Case {
        const wchar_t* path;
        const wchar_t* file;
        const wchar_t* directory;
    };
    const Case cases[] = {
        {L"C:\\dir\\setup.exe", L"C:\\dir\\setup.exe", L"C:\\dir"},
        {L"\\\\?\\C:\\dir\\setup.exe", L"C:\\dir\\setup.exe", L"C:\\dir"},
        {L"C:\\Program Files\\A b\\setup.exe", L"C:\\Program Files\\A b\\setup.exe", L"C:\\Program Files\\A b"},
        {L"setup.exe", L"setup.exe", L""},
        {L"C:\\setup.exe", L"C:\\setup.exe", L"C:"},
        {L"\\\\server\\share\\setup.msi", L"\\\\server\\share\\setup.msi", L"\\\\server\\share"},
        // Only the exact four characters are the prefix.
        {L"\\\\.\\C:\\dir\\setup.exe", L"\\\\.\\C:\\dir\\setup.exe", L"\\\\.\\C:\\dir"},
        {L"\\\\?C:\\setup.exe", L"\\\\?C:\\setup.exe", L"\\\\?C:"},
        {L"\\\\?\\", L"", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.path);
        const LaunchRequest request = MakeLaunchRequest(c.path, L"/q");
        CHECK(request.File == c.file);
        CHECK(request.Directory == c.directory);
        CHECK(request.HasParameters);
    }
}

TEST_CASE("MakeLaunchRequest: an empty argument string means no parameters, a blank one does not") {
    CHECK_FALSE(MakeLaunchRequest(L"C:\\setup.exe", L"").HasParameters);
    CHECK(MakeLaunchRequest(L"C:\\setup.exe", L" ").HasParameters);
}
