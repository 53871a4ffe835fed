#include "engine/install_log.h"

#include "framework/folder_access.h"
#include "framework/handles.h"
#include "framework/path.h"
#include "framework/plain_file.h"
#include "framework/random_name.h"
#include "model/messages.h"
#include "framework/text.h"
#include "framework/zero_filled.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

constexpr size_t kLogPathSize = 600;
// Empty until FixLocation gives the log a folder: the plain file name then.
PT_ZERO_FILLED wchar_t g_logPath[kLogPathSize];
bool g_startFolderLinked = false;

// Text outside ASCII (a folder path) is written as UTF-8; ASCII stays byte for byte. Every line
// feed, those inside the message too, becomes CR LF.
void AppendUtf8(HeapBuffer<char>& out, size_t& used, size_t capacity, const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    HeapBuffer<char> utf8 = AllocateBuffer<char>(bytes > 0 ? static_cast<size_t>(bytes) : 1);
    if (bytes <= 1 || !utf8 || !WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.Get(), bytes, nullptr, nullptr))
        return;
    for (const char* c = utf8.Get(); *c && used + 2 <= capacity; ++c) {
        if (*c == '\n')
            out.Get()[used++] = '\r';
        out.Get()[used++] = *c;
    }
}

// The log as a plain file of its own, opened for appending; null when it is anything else. Run
// elevated, a log somebody else owns is not appended to (a user who made it first could read or
// swap what an administrator's run writes): the run's entries go to a new file beside it.
KernelHandle OpenLog(wchar_t* path)
{
    KernelHandle log = OpenPlainFile(path, FILE_APPEND_DATA | READ_CONTROL, FILE_SHARE_READ, OPEN_ALWAYS);
    if (!log || !RunsAsAdministrator() || OwnedByAdministrators(log.Get()))
        return log;
    wchar_t random[40], fresh[kLogPathSize];
    const wchar_t* dot = wcsrchr(path, L'.');
    if (!FormatRandomHex(random, 40) || !dot
        || !FormatText(fresh, kLogPathSize, L"%.*ls.%ls%ls", static_cast<int>(dot - path), path, random, dot))
        return KernelHandle();
    log = OpenPlainFile(fresh, FILE_APPEND_DATA, FILE_SHARE_READ, CREATE_NEW);
    if (log)
        CopyText(path, kLogPathSize, fresh);  // the run's later entries follow
    return log;
}

}  // namespace

void InstallLog::FixLocation(const wchar_t* fileName)
{
    RememberStartDirectory();
    wchar_t folder[kLogPathSize];
    if (!CopyText(folder, StartDirectory()) || folder[0] == L'\0')
        return;  // keeps the plain file name, relative to the current directory
    // A start folder that is itself a link would lead the log elsewhere: no log then.
    const DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        g_startFolderLinked = true;
        return;
    }
    AppendBackslash(folder);
    if (AppendText(folder, fileName ? fileName : variant::kLogFileName))
        CopyText(g_logPath, folder);
}

const wchar_t* InstallLog::Path()
{
    return g_logPath[0] != L'\0' ? g_logPath : variant::kLogFileName;
}

void InstallLog::MoveOutOf(const wchar_t* folder)
{
    const size_t length = wcslen(folder);
    if (g_logPath[0] == L'\0' || _wcsnicmp(g_logPath, folder, length) != 0)
        return;
    wchar_t moved[kLogPathSize];
    const DWORD tempLength = GetTempPathW(kLogPathSize, moved);
    if (tempLength == 0 || tempLength >= kLogPathSize || !AppendText(moved, wcsrchr(g_logPath, L'\\') + 1))
        return;
    CopyText(g_logPath, moved);
    g_startFolderLinked = false;
}

void InstallLog::Append(const wchar_t* text)
{
    wchar_t date[256] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 256);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t time[16];
    FormatText(time, 16, L"%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);

    // Twice the UTF-8 of everything, for the CR before each LF, and the separator line.
    const size_t capacity = 2 * 3 * (wcslen(date) + wcslen(time) + wcslen(text) + 8) + 64;
    HeapBuffer<char> entry = AllocateBuffer<char>(capacity);
    if (!entry)
        return;
    size_t used = 0;
    const wchar_t* parts[] = {date, L" - ", time, L": ", text};
    for (const wchar_t* part : parts)
        AppendUtf8(entry, used, capacity, part);
    constexpr char kSeparator[] = "\r\n------------------------------------------------\r\n";
    if (used + sizeof(kSeparator) <= capacity) {
        memcpy(entry.Get() + used, kSeparator, sizeof(kSeparator) - 1);
        used += sizeof(kSeparator) - 1;
    }
    if (g_logPath[0] == L'\0')
        CopyText(g_logPath, variant::kLogFileName);
    const KernelHandle log = g_startFolderLinked ? KernelHandle() : OpenLog(g_logPath);
    DWORD written = 0;
    if (log)
        WriteFile(log.Get(), entry.Get(), static_cast<DWORD>(used), &written, nullptr);
}

void LogMessage(unsigned id)
{
    wchar_t message[kLogPathSize];
    LoadMessage(id, message, kLogPathSize);
    InstallLog::Append(message);
}
