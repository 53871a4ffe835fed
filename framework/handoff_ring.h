#pragma once
// A bounded queue from one thread to another. The sender fills the slot Reserve gives and
// passes it on with Publish; the receiver gets the slots in the same order from Take and gives
// each back with Return. Either side waits while the ring is full or empty.
#include "framework/handles.h"

#include <windows.h>

template <typename Slot, int N>
class HandoffRing {
public:
    HandoffRing()
        : m_free(CreateSemaphoreW(nullptr, N, N, nullptr)), m_filled(CreateSemaphoreW(nullptr, 0, N, nullptr))
    {
    }
    HandoffRing(const HandoffRing&) = delete;
    HandoffRing& operator=(const HandoffRing&) = delete;

    // False when the system could not make the ring's two counters.
    bool Valid() const { return m_free.Valid() && m_filled.Valid(); }
    // The slots themselves, to set them up before the ring is used.
    Slot& At(int index) { return m_slots[index]; }

    Slot& Reserve()
    {
        WaitForSingleObject(m_free.Get(), INFINITE);
        return m_slots[m_sent % N];
    }
    void Publish()
    {
        ++m_sent;
        ReleaseSemaphore(m_filled.Get(), 1, nullptr);
    }
    Slot& Take()
    {
        WaitForSingleObject(m_filled.Get(), INFINITE);
        return m_slots[m_received % N];
    }
    void Return()
    {
        ++m_received;
        ReleaseSemaphore(m_free.Get(), 1, nullptr);
    }

private:
    Slot m_slots[N] = {};
    KernelHandle m_free, m_filled;
    unsigned m_sent = 0;      // touched by the sender only
    unsigned m_received = 0;  // touched by the receiver only
};
