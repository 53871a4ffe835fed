#pragma once
// Setups that carry another payload than the one built: an earlier or later version's files,
// made from what an install of the built setup placed.
#include "support/zip_writer.h"

#include <string>
#include <vector>

// The files below `folder` as archive entries, each folder before what it holds, dated
// `utcTime`; the setup's own files there (its record, the settings file) are left out.
std::vector<ZipEntry> EntriesOfFolder(const std::wstring& folder, int64_t utcTime);

// The built setup's own payload, as the files it unpacks, dated `utcTime`.
std::vector<ZipEntry> BuiltPayloadEntries(int64_t utcTime);

// The entry of `name` ("Plugins/Effects.dll"); the test fails when there is none.
ZipEntry& EntryNamed(std::vector<ZipEntry>& entries, const std::string& name);

// A copy of the built setup at `path` whose payload (and its SHA-256) is `entries`; false when
// the resources could not be replaced.
bool WriteSetupWithPayload(const std::wstring& path, const std::vector<ZipEntry>& entries);

// Seconds since 1970 (UTC), now.
int64_t UtcNow();
