#pragma once
// What a run could not make, gathered from all of its threads and told once after they joined:
// each item a message, the key or path, and the Windows error.
#include <windows.h>

#include <cstddef>

struct NotMadeItem {
    static constexpr size_t kWhereSize = 600;
    unsigned messageId;
    DWORD error;  // a Windows error code, or an HRESULT where the call gave one
    wchar_t where[kWhereSize];
};

class FailureTally {
public:
    static constexpr int kCapacity = 32;

    FailureTally() = default;
    FailureTally(const FailureTally&) = delete;
    FailureTally& operator=(const FailureTally&) = delete;

    // Safe from any thread. The same message and place are kept once, with the first error.
    void Add(unsigned messageId, const wchar_t* where, DWORD error);
    // "HKEY_LOCAL_MACHINE\<subKey>", and " (<value>)" for a named value.
    void AddKey(unsigned messageId, HKEY root, const wchar_t* subKey, const wchar_t* value, DWORD error);

    // Read these only after every thread that adds has ended.
    int Count() const { return m_count; }
    const NotMadeItem& Item(int index) const { return m_items[index]; }
    int Dropped() const { return m_dropped; }  // items beyond the capacity
    bool Empty() const { return m_count == 0 && m_dropped == 0; }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    NotMadeItem m_items[kCapacity] = {};
    int m_count = 0;
    int m_dropped = 0;
};

// The system's text for `error` without its line break; "error <number>" when it has none.
void SystemErrorText(DWORD error, wchar_t* out, size_t outSize);
