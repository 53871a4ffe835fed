#include "engine/file_update.h"

#include "framework/path.h"
#include "framework/random_name.h"
#include "framework/text.h"
#include "variants/variant.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr wchar_t kHeader[] = L"Pictarn setup update 1";
constexpr size_t kPathSize = 1024;
constexpr size_t kLineSize = kRecordNameSize + 64;

bool Exists(const wchar_t* path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

struct FilePaths {
    wchar_t final[kPathSize], staged[kPathSize], aside[kPathSize];
};

bool PathsOf(const wchar_t* folder, const wchar_t* name, const wchar_t* token, FilePaths& paths)
{
    return FormatText(paths.final, kPathSize, L"%ls%ls", folder, name)
           && FormatText(paths.staged, kPathSize, L"%ls%ls.%ls.new", folder, name, token)
           && FormatText(paths.aside, kPathSize, L"%ls%ls.%ls.old", folder, name, token);
}

// Puts one file back as it was before the update, whatever step the update had reached. Nothing
// behind a link is touched: a folder of the installation that became one leads somewhere else.
void UndoFile(const wchar_t* folder, const UpdateFile& file, const wchar_t* token)
{
    FilePaths paths;
    if (!PathsOf(folder, file.name, token, paths) || ReachedThroughLink(folder, file.name))
        return;
    if (Exists(paths.aside)) {
        DeleteFileW(paths.final);  // the new file, if it was moved in
        MoveFileExW(paths.aside, paths.final, MOVEFILE_WRITE_THROUGH);
    } else if (!file.replaces && !Exists(paths.staged)) {
        DeleteFileW(paths.final);  // added by the update, and already moved in
    }
    DeleteFileW(paths.staged);
}

// The earlier file, moved aside, goes; one still in use goes at the next restart.
void ClearAside(const wchar_t* folder, const UpdateFile& file, const wchar_t* token)
{
    FilePaths paths;
    if (!PathsOf(folder, file.name, token, paths) || ReachedThroughLink(folder, file.name) || !Exists(paths.aside))
        return;
    SetFileAttributesW(paths.aside, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileW(paths.aside))
        RemoveAtRestart(paths.aside);
}

// A copy of the journal a run was cut short writing ("<journal>.<random>.tmp"): it never took
// effect. Only plain files go; a link at such a name goes as a link.
void RemoveLeftTemporaries(const wchar_t* journal)
{
    wchar_t pattern[kPathSize], folder[kPathSize];
    WIN32_FIND_DATAW found;
    if (!FormatText(pattern, kPathSize, L"%ls.*.tmp", journal) || !CopyText(folder, kPathSize, journal))
        return;
    *(wcsrchr(folder, L'\\') + 1) = L'\0';
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        wchar_t path[kPathSize];
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            && FormatText(path, kPathSize, L"%ls%ls", folder, found.cFileName))
            DeleteFileW(path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool JournalPath(const wchar_t* folder, wchar_t* out)
{
    return FormatText(out, kPathSize, L"%ls%ls", folder, variant::kUpdateJournalFile);
}

// Reads the journal's line after the header: "undo <token>" or "done <token>".
bool ParseState(const wchar_t* line, bool& done, wchar_t* token, size_t tokenSize)
{
    done = wcsncmp(line, L"done ", 5) == 0;
    return (done || wcsncmp(line, L"undo ", 5) == 0) && wcslen(line + 5) == 32
           && wcsspn(line + 5, L"0123456789abcdef") == 32 && CopyText(token, tokenSize, line + 5);
}

}  // namespace

FileUpdate::FileUpdate(const wchar_t* folder)
{
    CopyText(m_folder, folder);
    m_token[0] = L'\0';
}

FileUpdate::~FileUpdate()
{
    if (m_begun && !m_committed)
        Discard();
}

bool FileUpdate::Add(const wchar_t* name)
{
    if (!IsPlainRelativeName(name))
        return false;
    if (m_count == m_capacity) {
        const int capacity = m_capacity == 0 ? 64 : m_capacity * 2;
        if (!ResizeBuffer(m_files, static_cast<size_t>(capacity)))
            return false;
        m_capacity = capacity;
    }
    UpdateFile& file = m_files.Get()[m_count];
    if (!CopyText(file.name, name))
        return false;
    file.replaces = false;
    ++m_count;
    return true;
}

bool FileUpdate::WriteJournal(bool done) const
{
    TextLines text;
    bool ok = text.Add(L"%ls\r\n%ls %ls\r\n", kHeader, done ? L"done" : L"undo", m_token);
    for (int i = 0; i < m_count && ok; ++i)
        ok = text.Add(L"%lc %ls\r\n", At(i).replaces ? L'r' : L'a', At(i).name);
    wchar_t journal[kPathSize];
    return ok && JournalPath(m_folder, journal) && ReplaceCheckedText(journal, text.Text());
}

bool FileUpdate::Begin()
{
    if (!FormatRandomHex(m_token, 40))
        return false;
    for (int i = 0; i < m_count; ++i) {
        wchar_t path[kPathSize];
        m_files.Get()[i].replaces = FormatText(path, kPathSize, L"%ls%ls", m_folder, At(i).name) && Exists(path);
    }
    m_begun = WriteJournal(false);
    return m_begun;
}

bool FileUpdate::StagedPath(int i, wchar_t* out, size_t outSize) const
{
    return FormatText(out, outSize, L"%ls%ls.%ls.new", m_folder, At(i).name, m_token);
}

namespace {

constexpr int kMoveTries = 10;
constexpr DWORD kMovePauseMs = 200;

// A file just written, or the one it replaces, is often held a moment by a virus scanner: a move
// refused for sharing or access is tried again, up to kMoveTries times over about 2 s.
bool MoveWithRetries(const wchar_t* from, const wchar_t* to, int& retries)
{
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(from, to, MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        if (attempt == kMoveTries
            || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION)) {
            SetLastError(error);
            return false;
        }
        ++retries;
        Sleep(kMovePauseMs);
    }
}

}  // namespace

