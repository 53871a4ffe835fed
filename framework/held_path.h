#pragma once
// The levels of a folder's path held open for a run: while held, none of them can be renamed,
// deleted or replaced (by a link, say) under the run's feet.
#include "framework/handles.h"

#include <cstddef>

enum class HoldResult {
    kHeld,
    kLink,     // a level is a reparse point (a junction, a symbolic link, a mount point) or no folder
    kRefused,  // a level is not one `accept` takes
};

class HeldPath {
public:
    // Opens every level of `folder` (absolute) that exists below its root, from the top down, as
    // itself and never through a link, sharing it with nobody who would delete or rename it, and
    // asks `accept` (when given) about each level's handle, and whether it is `folder` itself. Anything but kHeld names the level in
    // `level`, and the levels held before stay held. Levels missing yet are not held: call it
    // again once they are made.
    HoldResult Hold(const wchar_t* folder, wchar_t* level, size_t levelSize, bool (*accept)(HANDLE, bool last) = nullptr);

    // Lets go of every level, the deepest first.
    void Release();

private:
    static constexpr int kMaxLevels = 64;
    KernelHandle m_levels[kMaxLevels];
};
