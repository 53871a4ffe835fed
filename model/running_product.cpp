#include "model/running_product.h"

#include "framework/handles.h"
#include "framework/path.h"
#include "framework/text.h"
#include "variants/variant.h"

HWND FindProductWindow()
{
    return FindWindowW(variant::kProductWindowClass, nullptr);
}

namespace {

constexpr size_t kPathSize = 600;
constexpr int kInUseTries = 5;  // a scanner reading the file lets go within them; a running program does not
constexpr DWORD kInUsePauseMs = 200;

bool MainProgramInUse(const wchar_t* folder)
{
    wchar_t path[kPathSize];
    if (!CopyText(path, kPathSize, folder))
        return false;
    TrimSpaces(path);
    if (path[0] == L'\0' || !AppendBackslash(path, kPathSize) || !AppendText(path, kPathSize, variant::kMainProgram))
        return false;
    for (int attempt = 0; attempt < kInUseTries; ++attempt) {
        if (attempt > 0)
            Sleep(kInUsePauseMs);
        KernelHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (file || GetLastError() != ERROR_SHARING_VIOLATION)
            return false;
    }
    return true;
}

}  // namespace

bool ProductRunning(const wchar_t* folder)
{
    return FindProductWindow() != nullptr || MainProgramInUse(folder);
}
