#pragma once
// Unpacking the product archive that the setup program carries in its resources.
#include <cstdint>

// Results of the extraction layer.
enum ExtractResult : int {
    kExtractComplete = 0,       // every entry was unpacked
    kExtractFailed = -1,        // no archive, no temporary file, or the folder cannot be made current
    kExtractSkippedFiles = 1,   // the walk went on past entries it could not or would not write
    kExtractStopped = 2,        // read, write or CRC error: the entries after it were not unpacked
};

// Writes resource "ZIP" 1974 to the temporary archive, unpacks it into `targetFolder`
// (ending in a backslash, left as the current directory) and deletes the temporary archive.
// skipIconsDll = 1 leaves every entry named like "icons.dll" alone.
int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll);

// Unpacks the archive file into `targetFolder`, which becomes the current directory.
int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll);

// Path of the temporary archive in the user's temporary folder; 0 when it does not fit.
int TemporaryArchivePath(wchar_t* out, size_t outSize);

// 1 = done, 0 = a level's parent is missing (or empty path), -104 = out of memory.
int MakeDirectoryPath(const wchar_t* path);

// 1 when an entry name stays inside the target folder: relative, no "..", no drive, no colon.
int IsSafeEntryName(const char* name);
