#pragma once
// The levels of a folder's path held open for a run: while held, none of them can be renamed,
// deleted or replaced (by a link, say) under the run's feet.
#include "framework/handles.h"

#include <cstddef>

class HeldPath {
public:
    // Opens every level of `folder` (absolute) that exists, from the root down, as itself and
    // never through a link, sharing it with nobody who would delete or rename it. False when a
    // level is a reparse point (a junction, a symbolic link, a mount point: `link` then names it)
    // or no folder; the levels held before stay held. Levels missing yet are not held: call it
    // again once they are made.
    bool Hold(const wchar_t* folder, wchar_t* link, size_t linkSize);

private:
    static constexpr int kMaxLevels = 64;
    KernelHandle m_levels[kMaxLevels];
};
