#include "wizard/message_box.h"

#include "framework/text.h"
#include "model/messages.h"
#include "res/resource.h"

namespace {
constexpr size_t kMessageSize = 1024;
}  // namespace

int ShowSetupMessage(HWND owner, unsigned id, const wchar_t* caption, UINT type)
{
    wchar_t message[kMessageSize];
    LoadMessage(id, message, kMessageSize);
    return MessageBoxW(owner, message, caption, type);
}

void TellNotOpened(HWND owner, const wchar_t* what)
{
    wchar_t format[kMessageSize], message[kMessageSize * 2], caption[64];
    LoadMessage(IDS_NOT_OPENED, format, kMessageSize);
    LoadMessage(IDS_SETUP_TITLE, caption, 64);
    FormatText(message, kMessageSize * 2, format, what);
    MessageBoxW(owner, message, caption, MB_ICONINFORMATION | MB_OK);
}
