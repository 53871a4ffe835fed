#pragma once
// What stands in the way of installing into a folder, found before anything is installed, in
// terms a person can act on.
#include <cstddef>

enum class FolderProblem {
    kNone,
    kNoDrive,            // empty, or names no drive
    kForbiddenCharacters,
    kTooLong,            // longer than MaxInstallFolderLength()
    kAccessDenied,       // the account may not create it or write into it
    kReadOnly,           // the drive cannot be written to
    kNotCreatable,       // another reason Windows gives: `error`
    kNotEnoughSpace,
};

struct FolderVerdict {
    FolderProblem problem = FolderProblem::kNone;
    unsigned long error = 0;        // Windows' reason, for kNotCreatable
    unsigned long long needed = 0;  // bytes the installation takes
    unsigned long long free = 0;    // bytes this account may still use on the folder's drive
};

// Judges `folder` (trimmed, as the person typed it). Changes nothing but a probe folder under
// a random name, made in the deepest level that exists and removed at once.
FolderVerdict CheckInstallFolder(const wchar_t* folder);

// "12.3 MB", "1.5 GB" or "800 KB".
void FormatByteSize(unsigned long long bytes, wchar_t* out, size_t outSize);
