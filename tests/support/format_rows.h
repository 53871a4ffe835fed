#pragma once
// The format groups as the associations list, "/assoc=" and the association writer must
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

// All rows in list order.
const std::vector<ExpectedFormatRow>& ExpectedFormatRows();
// The index of the row with `label`, -1 when there is none: tests name the rows they mean.
int RowOf(const std::wstring& label);
