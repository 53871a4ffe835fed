#include "engine/payload.h"

#include "framework/handles.h"
#include "framework/resource_bytes.h"
#include "framework/stage_clock.h"
#include "framework/text.h"
#include "res/resource.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// unzip.h brings the zlib declarations that iowin32.h relies on.
#include "unzip.h"
#include "iowin32.h"

namespace {

constexpr size_t kNarrowNameSize = 520;
constexpr size_t kWideNameSize = 324;
constexpr unsigned kCopyChunk = 65536;

// Closes an opened archive with unzClose.
struct UnzCloseCall { void operator()(unzFile file) const { unzClose(file); } };
using UnzArchive = UniqueResource<NullIsInvalid<unzFile, UnzCloseCall>>;

bool IsSeparator(char ch)
{
    return ch == '/' || ch == '\\';
}

// Result of writing one file entry.
enum class EntryResult { kDone, kSkipped, kStopWalk };

// Index of the last "/" or "\" in a name, or -1.
template <typename Char>
long LastSeparator(const Char* name)
{
    long last = -1;
    for (long i = 0; name[i] != 0; ++i) {
        if (name[i] == '/' || name[i] == '\\')
            last = i;
    }
    return last;
}

EntryResult CopyEntryData(unzFile archive, HANDLE out, char* buffer)
{
    for (;;) {
        int read;
        {
            StageScope inflate(Stage::kInflate);
            read = unzReadCurrentFile(archive, buffer, kCopyChunk);
        }
        if (read == 0)
            return EntryResult::kDone;
        StageScope write(Stage::kFileWrite);
        DWORD written = 0;
        if (read < 0 || !WriteFile(out, buffer, static_cast<DWORD>(read), &written, nullptr)
            || written != static_cast<DWORD>(read))
            return EntryResult::kStopWalk;  // a full disk shows here
    }
}

KernelHandle CreateFileForWriting(const wchar_t* path)
{
    return KernelHandle(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Opens a file for writing, making its folders when the archive had no folder entry for it.
KernelHandle CreateEntryFile(const wchar_t* path)
{
    KernelHandle out = CreateFileForWriting(path);
    long lastSeparator = LastSeparator(path);
    if (!out && lastSeparator > 0) {
        wchar_t folder[kWideNameSize];
        CopyTextN(folder, kWideNameSize, path, static_cast<size_t>(lastSeparator));
        MakeDirectoryPath(folder);
        out = CreateFileForWriting(path);
    }
    return out;
}

// The archive's date (local time) as the file's creation and modification time.
void SetFileDate(HANDLE file, uint32_t dosDateTime)
{
    FILETIME local, utc;
    if (DosDateTimeToFileTime(HIWORD(dosDateTime), LOWORD(dosDateTime), &local)
        && LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, &utc, nullptr, &utc);
}

// The entry is written beside its place under a temporary name, checked, and only then moved
// there: a run cut short or a damaged entry never leaves a half-written file under a product
// name (a broken Icons.dll of ours would be kept by every later run).
EntryResult ExtractFileEntry(unzFile archive, const wchar_t* wideName, uint32_t dosDate, char* buffer)
{
    wchar_t partialName[kWideNameSize];
    if (!CopyText(partialName, wideName) || !AppendText(partialName, L".partial"))
        return EntryResult::kSkipped;
    if (unzOpenCurrentFilePassword(archive, nullptr) != UNZ_OK)
        return EntryResult::kStopWalk;
    StageScope createAndMove(Stage::kFileCreateMove);

    KernelHandle out = CreateEntryFile(partialName);
    if (!out) {
        unzCloseCurrentFile(archive);
        return EntryResult::kSkipped;
    }
    EntryResult result = CopyEntryData(archive, out.Get(), buffer);
    // Closing the entry checks its CRC.
    if (unzCloseCurrentFile(archive) != UNZ_OK && result == EntryResult::kDone)
        result = EntryResult::kStopWalk;
    if (result == EntryResult::kDone)
        SetFileDate(out.Get(), dosDate);  // before closing: no second opening of the file
    out.Reset();
    if (result != EntryResult::kDone) {
        DeleteFileW(partialName);
        return result;
    }
    if (!MoveFileExW(partialName, wideName, MOVEFILE_REPLACE_EXISTING)) {
        // In use or write-protected: the rest of the product is still updated.
        DeleteFileW(partialName);
        return EntryResult::kSkipped;
    }
    return EntryResult::kDone;
}

// Unpacks the current entry; the Icons.dll left alone on purpose counts as done.
EntryResult ExtractCurrentEntry(unzFile archive, int skipIconsDll)
{
    unz_file_info64 info;
    char name[kNarrowNameSize];
    if (unzGetCurrentFileInfo64(archive, &info, name, kNarrowNameSize - 1, nullptr, 0, nullptr, 0) != UNZ_OK)
        return EntryResult::kStopWalk;
    // A name cut by the buffer, or one with a NUL inside, is not the name that was stored.
    if (info.size_filename >= kNarrowNameSize - 1 || strlen(name) != info.size_filename || !IsSafeEntryName(name))
        return EntryResult::kSkipped;

    char lower[kNarrowNameSize];
    for (size_t i = 0;; ++i) {
        char ch = name[i];
        lower[i] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        if (ch == '\0')
            break;
    }
    if (skipIconsDll == 1 && strstr(lower, "icons.dll") != nullptr)
        return EntryResult::kDone;

    wchar_t wideName[kWideNameSize];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, kWideNameSize) == 0)
        return EntryResult::kSkipped;

    if (name[LastSeparator(name) + 1] == '\0') {
        CreateDirectoryW(wideName, nullptr);  // usually exists already
        return EntryResult::kDone;
    }

    HeapBuffer<char> buffer = AllocateBuffer<char>(kCopyChunk);
    if (!buffer)
        return EntryResult::kStopWalk;
    return ExtractFileEntry(archive, wideName, static_cast<uint32_t>(info.dosDate), buffer.Get());
}

int ExtractEntries(unzFile archive, int skipIconsDll)
{
    unz_global_info64 global;
    if (unzGetGlobalInfo64(archive, &global) != UNZ_OK)
        return kExtractStopped;
    int result = kExtractComplete;
    for (ZPOS64_T i = 0; i < global.number_entry; ++i) {
        EntryResult entry = ExtractCurrentEntry(archive, skipIconsDll);
        if (entry == EntryResult::kStopWalk)
            return kExtractStopped;
        if (entry == EntryResult::kSkipped)
            result = kExtractSkippedFiles;
        if (i + 1 < global.number_entry && unzGoToNextFile(archive) != UNZ_OK)
            return kExtractStopped;
    }
    return result;
}

}  // namespace

