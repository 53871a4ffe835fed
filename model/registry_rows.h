#pragma once
// Every registry row the application registration writes, as data: the writer walks it, and
// whatever removes the product walks the same rows to find what was written.
#include <windows.h>

#include <span>

// The texts the registry rows take their data from.
enum class RowText {
    kNoText,
    kVerbName, kVerbCommand, kProductWord, kOpenCommand, kFriendlyName, kEmpty, kDisplayName,
    kUninstallString, kQuietUninstallString, kPublisher, kFolder, kDisplayVersion, kDisplayIcon, kQuotedExecutable,
    kApplicationDescription, kCapabilitiesPath, kTextCount
};

enum class RowKind {
    kDefaultValue,  // the key's default value; the key and its parents are created
    kNamedString,
    kNamedDword,
    kDeleteKey,
    kCreateKey,     // created and closed, nothing set
};

// How a key that takes named values is reached; a key that cannot be reached skips them.
enum class KeyReach { kNone, kOpenFull, kOpenSetValue, kCreate };

// The parts of the registration, each written under its own condition.
enum class RowGroup {
    kThumbnailVerbs,   // the folder and drive verb: with the thumbnails shortcut, Vista and later
    kApplication,      // the product's class and "Applications" entry: always
    kUninstallEntry,   // always
    kDefaultPrograms,  // the application key, capabilities, RegisteredApplications: Vista and later
    kInstalledVersion, // what deployment tools read to tell this version is installed: once a run is complete
    kCount             // not a group: how many there are
};

struct RegistryRow {
    RowGroup group;
    HKEY root;
    const wchar_t* key;
    const wchar_t* name;
    RowKind kind;
    KeyReach reach;
    RowText text;         // what a string row writes
    unsigned long number;  // what a REG_DWORD row writes
};

inline constexpr wchar_t kVerb[] = L"Browse with &Pictarn";
inline constexpr wchar_t kCapabilitiesKey[] = L"SOFTWARE\\Pictarn\\Capabilities";
// The 32-bit build's capabilities as the 64-bit view names them on 64-bit Windows: the list of
// registered applications is one key for both views, and Default apps reads it in the 64-bit view.
inline constexpr wchar_t kCapabilitiesOf32BitView[] = L"SOFTWARE\\WOW6432Node\\Pictarn\\Capabilities";
inline constexpr wchar_t kRegisteredApplicationsKey[] = L"SOFTWARE\\RegisteredApplications";
inline constexpr wchar_t kRegisteredName[] = L"Pictarn";
// The product class's open command; an earlier installation is found through it.
inline constexpr wchar_t kProductOpenCommandKey[] = L"SOFTWARE\\Classes\\Pictarn\\shell\\open\\command";

// In the uninstall entry: how many levels above the installation folder its first install made
// (written only when it made any), so that the removal takes those away again once empty.
inline constexpr wchar_t kParentFoldersMadeValue[] = L"ParentFoldersMade";

// Numbered from 1 as the registration walks them.
extern const std::span<const RegistryRow> kRegistryRows;

// What removing the product takes away of each part: a key with everything in it, or the one
// value both builds share (`value` not null). A key goes only while its rows still hold this
// installation's texts; the shared value follows whichever build's capabilities remain.
struct OwnedEntry {
    RowGroup group;
    HKEY root;
    const wchar_t* key;
    const wchar_t* value;
    int parentLevels;  // how many parents the setup may make: those it made are recorded, and go again once empty
    bool bothBuilds;   // both builds write this key: while the other build's installation remains, it is pointed there
};

extern const std::span<const OwnedEntry> kOwnedEntries;
