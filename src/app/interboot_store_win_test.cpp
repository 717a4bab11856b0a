#include "app/interboot_store_win.h"

#include <windows.h>

#include <string>

#include "test/doctest_main.h"

namespace {

// A store on a key of its own below HKCU, removed afterwards.
struct TestStore {
    std::string path;
    WinRegistryStore store;
    TestStore() : path(Name()), store(path.c_str()) {}
    ~TestStore() { ::RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str()); }
    static std::string Name() {
        static unsigned counter = 0;
        return "ChainerStoreTest" + std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++counter);
    }
    // The raw value as the registry holds it: type, bytes.
    bool Raw(const char* name, DWORD& type, std::string& bytes) {
        HKEY key = nullptr;
        if (::RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) return false;
        char data[4096];
        DWORD size = sizeof data;
        const LONG status = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS) return false;
        bytes.assign(data, size);
        return true;
    }
};

}  // namespace

TEST_CASE("the interboot store in the real registry") {
    TestStore t;
    NarrowText text;
    CHECK(t.store.GetString("SQLRET", text) == RegistryStore::kFailed);  // no key yet

    CHECK(t.store.SetNumber("SQLRET", 3010) == RegistryStore::kOk);
    DWORD type = 0;
    std::string bytes;
    REQUIRE(t.Raw("SQLRET", type, bytes));
    CHECK(type == REG_SZ);
    CHECK(bytes == std::string("3010\0", 5));  // the digits and one zero byte

    // The first value of a name stays.
    CHECK(t.store.SetNumber("SQLRET", 0) == RegistryStore::kExists);
    CHECK(t.store.GetString("SQLRET", text) == RegistryStore::kOk);
    CHECK(text == "3010");

    // An empty name is the key's default value.
    CHECK(t.store.SetNumber("", static_cast<int32_t>(0xFFFFFFFFu)) == RegistryStore::kOk);
    REQUIRE(t.Raw("", type, bytes));
    CHECK(bytes == std::string("-1\0", 3));

    // Longer than the first 260-byte read, and data without its zero byte.
    const std::string longText(400, 'x');
    CHECK(t.store.SetString("Long", longText.c_str()) == RegistryStore::kOk);
    CHECK(t.store.GetString("Long", text) == RegistryStore::kOk);
    CHECK(text == NarrowText(longText.c_str()));
    HKEY key = nullptr;
    REQUIRE(::RegOpenKeyA(HKEY_CURRENT_USER, t.path.c_str(), &key) == ERROR_SUCCESS);
    ::RegSetValueExA(key, "NoZero", 0, REG_SZ, reinterpret_cast<const BYTE*>("1234"), 4);
    ::RegCloseKey(key);
    CHECK(t.store.GetString("NoZero", text) == RegistryStore::kOk);
    CHECK(text == "1234");
    CHECK(t.store.GetString("Missing", text) == RegistryStore::kFailed);
}
