#include "uninstaller/uninstall_window.h"

#include "engine/checked_text.h"
#include "framework/joined_thread.h"
#include "framework/text.h"
#include "model/messages.h"
#include "model/running_product.h"
#include "variants/variant.h"

#include <initializer_list>
#include <optional>

namespace {

constexpr size_t kTextSize = 2048;
constexpr UINT kRemovalEndedMessage = WM_APP + 1;

// The removal, on a thread of its own so that the window goes on answering; it tells the window
// when it has ended.
struct RemovalWork {
    RemoveAction remove;
    void* context;
    HWND window;
    bool purge;
    TextLines stayed;
    UninstallExitCode outcome;
    void operator()()
    {
        outcome = remove(purge, stayed, context);
        PostMessageW(window, kRemovalEndedMessage, 0, 0);
    }
};

struct WindowState {
    const wchar_t* installFolder;
    RemoveAction remove;
    void* context;
    UninstallExitCode outcome;
    bool done;
    std::optional<RemovalWork> work;  // while the removal runs and until the window has shown its end
    std::optional<JoinedThread<RemovalWork>> thread;
};

// A message box over the window, with the window's title; the button pressed.
int Say(HWND window, unsigned id, UINT buttons)
{
    wchar_t message[kTextSize], title[128];
    LoadMessage(id, message, kTextSize);
    LoadMessage(IDS_UNINSTALL_TITLE, title, 128);
    return MessageBoxW(window, message, title, buttons);
}

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
    while (FindProductWindow())
        if (Say(window, IDS_UNINSTALL_PRODUCT_RUNNING, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
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

void EnableChoices(HWND window, BOOL enabled)
{
    for (int id : {IDOK, IDCANCEL, IDC_PURGE})
        EnableWindow(GetDlgItem(window, id), enabled);
}

void StartRemoval(HWND window, WindowState& state)
{
    if (!ProductClosed(window)) {
        state.outcome = kUninstallProductRunning;  // unless a later Remove removes it after all
        return;
    }
    EnableChoices(window, FALSE);
    state.work.emplace(RemovalWork{state.remove, state.context, window,
                                   IsDlgButtonChecked(window, IDC_PURGE) == BST_CHECKED, {}, kUninstallIncomplete});
    state.thread.emplace(*state.work);
    if (!state.thread->Started())
        (*state.work)();  // no thread to be had: removed in place, the window waits
}

void RemovalEnded(HWND window, WindowState& state)
{
    state.thread.reset();  // joined: the removal has ended
    const UninstallExitCode outcome = state.work->outcome;
    EnableChoices(window, TRUE);
    if (outcome == kUninstallAnotherRunning) {
        // Nothing was done; the user may try again, or cancel.
        state.work.reset();
        Say(window, IDS_ANOTHER_RUN, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    state.outcome = outcome;
    state.done = true;
    ShowOutcome(window, outcome, state.work->stayed);
    state.work.reset();
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
    if (state == nullptr)
        return FALSE;
    const bool removing = state->thread.has_value();
    switch (message) {
    case kRemovalEndedMessage:
        RemovalEnded(window, *state);
        return TRUE;
    case WM_SETCURSOR:
        if (!removing)
            return FALSE;
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_COMMAND:
        // Esc and the close box come as Cancel too: while the removal runs, nothing ends it.
        if (LOWORD(wParam) == IDOK && !state->done && !removing)
            StartRemoval(window, *state);
        else if (LOWORD(wParam) == IDCANCEL && !removing)
            EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

UninstallExitCode ShowUninstallWindow(const wchar_t* installFolder, RemoveAction remove, void* context)
{
    WindowState state{installFolder, remove, context, kUninstallCancelled, false, {}, {}};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_UNINSTALL), nullptr, WindowProc,
                    reinterpret_cast<LPARAM>(&state));
    return state.outcome;
}
