#include "uninstaller/uninstall_window.h"

#include "framework/text.h"
#include "model/messages.h"
#include "model/running_product.h"
#include "variants/variant.h"

#include <initializer_list>

namespace {

constexpr size_t kTextSize = 2048;

struct WindowState {
    const wchar_t* installFolder;
    RemoveAction remove;
    void* context;
    UninstallExitCode outcome;
    bool done;
};

void ShowQuestion(HWND window, const WindowState& state)
{
    wchar_t format[kTextSize], text[kTextSize];
    LoadMessage(IDS_UNINSTALL_QUESTION, format, kTextSize);
    FormatText(text, kTextSize, format, variant::kVersionMajor, variant::kVersionMinor, variant::kDisplayNameSuffix,
               state.installFolder);
    SetDlgItemTextW(window, IDC_UNINSTALL_TEXT, text);
}

// The product must be closed first; the user may close it and try again, or give up.
bool ProductClosed(HWND window)
{
    wchar_t message[kTextSize], title[128];
    LoadMessage(IDS_UNINSTALL_PRODUCT_RUNNING, message, kTextSize);
    LoadMessage(IDS_UNINSTALL_TITLE, title, 128);
    while (FindProductWindow())
        if (MessageBoxW(window, message, title, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return false;
    return true;
}

void Remove(HWND window, WindowState& state)
{
    if (!ProductClosed(window))
        return;
    for (int id : {IDOK, IDCANCEL, IDC_PURGE})
        EnableWindow(GetDlgItem(window, id), FALSE);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    wchar_t summary[kTextSize] = L"";
    state.outcome = state.remove(IsDlgButtonChecked(window, IDC_PURGE) == BST_CHECKED, summary, kTextSize,
                                 state.context);
    state.done = true;
    SetDlgItemTextW(window, IDC_UNINSTALL_TEXT, summary);
    ShowWindow(GetDlgItem(window, IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(window, IDC_PURGE), SW_HIDE);
    wchar_t close[32];
    LoadMessage(IDS_CLOSE, close, 32);
    SetDlgItemTextW(window, IDCANCEL, close);
    EnableWindow(GetDlgItem(window, IDCANCEL), TRUE);
    SetFocus(GetDlgItem(window, IDCANCEL));
}

INT_PTR CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        ShowQuestion(window, *reinterpret_cast<WindowState*>(lParam));
        return TRUE;
    }
    if (message != WM_COMMAND || state == nullptr)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        if (!state->done)
            Remove(window, *state);
        return TRUE;
    case IDCANCEL:
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

UninstallExitCode ShowUninstallWindow(const wchar_t* installFolder, RemoveAction remove, void* context)
{
    WindowState state{installFolder, remove, context, kUninstallCancelled, false};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNINSTALL), nullptr, WindowProc,
                    reinterpret_cast<LPARAM>(&state));
    return state.outcome;
}
