#include "framework/failure_tally.h"

#include "framework/text.h"

#include <cwchar>

namespace {

// An exclusive hold of an SRW lock for one scope.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

const wchar_t* RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER)
        return L"HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT)
        return L"HKEY_CLASSES_ROOT";
    return L"HKEY_USERS";
}

}  // namespace

void FailureTally::Add(unsigned messageId, const wchar_t* where, DWORD error)
{
    ExclusiveLock hold(m_lock);
    for (int i = 0; i < m_count; ++i)
        if (m_items[i].messageId == messageId && _wcsicmp(m_items[i].where, where) == 0)
            return;
    if (m_count == kCapacity) {
        ++m_dropped;
        return;
    }
    NotMadeItem& item = m_items[m_count++];
    item.messageId = messageId;
    item.error = error;
    CopyText(item.where, NotMadeItem::kWhereSize, where);
}

void FailureTally::AddKey(unsigned messageId, HKEY root, const wchar_t* subKey, const wchar_t* value, DWORD error)
{
    wchar_t where[NotMadeItem::kWhereSize];
    if (value && value[0] != L'\0')
        FormatText(where, NotMadeItem::kWhereSize, L"%ls\\%ls (%ls)", RootName(root), subKey, value);
    else
        FormatText(where, NotMadeItem::kWhereSize, L"%ls\\%ls", RootName(root), subKey);
    Add(messageId, where, error);
}

void SystemErrorText(DWORD error, wchar_t* out, size_t outSize)
{
    out[0] = L'\0';
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        out, static_cast<DWORD>(outSize), nullptr);
    if (length == 0) {
        FormatText(out, outSize, L"error %lu", static_cast<unsigned long>(error));
        return;
    }
    for (size_t end = wcslen(out); end > 0 && (out[end - 1] == L'\r' || out[end - 1] == L'\n' || out[end - 1] == L' ');
         --end)
        out[end - 1] = L'\0';
}
