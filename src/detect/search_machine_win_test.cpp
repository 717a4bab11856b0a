#include "detect/search_machine_win.h"

#include <windows.h>

#include <string>

#include "detect/ie_probe_win.h"
#include "detect/registry_win.h"
#include "install/launch_win.h"
#include "test/doctest_main.h"
#include "test/temp_folder_win.h"

namespace {

// A key of its own under HKCU for one test, deleted with its subkeys after.
class TestKey {
public:
    explicit TestKey(HKEY root = HKEY_CURRENT_USER, REGSAM view = 0) : root_(root), view_(view) {
        static unsigned counter = 0;
        path_ = L"Software\\ChainerTests\\k" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                std::to_wstring(++counter);
        ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &key_, nullptr);
    }
    ~TestKey() {
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(root_, path_.c_str());
    }
    HKEY Get() const { return key_; }
    const std::wstring& Path() const { return path_; }
    void Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    void SetText(const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
        Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    bool AddSubkey(const std::wstring& name) {
        HKEY sub = nullptr;
        const LONG status = ::RegCreateKeyExW(key_, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                                              &sub, nullptr);
        if (sub) ::RegCloseKey(sub);
        return status == ERROR_SUCCESS;
    }

private:
    HKEY root_;
    REGSAM view_;
    std::wstring path_;
    HKEY key_ = nullptr;
};

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return length && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

TEST_CASE("ReadValueText and ReadValueData against the real registry") {
    TestKey key;
    key.SetText(L"Sz", L"8.0.50727");
    key.SetText(L"Expand", L"%WINDIR%", REG_EXPAND_SZ);
    const DWORD number = 4294967295u;
    key.Set(L"Dword", REG_DWORD, &number, sizeof number);
    const BYTE binary[] = {'4', 0, '.', 0, '0', 0};
    key.Set(L"Binary", REG_BINARY, binary, sizeof binary);
    key.Set(L"Empty", REG_SZ, nullptr, 0);
    key.SetText(L"", L"default");
    // Data without its terminating NUL, and an odd byte count.
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    key.Set(L"NoNul", REG_SZ, unterminated, sizeof unterminated);
    key.Set(L"Odd", REG_SZ, L"xyz", 5);
    // Larger than the first buffer, and far larger.
    key.SetText(L"Long", std::wstring(150, L'L'));
    std::wstring huge(512 * 1024 - 1, L'h');
    key.SetText(L"Huge", huge);

    struct Case { const wchar_t* name; bool textOk; const wchar_t* text; bool dataOk; const wchar_t* data; };
    const Case cases[] = {
        {L"Sz", true, L"8.0.50727", true, L"8.0.50727"},
        {L"Expand", false, L"", true, L"%WINDIR%"},
        {L"Dword", true, L"4294967295", true, L"\xffff\xffff"},
        {L"Binary", false, L"", true, L"4.0"},
        {L"Empty", true, L"", true, L""},
        {L"", true, L"default", true, L"default"},
        {L"NoNul", true, L"abc", true, L"abc"},
        {L"Odd", true, L"xy", true, L"xy"},
        {L"Missing", false, L"", false, L""},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.name));
        WideString text, data;
        CHECK(ReadValueText(key.Get(), c.name, text) == c.textOk);
        if (c.textOk) CHECK(text == c.text);
        CHECK(ReadValueData(key.Get(), c.name, data) == c.dataOk);
        if (c.dataOk) CHECK(data == c.data);
    }
    WideString text;
    REQUIRE(ReadValueText(key.Get(), L"Long", text));
    CHECK(text == std::wstring(150, L'L'));
    REQUIRE(ReadValueText(key.Get(), L"Huge", text));
    CHECK(text == huge);
}

