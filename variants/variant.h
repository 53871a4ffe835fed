#pragma once
// Every value in which the 64-bit and the 32-bit build differ; the build chooses one set.
#include "variants/version_info.h"

namespace variant {

inline constexpr int kVersionMajor = PT_VERSION_MAJOR;
inline constexpr int kVersionMinor = PT_VERSION_MINOR;

#if defined(PT_VARIANT_64)
inline constexpr bool kIs32Bit = false;
inline constexpr wchar_t kSettingsFile[] = L"pt_main64.ini";
inline constexpr wchar_t kSettingsTempFile[] = L"pt_main64.ini_temp";
inline constexpr wchar_t kSetupTitle[] = L"Pictarn 64-bit Setup";
inline constexpr wchar_t kFriendlyAppName[] = L"Pictarn 64-bit";
inline constexpr wchar_t kApplicationKey[] = L"SOFTWARE\\Classes\\Applications\\pt_main64.exe";
inline constexpr wchar_t kApplicationCommandKey[] = L"SOFTWARE\\Classes\\Applications\\pt_main64.exe\\shell\\open\\command";
inline constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64";
// The 32-bit build's entry, in the registry view it writes to.
inline constexpr wchar_t kOtherUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn";
inline constexpr unsigned long kOtherView = 0x0200;  // KEY_WOW64_32KEY
inline constexpr wchar_t kDisplayNameSuffix[] = L" (64-bit)";
inline constexpr wchar_t kDesktopShortcut[] = L"Pictarn 64.lnk";
inline constexpr wchar_t kDesktopShortcutDescription[] = L"Pictarn 64 - Image Viewer";
inline constexpr wchar_t kThumbsShortcut[] = L"Pictarn 64 Thumbnails.lnk";
inline constexpr wchar_t kGroupMainShortcutFormat[] = L"Pictarn 64 %d.%d.lnk";
inline constexpr wchar_t kOldGroupShortcutFormat[] = L"%lsPictarn 64 %ls.lnk";
#else
inline constexpr bool kIs32Bit = true;
inline constexpr wchar_t kSettingsFile[] = L"pt_main32.ini";
inline constexpr wchar_t kSettingsTempFile[] = L"pt_main32.ini_temp";
inline constexpr wchar_t kSetupTitle[] = L"Pictarn 32-bit Setup";
inline constexpr wchar_t kFriendlyAppName[] = L"Pictarn 32-bit";
inline constexpr wchar_t kApplicationKey[] = L"SOFTWARE\\Classes\\Applications\\pt_main32.exe";
inline constexpr wchar_t kApplicationCommandKey[] = L"SOFTWARE\\Classes\\Applications\\pt_main32.exe\\shell\\open\\command";
inline constexpr wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn";
// The 64-bit build's entry, in the registry view it writes to (the flag means nothing on 32-bit Windows).
inline constexpr wchar_t kOtherUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pictarn64";
inline constexpr unsigned long kOtherView = 0x0100;  // KEY_WOW64_64KEY
inline constexpr wchar_t kDisplayNameSuffix[] = L" (32-bit)";
inline constexpr wchar_t kDesktopShortcut[] = L"Pictarn.lnk";
inline constexpr wchar_t kDesktopShortcutDescription[] = L"Pictarn - Image Viewer";
inline constexpr wchar_t kThumbsShortcut[] = L"Pictarn Thumbnails.lnk";
inline constexpr wchar_t kGroupMainShortcutFormat[] = L"Pictarn %d.%d.lnk";
inline constexpr wchar_t kOldGroupShortcutFormat[] = L"%lsPictarn %ls.lnk";
#endif

// The same in both builds.
inline constexpr wchar_t kProductFolderName[] = L"Pictarn";
inline constexpr wchar_t kFallbackInstallFolder[] = L"C:\\Pictarn\\";
inline constexpr wchar_t kDefaultIniFolder[] = L"%APPDATA%\\Pictarn";
inline constexpr wchar_t kProductWindowClass[] = L"Pictarn";
inline constexpr wchar_t kLogFileName[] = L"Pictarn_Install.log";
// In the installation folder: what the setup placed there (name, size, SHA-256), and the journal
// of an update under way.
inline constexpr wchar_t kInstallRecordFile[] = L"pt_setup_files.txt";
inline constexpr wchar_t kUpdateJournalFile[] = L"pt_setup_update.txt";

#if defined(PT_VARIANT_64)
#define LINKED_FILE(name, file64, file32) inline constexpr wchar_t name[] = file64;
#else
#define LINKED_FILE(name, file64, file32) inline constexpr wchar_t name[] = file32;
#endif
#include "variants/linked_files.inc"
#undef LINKED_FILE

// Every file of the list above, in its order: whatever links to a file names one of these.
#define LINKED_FILE(name, file64, file32) name,
inline constexpr const wchar_t* kLinkedFiles[] = {
#include "variants/linked_files.inc"
};
#undef LINKED_FILE

// The other build's file at each place of that list.
#if defined(PT_VARIANT_64)
#define LINKED_FILE(name, file64, file32) file32,
#else
#define LINKED_FILE(name, file64, file32) file64,
#endif
inline constexpr const wchar_t* kOtherBuildsLinkedFiles[] = {
#include "variants/linked_files.inc"
};
#undef LINKED_FILE

}  // namespace variant
