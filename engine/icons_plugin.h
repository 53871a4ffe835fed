#pragma once
// Whether an installed Icons.dll plug-in is replaced by the archive's copy.
#include <cstddef>

// 1 when the file has a readable version resource. `versionText` (260) receives
// "<product major>.<product minor><file version's third number>", e.g. "4.30";
// `company` (260, may be null) the US-English company name or an empty text.
int ReadFileVersion(const wchar_t* path, wchar_t* versionText, wchar_t* company);

// A version text as thousandths, computed in single precision as the plug-in rule demands.
int VersionThousandths(const wchar_t* versionText);

// 1 = unpack the archive's Icons.dll over the installed one, 0 = leave the installed one alone.
int ShouldReplaceIconsDll(const wchar_t* pluginPath);
