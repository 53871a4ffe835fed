#include "wizard/install_worker.h"

#include "framework/text.h"
#include "model/messages.h"

#include <process.h>

#include <cwchar>

void MessageBoxReporter::ReportFailure(const wchar_t* message, const wchar_t*)
{
    m_stopped = true;
    MessageBoxW(GetActiveWindow(), message, m_caption, MB_ICONERROR | MB_OK);
}

void MessageBoxReporter::ReportNotMade(const wchar_t* entry)
{
    if (m_notMade[0] == L'\0')
        LoadMessage(IDS_NOT_EVERYTHING_MADE, m_notMade, kNotMadeUnits);
    // A list longer than the box can hold ends where it stops fitting; the first items stay.
    if (AppendText(m_notMade, L"\n\n"))
        AppendText(m_notMade, entry);
}

void MessageBoxReporter::ShowNotMade() const
{
    if (m_notMade[0] != L'\0')
        MessageBoxW(GetActiveWindow(), m_notMade, m_caption, MB_ICONWARNING | MB_OK);
}

bool MessageBoxReporter::ConfirmAssociations(const wchar_t* question)
{
    // Only Yes points the types: Esc or the close box is no answer to act on.
    m_confirmed = MessageBoxW(GetActiveWindow(), question, m_caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    return m_confirmed;
}

namespace {

// One thing the run asks the window's thread to show, and the answer.
struct ReporterCall {
    enum Kind { kFailure, kNotMade, kQuestion } kind;
    const wchar_t* text;
    const wchar_t* entry;
    bool answer;
};

}  // namespace

// On the run's thread: everything to be shown is sent to the window's thread and waited for;
// progress is posted, a message each time the per mille changes.
class InstallWorker::ThreadReporter : public InstallReporter {
public:
    explicit ThreadReporter(InstallWorker& worker) : m_worker(worker) {}
    void ReportFailure(const wchar_t* message, const wchar_t* entry) override { Call(ReporterCall::kFailure, message, entry); }
    void ReportNote(const wchar_t*) override {}
    void ReportNotMade(const wchar_t* entry) override { Call(ReporterCall::kNotMade, entry, entry); }
    bool ConfirmAssociations(const wchar_t* question) override { return Call(ReporterCall::kQuestion, question, question); }
    bool Unpacked(unsigned long long done, unsigned long long total) override
    {
        const int step = total == 0 ? kProgressSteps : static_cast<int>(done * kProgressSteps / total);
        if (step != m_step) {
            m_step = step;
            PostMessageW(m_worker.m_window, kInstallProgressMessage, static_cast<WPARAM>(step), 0);
        }
        if (m_worker.m_delayMs)
            Sleep(m_worker.m_delayMs);
        return !m_worker.m_stopRequested;
    }

private:
    bool Call(ReporterCall::Kind kind, const wchar_t* text, const wchar_t* entry)
    {
        ReporterCall call{kind, text, entry, false};
        SendMessageW(m_worker.m_window, kInstallCallMessage, 0, reinterpret_cast<LPARAM>(&call));
        return call.answer;
    }

    InstallWorker& m_worker;
    int m_step = -1;
};

InstallWorker::~InstallWorker()
{
    RequestStop();
    if (m_thread)
        WaitForSingleObject(m_thread.Get(), INFINITE);
}

bool InstallWorker::Start(const InstallOptions& options, HWND window)
{
    m_options = options;
    m_window = window;
    m_boxes = MessageBoxReporter(options.caption);
    m_stopRequested = false;
    m_outcome = kExitLeftWizard;
    wchar_t delay[16] = L"";
    m_delayMs = GetEnvironmentVariableW(L"PT_TEST_INSTALL_DELAY_MS", delay, 16) ? wcstoul(delay, nullptr, 10) : 0;
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, this, 0, nullptr)));
    return m_thread.Valid();
}

unsigned __stdcall InstallWorker::Run(void* self)
{
    InstallWorker& worker = *static_cast<InstallWorker*>(self);
    ThreadReporter reporter(worker);
    worker.m_outcome = RunInstall(worker.m_options, reporter);
    PostMessageW(worker.m_window, kInstallEndedMessage, 0, 0);
    return 0;
}

void InstallWorker::Answer(LPARAM call)
{
    ReporterCall& asked = *reinterpret_cast<ReporterCall*>(call);
    switch (asked.kind) {
    case ReporterCall::kFailure: m_boxes.ReportFailure(asked.text, asked.entry); break;
    case ReporterCall::kNotMade: m_boxes.ReportNotMade(asked.entry); break;
    case ReporterCall::kQuestion: asked.answer = m_boxes.ConfirmAssociations(asked.text); break;
    }
}

SetupExitCode InstallWorker::Finish()
{
    if (m_thread) {
        WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
    }
    return m_outcome;
}
