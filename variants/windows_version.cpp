#include "variants/windows_version.h"

#include "framework/system_library.h"
#include "variants/variant.h"

#include <windows.h>

bool IsWindowsAtLeast(unsigned minor)
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 6;
    info.dwMinorVersion = minor;
    info.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

namespace {

struct ReportedVersion {
    DWORD platform = 0;
    DWORD major = 0;
    DWORD minor = 0;
};

ReportedVersion QueryReportedVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ReportedVersion version;
    if (GetVersionExW(&info)) {
        version.platform = info.dwPlatformId;
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
    }
    return version;
}

}  // namespace

bool IsVistaOrLater()
{
    if constexpr (!variant::kIs32Bit)
        return IsWindowsAtLeast(0);
    ReportedVersion v = QueryReportedVersion();
    return v.platform == VER_PLATFORM_WIN32_NT && v.major >= 6;
}

bool IsWindows8OrLater()
{
    if constexpr (!variant::kIs32Bit)
        return IsWindowsAtLeast(2);
    // The 32-bit build's own rule: any major above 5 with a minor above 1.
    ReportedVersion v = QueryReportedVersion();
    return v.platform == VER_PLATFORM_WIN32_NT && v.major > 5 && v.minor > 1;
}

bool LeavesOutUninstallShortcut()
{
    if constexpr (!variant::kIs32Bit)
        return IsWindowsAtLeast(2);
    // Without a compatibility section every later Windows reports itself as 6.2.
    ReportedVersion v = QueryReportedVersion();
    return v.platform == VER_PLATFORM_WIN32_NT && v.major == 6 && v.minor == 2;
}

bool IsXpClass()
{
    if constexpr (!variant::kIs32Bit)
        return false;
    ReportedVersion v = QueryReportedVersion();
    return v.platform == VER_PLATFORM_WIN32_NT && v.major == 5 && v.minor >= 1;
}

WindowsRelease RunningRelease()
{
    RTL_OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    using GetVersionFn = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    auto getVersion = ProcAddress<GetVersionFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    if (getVersion == nullptr || getVersion(&info) != 0)
        return {};
    return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}