bool FileUpdate::Commit(wchar_t* failed, size_t failedSize)
{
    for (int i = 0; i < m_count; ++i) {
        FilePaths paths;
        if (!PathsOf(m_folder, At(i).name, m_token, paths)) {
            Discard();
            return false;
        }
        // Nothing is replaced in one step: the earlier file stays whole aside until the end. A
        // file that appeared where there was none is not ours to move.
        const bool moved = (!Exists(paths.final) || MoveWithRetries(paths.final, paths.aside, m_retries))
                           && MoveWithRetries(paths.staged, paths.final, m_retries);
        if (!moved) {
            const DWORD error = GetLastError();
            CopyText(failed, failedSize, paths.final);
            Discard();
            SetLastError(error);
            return false;
        }
    }
    // Once the journal says "done", a run cut short is finished, not undone.
    if (!WriteJournal(true)) {
        Discard();
        return false;
    }
    m_committed = true;
    for (int i = 0; i < m_count; ++i)
        ClearAside(m_folder, At(i), m_token);
    wchar_t journal[kPathSize];
    if (JournalPath(m_folder, journal))
        DeleteFileW(journal);
    return true;
}

void FileUpdate::Discard()
{
    for (int i = m_count - 1; i >= 0; --i)
        UndoFile(m_folder, At(i), m_token);
    wchar_t journal[kPathSize];
    if (JournalPath(m_folder, journal))
        DeleteFileW(journal);
    m_begun = false;
}

void FinishInterruptedUpdate(const wchar_t* folder)
{
    wchar_t journal[kPathSize];
    HeapBuffer<wchar_t> text;
    if (!JournalPath(folder, journal))
        return;
    RemoveLeftTemporaries(journal);
    if (ReadCheckedText(journal, text) != CheckedTextState::kRead)
        return;
    const wchar_t* cursor = text.Get();
    wchar_t line[kLineSize], token[40];
    bool done = false;
    if (!NextLine(cursor, line, kLineSize) || wcscmp(line, kHeader) != 0 || !NextLine(cursor, line, kLineSize)
        || !ParseState(line, done, token, 40))
        return;
    // Every line is checked before any is followed: a journal that is not ours moves nothing.
    const wchar_t* files = cursor;
    for (int pass = 0; pass < 2; ++pass) {
        for (cursor = files; NextLine(cursor, line, kLineSize);) {
            UpdateFile file;
            if ((line[0] != L'r' && line[0] != L'a') || line[1] != L' ' || !IsPlainRelativeName(line + 2)
                || !CopyText(file.name, line + 2))
                return;
            file.replaces = line[0] == L'r';
            if (pass == 1 && done)
                ClearAside(folder, file, token);
            else if (pass == 1)
                UndoFile(folder, file, token);
        }
    }
    DeleteFileW(journal);
}
