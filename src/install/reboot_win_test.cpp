#include "install/reboot_win.h"

#include <windows.h>

#include <string>

#include "base/string_table_win.h"
#include "resources/resource.h"
#include "test/doctest_main.h"

namespace {

// What the doubles saw, and what they answer.
struct Seen {
    int questions = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    WideString text, caption;
    UINT type = 0;
    int answer = IDYES;

    int exits = 0;
    UINT flags = 0;
    DWORD reason = 0;
    BOOL accept = TRUE;
};
Seen seen;

int WINAPI AskDouble(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    ++seen.questions;
    seen.owner = owner;
    seen.text = text;
    seen.caption = caption;
    seen.type = type;
    return seen.answer;
}

BOOL WINAPI ExitDouble(UINT flags, DWORD reason) {
    ++seen.exits;
    seen.flags = flags;
    seen.reason = reason;
    return seen.accept;
}

// The account does not hold the privilege: the adjustment "succeeds" and
// says so only through the last error.
BOOL WINAPI NotAllAssigned(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

// Puts the doubles in place for one test, and the real calls back after it,
// so that no test can restart the machine that runs the tests.
class Doubles {
public:
    Doubles() : saved_(RebootSystem) {
        seen = Seen();
        RebootSystem.MessageBoxW = AskDouble;
        RebootSystem.ExitWindowsEx = ExitDouble;
    }
    ~Doubles() { RebootSystem = saved_; }

private:
    RebootSystemCalls saved_;
};

bool ShutdownPrivilegeEnabled() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    LUID shutdown = {};
    ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &shutdown);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::string buffer(size, '\0');
    bool enabled = false;
    if (::GetTokenInformation(token, TokenPrivileges, &buffer[0], size, &size)) {
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID& luid = privileges->Privileges[i].Luid;
            if (luid.LowPart == shutdown.LowPart && luid.HighPart == shutdown.HighPart) {
                enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
            }
        }
    }
    ::CloseHandle(token);
    return enabled;
}

void DisableShutdownPrivilege() {
    HANDLE token = nullptr;
    REQUIRE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    ::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    ::CloseHandle(token);
}

}  // namespace

TEST_CASE("RebootNow enables the shutdown privilege, then asks for a forced planned restart") {
    Doubles doubles;
    DisableShutdownPrivilege();
    REQUIRE_FALSE(ShutdownPrivilegeEnabled());

    CHECK(RebootNow());
    CHECK(ShutdownPrivilegeEnabled());  // the real adjustment ran
    CHECK(seen.exits == 1);
    CHECK(seen.flags == 6u);  // EWX_REBOOT | EWX_FORCE
    CHECK(seen.reason == 0x80040002u);

    // Windows refusing the restart is the result, nothing more.
    seen.accept = FALSE;
    CHECK_FALSE(RebootNow());
    CHECK(seen.exits == 2);
}

TEST_CASE("RebootNow does not ask for a restart when the privilege is not assigned") {
    Doubles doubles;
    RebootSystem.AdjustTokenPrivileges = NotAllAssigned;
    CHECK_FALSE(RebootNow());
    CHECK(seen.exits == 0);
}

TEST_CASE("RequestReboot asks outside silent mode, and only a No keeps the machine running") {
    struct Case {
        const char* what;
        bool silent;
        int answer;
        int questions;
        int exits;
        bool result;
        bool refused;
    };
    const Case cases[] = {
        {"silent: no question, restart at once", true, IDNO, 0, 1, true, false},
        {"Yes", false, IDYES, 1, 1, true, false},
        {"No", false, IDNO, 1, 0, false, true},
        // A question that could not be shown (0) is not a No.
        {"no answer", false, 0, 1, 1, true, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        Doubles doubles;
        seen.answer = c.answer;
        bool refused = false;
        CHECK(RequestReboot(c.silent, refused) == c.result);
        CHECK(refused == c.refused);
        CHECK(seen.questions == c.questions);
        CHECK(seen.exits == c.exits);
        if (c.questions) {
            CHECK(seen.owner == nullptr);
            CHECK(seen.text == LoadStringText(IDS_REBOOT_QUESTION));
            CHECK(seen.caption == L"Confirmation");
            CHECK(seen.type == static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
        }
    }
}

TEST_CASE("the reboot question's texts") {
    CHECK(LoadStringText(IDS_REBOOT_QUESTION) ==
          L"You must reboot your computer in order to continue the installation. Press Yes to restart now or press "
          L"No to abort the installation and manually restart later.");
    CHECK(LoadStringText(IDS_REBOOT_CAPTION) == L"Confirmation");
}