int IsSafeEntryName(const char* name)
{
    if (name[0] == '\0' || IsSeparator(name[0]))
        return 0;
    if (strchr(name, ':') != nullptr)
        return 0;  // a drive ("C:x") or an alternate data stream ("x:stream")
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p == '\0' || IsSeparator(*p)) {
            size_t len = static_cast<size_t>(p - component);
            if (len == 2 && component[0] == '.' && component[1] == '.')
                return 0;
            if (*p == '\0')
                return 1;
            component = p + 1;
        }
    }
}

int MakeDirectoryPath(const wchar_t* path)
{
    if (path == nullptr || path[0] == L'\0')
        return 0;
    size_t len = wcslen(path);
    HeapBuffer<wchar_t> buffer = AllocateBuffer<wchar_t>(len + 1);
    if (!buffer)
        return -104;
    wchar_t* copy = buffer.Get();
    CopyText(copy, len + 1, path);
    if (copy[len - 1] == L'/')
        copy[--len] = L'\0';

    if (CreateDirectoryW(copy, nullptr))
        return 1;
    for (size_t i = 1; i <= len; ++i) {
        if (i < len && copy[i] != L'\\' && copy[i] != L'/')
            continue;
        wchar_t saved = copy[i];
        copy[i] = L'\0';
        if (!CreateDirectoryW(copy, nullptr) && GetLastError() == ERROR_PATH_NOT_FOUND)
            return 0;
        copy[i] = saved;
    }
    return 1;
}

