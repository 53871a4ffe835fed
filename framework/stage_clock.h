#pragma once
// Where a run's time goes, stage by stage, for the benchmark's breakdown. Compiled in only with
// PT_STAGE_TIMES (tools/bench builds such a copy); in the deliverables every call is empty.
#include <windows.h>

enum class Stage {
    kStartUp,          // from process creation to the running-product decision
    kOther,            // everything no other stage claims
    kPayloadCheck,     // the payload's SHA-256 against the one the program carries
    kArchiveRead,
    kDecode,
    kFileWrite,        // handing decoded bytes to the file system
    kFileCreateMove,   // creating, dating and moving each file into place
    kSettings,
    kShortcuts,
    kRegistry,
    kCount
};

#ifdef PT_STAGE_TIMES
// Charges the calling thread's time since its last switch to the stage it ran and starts `next`
// on it. Returns the stage that ran until now. Threads working side by side each count in full.
Stage SwitchStage(Stage next);
// Appends "name=microseconds" for every stage, one line per run, to the file named by the
// PT_STAGE_FILE environment variable.
void WriteStageTimes();
#else
inline Stage SwitchStage(Stage) { return Stage::kOther; }
inline void WriteStageTimes() {}
#endif

// Runs its scope as `stage`, then returns to the stage that ran before.
class StageScope {
public:
    explicit StageScope(Stage stage) : m_previous(SwitchStage(stage)) {}
    ~StageScope() { SwitchStage(m_previous); }
    StageScope(const StageScope&) = delete;
    StageScope& operator=(const StageScope&) = delete;

private:
    Stage m_previous;
};
