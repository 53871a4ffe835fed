#include "shell/replaced_values.h"

#include "framework/handles.h"
#include "framework/kill_point.h"
#include "framework/registry.h"
#include "framework/text.h"

#include <cstdlib>
#include <cwchar>

namespace {

// Both builds see one record: on 64-bit Windows the 64-bit view, elsewhere the only one.
constexpr wchar_t kRecordKey[] = L"SOFTWARE\\Pictarn Setup\\Replaced";
constexpr wchar_t kRecordParent[] = L"SOFTWARE\\Pictarn Setup";
constexpr REGSAM kSharedView = KEY_WOW64_64KEY;
constexpr size_t kTextSize = 1024;

// An entry's name is the value's key and name; its data what the setup writes and what stood
// there: "+" and the text, "-" for no value in a key that was there, or "0" and the number of
// trailing key levels the setup made.
int EntryName(const wchar_t* key, const wchar_t* name, wchar_t* out, size_t outSize)
{
    return FormatText(out, outSize, L"%ls|%ls", key, name ? name : L"");
}

RegKey OpenRecord(HKEY root, REGSAM access, bool create)
{
    RegKey record;
    LONG status = create ? RegCreateKeyExW(root, kRecordKey, 0, nullptr, 0, access | kSharedView, nullptr,
                                           record.Receive(), nullptr)
                         : RegOpenKeyExW(root, kRecordKey, 0, access | kSharedView, record.Receive());
    if (status != ERROR_SUCCESS)
        record.Release();
    return record;
}

// The value's text as it stands: 1 with `out` filled, 0 when there is no string value.
int CurrentText(HKEY root, const wchar_t* key, const wchar_t* name, wchar_t* out, size_t outSize)
{
    return ReadStringValue(root, key, name, static_cast<DWORD>(kTextSize * sizeof(wchar_t)), out, outSize);
}

bool KeyExists(HKEY root, const wchar_t* key)
{
    return static_cast<bool>(OpenKey(root, key, KEY_QUERY_VALUE));
}

// How many trailing levels of `key` do not exist yet.
int MissingLevels(HKEY root, const wchar_t* key)
{
    wchar_t path[kTextSize];
    if (!CopyText(path, kTextSize, key))
        return 0;
    int missing = 0;
    while (path[0] != L'\0' && !KeyExists(root, path)) {
        ++missing;
        wchar_t* last = wcsrchr(path, L'\\');
        if (last == nullptr)
            break;
        *last = L'\0';
    }
    return missing;
}

// Keys the setup made, gathered while the values go back and removed only after the walk,
// deepest first and while empty: a key made for one value may hold another value's key, and
// the record lists its entries in no order that follows the keys.
class MadeKeys {
public:
    explicit MadeKeys(size_t capacity) : m_text(AllocateBuffer<wchar_t>(capacity)), m_capacity(capacity) {}

    // `key` and its `levels` - 1 parents were made by the setup.
    void Add(const wchar_t* key, int levels)
    {
        const size_t length = wcslen(key);
        if (!m_text || levels <= 0 || m_used + length + 2 > m_capacity)
            return;
        m_text.Get()[m_used] = static_cast<wchar_t>(levels);
        wmemcpy(m_text.Get() + m_used + 1, key, length + 1);
        m_used += length + 2;
    }

    void RemoveEmpty(HKEY root) const
    {
        for (int depth = kMaxDepth; depth > 0; --depth) {
            for (size_t at = 0; at < m_used; at += wcslen(m_text.Get() + at + 1) + 2) {
                wchar_t path[kTextSize];
                if (!CopyText(path, kTextSize, m_text.Get() + at + 1))
                    continue;
                int pathDepth = Depth(path);
                for (int level = m_text.Get()[at]; level > 0 && pathDepth >= depth; --level, --pathDepth) {
                    if (pathDepth == depth && IsEmptyKey(root, path))
                        RegDeleteKeyW(root, path);
                    if (wchar_t* last = wcsrchr(path, L'\\'))
                        *last = L'\0';
                }
            }
        }
    }

private:
    static constexpr int kMaxDepth = 32;
    static int Depth(const wchar_t* key)
    {
        int depth = 1;
        for (; *key; ++key)
            depth += *key == L'\\';
        return depth;
    }

    HeapBuffer<wchar_t> m_text;
    size_t m_capacity;
    size_t m_used = 0;
};

// Puts the value back as it stood; the key levels the setup made go to `made`.
void PutBack(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* before, MadeKeys& made)
{
    if (before[0] == L'+') {
        if (RegKey target = CreateKey(root, key))
            SetStringValue(target.Get(), name[0] ? name : nullptr, before + 1);
        return;
    }
    if (RegKey target = OpenKey(root, key, KEY_SET_VALUE))
        RegDeleteValueW(target.Get(), name[0] ? name : nullptr);
    if (before[0] == L'0')
        made.Add(key, _wtoi(before + 1));
}

}  // namespace

HKEY ReplacedValuesRecord::Open(HKEY root)
{
    RegKey& record = root == HKEY_LOCAL_MACHINE ? m_machine : m_user;
    if (!record)
        record = OpenRecord(root, KEY_QUERY_VALUE | KEY_SET_VALUE, true);
    return record.Get();
}

namespace {

// An entry's data: what the setup writes, then what stood there, each ended, then the list's end.
void WriteEntry(HKEY record, const wchar_t* entry, const wchar_t* ours, const wchar_t* before)
{
    wchar_t data[3 * kTextSize] = {};
    size_t length = wcslen(ours) + 1;
    if (length + wcslen(before) + 2 >= 3 * kTextSize)
        return;
    wmemcpy(data, ours, length);
    wmemcpy(data + length, before, wcslen(before));
    length += wcslen(before) + 2;
    RegSetValueExW(record, entry, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>(length * sizeof(wchar_t)));
}

}  // namespace

