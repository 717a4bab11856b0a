#include "detect/platform.h"

#include <set>
#include <string>
#include <vector>

#include "test/doctest_main.h"

namespace {

OsVersionInfo Nt(uint32_t major, uint32_t minor, uint32_t sp, uint32_t productType) {
    OsVersionInfo v;
    v.PlatformId = 2;
    v.MajorVersion = major;
    v.MinorVersion = minor;
    v.Extended = true;
    v.ServicePackMajor = sp;
    v.ProductType = productType;
    return v;
}

OsVersionInfo Plain(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build, const wchar_t* csd) {
    OsVersionInfo v;
    v.PlatformId = platform;
    v.MajorVersion = major;
    v.MinorVersion = minor;
    v.BuildNumber = build;
    v.CSDVersion = csd;
    return v;
}

const uint32_t kWs = 1;      // workstation
const uint32_t kDc = 2;      // domain controller
const uint32_t kServer = 3;

}  // namespace

TEST_CASE("every Windows version name") {
    struct Case { OsVersionInfo v; bool is64; const wchar_t* name; };
    const Case cases[] = {
        {Nt(6, 3, 0, kWs), true, L"Windows 8.1 x64"},
        {Nt(6, 3, 0, kWs), false, L"Windows 8.1 x86"},
        {Nt(6, 2, 0, kWs), true, L"Windows 8 x64"},
        {Nt(6, 2, 0, kWs), false, L"Windows 8 x86"},
        {Nt(6, 2, 0, kServer), true, L"Windows Server 2012 x64"},
        {Nt(6, 1, 0, kWs), true, L"Windows 7 x64"},
        {Nt(6, 1, 1, kWs), true, L"Windows 7 x64 Service Pack 1"},
        {Nt(6, 1, 0, kWs), false, L"Windows 7 x86"},
        {Nt(6, 1, 1, kWs), false, L"Windows 7 x86 Service Pack 1"},
        {Nt(6, 1, 0, kServer), true, L"Windows Server 2008 R2 x64"},
        {Nt(6, 1, 1, kDc), true, L"Windows Server 2008 R2 x64 Service Pack 1"},
        {Nt(6, 0, 0, kWs), true, L"Windows Vista x64"},
        {Nt(6, 0, 1, kWs), true, L"Windows Vista x64 Service Pack 1"},
        {Nt(6, 0, 2, kWs), true, L"Windows Vista x64 Service Pack 2"},
        {Nt(6, 0, 0, kWs), false, L"Windows Vista x86"},
        {Nt(6, 0, 1, kWs), false, L"Windows Vista x86 Service Pack 1"},
        {Nt(6, 0, 2, kWs), false, L"Windows Vista x86 Service Pack 2"},
        {Nt(6, 0, 2, kServer), true, L"Windows Server 2008 x64"},
        {Nt(6, 0, 1, kServer), false, L"Windows Server 2008 x86"},
        {Nt(5, 2, 0, kWs), false, L"Windows XP x64"},
        {Nt(5, 2, 1, kWs), true, L"Windows XP x64 Service Pack 1"},
        {Nt(5, 2, 2, kWs), false, L"Windows XP x64 Service Pack 2"},
        {Nt(5, 2, 0, kServer), true, L"Windows Server 2003 x64"},
        {Nt(5, 2, 1, kServer), true, L"Windows Server 2003 x64 Service Pack 1"},
        {Nt(5, 2, 2, kDc), true, L"Windows Server 2003 x64 Service Pack 2"},
        {Nt(5, 2, 0, kServer), false, L"Windows Server 2003 x86"},
        {Nt(5, 2, 1, kServer), false, L"Windows Server 2003 x86 Service Pack 1"},
        {Nt(5, 2, 2, kServer), false, L"Windows Server 2003 x86 Service Pack 2"},
        {Nt(5, 1, 0, kWs), false, L"Windows XP x86"},
        {Nt(5, 1, 1, kWs), false, L"Windows XP x86 Service Pack 1"},
        {Nt(5, 1, 2, kServer), true, L"Windows XP x86 Service Pack 2"},
        {Nt(5, 1, 3, kWs), false, L"Windows XP x86 Service Pack 3"},
        {Nt(5, 0, 0, kWs), false, L"Windows 2000"},
        {Nt(5, 0, 1, kWs), false, L"Windows 2000 Service Pack 1"},
        {Nt(5, 0, 2, kServer), false, L"Windows 2000 Service Pack 2"},
        {Nt(5, 0, 3, kWs), false, L"Windows 2000 Service Pack 3"},
        {Nt(5, 0, 4, kWs), false, L"Windows 2000 Service Pack 4"},
        {Nt(4, 0, 0, kWs), false, L"Windows NT 4.0"},
        {Nt(4, 0, 1, kWs), false, L"Windows NT 4.0 Service Pack 1"},
        {Nt(4, 0, 2, kWs), false, L"Windows NT 4.0 Service Pack 2"},
        {Nt(4, 0, 3, kWs), false, L"Windows NT 4.0 Service Pack 3"},
        {Nt(4, 0, 4, kWs), false, L"Windows NT 4.0 Service Pack 4"},
        {Nt(4, 0, 5, kWs), false, L"Windows NT 4.0 Service Pack 5"},
        {Nt(4, 0, 6, kServer), false, L"Windows NT 4.0 Service Pack 6"},
        {Plain(0, 4, 0, 0, L""), false, L"Windows 95"},
        {Plain(1, 4, 0, 950, L""), false, L"Windows 95"},
        {Plain(1, 4, 0, 951, L""), false, L"Windows 95 OSR"},
        {Plain(1, 4, 0, 950, L" C"), false, L"Windows 95 OSR2.5"},
        {Plain(1, 4, 10, 1998, L" "), false, L"Windows 98"},
        {Plain(1, 4, 10, 2222, L" A "), false, L"Windows 98 SE"},
        {Plain(1, 4, 10, 2222, L" B"), false, L"Windows 98 SE"},
        {Plain(1, 4, 90, 3000, L" "), false, L"Windows Millennium"},
    };
    std::set<WideString> seen;
    for (const Case& c : cases) {
        CAPTURE(c.name);
        CHECK(WindowsVersionNameFor(c.v, c.is64) == c.name);
        seen.insert(c.name);
    }
    // Every name a configuration's version lists may hold is produced.
    const std::set<WideString> complete = {
        L"Windows 8.1 x64", L"Windows 8.1 x86", L"Windows 8 x64", L"Windows 8 x86", L"Windows Server 2012 x64",
        L"Windows 7 x64", L"Windows 7 x64 Service Pack 1", L"Windows 7 x86", L"Windows 7 x86 Service Pack 1",
        L"Windows Server 2008 R2 x64", L"Windows Server 2008 R2 x64 Service Pack 1", L"Windows Vista x64",
        L"Windows Vista x64 Service Pack 1", L"Windows Vista x64 Service Pack 2", L"Windows Vista x86",
        L"Windows Vista x86 Service Pack 1", L"Windows Vista x86 Service Pack 2", L"Windows Server 2008 x64",
        L"Windows Server 2008 x86", L"Windows XP x64", L"Windows XP x64 Service Pack 1",
        L"Windows XP x64 Service Pack 2", L"Windows Server 2003 x64", L"Windows Server 2003 x64 Service Pack 1",
        L"Windows Server 2003 x64 Service Pack 2", L"Windows Server 2003 x86",
        L"Windows Server 2003 x86 Service Pack 1", L"Windows Server 2003 x86 Service Pack 2", L"Windows XP x86",
        L"Windows XP x86 Service Pack 1", L"Windows XP x86 Service Pack 2", L"Windows XP x86 Service Pack 3",
        L"Windows 2000", L"Windows 2000 Service Pack 1", L"Windows 2000 Service Pack 2",
        L"Windows 2000 Service Pack 3", L"Windows 2000 Service Pack 4", L"Windows NT 4.0",
        L"Windows NT 4.0 Service Pack 1", L"Windows NT 4.0 Service Pack 2", L"Windows NT 4.0 Service Pack 3",
        L"Windows NT 4.0 Service Pack 4", L"Windows NT 4.0 Service Pack 5", L"Windows NT 4.0 Service Pack 6",
        L"Windows 95", L"Windows 95 OSR", L"Windows 95 OSR2.5", L"Windows 98", L"Windows 98 SE",
        L"Windows Millennium"};
    CHECK(seen == complete);
}

