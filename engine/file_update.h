#pragma once
// Replacing an installation's files all at once or not at all. Each new file is first written
// beside its place under a name of this run's own ("<name>.<token>.new"), with the journal
// (variant::kUpdateJournalFile) naming them all; only then is each earlier file moved aside
// ("<name>.<token>.old") and the new one moved in. When a move fails, everything goes back. A
// run cut short anywhere is undone by the next run, the setup's or the uninstaller's, from the
// journal; once every move was made the journal says so, and the next run only clears up.
#include "engine/install_record.h"

struct UpdateFile {
    wchar_t name[kRecordNameSize];  // relative to the installation folder
    bool replaces;                  // a file stood at the name when the journal was written
};

class FileUpdate {
public:
    // `folder` ends in a backslash.
    explicit FileUpdate(const wchar_t* folder);
    // Anything staged and not committed is deleted again.
    ~FileUpdate();
    FileUpdate(const FileUpdate&) = delete;
    FileUpdate& operator=(const FileUpdate&) = delete;

    // A file of the update; false when the name is not plain or the heap is full.
    bool Add(const wchar_t* name);
    // Writes the journal; from here on a run cut short is undone by the next one.
    bool Begin();
    // The full path file `i` is written under before the commit.
    bool StagedPath(int i, wchar_t* out, size_t outSize) const;
    // Moves every file into place; on failure puts every earlier file back, deletes the new
    // ones and names the full path it could not replace in `failed`.
    bool Commit(wchar_t* failed, size_t failedSize);
    int Count() const { return m_count; }
    // How often a move was tried again because something held a file a moment.
    int Retries() const { return m_retries; }
    const UpdateFile& At(int i) const { return m_files.Get()[i]; }

private:
    bool WriteJournal(bool done) const;
    void Discard();

    wchar_t m_folder[kRecordNameSize];
    wchar_t m_token[40];
    HeapBuffer<UpdateFile> m_files;
    int m_count = 0;
    int m_capacity = 0;
    int m_retries = 0;
    bool m_begun = false;
    bool m_committed = false;
};

// Undoes an update a run left behind in `folder` (ending in a backslash), or clears up after one
// whose moves were all made; nothing when there is no journal.
void FinishInterruptedUpdate(const wchar_t* folder);