void ReplacedValuesRecord::KeepBeforeReplacing(HKEY root, const wchar_t* key, const wchar_t* name, const wchar_t* ours)
{
    wchar_t entry[kTextSize];
    if (!EntryName(key, name, entry, kTextSize))
        return;
    HKEY record = Open(root);
    if (!record || RegQueryValueExW(record, entry, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return;
    wchar_t current[kTextSize];
    const bool present = CurrentText(root, key, name, current, kTextSize) && wcscmp(current, ours) != 0;
    wchar_t before[kTextSize + 2] = L"-";
    if (present)
        FormatText(before, kTextSize + 2, L"+%ls", current);
    else if (const int missing = MissingLevels(root, key))
        FormatText(before, kTextSize + 2, L"0%d", missing);
    WriteEntry(record, entry, ours, before);
}

void ReplacedValuesRecord::KeepMadeKeys(HKEY root, const wchar_t* key, const wchar_t* name, int levels)
{
    wchar_t entry[kTextSize], before[16];
    HKEY record = Open(root);
    if (record && EntryName(key, name, entry, kTextSize) && FormatText(before, 16, L"0%d", levels)
        && RegQueryValueExW(record, entry, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        WriteEntry(record, entry, L"", before);
}

namespace {

void NoteRecordEntry(HKEY root, const wchar_t* entry, LeftBehindNotes& notes)
{
    wchar_t what[2 * kTextSize];
    if (FormatText(what, 2 * kTextSize, L"%ls\\%ls\\%ls", root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE"
                                                                                    : L"HKEY_CURRENT_USER",
                   kRecordKey, entry))
        notes.LeftBehind(what);
}

}  // namespace

void ReplacedValuesRecord::KeepParentsToMake(HKEY root, const wchar_t* key, int levels)
{
    wchar_t parent[kTextSize];
    wchar_t* last = CopyText(parent, kTextSize, key) ? wcsrchr(parent, L'\\') : nullptr;
    if (last == nullptr)
        return;
    *last = L'\0';
    const int missing = MissingLevels(root, parent);
    if (missing > 0)
        KeepMadeKeys(root, parent, L"", missing < levels ? missing : levels);
}

namespace {

// One entry of the record as read: its name ("key|name") and data; `wellFormed` when the setup
// could have written it (not too long, a list, a key in its name).
struct RecordEntry {
    wchar_t name[kTextSize];
    wchar_t data[3 * kTextSize];
    bool wellFormed;
    const wchar_t* Ours() const { return data; }
    const wchar_t* Before() const { return data + wcslen(data) + 1; }
};

// False past the record's end.
bool ReadRecordEntry(HKEY record, DWORD index, RecordEntry& out)
{
    DWORD nameLength = kTextSize, type = 0;
    DWORD bytes = sizeof(out.data) - 2 * sizeof(wchar_t);
    wmemset(out.data, L'\0', 3 * kTextSize);
    const LSTATUS status = RegEnumValueW(record, index, out.name, &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(out.data), &bytes);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA)
        return false;
    out.name[kTextSize - 1] = L'\0';
    out.wellFormed = status == ERROR_SUCCESS && type == REG_MULTI_SZ && wcschr(out.name, L'|') != nullptr;
    return true;
}

}  // namespace

void RestoreReplacedValues(HKEY root, bool (*stillInUse)(const wchar_t* ours), LeftBehindNotes& notes)
{
    RegKey record = OpenRecord(root, KEY_QUERY_VALUE | KEY_SET_VALUE, false);
    if (!record)
        return;
    DWORD entries = 0, longestName = 0;
    RegQueryInfoKeyW(record.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &entries, &longestName,
                     nullptr, nullptr, nullptr);
    MadeKeys made(static_cast<size_t>(entries) * (longestName + 2));
    HeapBuffer<RecordEntry> buffer = AllocateBuffer<RecordEntry>(1);
    if (!buffer)
        return;
    RecordEntry& entry = *buffer.Get();
    // Every value goes back and the keys made go before any entry leaves the record: a run cut
    // short anywhere finds what it still has to do, and doing it twice changes nothing.
    for (DWORD index = 0; ReadRecordEntry(record.Get(), index, entry); ++index) {
        if (!entry.wellFormed) {  // not one the setup wrote: kept and told
            NoteRecordEntry(root, entry.name, notes);
            continue;
        }
        if (stillInUse(entry.Ours()))
            continue;
        wchar_t* bar = wcschr(entry.name, L'|');
        *bar = L'\0';
        const wchar_t* name = bar + 1;
        wchar_t current[kTextSize];
        if (!CurrentText(root, entry.name, name[0] ? name : nullptr, current, kTextSize)) {
            if (entry.Before()[0] == L'0')
                made.Add(entry.name, _wtoi(entry.Before() + 1));  // the value is gone already; its keys may go
        } else if (wcscmp(current, entry.Ours()) == 0) {
            PutBack(root, entry.name, name, entry.Before(), made);
            KillPoint(L"value put back");
        }
    }
    made.RemoveEmpty(root);
    KillPoint(L"made keys removed");
    for (DWORD index = 0; ReadRecordEntry(record.Get(), index, entry);) {
        if (entry.wellFormed && !stillInUse(entry.Ours()))
            RegDeleteValueW(record.Get(), entry.name);  // the enumeration index now names the next entry
        else
            ++index;
    }
    DWORD values = 0;
    RegQueryInfoKeyW(record.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    record.Reset();
    if (values == 0) {
        RegDeleteKeyExW(root, kRecordKey, kSharedView, 0);
        RegDeleteKeyExW(root, kRecordParent, kSharedView, 0);  // fails while anything else is in it
    }
}
