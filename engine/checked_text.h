#pragma once
// Small text files the setup keeps in an installation (the record of its files, the journal of
// an update): UTF-8 on disk, ending in a line with the SHA-256 of everything before it, so that
// a file cut short or edited is told from a good one. Wide text in memory.
#include "framework/handles.h"
#include "framework/sha256.h"

#include <cstddef>
#include <cstdint>

enum class CheckedTextState { kMissing, kRead, kDamaged };

// Text that grows line by line on the heap.
class TextLines {
public:
    // printf-style ("%ls"); false when the heap has no room.
    bool Add(const wchar_t* format, ...);
    const wchar_t* Text() const { return m_text ? m_text.Get() : L""; }

private:
    HeapBuffer<wchar_t> m_text;
    size_t m_length = 0;
    size_t m_capacity = 0;
};

// Reads `path` as a plain file of its own; on kRead `text` holds its lines before the digest
// line, zero-terminated. A file that is too large, not UTF-8 or without its digest is kDamaged.
CheckedTextState ReadCheckedText(const wchar_t* path, HeapBuffer<wchar_t>& text);

// Writes `text` and its digest line as a new file at `path`; false when anything is there.
bool CreateCheckedText(const wchar_t* path, const wchar_t* text);

// Writes `text` and its digest line under a fresh name beside `path`, then moves it over
// `path`: whoever reads `path` finds the old file or the new one, never half of one.
bool ReplaceCheckedText(const wchar_t* path, const wchar_t* text);

// The next line of `cursor` (CR LF or LF ended) copied into `line`; false at the end or when a
// line does not fit.
bool NextLine(const wchar_t*& cursor, wchar_t* line, size_t lineSize);

void DigestToHex(const uint8_t (&digest)[kSha256Size], wchar_t* out, size_t outSize);
// 64 hexadecimal digits into a digest; false for anything else.
bool HexToDigest(const wchar_t* hex, uint8_t (&digest)[kSha256Size]);
