#pragma once
// How the install run tells what went wrong and asks its one question, without showing
// anything itself: the silent run answers with the install log, the wizard with message boxes.
#include "engine/payload.h"
#include "framework/failure_tally.h"

class InstallReporter : public UnpackObserver {
public:
    virtual ~InstallReporter() = default;
    // ReportFailure: the run stops after this. `message` is the bare message; `entry` is the
    // same with the folder, as the log takes it.
    virtual void ReportFailure(const wchar_t* message, const wchar_t* entry) = 0;
    // ReportNote: the run did something other than asked and went on (a settings folder it
    // could not use). `entry` holds the message and the value.
    virtual void ReportNote(const wchar_t* entry) = 0;
    // ReportNotMade: one thing the install could not make ("what: key or path: why"); the run
    // went on with the rest. Told once each, after the run's threads have ended.
    virtual void ReportNotMade(const wchar_t* entry) { ReportNote(entry); }
    // ConfirmAssociations: asked before the chosen formats are pointed at the product;
    // false only for a "No".
    virtual bool ConfirmAssociations(const wchar_t* question) = 0;
    // Unpacked: how far the files are written beside their places; false stops the run, and the
    // folder is left as it was.
    bool Unpacked(unsigned long long, unsigned long long) override { return true; }
};

// Tells each thing in `failures` ("what: key or path: why"), then how many more there were.
void ReportNotMade(InstallReporter& reporter, const FailureTally& failures);
