#include "silent/silent_run.h"

#include "engine/install_log.h"
#include "engine/install_reporter.h"
#include "engine/install_run.h"
#include "framework/folder_access.h"
#include "framework/stage_clock.h"
#include "model/install_options.h"
#include "model/messages.h"
#include "model/running_product.h"

namespace {

// Failures and notes become log entries; nobody is there to answer the question.
class LogReporter : public InstallReporter {
public:
    void ReportFailure(const wchar_t*, const wchar_t* entry) override { InstallLog::Append(entry); }
    void ReportNote(const wchar_t* entry) override { InstallLog::Append(entry); }
    bool ConfirmAssociations(const wchar_t*) override { return true; }
};

}  // namespace

SetupExitCode RunSilent(const wchar_t* commandLine)
{
    InstallOptions options;
    BuildSilentOptions(commandLine, options);
    const bool productRunning = ProductRunning(options.installFolder);
    SwitchStage(Stage::kOther);
    if (productRunning) {
        LogMessage(IDS_PRODUCT_RUNNING);
        return kExitProductRunning;
    }
    options.forAnotherAccount = RunsForAnotherAccount();
    LogReporter reporter;
    return RunInstall(options, reporter);
}
