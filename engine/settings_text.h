#pragma once
// A settings file in memory: read through a handle to a plain file of its own, changed key by
// key as the profile functions change it, and written whole as a new file moved over the old
// one, so no link or file somebody planted at its name is ever written through.
#include "framework/handles.h"

#include <cstddef>

class SettingsText {
public:
    // Reads `path` (a missing file reads as empty). 0, the last error set, when it is no plain
    // file of its own, larger than any settings file, or unreadable.
    int Load(const wchar_t* path);
    // Sets `key` in `section`, adding the key at the section's end and the section at the file's;
    // a null `value` removes the key. False when the heap or a line has no room.
    bool Set(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    // Removes `section` when no line is left in it.
    bool RemoveSectionIfEmpty(const wchar_t* section);
    // The value of `key` in `section` with its spaces trimmed; empty when there is none.
    void Get(const wchar_t* section, const wchar_t* key, wchar_t* value, size_t valueSize) const;
    // Replaces `path` by the text: in UTF-16, with the product's comment first unless the file
    // was read in UTF-16, when `unicode`; else in the ANSI code page. False, the last error set,
    // when that fails.
    bool Save(const wchar_t* path, bool unicode) const;
    // Whether the file was read in UTF-16; a missing one was not.
    bool WasUnicode() const { return m_unicode; }

private:
    struct Line {
        size_t begin;
        size_t end;   // before its line break
        size_t next;  // after it
    };
    Line LineAt(size_t at) const;
    bool IsBlank(const Line& line) const;
    // The lines of `section` after its header, [begin, end); false when there is none.
    bool FindSection(const wchar_t* section, size_t& header, size_t& begin, size_t& end) const;
    bool FindKey(size_t begin, size_t end, const wchar_t* key, Line& found) const;
    bool Splice(size_t at, size_t removed, const wchar_t* inserted);

    HeapBuffer<wchar_t> m_text;
    size_t m_length = 0;
    size_t m_capacity = 0;
    bool m_unicode = false;
};
