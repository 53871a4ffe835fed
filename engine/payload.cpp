#include "engine/payload.h"

#include "engine/file_update.h"
#include "engine/install_record.h"
#include "framework/handles.h"
#include "framework/joined_thread.h"
#include "framework/resource_bytes.h"
#include "framework/sha256.h"
#include "framework/stage_clock.h"
#include "framework/text.h"
#include "framework/zip_reader.h"
#include "res/resource.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kWideNameSize = 324;
constexpr unsigned kCopyChunk = 65536;

bool IsSeparator(char ch)
{
    return ch == '/' || ch == '\\';
}

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

// One entry of the archive as the update sees it.
struct EntryPlan {
    int file;  // its file in the update; -1 for a folder or an entry left alone
    unsigned long long size;  // as unpacked
    uint32_t dosDate;
    bool hasUtc;  // the entry carries its real modification time (UTC) beside the DOS date
    FILETIME utc;
};

// What was written for one file of the update.
struct WrittenFile {
    uint64_t size;
    uint8_t digest[kSha256Size];
};

// The file's creation and modification time: the entry's real time where it carries one, else
// its DOS date taken as local time, as archives without it mean it.
void SetFileDate(HANDLE file, const EntryPlan& entry)
{
    FILETIME local, utc = entry.utc;
    if (entry.hasUtc
        || (DosDateTimeToFileTime(HIWORD(entry.dosDate), LOWORD(entry.dosDate), &local)
            && LocalFileTimeToFileTime(&local, &utc)))
        SetFileTime(file, &utc, nullptr, &utc);
}

// Windows' reason for what the archive reader met.
DWORD ZipError(int result)
{
    switch (result) {
    case kZipUnsupported: return ERROR_NOT_SUPPORTED;
    case kZipReadFailed: return ERROR_READ_FAULT;
    case kZipNoMemory: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_INVALID_DATA;
    }
}

void NoteProblem(ExtractProblem* problem, const wchar_t* path, DWORD error)
{
    if (problem == nullptr)
        return;
    CopyText(problem->path, kProblemPathSize, path);
    problem->error = error;
}

// Reads the current entry's name, dates and kind into `entry` and the update; a name that is not
// what was stored, or leaves the folder, stops the whole update.
int PlanEntry(const ZipEntryInfo& info, const wchar_t* folder, int skipIconsDll, FileUpdate& update,
              EntryPlan& entry, ExtractProblem* problem)
{
    const char* name = info.name;
    entry = {-1, info.size, info.dosDate, info.hasUtc, {}};
    const ULONGLONG ticks = (info.utcTime + 11644473600ULL) * 10000000ULL;
    entry.utc.dwLowDateTime = static_cast<DWORD>(ticks);
    entry.utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    wchar_t wideName[kWideNameSize] = L"", path[kProblemPathSize];
    const bool converted = MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, kWideNameSize) != 0;
    // A name with a NUL inside is not the name that was stored.
    if (strlen(name) != info.nameLength || !IsSafeEntryName(name) || !converted) {
        NoteProblem(problem, wideName, ERROR_INVALID_NAME);
        return kExtractStopped;
    }
    for (wchar_t* ch = wideName; *ch; ++ch)
        if (*ch == L'/')
            *ch = L'\\';
    char lower[kZipNameSize];
    for (size_t i = 0;; ++i) {
        const char ch = name[i];
        lower[i] = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
        if (ch == '\0')
            break;
    }
    if (skipIconsDll == 1 && strstr(lower, "icons.dll") != nullptr)
        return kExtractComplete;
    // Nothing is written behind a link: a folder of the installation that became one (a junction
    // at Plugins, say) leads somewhere else, and the whole update is refused. (A link at a file's
    // own name is moved aside like any earlier file, never written through.)
    const bool isFolder = name[LastSeparator(name) + 1] == '\0';
    if (!FormatText(path, kProblemPathSize, L"%ls%ls", folder, wideName) || ReachedThroughLink(folder, wideName)
        || (isFolder && IsLink(path))) {
        NoteProblem(problem, path, ERROR_CANT_RESOLVE_FILENAME);
        return kExtractStopped;
    }
    if (isFolder) {
        MakeDirectoryPath(path);  // usually there already
        return kExtractComplete;
    }
    // The same name twice: the later entry wins.
    for (int i = 0; i < update.Count(); ++i)
        if (_wcsicmp(update.At(i).name, wideName) == 0)
            return entry.file = i, kExtractComplete;
    if (!update.Add(wideName)) {
        NoteProblem(problem, wideName, ERROR_NOT_ENOUGH_MEMORY);
        return kExtractStopped;
    }
    entry.file = update.Count() - 1;
    return kExtractComplete;
}

