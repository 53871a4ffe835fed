#pragma once
// Where a test may cut a run short as a power cut would: the process ends at once, without
// cleaning up, when the environment variable PT_TEST_KILL_AT names the point. Nothing else
// reads it; a run without it passes every point.

// Ends the process (exit code 9) when PT_TEST_KILL_AT is `point`.
void KillPoint(const wchar_t* point);
