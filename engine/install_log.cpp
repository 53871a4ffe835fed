#include "engine/install_log.h"

#include "framework/path.h"
#include "framework/handles.h"
#include "model/messages.h"
#include "framework/text.h"
#include "framework/zero_filled.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kLogPathSize = 600;
// Empty until FixLocation gives the log a folder: the plain file name then.
PT_ZERO_FILLED wchar_t g_logPath[kLogPathSize];

// Text outside ASCII (a folder path) is written as UTF-8; ASCII stays byte for byte.
void WriteUtf8(FILE* file, const wchar_t* text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return;
    HeapBuffer<char> buffer = AllocateBuffer<char>(static_cast<size_t>(bytes));
    if (!buffer)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer.Get(), bytes, nullptr, nullptr);
    fputs(buffer.Get(), file);
}

}  // namespace

void InstallLog::FixLocation(const wchar_t* fileName)
{
    RememberStartDirectory();
    wchar_t folder[kLogPathSize];
    if (!CopyText(folder, StartDirectory()) || folder[0] == L'\0')
        return;  // keeps the plain file name, relative to the current directory
    AppendBackslash(folder);
    if (AppendText(folder, fileName ? fileName : variant::kLogFileName))
        CopyText(g_logPath, folder);
}

const wchar_t* InstallLog::Path()
{
    return g_logPath[0] != L'\0' ? g_logPath : variant::kLogFileName;
}

void InstallLog::Append(const wchar_t* text)
{
    // Text mode turns every line feed, those inside the message too, into CR LF.
    StdioFile file(_wfopen(Path(), L"a"));
    if (!file)
        return;

    wchar_t date[256] = L"";
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 256);
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t time[16];
    FormatText(time, 16, L"%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);

    WriteUtf8(file.Get(), date);
    fputs(" - ", file.Get());
    WriteUtf8(file.Get(), time);
    fputs(": ", file.Get());
    WriteUtf8(file.Get(), text);
    fputs("\n------------------------------------------------\n", file.Get());
}

void LogMessage(unsigned id)
{
    wchar_t message[kLogPathSize];
    LoadMessage(id, message, kLogPathSize);
    InstallLog::Append(message);
}
