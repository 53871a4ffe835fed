#include "engine/install_record.h"

#include "framework/plain_file.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kHeader[] = L"Pictarn setup record 1";
constexpr size_t kLineSize = kRecordNameSize + 128;
constexpr int kMaxEntries = 8192;

// "+ <size> <digest> <name>" (carried) or "- ..." (an earlier version's).
bool ParseLine(const wchar_t* line, RecordedFile& file)
{
    if ((line[0] != L'+' && line[0] != L'-') || line[1] != L' ')
        return false;
    wchar_t* end = nullptr;
    file.size = _wcstoui64(line + 2, &end, 10);  // msvcrt's: the toolchain's own would be linked in
    if (end == line + 2 || *end != L' ')
        return false;
    wchar_t hex[2 * kSha256Size + 1];
    if (!CopyTextN(hex, 2 * kSha256Size + 1, end + 1, 2 * kSha256Size) || !HexToDigest(hex, file.digest)
        || end[1 + 2 * kSha256Size] != L' ')
        return false;
    file.carried = line[0] == L'+';
    const wchar_t* name = end + 2 + 2 * kSha256Size;
    return IsPlainRelativeName(name) && CopyText(file.name, name);
}

}  // namespace

bool IsPlainRelativeName(const wchar_t* name)
{
    if (name[0] == L'\0' || name[0] == L'\\' || name[0] == L'/' || wcschr(name, L':') != nullptr)
        return false;
    for (const wchar_t* level = name; *level != L'\0';) {
        const wchar_t* end = level;
        while (*end != L'\0' && *end != L'\\' && *end != L'/')
            ++end;
        const size_t length = static_cast<size_t>(end - level);
        if (length == 0 || (length <= 2 && wcsncmp(level, L"..", length) == 0))
            return false;
        level = *end ? end + 1 : end;
    }
    return true;
}

CheckedTextState InstallRecord::Load(const wchar_t* folder)
{
    m_count = 0;
    wchar_t path[kLineSize];
    HeapBuffer<wchar_t> text;
    if (!FormatText(path, kLineSize, L"%ls%ls", folder, variant::kInstallRecordFile))
        return CheckedTextState::kDamaged;
    const CheckedTextState state = ReadCheckedText(path, text);
    if (state != CheckedTextState::kRead)
        return state;
    const wchar_t* cursor = text.Get();
    wchar_t line[kLineSize];
    if (!NextLine(cursor, line, kLineSize) || wcscmp(line, kHeader) != 0)
        return CheckedTextState::kDamaged;
    while (NextLine(cursor, line, kLineSize)) {
        RecordedFile file;
        RecordedFile* entry = nullptr;
        if (!ParseLine(line, file) || (entry = Entry(file.name)) == nullptr) {
            m_count = 0;
            return CheckedTextState::kDamaged;
        }
        *entry = file;
    }
    return *cursor == L'\0' ? CheckedTextState::kRead : CheckedTextState::kDamaged;
}

bool InstallRecord::Format(TextLines& text) const
{
    bool ok = text.Add(L"%ls\r\n", kHeader);
    for (int i = 0; i < m_count && ok; ++i) {
        wchar_t hex[2 * kSha256Size + 1];
        DigestToHex(At(i).digest, hex, 2 * kSha256Size + 1);
        ok = text.Add(L"%lc %llu %ls %ls\r\n", At(i).carried ? L'+' : L'-', static_cast<unsigned long long>(At(i).size),
                      hex, At(i).name);
    }
    return ok;
}

const RecordedFile* InstallRecord::Find(const wchar_t* name) const
{
    return const_cast<InstallRecord*>(this)->Find(name);
}

RecordedFile* InstallRecord::Find(const wchar_t* name)
{
    for (int i = 0; i < m_count; ++i)
        if (_wcsicmp(At(i).name, name) == 0)
            return &At(i);
    return nullptr;
}

RecordedFile* InstallRecord::Entry(const wchar_t* name)
{
    if (RecordedFile* found = Find(name))
        return found;
    if (m_count == m_capacity) {
        const int capacity = m_capacity == 0 ? 64 : m_capacity * 2;
        if (capacity > kMaxEntries || !ResizeBuffer(m_files, static_cast<size_t>(capacity)))
            return nullptr;
        m_capacity = capacity;
    }
    RecordedFile& file = At(m_count);
    if (!CopyText(file.name, name))
        return nullptr;
    ++m_count;
    file.size = 0;
    memset(file.digest, 0, sizeof(file.digest));
    file.carried = false;
    return &file;
}

bool FileHasContent(const wchar_t* path, uint64_t size, const uint8_t (&digest)[kSha256Size])
{
    KernelHandle file = OpenPlainFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    LARGE_INTEGER actual;
    if (!file || !GetFileSizeEx(file.Get(), &actual) || static_cast<uint64_t>(actual.QuadPart) != size)
        return false;
    constexpr DWORD kChunk = 65536;
    HeapBuffer<char> buffer = AllocateBuffer<char>(kChunk);
    if (!buffer)
        return false;
    Sha256 hash;
    uint64_t total = 0;
    for (DWORD got = 0; ReadFile(file.Get(), buffer.Get(), kChunk, &got, nullptr) && got > 0; total += got)
        hash.Update(buffer.Get(), got);
    uint8_t found[kSha256Size];
    hash.Finish(found);
    return total == size && memcmp(found, digest, kSha256Size) == 0;
}

bool IsLink(const wchar_t* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool ReachedThroughLink(const wchar_t* folder, const wchar_t* name)
{
    constexpr size_t kPathSize = 1024;
    wchar_t path[kPathSize];
    if (!FormatText(path, kPathSize, L"%ls%ls", folder, name))
        return true;
    for (wchar_t* level = path + wcslen(folder); (level = wcschr(level, L'\\')) != nullptr; *level++ = L'\\') {
        *level = L'\0';
        if (IsLink(path))
            return true;
    }
    return false;
}
