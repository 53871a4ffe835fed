#include "engine/settings_text.h"

#include "framework/plain_file.h"
#include "framework/text.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

namespace {

// Larger than any settings file the product writes; a bigger one is no settings file.
constexpr LONGLONG kMaxSettingsBytes = 16 * 1024 * 1024;
constexpr wchar_t kUnicodeHeader[] = L"; UNICODE FILE - edit with care ;-)\r\n\r\n";
constexpr size_t kEntrySize = 1200;

bool IsSpace(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

// [begin, end) with the spaces at both ends left out.
void Trim(const wchar_t* text, size_t& begin, size_t& end)
{
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
}

bool SameName(const wchar_t* text, size_t begin, size_t end, const wchar_t* name)
{
    const size_t length = wcslen(name);
    return end - begin == length && _wcsnicmp(text + begin, name, length) == 0;
}

}  // namespace

int SettingsText::Load(const wchar_t* path)
{
    m_length = 0;
    m_unicode = false;
    KernelHandle file = OpenPlainFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxSettingsBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return 0;
    }
    const DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HeapBuffer<char> data = AllocateBuffer<char>(bytes + 2);
    DWORD read = 0;
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!ReadFile(file.Get(), data.Get(), bytes, &read, nullptr) || read != bytes)
        return 0;
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(data.Get());
    if (bytes >= 2 && raw[0] == 0xFF && raw[1] == 0xFE) {
        m_unicode = true;
        const size_t characters = (bytes - 2) / sizeof(wchar_t);
        if (!ResizeBuffer(m_text, characters + 1)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        memcpy(m_text.Get(), data.Get() + 2, characters * sizeof(wchar_t));
        m_text.Get()[characters] = L'\0';
        m_length = wcslen(m_text.Get());  // a stray zero ends the text, as it ends it for the profile functions
        m_capacity = characters + 1;
        return 1;
    }
    // The whole file is converted at once, so no multi-byte character is split.
    const int wide = bytes == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, data.Get(), static_cast<int>(bytes), nullptr, 0);
    if (!ResizeBuffer(m_text, static_cast<size_t>(wide) + 1)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, data.Get(), static_cast<int>(bytes), m_text.Get(), wide);
    m_text.Get()[wide] = L'\0';
    m_length = wcslen(m_text.Get());
    m_capacity = static_cast<size_t>(wide) + 1;
    return 1;
}

bool SettingsText::IsBlank(const Line& line) const
{
    size_t first = line.begin, last = line.end;
    Trim(m_text.Get(), first, last);
    return first == last;
}

SettingsText::Line SettingsText::LineAt(size_t at) const
{
    const wchar_t* text = m_text.Get();
    Line line{at, at, at};
    while (line.next < m_length && text[line.next] != L'\n')
        ++line.next;
    line.end = line.next;
    if (line.end > at && text[line.end - 1] == L'\r')
        --line.end;
    if (line.next < m_length)
        ++line.next;
    return line;
}

bool SettingsText::FindSection(const wchar_t* section, size_t& header, size_t& begin, size_t& end) const
{
    bool found = false;
    for (size_t at = 0; at < m_length;) {
        const Line line = LineAt(at);
        size_t first = line.begin, last = line.end;
        Trim(m_text.Get(), first, last);
        if (first < last && m_text.Get()[first] == L'[') {
            if (found) {
                end = line.begin;
                return true;
            }
            const wchar_t* close = wmemchr(m_text.Get() + first, L']', last - first);
            size_t nameBegin = first + 1, nameEnd = close ? static_cast<size_t>(close - m_text.Get()) : last;
            Trim(m_text.Get(), nameBegin, nameEnd);
            if (SameName(m_text.Get(), nameBegin, nameEnd, section)) {
                found = true;
                header = line.begin;
                begin = line.next;
            }
        }
        at = line.next;
    }
    end = m_length;
    return found;
}

bool SettingsText::FindKey(size_t begin, size_t end, const wchar_t* key, Line& found) const
{
    for (size_t at = begin; at < end;) {
        const Line line = LineAt(at);
        const wchar_t* equals = wmemchr(m_text.Get() + line.begin, L'=', line.end - line.begin);
        size_t nameBegin = line.begin, nameEnd = equals ? static_cast<size_t>(equals - m_text.Get()) : line.begin;
        Trim(m_text.Get(), nameBegin, nameEnd);
        if (equals && SameName(m_text.Get(), nameBegin, nameEnd, key)) {
            found = line;
            return true;
        }
        at = line.next;
    }
    return false;
}

