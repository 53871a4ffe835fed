#pragma once
// Every entry of the payload archive this build carries, known when it is built: what the
// install unpacks, and so what removing the product must take away again.

struct PayloadItem {
    const wchar_t* name;  // relative to the installation folder, with backslashes
    bool folder;
    unsigned long long size;  // a file's size as unpacked
    const char* sha256;       // a file's SHA-256, its 32 bytes; null for folders and the uninstaller
};

extern const PayloadItem kPayloadItems[];
extern const int kPayloadItemCount;
