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
    HANDLE(WINAPI* open)(LPVOID, LPCWSTR) = nullptr;

    bool Load()
    {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlAddSIDToBoundaryDescriptor"))
            return false;
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        createBoundary = ProcAddress<decltype(createBoundary)>(kernel, "CreateBoundaryDescriptorW");
        addSid = ProcAddress<decltype(addSid)>(kernel, "AddSIDToBoundaryDescriptor");
        create = ProcAddress<decltype(create)>(kernel, "CreatePrivateNamespaceW");
        open = ProcAddress<decltype(open)>(kernel, "OpenPrivateNamespaceW");
        return createBoundary && addSid && create && open;
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

constexpr DWORD kFileLockPollMs = 100;

}  // namespace

// The namespace and its boundary go with the process: the lock lives for the whole run.
MachineLock::~MachineLock()
{
    if (m_held)
        ReleaseMutex(m_mutex.Get());
}

bool MachineLock::Acquire(const wchar_t* name, DWORD waitMs)
{
    if (!RunsAsAdministrator()) {
        m_mutex.Reset(CreateMutexW(nullptr, FALSE, name));
    } else {
        LocalMemory descriptor;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kAdministratorsOnly, SDDL_REVISION_1,
                                                                  descriptor.Receive(), nullptr))
            return false;
        SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
        NamespaceFunctions ns;
        if (ns.Load()) {
            BYTE administrators[SECURITY_MAX_SID_SIZE];
            DWORD size = sizeof(administrators);
            HANDLE boundary = ns.createBoundary(kNamespace, 0);
            if (!boundary || !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size)
                || !ns.addSid(&boundary, administrators))
                return false;
            m_namespace = ns.create(&attributes, boundary, kNamespace);
            if (!m_namespace && GetLastError() == ERROR_ALREADY_EXISTS)
                m_namespace = ns.open(boundary, kNamespace);
            if (!m_namespace)
                return false;
            m_mutex.Reset(CreateMutexW(&attributes, FALSE, L"PictarnSetup\\Run"));  // inside the namespace
        } else {
            m_mutex.Reset(CreateMutexW(&attributes, FALSE, name));
            const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
            if (!m_mutex || (existed && !MutexOwnedByAdministrators(m_mutex.Get()))) {
                m_mutex.Reset();  // a user's object at the name: no lock, and no stop to the machine's runs
                return AcquireFile(name, attributes, waitMs);
            }
        }
    }
    if (!m_mutex)
        return false;
    // A holder that died without letting go leaves the lock abandoned: it is free again.
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
    for (DWORD waited = 0;; waited += kFileLockPollMs) {
        m_file.Reset(CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES, 0, const_cast<SECURITY_ATTRIBUTES*>(&attributes), OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
        if (m_file)
            return true;
        // Held open by another run, or deleted by one that has just ended.
        const DWORD error = GetLastError();
        if (waited >= waitMs || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return false;
        Sleep(kFileLockPollMs);
    }
}
