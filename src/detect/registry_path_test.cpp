#include "detect/registry_path.h"

#include "test/doctest_main.h"

TEST_CASE("ParseRegistryKeyPath: roots in every spelling, any case") {
    struct Case { const wchar_t* path; bool ok; RegistryRoot root; const wchar_t* subkey; };
    const Case cases[] = {
        {L"HKLM\\Software\\A", true, RootLocalMachine, L"Software\\A"},
        {L"hkey_local_machine\\Software", true, RootLocalMachine, L"Software"},
        {L"HkCu\\Env", true, RootCurrentUser, L"Env"},
        {L"HKEY_CURRENT_USER\\", true, RootCurrentUser, L""},
        {L"hkcr\\.txt", true, RootClassesRoot, L".txt"},
        {L"HKEY_CLASSES_ROOT\\CLSID", true, RootClassesRoot, L"CLSID"},
        {L"HKCC\\System", true, RootCurrentConfig, L"System"},
        {L"HKEY_CURRENT_CONFIG\\Software", true, RootCurrentConfig, L"Software"},
        // Anything else is HKEY_USERS, misspellings included.
        {L"HKU\\.DEFAULT\\Software", true, RootUsers, L".DEFAULT\\Software"},
        {L"HKLMX\\Software", true, RootUsers, L"Software"},
        {L"\\Software", true, RootUsers, L"Software"},
        {L"HKLM", false, RootUsers, L""},
        {L"", false, RootUsers, L""},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.path));
        RegistryKeyPath key;
        REQUIRE(ParseRegistryKeyPath(c.path, key) == c.ok);
        if (!c.ok) continue;
        CHECK(key.Root == c.root);
        CHECK(key.SubKey == c.subkey);
    }
}

TEST_CASE("SplitRegistryValuePath: the value is after the last backslash") {
    struct Case { const wchar_t* path; bool ok; const wchar_t* key; const wchar_t* value; };
    const Case cases[] = {
        {L"HKLM\\Software\\A\\Version", true, L"HKLM\\Software\\A", L"Version"},
        {L"HKLM\\Software\\A\\", true, L"HKLM\\Software\\A", L""},  // the default value
        {L"HKLM\\Version", true, L"HKLM", L"Version"},                // key path without root separator
        {L"Version", false, L"", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.path));
        WideString key, value;
        REQUIRE(SplitRegistryValuePath(c.path, key, value) == c.ok);
        if (!c.ok) continue;
        CHECK(key == c.key);
        CHECK(value == c.value);
    }
}
