#pragma once
// One run at a time on the machine, whoever starts it.
// Runs with administrator rights (elevated, or SYSTEM) hold a private namespace bounded by the
// Administrators group: it exists only while its creator runs, no other user can make it, and it
// is never opened, only made, so each holder is its creator. They also hold the named mutex, made
// so that only SYSTEM and the Administrators may open it: runs without those rights, which take
// that mutex, wait while it is held. Where Windows has no private namespaces (XP; Wine), the
// mutex itself is their lock; when somebody else made one of that name first, they lock a file
// in the Windows folder instead, where no such user can make one.
#include "framework/handles.h"

// What holding the namespace asks of Windows, apart so that a test can play Windows' part.
class NamespaceSystem {
public:
    virtual ~NamespaceSystem() = default;
    // A namespace made now, or null with the error: ERROR_ALREADY_EXISTS while its creator runs.
    virtual HANDLE Create() = 0;
    virtual void Pause(DWORD ms) = 0;
};

enum class NamespaceHold { kHeld, kBusy, kUnavailable };

// Makes the namespace, trying again while another run has it, for up to `waitMs`.
NamespaceHold HoldPrivateNamespace(NamespaceSystem& system, DWORD waitMs, HANDLE& held);

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
    enum class MutexTake { kTaken, kBusy, kSomebodyElses };

    bool AcquireWithoutRights(const wchar_t* name, DWORD waitMs);
    // The named mutex made for the Administrators alone; one somebody else made is not taken.
    MutexTake TakeAdministratorsMutex(const wchar_t* name, const SECURITY_ATTRIBUTES& attributes, DWORD waitMs);
    bool WaitForMutex(DWORD waitMs);
    // The lock as a file of the Windows folder, deleted when its only handle closes (the process
    // ending among the ways).
    bool AcquireFile(const wchar_t* name, const SECURITY_ATTRIBUTES& attributes, DWORD waitMs);

    KernelHandle m_mutex;
    KernelHandle m_file;
    HANDLE m_namespace = nullptr;  // closed and destroyed with the lock
    bool m_held = false;
};
