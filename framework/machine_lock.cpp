#include "framework/machine_lock.h"

#include "framework/folder_access.h"
#include "framework/system_library.h"
#include "framework/text.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

// Full control for SYSTEM and the Administrators, nobody else, and the Administrators as owner.
constexpr char kAdministratorsOnly[] = "O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr wchar_t kNamespace[] = L"PictarnSetup";

// The private-namespace functions: Vista and later. Wine exports kernel32's but leaves them
// unimplemented, so ntdll's own is asked whether they work.
struct NamespaceFunctions {
    HANDLE(WINAPI* createBoundary)(LPCWSTR, ULONG) = nullptr;
    BOOL(WINAPI* addSid)(HANDLE*, PSID) = nullptr;
    HANDLE(WINAPI* create)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR) = nullptr;

    bool Load()
    {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlAddSIDToBoundaryDescriptor"))
            return false;
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        createBoundary = ProcAddress<decltype(createBoundary)>(kernel, "CreateBoundaryDescriptorW");
        addSid = ProcAddress<decltype(addSid)>(kernel, "AddSIDToBoundaryDescriptor");
        create = ProcAddress<decltype(create)>(kernel, "CreatePrivateNamespaceW");
        return createBoundary && addSid && create;
    }
};


// A mutex of that name that SYSTEM or the Administrators own: one a user made is no lock.
bool MutexOwnedByAdministrators(HANDLE mutex)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    LocalMemory freed(descriptor);
    return owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid));
}

constexpr DWORD kPollMs = 100;

// Windows' own namespace functions; the boundary is made once per run.
class WindowsNamespaces : public NamespaceSystem {
public:
    WindowsNamespaces(const NamespaceFunctions& functions, SECURITY_ATTRIBUTES& attributes)
        : m_functions(functions), m_attributes(attributes)
    {
        BYTE administrators[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof(administrators);
        m_boundary = functions.createBoundary(kNamespace, 0);
        if (m_boundary && (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)
                           || !functions.addSid(&m_boundary, administrators)))
            m_boundary = nullptr;
    }
    HANDLE Create() override
    {
        if (!m_boundary) {
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        }
        return m_functions.create(&m_attributes, m_boundary, kNamespace);
    }
    void Pause(DWORD ms) override { Sleep(ms); }

private:
    const NamespaceFunctions& m_functions;
    SECURITY_ATTRIBUTES& m_attributes;
    HANDLE m_boundary = nullptr;  // goes with the process
};

}  // namespace

NamespaceHold HoldPrivateNamespace(NamespaceSystem& system, DWORD waitMs, HANDLE& held)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        held = system.Create();
        if (held)
            return NamespaceHold::kHeld;
        // Opening it instead would let two runs in: once its creator ends, a namespace can no
        // longer be opened, and the next run would make a fresh one beside a run still at work.
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return NamespaceHold::kUnavailable;
        if (waited >= waitMs)
            return NamespaceHold::kBusy;
        system.Pause(kPollMs);
    }
}

MachineLock::~MachineLock()
{
    if (m_held)
        ReleaseMutex(m_mutex.Get());
    using Close = BOOLEAN(WINAPI*)(HANDLE, ULONG);
    if (m_namespace)
        if (const auto close = ProcAddress<Close>(GetModuleHandleW(L"kernel32.dll"), "ClosePrivateNamespace"))
            close(m_namespace, 1 /* PRIVATE_NAMESPACE_FLAG_DESTROY */);
}

bool MachineLock::Acquire(const wchar_t* name, DWORD waitMs)
{
    if (!RunsAsAdministrator())
        return AcquireWithoutRights(name, waitMs);
    LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1,
                                                              descriptor.Receive(), nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    NamespaceFunctions functions;
    if (functions.Load()) {
        WindowsNamespaces windows(functions, attributes);
        switch (HoldPrivateNamespace(windows, waitMs, m_namespace)) {
        case NamespaceHold::kBusy: return false;
        case NamespaceHold::kUnavailable: break;  // the mutex alone, as where there are no namespaces
        case NamespaceHold::kHeld:
            // The mutex keeps runs without rights out. A user's object at its name may be such a
            // run's lock: it is waited for, but never stops the machine's run.
            switch (TakeAdministratorsMutex(name, attributes, waitMs)) {
            case MutexTake::kTaken: return true;
            case MutexTake::kBusy: return false;  // an administrators' run that found no namespace
            case MutexTake::kSomebodyElses: break;
            }
            if (m_mutex)
                WaitForMutex(waitMs);
            return true;
        }
    }
    switch (TakeAdministratorsMutex(name, attributes, waitMs)) {
    case MutexTake::kTaken: return true;
    case MutexTake::kBusy: return false;
    case MutexTake::kSomebodyElses: break;
    }
    m_mutex.Reset();  // a user's object at the name: no lock, and no stop to the machine's runs
    return AcquireFile(name, attributes, waitMs);
}

bool MachineLock::AcquireWithoutRights(const wchar_t* name, DWORD waitMs)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        m_mutex.Reset(CreateMutexW(nullptr, FALSE, name));
        if (m_mutex)
            return WaitForMutex(waitMs > waited ? waitMs - waited : 0);
        // Only the Administrators may open the mutex an administrators' run made: one is at work.
        if (GetLastError() != ERROR_ACCESS_DENIED || waited >= waitMs)
            return false;
        Sleep(kPollMs);
    }
}

MachineLock::MutexTake MachineLock::TakeAdministratorsMutex(const wchar_t* name, const SECURITY_ATTRIBUTES& attributes,
                                                            DWORD waitMs)
{
    m_mutex.Reset(CreateMutexW(const_cast<SECURITY_ATTRIBUTES*>(&attributes), FALSE, name));
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!m_mutex || (existed && !MutexOwnedByAdministrators(m_mutex.Get())))
        return MutexTake::kSomebodyElses;
    return WaitForMutex(waitMs) ? MutexTake::kTaken : MutexTake::kBusy;
}

// A holder that died without letting go leaves the mutex abandoned: it is free again.
bool MachineLock::WaitForMutex(DWORD waitMs)
{
    const DWORD waited = WaitForSingleObject(m_mutex.Get(), waitMs);
    m_held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return m_held;
}

bool MachineLock::AcquireFile(const wchar_t* name, const SECURITY_ATTRIBUTES& attributes, DWORD waitMs)
{
    wchar_t windows[MAX_PATH], path[MAX_PATH + 64];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const wchar_t* bare = wcschr(name, L'\\') ? wcschr(name, L'\\') + 1 : name;
    if (length == 0 || length >= MAX_PATH || !FormatText(path, MAX_PATH + 64, L"%ls\\%ls.lock", windows, bare))
        return false;
    for (DWORD waited = 0;; waited += kPollMs) {
        m_file.Reset(CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES, 0, const_cast<SECURITY_ATTRIBUTES*>(&attributes), OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
        if (m_file)
            return true;
        // Held open by another run, or deleted by one that has just ended.
        const DWORD error = GetLastError();
        if (waited >= waitMs || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return false;
        Sleep(kPollMs);
    }
}
