#pragma once
// Unpacking the product archive that the setup program carries in its resources.
#include <cstdint>

// Results of the extraction layer.
enum ExtractResult : int {
    kExtractComplete = 0,       // every entry was unpacked
    kExtractFailed = -1,        // no archive, not the payload built in, or the folder cannot be made current
    kExtractSkippedFiles = 1,   // the walk went on past entries it could not or would not write
    kExtractStopped = 2,        // read, write or CRC error: the entries after it were not unpacked
};

// Unpacks resource "ZIP" 1974 into `targetFolder` (ending in a backslash, left as the current
// directory), once its SHA-256 matches resource "SHA256" 1975: read through a handle to the
// program's own file that nobody may change while it is held, else from the mapped image. No
// temporary file is written. skipIconsDll = 1 leaves every entry named like "icons.dll" alone.
int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll);

// Unpacks the archive file, read through one handle nobody else may write, into `targetFolder`,
// which becomes the current directory.
int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll);

// 1 = done, 0 = a level's parent is missing (or empty path), -104 = out of memory.
int MakeDirectoryPath(const wchar_t* path);

// 1 when an entry name stays inside the target folder: relative, no "..", no drive, no colon.
int IsSafeEntryName(const char* name);
