#pragma once
// Path helpers: folder part, blank trimming, and relative folders made absolute against the
// directory the program was started in.
#include <cstddef>

// The drive and folder part of a path, like _wsplitpath's drive + dir (ending in its separator).
void FolderOfPath(const wchar_t* path, wchar_t* out, size_t outSize);

// Removes trailing blanks, and leading blanks when the path is shorter than 260 characters.
void TrimSpaces(wchar_t* path);

// Takes the current directory as the folder the program was started in (start-up does it first).
void RememberStartDirectory();
// That folder; taken now when it was never remembered. Empty when it does not fit MAX_PATH.
const wchar_t* StartDirectory();

// True for a path on a network share: "\\server\share..." or a drive Windows maps to one.
bool IsRemotePath(const wchar_t* path);
// Marks a file or empty folder for removal at the next restart. False on a network share, where
// Windows never carries it out, and when it could not be marked.
bool RemoveAtRestart(const wchar_t* path);

// True for "X:\..." and "\\server\share..." alike; false for Apps, \Apps and C:Apps.
bool IsAbsoluteFolder(const wchar_t* folder);

// Makes a relative folder (Apps\Pictarn, ..\Up, \Apps, C:Apps) absolute against the start
// directory; "." and ".." are folded in every folder, absolute ones too. An empty folder stays
// as it is. 0 when the result does not fit `size`.
int MakeFolderAbsolute(wchar_t* folder, size_t size);
