#include "framework/stage_clock.h"

#ifdef PT_STAGE_TIMES

#include "framework/handles.h"

#include <cstdio>

// Declared by the headers only for Windows 8 and later; Wine has it, and only the benchmark's
// copy calls it.
extern "C" WINBASEAPI VOID WINAPI GetSystemTimePreciseAsFileTime(LPFILETIME);

namespace {

constexpr const char* kStageNames[] = {"start_up", "other", "payload_check", "archive_read", "decode",
                                       "file_write", "file_create_move", "settings", "shortcuts", "registry"};
static_assert(sizeof(kStageNames) / sizeof(kStageNames[0]) == static_cast<size_t>(Stage::kCount));

ULONGLONG Now()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The clock starts when the process was created, so the loader's work counts as start-up.
ULONGLONG ProcessCreation()
{
    FILETIME creation, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user))
        return Now();
    return (static_cast<ULONGLONG>(creation.dwHighDateTime) << 32) | creation.dwLowDateTime;
}

// Each thread runs one stage at a time; the totals are the sum over all threads, so work done
// side by side counts in full for each of its stages.
LONGLONG g_total[static_cast<size_t>(Stage::kCount)] = {};
LONG g_threadsSeen = 0;

struct ThreadClock {
    Stage current = Stage::kOther;
    ULONGLONG since = 0;
};

thread_local ThreadClock t_clock;

}  // namespace

Stage SwitchStage(Stage next)
{
    ThreadClock& clock = t_clock;
    const ULONGLONG now = Now();
    if (clock.since == 0) {
        // The first thread to switch is the program's own: it has been starting up since then.
        const bool first = InterlockedIncrement(&g_threadsSeen) == 1;
        clock.current = first ? Stage::kStartUp : Stage::kOther;
        clock.since = first ? ProcessCreation() : now;
    }
    InterlockedExchangeAdd64(&g_total[static_cast<size_t>(clock.current)], static_cast<LONGLONG>(now - clock.since));
    clock.since = now;
    const Stage previous = clock.current;
    clock.current = next;
    return previous;
}

void WriteStageTimes()
{
    SwitchStage(Stage::kOther);
    wchar_t path[MAX_PATH];
    DWORD len = GetEnvironmentVariableW(L"PT_STAGE_FILE", path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return;
    StdioFile out(_wfopen(path, L"ab"));
    if (!out)
        return;
    for (size_t i = 0; i < static_cast<size_t>(Stage::kCount); ++i)
        fprintf(out.Get(), "%s%s=%llu", i ? " " : "", kStageNames[i], static_cast<ULONGLONG>(g_total[i]) / 10);
    fputs("\n", out.Get());
}

#endif
