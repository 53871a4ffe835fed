#include "wizard/message_box.h"

#include "model/messages.h"

namespace {
constexpr size_t kMessageSize = 1024;
}  // namespace

int ShowSetupMessage(HWND owner, unsigned id, const wchar_t* caption, UINT type)
{
    wchar_t message[kMessageSize];
    LoadMessage(id, message, kMessageSize);
    return MessageBoxW(owner, message, caption, type);
}
