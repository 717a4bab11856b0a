#include "detect/platform.h"

#include "base/number_text.h"


namespace {

const wchar_t kNotIdentified[] = L"OsNotIdentified";

WideString Arch(const wchar_t* name, bool is64) { return WideString(name) + (is64 ? L" x64" : L" x86"); }

// The name followed by " Service Pack N" when N is one of the listed packs.
WideString WithPack(const WideString& name, uint32_t pack, uint32_t first, uint32_t last) {
    if (pack >= first && pack <= last) return name + L" Service Pack " + UnsignedText(pack);
    return name;
}

WideString NtName(const OsVersionInfo& v, bool is64) {
    const bool workstation = v.Extended && v.ProductType == kProductWorkstation;
    const uint32_t sp = v.Extended ? v.ServicePackMajor : 0;
    const uint32_t major = v.MajorVersion;
    const uint32_t minor = v.MinorVersion;
    if (major >= 7) return kNotIdentified;
    if (major == 6) {
        switch (minor) {
        case 3:
            return workstation ? Arch(L"Windows 8.1", is64) : kNotIdentified;
        case 2:
            if (workstation) return Arch(L"Windows 8", is64);
            return is64 ? L"Windows Server 2012 x64" : kNotIdentified;
        case 1:
            if (workstation) return WithPack(Arch(L"Windows 7", is64), sp, 1, 1);
            return is64 ? WithPack(L"Windows Server 2008 R2 x64", sp, 1, 1) : kNotIdentified;
        case 0:
            if (workstation) return WithPack(Arch(L"Windows Vista", is64), sp, 1, 2);
            return Arch(L"Windows Server 2008", is64);
        default:
            return kNotIdentified;
        }
    }
    if (major == 5) {
        switch (minor) {
        case 2:
            // A workstation reporting 5.2 is XP x64, whatever the 64-bit flag says.
            if (workstation) return WithPack(L"Windows XP x64", sp, 1, 2);
            return WithPack(Arch(L"Windows Server 2003", is64), sp, 1, 2);
        case 1:
            return WithPack(L"Windows XP x86", sp, 1, 3);
        case 0:
            return WithPack(L"Windows 2000", sp, 1, 4);
        default:
            return kNotIdentified;
        }
    }
    return WithPack(L"Windows NT 4.0", sp, 1, 6);
}

WideString NineXName(const OsVersionInfo& v) {
    if (v.MajorVersion != 4) return kNotIdentified;
    const wchar_t second = v.CSDVersion.size() > 1 ? v.CSDVersion[1] : 0;
    switch (v.MinorVersion) {
    case 0:
        if (v.BuildNumber > 950) return L"Windows 95 OSR";
        return second == L'C' ? L"Windows 95 OSR2.5" : L"Windows 95";
    case 10:
        return (second == L'A' || second == L'B') ? L"Windows 98 SE" : L"Windows 98";
    case 90:
        return L"Windows Millennium";
    default:
        return kNotIdentified;
    }
}

void Field(WideString& text, const wchar_t* label, uint32_t value) {
    text += label;
    text += UnsignedText(value);
    text += L';';
}

}  // namespace

WideString WindowsVersionNameFor(const OsVersionInfo& version, bool is64) {
    switch (version.PlatformId) {
    case 2:
        return NtName(version, is64);
    case 1:
        return NineXName(version);
    case 0:
        return L"Windows 95";
    default:
        return kNotIdentified;
    }
}

WideString OsVersionLogText(const OsVersionInfo& v) {
    WideString text = L"<< OS Version: ";
    Field(text, L" MajorVersion: ", v.MajorVersion);
    Field(text, L" MinorVersion: ", v.MinorVersion);
    Field(text, L" BuildNumber: ", v.BuildNumber);
    Field(text, L" PlatformId: ", v.PlatformId);
    text += L" CSDVersion: ";
    text += v.CSDVersion;
    text += L';';
    if (v.Extended) {
        Field(text, L" ServicePackMajor: ", v.ServicePackMajor);
        Field(text, L" ServicePackMinor: ", v.ServicePackMinor);
        Field(text, L" SuiteMask: ", v.SuiteMask);
        Field(text, L" ProductType: ", v.ProductType);
    }
    text += L" >> \r\n\r\n";
    return text;
}
