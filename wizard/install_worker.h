#pragma once
// The wizard's install run on a thread of its own, so the window keeps answering and showing
// progress: the run's questions and failures travel to the window's thread, which shows them
// in message boxes, and the run can be asked to stop while it writes its files.
#include "engine/install_run.h"
#include "framework/handles.h"
#include "model/exit_codes.h"
#include "model/install_options.h"

#include <windows.h>

#include <atomic>

// What the run tells the window it was started for.
inline constexpr UINT kInstallProgressMessage = WM_APP + 1;  // wParam: per mille written
inline constexpr UINT kInstallCallMessage = WM_APP + 2;      // lParam: what to show; sent, answered in place
inline constexpr UINT kInstallEndedMessage = WM_APP + 3;     // the run has ended: call Finish
inline constexpr int kProgressSteps = 1000;

// The install run's failures and question as message boxes owned by the active window; what it
// could not make is gathered and shown in one box once the run is over.
class MessageBoxReporter : public InstallReporter {
public:
    explicit MessageBoxReporter(const wchar_t* caption) : m_caption(caption) {}
    void ReportFailure(const wchar_t* message, const wchar_t* entry) override;
    void ReportNote(const wchar_t*) override {}  // the wizard's own settings folder is always usable
    void ReportNotMade(const wchar_t* entry) override;
    bool ConfirmAssociations(const wchar_t* question) override;
    void ShowNotMade() const;
    // The run stopped before it had installed anything usable.
    bool Stopped() const { return m_stopped; }
    // Rows were chosen and the question answered Yes.
    bool Confirmed() const { return m_confirmed; }

private:
    static constexpr size_t kNotMadeUnits = 4096;
    const wchar_t* m_caption;
    bool m_confirmed = false;
    bool m_stopped = false;
    wchar_t m_notMade[kNotMadeUnits] = {};
};

class InstallWorker {
public:
    InstallWorker() = default;
    // A run still at work is asked to stop and waited for.
    ~InstallWorker();
    InstallWorker(const InstallWorker&) = delete;
    InstallWorker& operator=(const InstallWorker&) = delete;

    // Starts the run of `options`; `window` hears of it through the messages above. False when
    // no thread could be made: nothing was started.
    bool Start(const InstallOptions& options, HWND window);
    bool Running() const { return m_thread.Valid(); }
    // The run stops before any file is replaced, if it has not come that far.
    void RequestStop() { m_stopRequested = true; }
    // The answer to kInstallCallMessage, on the window's thread.
    void Answer(LPARAM call);
    // After kInstallEndedMessage: waits for the thread; the run's exit code.
    SetupExitCode Finish();
    // The run's record, made absolute; valid once Start was called.
    const InstallOptions& Options() const { return m_options; }
    const MessageBoxReporter& Boxes() const { return m_boxes; }

private:
    class ThreadReporter;
    static unsigned __stdcall Run(void* self);

    InstallOptions m_options;
    HWND m_window = nullptr;
    MessageBoxReporter m_boxes{L""};
    KernelHandle m_thread;
    std::atomic<bool> m_stopRequested{false};
    SetupExitCode m_outcome = kExitLeftWizard;
    unsigned m_delayMs = 0;  // a test slows the writing down with PT_TEST_INSTALL_DELAY_MS
};