TEST_CASE("registry searches through the machine: roots, subkeys, values") {
    TestKey key;
    key.SetText(L"Version", L"2.5");
    REQUIRE(key.AddSubkey(L"1.0"));
    REQUIRE(key.AddSubkey(L"3.1"));
    // A name longer than Windows allows is refused when created; if it were
    // there, it would end the listing.
    key.AddSubkey(std::wstring(300, L's'));

    PropertyResolver resolver;
    SetupConfig config;
    WinSearchMachine machine(resolver, config);
    const std::wstring path = L"hkey_current_user\\" + key.Path();
    RegistryKeyPath parsed;
    REQUIRE(ParseRegistryKeyPath(path, parsed));
    CHECK(machine.KeyOpens(parsed, false));
    std::vector<WideString> names;
    REQUIRE(machine.SubkeyNames(parsed, false, names));
    REQUIRE(names.size() >= 2);
    CHECK(names[0] == L"1.0");
    CHECK(names[1] == L"3.1");
    CHECK(machine.ValueExists(parsed, L"Version", false));
    CHECK_FALSE(machine.ValueExists(parsed, L"Nope", false));

    PrereqSearch search;
    search.SearchType = 9;
    search.SearchString = L"HKCU\\" + key.Path() + L"\\Version";
    search.RefContent = L"S2.";
    CHECK(EvaluateSearch(search, false, machine).Matched);
    search.SearchType = 1;
    search.SearchString = L"HKCU\\" + key.Path();
    search.VerMin = L"3.0";
    CHECK(EvaluateSearch(search, false, machine).Matched);
    search.VerMin = L"3.2";
    CHECK_FALSE(EvaluateSearch(search, false, machine).Matched);
    search.SearchType = 5;
    search.SearchString = L"HKCU\\" + key.Path() + L"\\none";
    CHECK_FALSE(EvaluateSearch(search, false, machine).Matched);
}

TEST_CASE("the 64-bit registry view is used exactly with the flag") {
    // Written only in the 64-bit view of HKLM\Software, which is redirected
    // for 32-bit programs.
    TestKey only64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    REQUIRE(only64.Get() != nullptr);
    PropertyResolver resolver;
    SetupConfig config;
    WinSearchMachine machine(resolver, config);
    RegistryKeyPath key;
    REQUIRE(ParseRegistryKeyPath(L"HKLM\\" + only64.Path(), key));
    CHECK(machine.KeyOpens(key, true));
    CHECK_FALSE(machine.KeyOpens(key, false));
}

TEST_CASE("folder properties agree with what Windows reports otherwise") {
    PropertyResolver resolver;
    wchar_t buffer[MAX_PATH];
    ::GetWindowsDirectoryW(buffer, MAX_PATH);
    const std::wstring windows = buffer;
    ::GetSystemDirectoryW(buffer, MAX_PATH);
    const std::wstring system = buffer;
    ::GetTempPathW(MAX_PATH, buffer);
    const std::wstring temp = buffer;
    ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring module = buffer;
    module.erase(module.rfind(L'\\') + 1);

    struct Case { const wchar_t* name; std::wstring expected; };
    const Case cases[] = {
        {L"WindowsFolder", windows + L"\\"},
        {L"WindowsVolume", windows.substr(0, 3)},
        {L"SystemFolder", system + L"\\"},
        {L"TempFolder", temp},
        {L"SETUPEXEDIR", module},
        {L"ProgramFilesFolder", Environment(L"ProgramFiles") + L"\\"},
        {L"ProgramFiles", Environment(L"ProgramFiles") + L"\\"},
        {L"ProgramFiles64Folder", Environment(L"ProgramW6432") + L"\\"},
        {L"CommonFilesFolder", Environment(L"CommonProgramFiles") + L"\\"},
        {L"AppDataFolder", Environment(L"APPDATA") + L"\\"},
        {L"LocalAppDataFolder", Environment(L"LOCALAPPDATA") + L"\\"},
        {L"CommonAppDataFolder", Environment(L"ProgramData") + L"\\"},
    };
    for (const Case& c : cases) {
        CAPTURE(std::wstring(c.name));
        WideString folder;
        REQUIRE(resolver.ResolveFolderProperty(c.name, folder));
        CHECK(folder.size() >= 3);
        CHECK(folder == c.expected);
    }
    // The shell folders without an environment variable: real folders.
    for (const wchar_t* name : {L"DesktopFolder", L"AllUsersDesktopFolder", L"FavoritesFolder", L"StartMenuFolder",
                                L"ProgramMenuFolder", L"StartupFolder", L"FontsFolder"}) {
        CAPTURE(std::wstring(name));
        WideString folder;
        REQUIRE(resolver.ResolveFolderProperty(name, folder));
        CHECK(folder.back() == L'\\');
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        CHECK((attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)));
    }
    WideString none;
    CHECK_FALSE(resolver.ResolveFolderProperty(L"programfilesfolder", none));
    CHECK_FALSE(resolver.ResolveFolderProperty(L"NoSuchFolder", none));
    CHECK(ShellIsVersion5OrLater());
}

