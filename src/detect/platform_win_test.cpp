#include "detect/platform_win.h"

#include <windows.h>

#include "test/doctest_main.h"

TEST_CASE("the platform facts agree with what Windows reports") {
    OsVersionInfo version;
    REQUIRE(ReadOsVersion(version));
    CHECK(version.Extended);
    CHECK(version.PlatformId == 2);
    CHECK(WindowsVersionName() == WindowsVersionNameFor(version, IsWindows64()));
    CHECK(WindowsVersionName() != L"OsNotIdentified");

    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    CHECK(IsWindows64() == (wow64 != FALSE));
    CHECK(GetPlatformClass() == (wow64 ? WinNT64 : WinNT));

    const uint32_t major = version.MajorVersion, minor = version.MinorVersion;
    const uint32_t sp = version.ServicePackMajor, build = version.BuildNumber;
    CHECK(WindowsVersionAtLeast(major, minor, sp, build));
    CHECK_FALSE(WindowsVersionAtLeast(major, minor, sp, build + 1));
    CHECK_FALSE(WindowsVersionAtLeast(major, minor + 1, 0, 0));
    CHECK(WindowsVersionAtLeast(major, minor, sp + 1, 0) == false);
    CHECK(WindowsVersionAtLeast(major - 1, 99, 99, 99999));
    CHECK(WindowsVersionAtLeast(5, 0, 0, 0));
}

TEST_CASE("file-system redirection is switched off and restored only as asked") {
    FsRedirection untouched;
    RestoreFsRedirection(untouched);  // flag not set: nothing to do
    CHECK_FALSE(untouched.Disabled);

    FsRedirection state;
    DisableFsRedirection(state);
    // Where the entries exist (every 64-bit-capable Windows) the flag is set,
    // and restoring clears it.
    const bool haveEntries = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"),
                                              "Wow64DisableWow64FsRedirection") != nullptr;
    CHECK(state.Disabled == haveEntries);
    RestoreFsRedirection(state);
    CHECK_FALSE(state.Disabled);
}
