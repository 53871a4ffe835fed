#pragma once
// The 61 format groups as the associations list, "/assoc=" and the association writer must
// show and register them, written down apart from the program's own table so that a slip in
// either one shows up as a difference.
#include <string>
#include <vector>

struct ExpectedMember {
    std::wstring extension;    // lower case, without the dot
    std::wstring suffix;       // of the ProgID
    std::wstring progId;       // "Pictarn." and the suffix
    std::wstring description;  // "Pictarn <SUFFIX> File"
};

struct ExpectedFormatRow {
    int row;
    std::wstring label;
    std::wstring displayName;
    bool image;        // chosen by "Images only" and "/assoc=1"
    std::wstring icon;  // "%1" (the file itself), else the main program's icon index: "0", "9" or "8"
    std::vector<ExpectedMember> members;
};

// All 61 rows in list order; 84 members in all.
const std::vector<ExpectedFormatRow>& ExpectedFormatRows();
