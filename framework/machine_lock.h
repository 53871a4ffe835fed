#pragma once
// One run at a time on the machine: a named mutex held from Acquire until the lock is destroyed.
#include "framework/handles.h"

class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // True when this process now holds the lock; false while another process holds it.
    bool Acquire(const wchar_t* name);

private:
    KernelHandle m_mutex;
    bool m_held = false;
};
