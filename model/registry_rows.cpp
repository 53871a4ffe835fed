#include "model/registry_rows.h"

#include "variants/variant.h"

#include "payload_size.h"  // generated with the payload entry list

using enum RowGroup;
using enum RowKind;
using enum KeyReach;
using enum RowText;

namespace {

const RegistryRow kRows[] = {
    /* 1 */ {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn", nullptr, kDefaultValue, kNone, kVerbName, 0},
    /* 2 */ {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn\\command", nullptr, kDefaultValue, kNone, kVerbCommand, 0},
    /* 3 */ {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn", nullptr, kDefaultValue, kNone, kVerbName, 0},
    /* 4 */ {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn\\command", nullptr, kDefaultValue, kNone, kVerbCommand, 0},
    /* 5 */ {kApplication, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn", nullptr, kDefaultValue, kNone, kProductWord, 0},
    /* 6 */ {kApplication, HKEY_LOCAL_MACHINE, kProductOpenCommandKey, nullptr, kDefaultValue, kNone, kOpenCommand, 0},
    /* 7 */ {kApplication, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn\\DefaultIcon", nullptr, kDeleteKey, kNone, kNoText, 0},
    /* 8 */ {kApplication, HKEY_LOCAL_MACHINE, variant::kApplicationCommandKey, nullptr, kDefaultValue, kNone, kOpenCommand, 0},
    /* 9 */ {kApplication, HKEY_LOCAL_MACHINE, variant::kApplicationKey, L"FriendlyAppName", kNamedString, kOpenFull, kFriendlyName, 0},
    /* 10 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, nullptr, kDefaultValue, kNone, kEmpty, 0},
    /* 11 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayName", kNamedString, kOpenFull, kDisplayName, 0},
    /* 12 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"UninstallString", kNamedString, kOpenFull, kUninstallString, 0},
    /* 13 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"QuietUninstallString", kNamedString, kOpenFull, kQuietUninstallString, 0},
    /* 14 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"Publisher", kNamedString, kOpenFull, kPublisher, 0},
    /* 15 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"InstallLocation", kNamedString, kOpenFull, kFolder, 0},
    /* 16 */ {kInstalledVersion, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayVersion", kNamedString, kOpenFull, kDisplayVersion, 0},
    /* 17 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"DisplayIcon", kNamedString, kOpenFull, kDisplayIcon, 0},
    /* 18 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"VersionMajor", kNamedDword, kOpenFull, kNoText, variant::kVersionMajor},
    /* 19 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"VersionMinor", kNamedDword, kOpenFull, kNoText, variant::kVersionMinor},
    /* 20 */ {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, L"EstimatedSize", kNamedDword, kOpenFull, kNoText, kPayloadKilobytes},
    /* 21 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn", nullptr, kCreateKey, kNone, kNoText, 0},
    /* 22 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\shell\\open\\command", nullptr, kDefaultValue, kNone, kQuotedExecutable, 0},
    /* 23 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationDescription", kNamedString, kCreate, kApplicationDescription, 0},
    // Without it, Default apps names the product by its program file.
    /* 24 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, kCapabilitiesKey, L"ApplicationName", kNamedString, kCreate, kFriendlyName, 0},
    /* 25 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn\\Capabilities\\FileAssociations", nullptr, kCreateKey, kNone, kNoText, 0},
    /* 26 */ {kDefaultPrograms, HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, kRegisteredName, kNamedString, kOpenSetValue, kCapabilitiesPath, 0},
};

const OwnedEntry kOwned[] = {
    {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Directory\\shell\\Browse with &Pictarn", nullptr, 2, true},
    {kThumbnailVerbs, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Drive\\shell\\Browse with &Pictarn", nullptr, 2, true},
    {kApplication, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Pictarn", nullptr, 0, true},
    {kApplication, HKEY_LOCAL_MACHINE, variant::kApplicationKey, nullptr, 0, false},
    // The installation's anchor: whatever removes the product takes it last of all.
    {kUninstallEntry, HKEY_LOCAL_MACHINE, variant::kUninstallKey, nullptr, 0, false},
    {kDefaultPrograms, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Pictarn", nullptr, 0, false},
    {kDefaultPrograms, HKEY_LOCAL_MACHINE, kRegisteredApplicationsKey, kRegisteredName, 0, false},
};

}  // namespace

const std::span<const RegistryRow> kRegistryRows{kRows};
const std::span<const OwnedEntry> kOwnedEntries{kOwned};
