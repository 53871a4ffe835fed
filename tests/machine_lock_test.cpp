// The administrators' lock on Windows, where Wine has no private namespaces: Windows' part is
// played from its documentation. A namespace stays while its creator runs and cannot be made
// again meanwhile (ERROR_ALREADY_EXISTS); once its creator ends it can no longer be opened, so
// only making it is a lock.
#include "framework/machine_lock.h"

#include <gtest/gtest.h>

namespace {

class PlayedWindows : public NamespaceSystem {
public:
    PlayedWindows(DWORD othersEndAt, DWORD errorMeanwhile) : m_othersEndAt(othersEndAt), m_error(errorMeanwhile) {}
    HANDLE Create() override
    {
        if (now >= m_othersEndAt)
            return reinterpret_cast<HANDLE>(0x44);
        SetLastError(m_error);
        return nullptr;
    }
    void Pause(DWORD ms) override { now += ms; }
    DWORD now = 0;

private:
    DWORD m_othersEndAt;
    DWORD m_error;
};

struct LockCase {
    const char* label;
    DWORD othersEndAt;
    DWORD errorMeanwhile;
    NamespaceHold expected;
    DWORD earliest, latest;  // when the answer came, in played milliseconds
};

}  // namespace

TEST(MachineLock, TheNamespaceIsMadeByEachHolderWaitedForAndNeverEnteredWhileAnotherHasIt)
{
    const LockCase cases[] = {
        {"nobody at work", 0, ERROR_ALREADY_EXISTS, NamespaceHold::kHeld, 0, 0},
        {"another run ends after 3 s", 3000, ERROR_ALREADY_EXISTS, NamespaceHold::kHeld, 3000, 3100},
        {"another run outlasts the 10 s", 3600000, ERROR_ALREADY_EXISTS, NamespaceHold::kBusy, 10000, 10100},
        {"this account is outside the boundary", 3600000, ERROR_ACCESS_DENIED, NamespaceHold::kUnavailable, 0, 0},
    };
    for (const LockCase& c : cases) {
        SCOPED_TRACE(c.label);
        PlayedWindows windows(c.othersEndAt, c.errorMeanwhile);
        HANDLE held = nullptr;
        EXPECT_EQ(HoldPrivateNamespace(windows, 10000, held), c.expected);
        EXPECT_EQ(held != nullptr, c.expected == NamespaceHold::kHeld);
        EXPECT_GE(windows.now, c.earliest);
        EXPECT_LE(windows.now, c.latest);
    }
}
