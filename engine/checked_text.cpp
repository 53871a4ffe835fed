#include "engine/checked_text.h"

#include "framework/plain_file.h"
#include "framework/text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

// A record of thousands of files fits many times over; more is no file of ours.
constexpr DWORD kMaxCheckedText = 4u << 20;
constexpr char kDigestLine[] = "end ";
constexpr size_t kLineSize = 1024;

// "end <hex>\r\n" for the bytes before it.
void DigestLineFor(const char* bytes, size_t size, char (&line)[80])
{
    Sha256 hash;
    hash.Update(bytes, size);
    uint8_t digest[kSha256Size];
    hash.Finish(digest);
    char* out = line + sizeof(kDigestLine) - 1;
    memcpy(line, kDigestLine, sizeof(kDigestLine) - 1);
    for (uint8_t byte : digest) {
        *out++ = "0123456789abcdef"[byte >> 4];
        *out++ = "0123456789abcdef"[byte & 15];
    }
    memcpy(out, "\r\n", 3);
}

}  // namespace

bool TextLines::Add(const wchar_t* format, ...)
{
    wchar_t line[kLineSize];
    va_list args;
    va_start(args, format);
    const int fitted = FormatTextV(line, kLineSize, format, args);
    va_end(args);
    const size_t length = wcslen(line);
    if (!fitted)
        return false;
    if (m_length + length + 1 > m_capacity) {
        const size_t capacity = (m_length + length + 1) * 2;
        if (!ResizeBuffer(m_text, capacity))
            return false;
        m_capacity = capacity;
    }
    wmemcpy(m_text.Get() + m_length, line, length + 1);
    m_length += length;
    return true;
}

CheckedTextState ReadCheckedText(const wchar_t* path, HeapBuffer<wchar_t>& text)
{
    KernelHandle file = OpenPlainFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? CheckedTextState::kMissing : CheckedTextState::kDamaged;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxCheckedText)
        return CheckedTextState::kDamaged;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HeapBuffer<char> data = AllocateBuffer<char>(bytes + 1);
    DWORD got = 0;
    if (!data || !ReadFile(file.Get(), data.Get(), bytes, &got, nullptr) || got != bytes)
        return CheckedTextState::kDamaged;
    data.Get()[bytes] = '\0';
    // The digest line is the last line, and it covers every byte before it.
    char* last = nullptr;
    for (char* at = data.Get(); (at = strstr(at, kDigestLine)) != nullptr; ++at)
        if (at == data.Get() || at[-1] == '\n')
            last = at;
    char expected[80];
    if (last == nullptr)
        return CheckedTextState::kDamaged;
    DigestLineFor(data.Get(), static_cast<size_t>(last - data.Get()), expected);
    if (strcmp(last, expected) != 0)
        return CheckedTextState::kDamaged;
    *last = '\0';
    const int length = static_cast<int>(last - data.Get());
    const int wide = length == 0 ? 0 : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data.Get(), length, nullptr, 0);
    text = AllocateBuffer<wchar_t>(static_cast<size_t>(wide) + 1);
    if (!text || (length > 0 && (wide == 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data.Get(), length,
                                                                   text.Get(), wide) != wide)))
        return CheckedTextState::kDamaged;
    text.Get()[wide] = L'\0';
    return CheckedTextState::kRead;
}

namespace {

// The UTF-8 bytes of `text` followed by their digest line; invalid when the heap has no room.
HeapBuffer<char> CheckedBytes(const wchar_t* text, size_t& size)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    char digestLine[80];
    HeapBuffer<char> data = AllocateBuffer<char>(bytes > 0 ? static_cast<size_t>(bytes) + sizeof(digestLine) : 1);
    if (bytes <= 0 || !data || WideCharToMultiByte(CP_UTF8, 0, text, -1, data.Get(), bytes, nullptr, nullptr) != bytes)
        return HeapBuffer<char>();
    DigestLineFor(data.Get(), static_cast<size_t>(bytes - 1), digestLine);
    memcpy(data.Get() + bytes - 1, digestLine, strlen(digestLine) + 1);
    size = strlen(data.Get());
    return data;
}

}  // namespace

bool CreateCheckedText(const wchar_t* path, const wchar_t* text)
{
    size_t size = 0;
    HeapBuffer<char> data = CheckedBytes(text, size);
    return data && CreatePlainFile(path, data.Get(), size);
}

bool ReplaceCheckedText(const wchar_t* path, const wchar_t* text)
{
    size_t size = 0;
    HeapBuffer<char> data = CheckedBytes(text, size);
    return data && ReplacePlainFile(path, data.Get(), size);
}

bool NextLine(const wchar_t*& cursor, wchar_t* line, size_t lineSize)
{
    if (*cursor == L'\0')
        return false;
    const wchar_t* end = wcschr(cursor, L'\n');
    const size_t length = end ? static_cast<size_t>(end - cursor) : wcslen(cursor);
    const size_t kept = length > 0 && cursor[length - 1] == L'\r' ? length - 1 : length;
    const bool fitted = CopyTextN(line, lineSize, cursor, kept);
    cursor += end ? length + 1 : length;
    return fitted;
}

void DigestToHex(const uint8_t (&digest)[kSha256Size], wchar_t* out, size_t outSize)
{
    if (outSize < 2 * kSha256Size + 1)
        return;
    for (size_t i = 0; i < kSha256Size; ++i) {
        out[2 * i] = L"0123456789abcdef"[digest[i] >> 4];
        out[2 * i + 1] = L"0123456789abcdef"[digest[i] & 15];
    }
    out[2 * kSha256Size] = L'\0';
}

bool HexToDigest(const wchar_t* hex, uint8_t (&digest)[kSha256Size])
{
    auto nibble = [](wchar_t ch) {
        return ch >= L'0' && ch <= L'9' ? ch - L'0' : ch >= L'a' && ch <= L'f' ? ch - L'a' + 10 : -1;
    };
    for (size_t i = 0; i < kSha256Size; ++i) {
        const int high = nibble(hex[2 * i]);
        const int low = high < 0 ? -1 : nibble(hex[2 * i + 1]);
        if (low < 0)
            return false;
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return hex[2 * kSha256Size] == L'\0';
}
