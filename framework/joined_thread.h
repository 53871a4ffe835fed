#pragma once
// Work that overlaps with the caller's: it runs on a thread of its own, and the owner waits for
// it to end before going on.
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
    JoinedThread(JoinedThread&& other) noexcept : m_thread(other.m_thread) { other.m_thread = nullptr; }
    JoinedThread& operator=(JoinedThread&&) = delete;
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;

    // False when no thread could be made: the work has not run then.
    bool Started() const { return m_thread != nullptr; }
    // Waits for the work to end; does nothing the second time.
    void Join()
    {
        if (!m_thread)
            return;
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }

private:
    static unsigned __stdcall Run(void* work)
    {
        (*static_cast<Work*>(work))();
        return 0;
    }

    HANDLE m_thread;
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
