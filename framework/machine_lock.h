#pragma once
// One run at a time on the machine. Runs with administrator rights (elevated, or SYSTEM) take a
// mutex inside a private namespace bounded by the Administrators group: no other user can make
// that namespace, so nobody without those rights can take or hold their lock first. Where
// Windows has no private namespaces (XP; Wine), they take a named mutex that only SYSTEM or the
// Administrators may own; one made by anybody else is no lock of theirs and is passed over.
// Runs without those rights take a plain named mutex and exclude each other.
#include "framework/handles.h"

class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // True when this process may go on: it holds the lock `name` ("Global\..."), or the only
    // object of that name is one a user without administrator rights made. False when another
    // run held the lock for all of `waitMs`.
    bool Acquire(const wchar_t* name, DWORD waitMs);

private:
    KernelHandle m_mutex;
    HANDLE m_namespace = nullptr;  // kept open for the run, like the mutex in it
    bool m_held = false;
};