bool SettingsText::Splice(size_t at, size_t removed, const wchar_t* inserted)
{
    const size_t added = wcslen(inserted);
    const size_t length = m_length - removed + added;
    if (length + 1 > m_capacity) {
        if (!ResizeBuffer(m_text, (length + 1) * 2))
            return false;
        m_capacity = (length + 1) * 2;
    }
    wchar_t* text = m_text.Get();
    if (m_length == 0 && removed == 0)
        text[0] = L'\0';
    wmemmove(text + at + added, text + at + removed, m_length - at - removed + 1);
    wmemcpy(text + at, inserted, added);
    m_length = length;
    return true;
}

bool SettingsText::Set(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    size_t header = 0, begin = 0, end = 0;
    wchar_t entry[kEntrySize];
    if (!FindSection(section, header, begin, end)) {
        if (value == nullptr)
            return true;
        const bool broken = m_length > 0 && m_text.Get()[m_length - 1] != L'\n';
        return FormatText(entry, kEntrySize, L"%ls[%ls]\r\n%ls=%ls\r\n", broken ? L"\r\n" : L"", section, key, value)
               && Splice(m_length, 0, entry);
    }
    Line line{};
    if (FindKey(begin, end, key, line)) {
        if (value == nullptr)
            return Splice(line.begin, line.next - line.begin, L"");
        return FormatText(entry, kEntrySize, L"%ls=%ls", key, value) && Splice(line.begin, line.end - line.begin, entry);
    }
    if (value == nullptr)
        return true;
    // After the section's last line that is not blank, as the profile functions add a key.
    size_t at = begin;
    for (size_t next = begin; next < end;) {
        const Line candidate = LineAt(next);
        if (!IsBlank(candidate))
            at = candidate.next;
        next = candidate.next;
    }
    const bool broken = at > 0 && m_text.Get()[at - 1] != L'\n';
    return FormatText(entry, kEntrySize, broken ? L"\r\n%ls=%ls" : L"%ls=%ls\r\n", key, value) && Splice(at, 0, entry);
}

bool SettingsText::RemoveSectionIfEmpty(const wchar_t* section)
{
    size_t header = 0, begin = 0, end = 0;
    if (!FindSection(section, header, begin, end))
        return true;
    for (size_t at = begin; at < end;) {
        const Line line = LineAt(at);
        if (!IsBlank(line))
            return true;
        at = line.next;
    }
    return Splice(header, end - header, L"");
}

void SettingsText::Get(const wchar_t* section, const wchar_t* key, wchar_t* value, size_t valueSize) const
{
    size_t header = 0, begin = 0, end = 0;
    Line line{};
    value[0] = L'\0';
    if (!FindSection(section, header, begin, end) || !FindKey(begin, end, key, line))
        return;
    size_t first = static_cast<size_t>(wmemchr(m_text.Get() + line.begin, L'=', line.end - line.begin) - m_text.Get()) + 1;
    size_t last = line.end;
    Trim(m_text.Get(), first, last);
    if (!CopyTextN(value, valueSize, m_text.Get() + first, last - first))
        value[0] = L'\0';
}

bool SettingsText::Save(const wchar_t* path, bool unicode) const
{
    const wchar_t* text = m_length > 0 ? m_text.Get() : L"";
    if (!unicode) {
        const int bytes = m_length == 0 ? 0 : WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(m_length), nullptr, 0, nullptr, nullptr);
        HeapBuffer<char> ansi = AllocateBuffer<char>(static_cast<size_t>(bytes) + 1);
        if (!ansi) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        if (bytes > 0)
            WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(m_length), ansi.Get(), bytes, nullptr, nullptr);
        return ReplacePlainFile(path, ansi.Get(), static_cast<size_t>(bytes));
    }
    const wchar_t* header = m_unicode ? L"" : kUnicodeHeader;
    const size_t characters = 1 + wcslen(header) + m_length;
    HeapBuffer<wchar_t> wide = AllocateBuffer<wchar_t>(characters);
    if (!wide) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    wide.Get()[0] = 0xFEFF;  // the byte-order mark FF FE
    wmemcpy(wide.Get() + 1, header, wcslen(header));
    wmemcpy(wide.Get() + 1 + wcslen(header), text, m_length);
    return ReplacePlainFile(path, wide.Get(), characters * sizeof(wchar_t));
}
