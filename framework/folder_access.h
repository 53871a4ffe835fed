#pragma once
// Who runs the program, and access lists of their own for folders others could write.
#include <windows.h>

// True for a member of the Administrators whose rights are in force (elevated, or SYSTEM).
bool RunsAsAdministrator();
// True when what belongs to "the current user" would land in a profile nobody works in: the run
// is SYSTEM, or its account is not the one whose desktop shell runs (another administrator's
// name given at the elevation prompt).
bool RunsForAnotherAccount();

// Who may do what in a folder the setup protects.
enum class FolderUse {
    kPrograms,        // Users read and execute
    kSharedSettings,  // Users also create and write files, but never delete, rename or re-permit them
};

// Gives `folder` an access list of its own, protected from what its parents pass down, for the
// folder and everything made in it: SYSTEM and the Administrators full control, Users as `use`
// says; the Administrators as owner. The folder is opened as itself, never through a link, and
// changed through that handle. False when it is no plain folder or could not be changed.
bool ProtectFolder(const wchar_t* folder, FolderUse use = FolderUse::kPrograms);

// True when the owner `descriptor` names is SYSTEM, the Administrators, TrustedInstaller or `self`.
bool OwnedByAdministrators(PSECURITY_DESCRIPTOR descriptor, PSID self);
// The same for the object of `handle` (opened with READ_CONTROL), `self` being this process's user.
bool OwnedByAdministrators(HANDLE handle);

// True when `descriptor` lets only the administrators change what it guards: its owner is SYSTEM,
// the Administrators, TrustedInstaller or `self` (the elevated account that runs), and no entry
// that applies to the object itself lets anybody else write, add, delete, re-permit or take it.
bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, PSID self);

// The same for the object of `handle` (opened with READ_CONTROL), `self` being this process's user.
bool OnlyAdministratorsCanChange(HANDLE handle);

// True when `descriptor` lets only the administrators rename, delete, re-permit or take the folder
// it guards, or rename or delete what is in it: all a folder above another must keep from others
// (adding names of their own beside it changes nothing on the way down).
bool NobodyElseCanMoveWhatItHolds(PSECURITY_DESCRIPTOR descriptor, PSID self);
bool NobodyElseCanMoveWhatItHolds(HANDLE handle);

// True when `descriptor` is the one ProtectFolder gives for `use`: the Administrators as owner and
// that protected list, entry for entry.
bool IsOwnAccessList(PSECURITY_DESCRIPTOR descriptor, FolderUse use);
bool HasOwnAccessList(HANDLE handle, FolderUse use);
