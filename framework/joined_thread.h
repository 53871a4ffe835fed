#pragma once
// Work that overlaps with the caller's: it runs on a thread of its own, and the owner waits for
// it to end before going on.
#include "framework/handles.h"

#include <windows.h>

#include <process.h>

// Runs `work()` on a new thread until the owner goes out of scope or calls Join; the thread
// handle is closed after the wait. `work` must outlive the owner.
template <typename Work>
class JoinedThread {
public:
    explicit JoinedThread(Work& work)
        : m_thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Run, &work, 0, nullptr)))
    {
    }
    ~JoinedThread() { Join(); }
    JoinedThread(JoinedThread&&) noexcept = default;
    JoinedThread& operator=(JoinedThread&&) = delete;

    // False when no thread could be made: the work has not run then.
    bool Started() const { return m_thread.Valid(); }
    // Waits for the work to end; does nothing the second time.
    void Join()
    {
        if (!m_thread)
            return;
        WaitForSingleObject(m_thread.Get(), INFINITE);
        m_thread.Reset();
    }

private:
    static unsigned __stdcall Run(void* work)
    {
        (*static_cast<Work*>(work))();
        return 0;
    }

    KernelHandle m_thread;
};

// Starts `work()` alongside the caller; when no thread can be made it runs at once instead, so
// the work is done either way.
template <typename Work>
JoinedThread<Work> StartAlongside(Work& work)
{
    JoinedThread<Work> thread(work);
    if (!thread.Started())
        work();
    return thread;
}
