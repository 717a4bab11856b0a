#include "install/run_at_logon.h"

#include "test/doctest_main.h"

TEST_CASE("the job's name and program") {
    struct Case { const wchar_t* command; const wchar_t* name; const wchar_t* program; };
    const Case cases[] = {
        {L"C:\\tools\\exitwith.exe", L"C__tools_exitwith_exe", L"\"C:\\tools\\exitwith.exe\""},
        {L"\"C:\\Program Files\\a.exe\"", L"_C__Program Files_a_exe_", L"\"C:\\Program Files\\a.exe\""},
        {L"a/b*c?d<e>f|g", L"a_b_c_d_e_f_g", L"\"a/b*c?d<e>f|g\""},
        {L"setup.job", L"setup_job", L"\"setup.job\""},
        {L"x", L"x", L"\"x\""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.command);
        CHECK(JobNameFor(c.command) == c.name);
        CHECK(JobProgramFor(c.command) == c.program);
    }
}

TEST_CASE("the job's account: SYSTEM means the local system account") {
    struct Case { const wchar_t* domain; const wchar_t* user; const wchar_t* account; };
    const Case cases[] = {
        {L"VM", L"root", L"VM\\root"},
        {L"NT AUTHORITY", L"SYSTEM", L""},
        {L"WORKGROUP", L"SYSTEMS", L""},           // "contains \SYSTEM" is the whole rule
        {L"NT AUTHORITY", L"system", L"NT AUTHORITY\\system"},  // case-sensitive
        {L"", L"", L"\\"},
        {L"", L"SYSTEM", L""},
        {L"MYSYSTEM", L"bob", L"MYSYSTEM\\bob"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.domain);
        CAPTURE(c.user);
        CHECK(LogonAccountFor(c.domain, c.user) == c.account);
    }
}

TEST_CASE("the Run value's name keeps the last 79 characters of a long command") {
    const WideString hundred = L"C:\\" + WideString(91, L'd') + L"\\a.exe";
    REQUIRE(hundred.size() == 100);
    CHECK(RunValueNameFor(hundred) == hundred.substr(21));
    CHECK(RunValueNameFor(hundred).size() == 79);

    const WideString seventyNine(79, L'x'), eighty = L"y" + seventyNine;
    CHECK(RunValueNameFor(seventyNine) == seventyNine);
    CHECK(RunValueNameFor(eighty) == seventyNine);
    CHECK(RunValueNameFor(L"") == L"");
}

TEST_CASE("the Run value's data quotes a command with a space only when arguments follow") {
    struct Case { const wchar_t* command; const wchar_t* arguments; const wchar_t* data; };
    const Case cases[] = {
        {L"C:\\Program Files\\a.exe", L"", L"C:\\Program Files\\a.exe"},
        {L"C:\\Program Files\\a.exe", L"/q", L"\"C:\\Program Files\\a.exe\" /q"},
        {L"C:\\Program Files\\a.exe", L" /q", L"\"C:\\Program Files\\a.exe\" /q"},
        {L"\"C:\\Program Files\\a.exe\"", L"/q", L"\"C:\\Program Files\\a.exe\" /q"},
        {L"C:\\tools\\a.exe", L"/q /r", L"C:\\tools\\a.exe /q /r"},
        {L"C:\\tools\\a.exe", L"  two", L"C:\\tools\\a.exe  two"},
        {L"", L"/q", L" /q"},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        CAPTURE(c.command);
        CAPTURE(c.arguments);
        CHECK(RunValueDataFor(c.command, c.arguments) == c.data);
    }
}
