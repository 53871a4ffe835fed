#include "framework/text.h"

#include <cwchar>

int CopyText(wchar_t* dst, size_t dstSize, const wchar_t* src)
{
    return CopyTextN(dst, dstSize, src, static_cast<size_t>(-1));
}

int CopyTextN(wchar_t* dst, size_t dstSize, const wchar_t* src, size_t count)
{
    if (dstSize == 0)
        return 0;
    size_t i = 0;
    for (; i < count && src[i] != L'\0'; ++i) {
        if (i + 1 >= dstSize) {
            dst[i] = L'\0';
            return 0;
        }
        dst[i] = src[i];
    }
    dst[i] = L'\0';
    return 1;
}

int AppendText(wchar_t* dst, size_t dstSize, const wchar_t* src)
{
    size_t used = wcsnlen(dst, dstSize);
    if (used >= dstSize)
        return 0;
    return CopyText(dst + used, dstSize - used, src);
}

int AppendBackslash(wchar_t* dst, size_t dstSize)
{
    if (dst[0] == L'\0' || EndsWith(dst, L'\\'))
        return 1;
    return AppendText(dst, dstSize, L"\\");
}

int FormatTextV(wchar_t* dst, size_t dstSize, const wchar_t* format, va_list args)
{
    if (dstSize == 0)
        return 0;
    // The C runtime's own formatter: libstdc++ turns on MinGW's C99 printf for every C++ file
    // (whatever __USE_MINGW_ANSI_STDIO says), and that one brings about 25 KB of floating-point
    // formatting along. _vsnwprintf writes what fits and returns -1 when the text is cut; the
    // cut text stays behind, terminated, as with vswprintf.
    int written = _vsnwprintf(dst, dstSize, format, args);
    dst[dstSize - 1] = L'\0';
    return written >= 0 && static_cast<size_t>(written) < dstSize ? 1 : 0;
}

int FormatText(wchar_t* dst, size_t dstSize, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = FormatTextV(dst, dstSize, format, args);
    va_end(args);
    return result;
}

int EndsWith(const wchar_t* text, wchar_t ch)
{
    size_t len = wcslen(text);
    return len > 0 && text[len - 1] == ch;
}
