#include "engine/payload.h"

#include "framework/handles.h"
#include "framework/resource_bytes.h"
#include "framework/sha256.h"
#include "framework/stage_clock.h"
#include "framework/text.h"
#include "res/resource.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "unzip.h"

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

namespace {

// Windows opens a device, not a file, for these names, with any extension ("nul.txt"); and it
// drops a name's trailing dots and blanks, so "a." would be written as "a".
bool IsDeviceOrTrimmedName(const char* component, size_t length)
{
    if (length > 0 && (component[length - 1] == '.' || component[length - 1] == ' '))
        return !(length == 1 || (length == 2 && component[0] == '.'));  // "." is harmless, ".." refused apart
    size_t base = 0;
    while (base < length && component[base] != '.')
        ++base;
    while (base > 0 && component[base - 1] == ' ')
        --base;
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (base == 3 && _strnicmp(component, device, 3) == 0)
            return true;
    return base == 4 && (_strnicmp(component, "COM", 3) == 0 || _strnicmp(component, "LPT", 3) == 0)
           && component[3] >= '1' && component[3] <= '9';
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
            if ((len == 2 && component[0] == '.' && component[1] == '.') || IsDeviceOrTrimmedName(component, len))
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

namespace {

// Where the unpacking reads the archive: a file handle held so that nobody else may write,
// rename or delete the file, or memory; the archive starts `offset` bytes in.
struct ArchiveSource {
    HANDLE file = nullptr;
    const unsigned char* memory = nullptr;
    ULONGLONG offset = 0;
    ULONGLONG size = 0;
    ULONGLONG position = 0;     // the reader's place in the archive
    ULONGLONG filePointer = 0;  // where the next ReadFile starts, to spare needless seeks
    bool failed = false;
};

DWORD ReadSource(ArchiveSource& source, void* buffer, DWORD size)
{
    if (source.position >= source.size)
        return 0;
    if (size > source.size - source.position)
        size = static_cast<DWORD>(source.size - source.position);
    if (source.memory) {
        memcpy(buffer, source.memory + source.offset + source.position, size);
        source.position += size;
        return size;
    }
    const ULONGLONG at = source.offset + source.position;
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(at);
    DWORD got = 0;
    if ((at != source.filePointer && !SetFilePointerEx(source.file, distance, nullptr, FILE_BEGIN))
        || !ReadFile(source.file, buffer, size, &got, nullptr)) {
        source.failed = true;
        source.filePointer = ~0ULL;
        return 0;
    }
    source.filePointer = at + got;
    source.position += got;
    return got;
}

// The archive reader's file functions, over the source it is given as its opaque pointer.
voidpf ZCALLBACK OpenSource(voidpf source, const void*, int) { return source; }
uLong ZCALLBACK ReadArchive(voidpf source, voidpf, void* buffer, uLong size)
{
    StageScope read(Stage::kArchiveRead);
    return ReadSource(*static_cast<ArchiveSource*>(source), buffer, size);
}
uLong ZCALLBACK WriteArchive(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK TellArchive(voidpf source, voidpf) { return static_cast<ArchiveSource*>(source)->position; }
long ZCALLBACK SeekArchive(voidpf opaque, voidpf, ZPOS64_T offset, int origin)
{
    ArchiveSource& source = *static_cast<ArchiveSource*>(opaque);
    const ULONGLONG base = origin == ZLIB_FILEFUNC_SEEK_CUR ? source.position
                           : origin == ZLIB_FILEFUNC_SEEK_END ? source.size : 0;
    if (offset > source.size || base + offset > source.size)
        return -1;
    source.position = base + offset;
    return 0;
}
int ZCALLBACK CloseArchive(voidpf, voidpf) { return 0; }
int ZCALLBACK ArchiveError(voidpf source, voidpf) { return static_cast<ArchiveSource*>(source)->failed ? 1 : 0; }

int UnpackSource(ArchiveSource& source, const wchar_t* targetFolder, int skipIconsDll)
{
    zlib_filefunc64_def files{OpenSource, ReadArchive, WriteArchive, TellArchive, SeekArchive, CloseArchive,
                              ArchiveError, &source};
    source.position = 0;
    UnzArchive archive(unzOpen2_64("", &files));
    if (!archive)
        return kExtractFailed;
    if (!SetCurrentDirectoryW(targetFolder))
        return kExtractFailed;
    return ExtractEntries(archive.Get(), skipIconsDll);
}

// Reads the whole archive once through its source: true when its SHA-256 is `expected`.
bool HasDigest(ArchiveSource& source, const unsigned char* expected)
{
    StageScope check(Stage::kPayloadCheck);
    Sha256 hash;
    if (source.memory) {
        hash.Update(source.memory + source.offset, source.size);
    } else {
        HeapBuffer<char> buffer = AllocateBuffer<char>(kCopyChunk);
        if (!buffer)
            return false;
        source.position = 0;
        while (const DWORD got = ReadSource(source, buffer.Get(), kCopyChunk))
            hash.Update(buffer.Get(), got);
        if (source.failed || source.position != source.size)
            return false;
    }
    unsigned char digest[kSha256Size];
    hash.Finish(digest);
    return memcmp(digest, expected, kSha256Size) == 0;
}

// The program's own file, shared for reading only: while the run holds it, nobody can write,
// rename or delete it. Whoever renamed it before may have put another file at its name, so
// what it holds counts only once its digest matches.
KernelHandle OpenProgramFile()
{
    constexpr DWORD kProgramPathSize = 1024;
    wchar_t program[kProgramPathSize];
    const DWORD length = GetModuleFileNameW(nullptr, program, kProgramPathSize);
    if (length == 0 || length >= kProgramPathSize)
        return KernelHandle();
    return KernelHandle(CreateFileW(program, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll)
{
    if (archivePath == nullptr)
        return kExtractFailed;
    KernelHandle file(CreateFileW(archivePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.Get(), &size))
        return kExtractFailed;
    ArchiveSource source;
    source.file = file.Get();
    source.size = static_cast<ULONGLONG>(size.QuadPart);
    return UnpackSource(source, targetFolder, skipIconsDll);
}

int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll)
{
    const ResourceBytes payload = FindResourceBytes(L"ZIP", IDR_PAYLOAD);
    const ResourceBytes digest = FindResourceBytes(L"SHA256", IDR_PAYLOAD_DIGEST);
    if (payload.data == nullptr || payload.size == 0 || digest.data == nullptr || digest.size != kSha256Size)
        return kExtractFailed;
    const unsigned char* expected = static_cast<const unsigned char*>(digest.data);
    // Read from the program's file, the payload's pages of the image are never touched and
    // never count in the run's memory; the image itself is the payload this program carries.
    ArchiveSource source;
    source.size = payload.size;
    const KernelHandle file = OpenProgramFile();
    if (file && ResourceFileOffset(payload, source.offset)) {
        source.file = file.Get();
        if (HasDigest(source, expected))
            return UnpackSource(source, targetFolder, skipIconsDll);
    }
    source = ArchiveSource{};
    source.memory = static_cast<const unsigned char*>(payload.data);
    source.size = payload.size;
    if (!HasDigest(source, expected))
        return kExtractFailed;  // not the payload this program was built with
    return UnpackSource(source, targetFolder, skipIconsDll);
}