int TemporaryArchivePath(wchar_t* out, size_t outSize)
{
    DWORD len = GetTempPathW(static_cast<DWORD>(outSize - 1), out);
    if (len == 0 || len >= outSize - 1)
        return 0;
    return AppendBackslash(out, outSize) && AppendText(out, outSize, variant::kPayloadTempFile);
}

#ifdef PT_STAGE_TIMES
namespace {

read_file_func g_readArchive;

uLong ZCALLBACK ReadArchiveTimed(voidpf opaque, voidpf stream, void* buffer, uLong size)
{
    StageScope read(Stage::kTempArchiveRead);
    return g_readArchive(opaque, stream, buffer, size);
}

}  // namespace
#endif

int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll)
{
    if (archivePath == nullptr)
        return kExtractFailed;
    zlib_filefunc64_def files;
    fill_win32_filefunc64W(&files);
#ifdef PT_STAGE_TIMES
    g_readArchive = files.zread_file;
    files.zread_file = ReadArchiveTimed;
#endif
    UnzArchive archive(unzOpen2_64(archivePath, &files));
    if (!archive)
        return kExtractFailed;
    if (!SetCurrentDirectoryW(targetFolder))
        return kExtractFailed;
    return ExtractEntries(archive.Get(), skipIconsDll);
}

namespace {

constexpr DWORD kProgramPathSize = 1024;
constexpr DWORD kArchiveChunk = 65536;

// Copies the payload from the program's own file, where the resource's pages are never touched
// (the image maps them, so reading them would keep all of them in memory); returns how many
// bytes it wrote.
DWORD CopyFromProgramFile(const ResourceBytes& payload, FILE* out)
{
    ULONGLONG offset;
    wchar_t program[kProgramPathSize];
    const DWORD length = GetModuleFileNameW(nullptr, program, kProgramPathSize);
    if (!ResourceFileOffset(payload, offset) || length == 0 || length >= kProgramPathSize)
        return 0;
    KernelHandle file(CreateFileW(program, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    HeapBuffer<char> buffer = AllocateBuffer<char>(kArchiveChunk);
    if (!file || !buffer || !SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN))
        return 0;
    DWORD done = 0;
    while (done < payload.size) {
        const DWORD want = payload.size - done < kArchiveChunk ? payload.size - done : kArchiveChunk;
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.Get(), want, &got, nullptr) || got != want
            || fwrite(buffer.Get(), want, 1, out) != 1)
            break;
        done += want;
    }
    return done;
}

}  // namespace

int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll)
{
    const ResourceBytes payload = FindResourceBytes(L"ZIP", IDR_PAYLOAD);
    if (payload.data == nullptr || payload.size == 0)
        return kExtractFailed;

    wchar_t archivePath[520];
    if (!TemporaryArchivePath(archivePath, 520))
        return kExtractFailed;
    {
        StageScope write(Stage::kTempArchiveWrite);
        StdioFile out(_wfopen(archivePath, L"wb"));
        if (!out)
            return kExtractFailed;
        // What the program's file could not give comes from the mapped resource; a short write
        // shows up as an archive that does not open.
        const DWORD copied = CopyFromProgramFile(payload, out.Get());
        if (copied < payload.size)
            fwrite(static_cast<const char*>(payload.data) + copied, payload.size - copied, 1, out.Get());
    }
    int result = UnpackArchive(archivePath, targetFolder, skipIconsDll);
    DeleteFileW(archivePath);
    return result;
}