// How much of the files is written, told to whoever follows the unpacking; the threads that
// write them take turns, so the observer hears from one at a time.
struct UnpackProgress {
    UnpackObserver* observer;
    unsigned long long done = 0;
    unsigned long long total = 0;
    bool cancelled = false;  // the observer asked to stop
    bool failed = false;     // a thread stopped at a bad entry: the others stop too
    SRWLOCK lock = SRWLOCK_INIT;

    // False once the observer asked to stop, or the unpacking failed elsewhere.
    bool Advance(unsigned long long bytes)
    {
        AcquireSRWLockExclusive(&lock);
        done += bytes;
        if (!cancelled && !failed && observer && !observer->Unpacked(done, total))
            cancelled = true;
        const bool goOn = !cancelled && !failed;
        ReleaseSRWLockExclusive(&lock);
        return goOn;
    }
    void Fail()
    {
        AcquireSRWLockExclusive(&lock);
        failed = true;
        ReleaseSRWLockExclusive(&lock);
    }
};

// Writes the current entry under its staged name, new, and notes its size and digest.
int StageEntry(ZipReader& archive, const ZipEntryInfo& info, const FileUpdate& update, const EntryPlan& entry,
               char* buffer, WrittenFile& written, ExtractProblem* problem, UnpackProgress& progress)
{
    wchar_t staged[kProblemPathSize];
    if (!update.StagedPath(entry.file, staged, kProblemPathSize)) {
        NoteProblem(problem, update.At(entry.file).name, ERROR_FILENAME_EXCED_RANGE);
        return kExtractStopped;
    }
    DeleteFileW(staged);  // an earlier entry of the same name, staged by this run
    if (const int opened = archive.OpenData(info); opened != kZipOk) {
        NoteProblem(problem, update.At(entry.file).name, ZipError(opened));
        return kExtractStopped;
    }
    StageScope createAndWrite(Stage::kFileCreateMove);
    const long lastSeparator = LastSeparator(staged);
    wchar_t parent[kProblemPathSize];
    if (lastSeparator > 0 && CopyTextN(parent, kProblemPathSize, staged, static_cast<size_t>(lastSeparator)))
        MakeDirectoryPath(parent);  // the archive had no folder entry for it
    // Created new, shared with nobody: nothing planted at the name is written through.
    KernelHandle out(CreateFileW(staged, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out) {
        NoteProblem(problem, staged, GetLastError());
        return kExtractStopped;
    }
    Sha256 hash;
    written.size = 0;
    int result = kExtractComplete;
    for (;;) {
        long read;
        {
            StageScope decode(Stage::kDecode);
            read = archive.ReadData(buffer, kCopyChunk);  // its last call checks the size and CRC
        }
        if (read == 0)
            break;
        StageScope write(Stage::kFileWrite);
        DWORD count = 0;
        if (read < 0 || !WriteFile(out.Get(), buffer, static_cast<DWORD>(read), &count, nullptr)
            || count != static_cast<DWORD>(read)) {
            NoteProblem(problem, staged, read < 0 ? ZipError(static_cast<int>(read)) : GetLastError());  // a full disk shows here
            result = kExtractStopped;
            break;
        }
        hash.Update(buffer, count);
        written.size += count;
        if (!progress.Advance(count)) {
            result = kExtractCancelled;
            break;
        }
    }
    hash.Finish(written.digest);
    if (result == kExtractComplete)
        SetFileDate(out.Get(), entry);  // before closing: no second opening of the file
    return result;
}

// The files one thread stages, those assigned to it, in the archive's order: each reads the
// archive through a reader of its own, and a name the archive holds twice is always staged by
// one thread, so the later entry still wins.
struct StagingWork {
    ArchiveBytes& source;
    const FileUpdate& update;
    const EntryPlan* plan;
    int count;
    const unsigned char* assigned;  // the thread of each file of the update
    unsigned char thread;
    WrittenFile* written;
    UnpackProgress& progress;
    ExtractProblem problem{};
    int result = kExtractComplete;

    void operator()()
    {
        ZipReader archive(source);
        HeapBuffer<char> buffer = AllocateBuffer<char>(kCopyChunk);
        ZipEntryInfo info;
        if (!buffer || archive.Open() != kZipOk)
            result = kExtractStopped;
        for (int i = 0; i < count && result == kExtractComplete; ++i) {
            const EntryPlan& entry = plan[i];
            if (archive.NextEntry(info) != kZipOk)
                result = kExtractStopped;
            else if (entry.file >= 0 && assigned[entry.file] == thread)
                result = StageEntry(archive, info, update, entry, buffer.Get(), written[entry.file], &problem, progress);
        }
        if (result == kExtractStopped)
            progress.Fail();
    }
};

// Threads that stage files side by side: two where the process may run on two processors or
// more, since decoding is most of an install's time.
int StagingThreads()
{
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        return 1;
    return (process & (process - 1)) != 0 ? 2 : 1;
}

// The record after this update: every file it placed, and what earlier versions placed.
bool StageRecord(const wchar_t* folder, const FileUpdate& update, const WrittenFile* written, int recordFile,
                 InstallRecord& record)
{
    record.Load(folder);  // a record missing or damaged is made anew from this update
    for (int i = 0; i < record.Count(); ++i)
        record.At(i).carried = false;
    for (int i = 0; i < update.Count(); ++i) {
        if (i == recordFile)
            continue;
        RecordedFile* file = record.Entry(update.At(i).name);
        if (file == nullptr)
            return false;
        file->size = written[i].size;
        memcpy(file->digest, written[i].digest, kSha256Size);
        file->carried = true;
    }
    // An Icons.dll left alone stays as it was recorded.
    if (RecordedFile* icons = record.Find(variant::kIconsPlugin))
        icons->carried = true;
    TextLines text;
    wchar_t staged[kProblemPathSize];
    return record.Format(text) && update.StagedPath(recordFile, staged, kProblemPathSize)
           && CreateCheckedText(staged, text.Text());
}

// Files only earlier versions carried go once the update is in place, while they are as placed;
// so do the folders they leave empty.
void RemoveDroppedFiles(const wchar_t* folder, const InstallRecord& record)
{
    for (int i = 0; i < record.Count(); ++i) {
        const RecordedFile& file = record.At(i);
        wchar_t path[kProblemPathSize];
        if (file.carried || !FormatText(path, kProblemPathSize, L"%ls%ls", folder, file.name)
            || ReachedThroughLink(folder, file.name) || !FileHasContent(path, file.size, file.digest))
            continue;
        DeleteFileW(path);
        for (long cut = LastSeparator(path); cut > static_cast<long>(wcslen(folder)); cut = LastSeparator(path)) {
            path[cut] = L'\0';
            if (!RemoveDirectoryW(path))
                break;
        }
    }
}

int ExtractEntries(ArchiveBytes& source, ZipReader& archive, const wchar_t* folder, int skipIconsDll,
                   ExtractProblem* problem, UnpackObserver* observer)
{
    const int count = static_cast<int>(archive.Count());
    // What an earlier run left half done is undone before anything else.
    FinishInterruptedUpdate(folder);
    FileUpdate update(folder);
    HeapBuffer<EntryPlan> plan = AllocateBuffer<EntryPlan>(count > 0 ? count : 1);
    if (!plan)
        return kExtractStopped;
    ZipEntryInfo info;
    for (int i = 0; i < count; ++i) {
        if (const int read = archive.NextEntry(info); read != kZipOk) {
            NoteProblem(problem, folder, ZipError(read));
            return kExtractStopped;
        }
        if (const int planned = PlanEntry(info, folder, skipIconsDll, update, plan.Get()[i], problem);
            planned != kExtractComplete)
            return planned;
    }
    const int recordFile = update.Count();
    if (!update.Add(variant::kInstallRecordFile) || !update.Begin()) {
        NoteProblem(problem, folder, GetLastError());
        return kExtractStopped;
    }
    UnpackProgress progress{observer};
    for (int i = 0; i < count; ++i)
        progress.total += plan.Get()[i].file >= 0 ? plan.Get()[i].size : 0;
    if (!progress.Advance(0))
        return kExtractCancelled;
    HeapBuffer<WrittenFile> written = AllocateBuffer<WrittenFile>(static_cast<size_t>(update.Count()));
    HeapBuffer<unsigned char> assigned = AllocateBuffer<unsigned char>(static_cast<size_t>(update.Count()));
    if (!written || !assigned)
        return kExtractStopped;
    // Each file to the thread with less to unpack so far, in the archive's order.
    unsigned long long load[2] = {};
    const int threads = StagingThreads();
    for (int i = 0; i < update.Count(); ++i)
        assigned.Get()[i] = 0xFF;
    for (int i = 0; i < count; ++i) {
        const int file = plan.Get()[i].file;
        if (file >= 0 && assigned.Get()[file] == 0xFF) {
            assigned.Get()[file] = threads > 1 && load[1] < load[0] ? 1 : 0;
            load[assigned.Get()[file]] += plan.Get()[i].size;
        }
    }
    StagingWork work[2] = {
        {source, update, plan.Get(), count, assigned.Get(), 0, written.Get(), progress},
        {source, update, plan.Get(), count, assigned.Get(), 1, written.Get(), progress},
    };
    {
        auto alongside = StartAlongside(work[1]);
        work[0]();
    }
    // A bad entry counts before a stop it caused in the other thread.
    for (const int wanted : {kExtractStopped, kExtractCancelled})
        for (const StagingWork& done : work)
            if (done.result == wanted) {
                if (problem)
                    *problem = done.problem;
                return wanted;
            }
    InstallRecord record;
    if (!StageRecord(folder, update, written.Get(), recordFile, record)) {
        NoteProblem(problem, folder, GetLastError());
        return kExtractStopped;
    }
    wchar_t failed[kProblemPathSize];
    const bool committed = update.Commit(failed, kProblemPathSize);
    const DWORD error = GetLastError();
    if (problem)
        problem->moveRetries = update.Retries();
    if (!committed) {
        NoteProblem(problem, failed, error);
        return kExtractNotReplaced;
    }
    RemoveDroppedFiles(folder, record);
    // What an earlier setup's cut-short run left beside a file ("<name>.partial") never took effect.
    for (int i = 0; i < update.Count(); ++i) {
        wchar_t partial[kProblemPathSize];
        if (FormatText(partial, kProblemPathSize, L"%ls%ls.partial", folder, update.At(i).name))
            DeleteFileW(partial);
    }
    return kExtractComplete;
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
class ArchiveSource final : public ArchiveBytes {
public:
    HANDLE file = nullptr;
    const unsigned char* memory = nullptr;
    ULONGLONG offset = 0;
    ULONGLONG size = 0;

    uint64_t Size() const override { return size; }
    bool ReadAt(uint64_t at, void* buffer, uint32_t count) override
    {
        StageScope read(Stage::kArchiveRead);
        if (at > size || count > size - at)
            return false;
        if (memory) {
            memcpy(buffer, memory + offset + at, count);
            return true;
        }
        // Read at its place, whatever the handle's position: the staging threads read at once.
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(offset + at);
        place.OffsetHigh = static_cast<DWORD>((offset + at) >> 32);
        DWORD got = 0;
        return ReadFile(file, buffer, count, &got, &place) && got == count;
    }
};

int UnpackSource(ArchiveSource& source, const wchar_t* targetFolder, int skipIconsDll, ExtractProblem* problem,
                 UnpackObserver* observer = nullptr)
{
    ZipReader archive(source);
    if (archive.Open() != kZipOk)
        return kExtractFailed;
    if (archive.Count() > 100000)
        return kExtractStopped;
    if (!SetCurrentDirectoryW(targetFolder))
        return kExtractFailed;
    return ExtractEntries(source, archive, targetFolder, skipIconsDll, problem, observer);
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
        for (ULONGLONG at = 0; at < source.size;) {
            const DWORD count = static_cast<DWORD>(source.size - at < kCopyChunk ? source.size - at : kCopyChunk);
            if (!source.ReadAt(at, buffer.Get(), count))
                return false;
            hash.Update(buffer.Get(), count);
            at += count;
        }
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

int UnpackArchive(const wchar_t* archivePath, const wchar_t* targetFolder, int skipIconsDll, ExtractProblem* problem)
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
    return UnpackSource(source, targetFolder, skipIconsDll, problem);
}

int ExtractPayload(const wchar_t* targetFolder, int skipIconsDll, ExtractProblem* problem, UnpackObserver* observer)
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
            return UnpackSource(source, targetFolder, skipIconsDll, problem, observer);
    }
    source.file = nullptr;
    source.offset = 0;
    source.memory = static_cast<const unsigned char*>(payload.data);
    source.size = payload.size;
    if (!HasDigest(source, expected))
        return kExtractFailed;  // not the payload this program was built with
    return UnpackSource(source, targetFolder, skipIconsDll, problem, observer);
}
