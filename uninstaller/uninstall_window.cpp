#include "uninstaller/uninstall_window.h"

#include "engine/checked_text.h"
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

// The headline says how it ended; the list below it, which scrolls, holds every line of what
// stayed, whole.
void ShowOutcome(HWND window, UninstallExitCode outcome, const TextLines& stayed)
{
    const unsigned id = outcome == kUninstallRemoved         ? IDS_UNINSTALL_DONE
                        : outcome == kUninstallAtRestart     ? IDS_UNINSTALL_DONE_AT_RESTART
                        : outcome == kUninstallNotRegistered ? IDS_UNINSTALL_NOT_REGISTERED
                                                             : IDS_UNINSTALL_INCOMPLETE;
    wchar_t headline[kTextSize];
    LoadMessage(id, headline, kTextSize);
    SetDlgItemTextW(window, IDC_UNINSTALL_TEXT, headline);
    if (stayed.Text()[0] != L'\0') {
        RECT place{40, 10, 252, 28};  // the headline's two lines, in dialog units
        MapDialogRect(window, &place);
        MoveWindow(GetDlgItem(window, IDC_UNINSTALL_TEXT), place.left, place.top, place.right - place.left,
                   place.bottom - place.top, TRUE);
        const HWND list = GetDlgItem(window, IDC_UNINSTALL_OUTCOME);
        SendMessageW(list, EM_SETLIMITTEXT, 0, 0);  // no limit but memory
        SetWindowTextW(list, stayed.Text());
        ShowWindow(list, SW_SHOW);
    }
    ShowWindow(GetDlgItem(window, IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(window, IDC_PURGE), SW_HIDE);
    wchar_t close[32];
    LoadMessage(IDS_CLOSE, close, 32);
    SetDlgItemTextW(window, IDCANCEL, close);
}

void Remove(HWND window, WindowState& state)
{
    if (!ProductClosed(window)) {
        state.outcome = kUninstallProductRunning;  // unless a later Remove removes it after all
        return;
    }
    for (int id : {IDOK, IDCANCEL, IDC_PURGE})
        EnableWindow(GetDlgItem(window, id), FALSE);
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    TextLines stayed;
    const UninstallExitCode outcome =
        state.remove(IsDlgButtonChecked(window, IDC_PURGE) == BST_CHECKED, stayed, state.context);
    for (int id : {IDOK, IDCANCEL, IDC_PURGE})
        EnableWindow(GetDlgItem(window, id), TRUE);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    // Another run at work: nothing was done, and the user may try again or cancel.
    if (outcome == kUninstallAnotherRunning)
        return;
    state.outcome = outcome;
    state.done = true;
    ShowOutcome(window, outcome, stayed);
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDCANCEL)), TRUE);
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
