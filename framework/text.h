#pragma once
// Bounded text helpers: every fixed wide buffer in the program is filled through these,
// so nothing ever writes past the size it was given.
#include <cstdarg>
#include <cstddef>

// Copies src into dst (size in characters, terminator included); returns 0 when cut short.
int CopyText(wchar_t* dst, size_t dstSize, const wchar_t* src);
// Copies at most count characters of src into dst; returns 0 when cut short.
int CopyTextN(wchar_t* dst, size_t dstSize, const wchar_t* src, size_t count);
// Appends src to the text already in dst; returns 0 when cut short.
int AppendText(wchar_t* dst, size_t dstSize, const wchar_t* src);
// Appends a backslash unless the text is empty or already ends in one; 0 when it does not fit.
int AppendBackslash(wchar_t* dst, size_t dstSize);
// printf-style formatting ("%ls" for wide strings); returns 0 when cut short.
int FormatText(wchar_t* dst, size_t dstSize, const wchar_t* format, ...);
int FormatTextV(wchar_t* dst, size_t dstSize, const wchar_t* format, va_list args);
int EndsWith(const wchar_t* text, wchar_t ch);

template <size_t N> int CopyText(wchar_t (&dst)[N], const wchar_t* src) { return CopyText(dst, N, src); }
template <size_t N> int AppendText(wchar_t (&dst)[N], const wchar_t* src) { return AppendText(dst, N, src); }
template <size_t N> int AppendBackslash(wchar_t (&dst)[N]) { return AppendBackslash(dst, N); }
