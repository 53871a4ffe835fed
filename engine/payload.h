#pragma once
// Unpacking the product archive that the setup program carries in its resources.
#include <cstddef>
#include <cstdint>

// Results of the extraction layer.
enum ExtractResult : int {
    kExtractComplete = 0,     // every entry was unpacked and is in place
    kExtractFailed = -1,      // no archive, not the payload built in, or the folder cannot be made current
    kExtractStopped = 2,      // a bad name, read, write or CRC error: nothing was replaced
    kExtractNotReplaced = 3,  // a file could not be moved into place: every file was put back
    kExtractCancelled = 4,    // the observer asked to stop before anything was replaced
};

// Told how far an unpacking has come, and asked whether it should go on.
class UnpackObserver {
public:
    virtual ~UnpackObserver() = default;
    // Unpacked: `done` of `total` bytes are written beside their places; false stops the
    // unpacking, and nothing is replaced.
    virtual bool Unpacked(unsigned long long done, unsigned long long total) = 0;
};

inline constexpr size_t kProblemPathSize = 1024;

// The file an unpacking that did not complete stopped at, and Windows' reason. Made with `{}`:
// all zero (a text of its own for the empty path would be copied into every one).
struct ExtractProblem {
    wchar_t path[kProblemPathSize];
    unsigned long error;
    int moveRetries;  // moves tried again because a file was held a moment (a scanner), failed or not
};

// Unpacks resource "ZIP" 1974 into `targetFolder` (ending in a backslash, left as the current
// directory), once its SHA-256 matches resource "SHA256" 1975: read through a handle to the
// program's own file that nobody may change while it is held, else from the mapped image. No
// temporary file is written. skipIconsDll = 1 leaves every entry named like "icons.dll" alone.
// All or nothing: every file is written beside its place first and moved in only once all are
// (engine/file_update.h); the record of installed files goes with them, and files only earlier
// versions carried go afterwards. `problem`, when given, names the file it stopped at.
// `observer`, when given, follows the writing.
int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll, ExtractProblem* problem = nullptr,
                   UnpackObserver* observer = nullptr);

// Unpacks the archive file, read through one handle nobody else may write, into `targetFolder`,
// which becomes the current directory.
int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll,
                  ExtractProblem* problem = nullptr);

// 1 = done, 0 = a level's parent is missing (or empty path), -104 = out of memory.
int MakeDirectoryPath(const wchar_t* path);

// 1 when an entry name stays inside the target folder: relative, no "..", no drive, no colon.
int IsSafeEntryName(const char* name);