TEST_CASE("ExpandReferences against the machine") {
    TestKey key;
    const DWORD number = 13;
    key.Set(L"Count", REG_DWORD, &number, sizeof number);
    key.SetText(L"Path", L"D:\\Vendor");
    PropertyResolver resolver;
    const std::wstring windows = Environment(L"WINDIR");
    CHECK(resolver.ExpandReferences(L"%WINDIR%\\system32") == windows + L"\\system32");
    CHECK(resolver.ExpandReferences(L"%NO_SUCH_VARIABLE%x") == L"x");
    CHECK(resolver.ExpandReferences(L"!HKCU\\" + key.Path() + L"\\Count!") == L"13");
    CHECK(resolver.ExpandReferences(L"!HKCU\\" + key.Path() + L"\\Path!\\bin") == L"D:\\Vendor\\bin");
    CHECK(resolver.ExpandReferences(L"<!HKCU\\" + key.Path() + L"\\Nope!>") == L"<>");
    CHECK(resolver.ExpandReferences(L"[WindowsFolder]x") == windows + L"\\x");
}

TEST_CASE("file searches through the machine") {
    TempFolder folder;
    ::CreateDirectoryW((folder / L"sub").c_str(), nullptr);
    ::CreateDirectoryW((folder / L"sub\\deeper").c_str(), nullptr);
    TempFolder::WriteFile(folder / L"sub\\deeper\\plain.txt", "no version here");
    PropertyResolver resolver;
    SetupConfig config;
    WinSearchMachine machine(resolver, config);

    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring kernel = std::wstring(system) + L"\\kernel32.dll";
    CHECK(machine.FileVersion(kernel) != L"0.0.0.0");
    CHECK(machine.FileVersion(folder / L"sub\\deeper\\plain.txt") == L"0.0.0.0");
    CHECK(machine.FileVersion(folder / L"missing.dll") == L"0.0.0.0");
    CHECK(machine.Subfolders(folder.Path() + L"\\") == std::vector<WideString>{L"sub"});
    CHECK(machine.Subfolders(folder.Path() + L"\\missing\\").empty());

    PrereqSearch search;
    search.SearchType = 0;
    search.SearchString = folder.Path() + L"\\plain.txt?2";
    CHECK(EvaluateSearch(search, false, machine).Matched);
    search.SearchString = folder.Path() + L"\\plain.txt?1";
    CHECK_FALSE(EvaluateSearch(search, false, machine).Matched);
    search.SearchString = L"[SystemFolder]kernel32.dll";
    search.VerMin = L"1.0";
    CHECK(EvaluateSearch(search, true, machine).Matched);
    // The drive list holds only fixed drives; the test prefix has no drive
    // that maps the Linux root.
    for (const WideString& drive : machine.FixedDrives()) CHECK(::GetDriveTypeW(drive.c_str()) == DRIVE_FIXED);
}

TEST_CASE("installer queries with nothing installed find nothing") {
    PropertyResolver resolver;
    SetupConfig config;
    WinSearchMachine machine(resolver, config);
    WideString version;
    CHECK_FALSE(machine.ProductVersion(L"{00000000-1111-2222-3333-444444444444}", version));
    CHECK(machine.RelatedProducts(L"{00000000-1111-2222-3333-444444444444}").empty());
    CHECK_FALSE(machine.ComponentInstalled(L"{00000000-1111-2222-3333-444444444444}"));
    CHECK_FALSE(machine.ProductVersion(L"not a code", version));
}

TEST_CASE("LaunchFile: exit codes, missing files, no wait without a pointer") {
    uint32_t code = 77;
    REQUIRE(LaunchFile(L"cmd.exe", L"/c exit 3010", &code, true));
    CHECK(code == 3010);
    code = 5;
    REQUIRE(LaunchFile(L"\\\\?\\C:\\windows\\system32\\cmd.exe", L"/c exit 0", &code, true));
    CHECK(code == 0);
    ::SetLastError(0);
    CHECK_FALSE(LaunchFile(L"C:\\no\\such\\setup.exe", L"", &code, true));
    CHECK(::GetLastError() != 0);
    CHECK(LaunchFile(L"cmd.exe", L"/c exit 1", nullptr, true));
}

TEST_CASE("the Internet Explorer probe reads the real registry") {
    HKEY key = nullptr;
    REQUIRE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Internet Explorer", 0,
                            KEY_READ | SearchAccess(false), &key) == ERROR_SUCCESS);
    wchar_t version[64] = {};
    DWORD size = sizeof version - sizeof(wchar_t);
    const bool haveVersion = ::RegQueryValueExW(key, L"Version", nullptr, nullptr,
                                                reinterpret_cast<BYTE*>(version), &size) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    int32_t major = -1;
    const bool ok = InternetExplorerMajorVersion(major);
    if (haveVersion && std::wstring(version).find(L'.') != std::wstring(version).rfind(L'.')) {
        REQUIRE(ok);
        CHECK(major == std::stoi(std::wstring(version).substr(0, std::wstring(version).find(L'.'))));
    }
    MESSAGE("Internet Explorer major version: " << major);
}
