#include "framework/machine_lock.h"

MachineLock::~MachineLock()
{
    if (m_held)
        ReleaseMutex(m_mutex.Get());
}

bool MachineLock::Acquire(const wchar_t* name)
{
    m_mutex.Reset(CreateMutexW(nullptr, FALSE, name));
    if (!m_mutex)
        return false;
    // A holder that died without letting go leaves the lock abandoned: it is free again.
    const DWORD waited = WaitForSingleObject(m_mutex.Get(), 0);
    m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return m_held;
}
