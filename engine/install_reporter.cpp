#include "engine/install_reporter.h"

#include "framework/text.h"
#include "model/messages.h"

namespace {
constexpr size_t kMessageSize = 1024;
}  // namespace

// Each thing, once, in the order it was found: "what: where: why".
void ReportNotMade(InstallReporter& reporter, const FailureTally& failures)
{
    for (int i = 0; i < failures.Count(); ++i) {
        const NotMadeItem& item = failures.Item(i);
        wchar_t message[kMessageSize], reason[kMessageSize];
        LoadMessage(item.messageId, message, kMessageSize);
        SystemErrorText(item.error, reason, kMessageSize);
        constexpr size_t kEntrySize = 2 * kMessageSize + NotMadeItem::kWhereSize;
        wchar_t entry[kEntrySize];
        FormatText(entry, kEntrySize, L"%ls: %ls: %ls", message, item.where, reason);
        reporter.ReportNotMade(entry);
    }
    if (failures.Dropped() > 0) {
        wchar_t format[kMessageSize], entry[kMessageSize];
        LoadMessage(IDS_MORE_NOT_MADE, format, kMessageSize);
        FormatText(entry, kMessageSize, format, failures.Dropped());
        reporter.ReportNotMade(entry);
    }
}
