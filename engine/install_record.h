#pragma once
// The record of every file the setup placed in an installation (variant::kInstallRecordFile):
// its name, size and SHA-256 as written. Updates add to it and never shrink it: a file a later
// version no longer carries stays listed, marked as an earlier version's. Whatever removes a
// file of the product takes it only while its content still matches.
#include "engine/checked_text.h"

#include <cstdint>

inline constexpr size_t kRecordNameSize = 324;

struct RecordedFile {
    wchar_t name[kRecordNameSize];  // relative to the installation folder, with backslashes
    uint64_t size;
    uint8_t digest[kSha256Size];
    bool carried;  // the installed version carries it; false: only an earlier version did
};

class InstallRecord {
public:
    // Reads the record of `folder` (ending in a backslash); empty unless kRead.
    CheckedTextState Load(const wchar_t* folder);
    // The record as its file holds it.
    bool Format(TextLines& text) const;

    // The entry of `name` (compared ignoring case), made when missing; null when full.
    RecordedFile* Entry(const wchar_t* name);
    RecordedFile* Find(const wchar_t* name);
    const RecordedFile* Find(const wchar_t* name) const;
    int Count() const { return m_count; }
    RecordedFile& At(int i) { return m_files.Get()[i]; }
    const RecordedFile& At(int i) const { return m_files.Get()[i]; }

private:
    HeapBuffer<RecordedFile> m_files;
    int m_count = 0;
    int m_capacity = 0;
};

// True when `path` is a plain file of its own of exactly `size` bytes with this SHA-256.
bool FileHasContent(const wchar_t* path, uint64_t size, const uint8_t (&digest)[kSha256Size]);

// True when a name stays inside the folder it is relative to: not empty, no drive, no colon,
// no "." or ".." level, no leading backslash.
bool IsPlainRelativeName(const wchar_t* name);

// True when `path` is a reparse point (a link or junction).
bool IsLink(const wchar_t* path);
// True when a folder between `folder` and the item `name` below it is a link: what is behind it
// belongs to somebody else.
bool ReachedThroughLink(const wchar_t* folder, const wchar_t* name);