TEST_CASE("versions that have no name") {
    struct Case { const char* what; OsVersionInfo v; bool is64; };
    const Case cases[] = {
        {"6.3 server", Nt(6, 3, 0, kServer), true},
        {"6.2 32-bit server", Nt(6, 2, 0, kServer), false},
        {"6.1 32-bit server", Nt(6, 1, 1, kServer), false},
        {"6.4", Nt(6, 4, 0, kWs), true},
        {"10.0", Nt(10, 0, 0, kWs), true},
        {"7.0", Nt(7, 0, 0, kWs), false},
        {"5.3", Nt(5, 3, 0, kWs), false},
        {"9x with major 5", Plain(1, 5, 0, 0, L""), false},
        {"9x with minor 20", Plain(1, 4, 20, 0, L""), false},
        {"platform 3", Plain(3, 6, 1, 0, L""), false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.what);
        CHECK(WindowsVersionNameFor(c.v, c.is64) == L"OsNotIdentified");
    }
}

TEST_CASE("service packs outside a version's list are left out") {
    CHECK(WindowsVersionNameFor(Nt(5, 1, 4, kWs), false) == L"Windows XP x86");
    CHECK(WindowsVersionNameFor(Nt(6, 1, 2, kWs), true) == L"Windows 7 x64");
    CHECK(WindowsVersionNameFor(Nt(5, 0, 5, kWs), false) == L"Windows 2000");
    // Only the plain record: no product type, no service pack.
    OsVersionInfo xp = Plain(2, 5, 1, 2600, L"Service Pack 3");
    CHECK(WindowsVersionNameFor(xp, false) == L"Windows XP x86");
    OsVersionInfo seven = Plain(2, 6, 1, 7601, L"Service Pack 1");
    CHECK(WindowsVersionNameFor(seven, true) == L"Windows Server 2008 R2 x64");
}

TEST_CASE("the log's system line") {
    OsVersionInfo v = Nt(6, 1, 1, kWs);
    v.BuildNumber = 7601;
    v.CSDVersion = L"Service Pack 1";
    v.SuiteMask = 256;
    CHECK(OsVersionLogText(v) ==
          L"<< OS Version:  MajorVersion: 6; MinorVersion: 1; BuildNumber: 7601; PlatformId: 2;"
          L" CSDVersion: Service Pack 1; ServicePackMajor: 1; ServicePackMinor: 0; SuiteMask: 256;"
          L" ProductType: 1; >> \r\n\r\n");
    CHECK(OsVersionLogText(Plain(1, 4, 10, 67766446, L" A ")) ==
          L"<< OS Version:  MajorVersion: 4; MinorVersion: 10; BuildNumber: 67766446; PlatformId: 1;"
          L" CSDVersion:  A ; >> \r\n\r\n");
}
