#pragma once
// What the setup replaces in values it does not own (an extension's default, a user's explorer
// ProgID, a store app's "NoOpenWith"): the value as it stood before the first install is kept
// once in a record of its own, per machine and per user, so removing the product can put it
// back. One record serves both builds.
#include "framework/handles.h"

#include <windows.h>

// The record, written during one registration: each root's record key is opened once.
class ReplacedValuesRecord {
public:
    // Keeps the value as it stands unless a record of it exists or it already holds `ours` (a
    // reinstall never takes the product's own value for what was there before).
    void KeepBeforeReplacing(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* ours);
    // Notes that the setup made `key` and `levels` - 1 of its parents for a value of its own.
    void KeepMadeKeys(HKEY root, const wchar_t* key, const wchar_t* name, int levels);
    // Notes which of the nearest `levels` parents of `key` the setup is about to make: only
    // those go again, once empty; a parent that was there before stays.
    void KeepParentsToMake(HKEY root, const wchar_t* key, int levels);

private:
    HKEY Open(HKEY root);  // null when the record cannot be made

    RegKey m_machine, m_user;
};

// Told of each thing a removal leaves behind: its key (and value) as text.
class LeftBehindNotes {
public:
    virtual void LeftBehind(const wchar_t* what) = 0;

protected:
    ~LeftBehindNotes() = default;
};

// Puts back every recorded value under `root` that still holds what the setup wrote, once
// `stillInUse(ours)` says no installation uses that any more; those entries leave the record,
// and the record goes when it is empty. A value changed since by somebody else stays as it is.
// Keys the setup made go once empty, also for values already removed by name. An entry that
// cannot be read stays in the record and goes to `notes`; the walk goes on past it.
void RestoreReplacedValues(HKEY root, bool (*stillInUse)(const wchar_t* ours), LeftBehindNotes& notes);
