#pragma once
// One run at a time on the machine. Runs with administrator rights (elevated, or SYSTEM) take a
// mutex inside a private namespace bounded by the Administrators group: no other user can make
// that namespace, so nobody without those rights can take or hold their lock first. Where
// Windows has no private namespaces (XP; Wine), they take a named mutex that only SYSTEM or the
// Administrators may own; when somebody else made one of that name first, they lock a file in the
// Windows folder instead, where no such user can make one.
// Runs without those rights take a plain named mutex and exclude each other.
#include "framework/handles.h"

class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // True when this process holds the lock `name` ("Global\..."); false when another run held
    // it for all of `waitMs`, or it could not be made.
    bool Acquire(const wchar_t* name, DWORD waitMs);

private:
    // The lock as a file of the Windows folder, deleted when its only handle closes (the process
    // ending among the ways).
    bool AcquireFile(const wchar_t* name, const SECURITY_ATTRIBUTES& attributes, DWORD waitMs);

    KernelHandle m_mutex;
    KernelHandle m_file;
    HANDLE m_namespace = nullptr;  // kept open for the run, like the mutex in it
    bool m_held = false;
};
