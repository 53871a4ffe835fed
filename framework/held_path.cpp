#include "framework/held_path.h"

#include "framework/text.h"

#include <windows.h>

#include <cwchar>
#include <utility>

namespace {

// One level opened as itself; empty when it is missing (the last error tells), and `isLink`
// set when what is there is a reparse point or no folder.
KernelHandle OpenLevel(const wchar_t* level, bool& isLink)
{
    KernelHandle handle(CreateFileW(level, FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    // By the handle, what was opened; by the name too, since Wine tells a link only that way.
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD named = GetFileAttributesW(level);
    isLink = handle
             && (!GetFileInformationByHandle(handle.Get(), &info)
                 || ((info.dwFileAttributes | named) & FILE_ATTRIBUTE_REPARSE_POINT)
                 || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY));
    return handle;
}

// Where the first level below the root starts: after "X:\" or "\\server\share\".
size_t FirstLevel(const wchar_t* folder)
{
    if (folder[0] == L'\\' && folder[1] == L'\\') {
        const wchar_t* server = wcschr(folder + 2, L'\\');
        const wchar_t* share = server ? wcschr(server + 1, L'\\') : nullptr;
        return share ? static_cast<size_t>(share - folder) + 1 : wcslen(folder);
    }
    return folder[1] == L':' && folder[2] == L'\\' ? 3 : 0;
}

}  // namespace

HoldResult HeldPath::Hold(const wchar_t* folder, wchar_t* named, size_t namedSize, bool (*accept)(HANDLE, bool last))
{
    constexpr size_t kPathSize = 1024;
    wchar_t level[kPathSize];
    if (!CopyText(level, kPathSize, folder)) {
        CopyText(named, namedSize, folder);
        return HoldResult::kLink;
    }
    KernelHandle opened[kMaxLevels];
    int count = 0;
    const size_t length = wcslen(level);
    for (size_t end = FirstLevel(level); end <= length && count < kMaxLevels; ++end) {
        if (end < length && level[end] != L'\\')
            continue;
        if (end > 0 && level[end - 1] == L'\\')
            continue;  // the root, or a doubled backslash
        const wchar_t kept = level[end];
        level[end] = L'\0';
        bool isLink = false;
        KernelHandle handle = OpenLevel(level, isLink);
        const bool last = folder[end] == L'\0' || (folder[end] == L'\\' && folder[end + 1] == L'\0');
        if (isLink || (handle && accept && !accept(handle.Get(), last))) {
            CopyText(named, namedSize, level);
            return isLink ? HoldResult::kLink : HoldResult::kRefused;
        }
        level[end] = kept;
        if (!handle)
            break;  // missing, and so is every level below it
        opened[count++] = std::move(handle);
    }
    // The new set is open before the old one closes: no level is ever let go in between.
    for (int i = 0; i < kMaxLevels; ++i)
        m_levels[i] = std::move(opened[i]);
    return HoldResult::kHeld;
}

void HeldPath::Release()
{
    for (int i = kMaxLevels - 1; i >= 0; --i)
        m_levels[i].Reset();
}
