#pragma once
// Every entry of the payload archive this build carries, known when it is built: what the
// install unpacks, and so what removing the product must take away again.

struct PayloadItem {
    const wchar_t* name;  // relative to the installation folder, with backslashes
    bool folder;
};

extern const PayloadItem kPayloadItems[];
extern const int kPayloadItemCount;

// The uninstaller among the entries: removing the product takes it last, once it has left the folder.
inline constexpr wchar_t kUninstallerFile[] = L"pt_uninstall.exe";
