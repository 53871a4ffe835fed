#pragma once
#include <array>
#include <initializer_list>

// The fixed list of file formats the setup offers to associate with the product. The row
// index is shared by the associations page, the "/assoc=" switch and the association writer.

// What a format's ProgID shows as its icon.
enum class FormatIcon : unsigned char {
    kFileItself,  // the literal "%1": the file is its own icon
    kImage,       // the product executable, index 0
    kVideo,       // index 9
    kAudio,       // index 8
};

struct FormatMember {
    const wchar_t* extension;  // lower case, without the dot
    const wchar_t* progIdSuffix;
};

inline constexpr int kMaxRowMembers = 3;

// One format of the list. Its texts are kept in one block and found by their place in it:
// pointers would take 8 bytes each, half the table.
struct FormatRow {
    unsigned short labelAt;
    unsigned short nameAt;
    unsigned short extensionAt[kMaxRowMembers];
    unsigned short suffixAt[kMaxRowMembers];
    unsigned char memberCount;  // more than kMaxRowMembers in a row does not compile
    bool isImage;
    FormatIcon icon;

    // Label: the list's first column, display text only.
    const wchar_t* Label() const;
    // DisplayName: ends in " *" when the product reads the format through a plug-in.
    const wchar_t* DisplayName() const;
    // Member: the row's extension `index` (below memberCount) and the suffix of its ProgID.
    FormatMember Member(int index) const;
};

// Counted from the rows at compile time; the rows themselves, with their texts, are kept once,
// in model/format_table.cpp (a table defined in this header would leave a copy of every text in
// each file that reads it).
#define FORMAT_ROW(label, name, image, icon, ...) +1
inline constexpr int kFormatRowCount = 0
#include "model/format_rows.inc"
    ;
#undef FORMAT_ROW

constexpr int CountMembers(std::initializer_list<FormatMember> members)
{
    return static_cast<int>(members.size());
}
#define FORMAT_ROW(label, name, image, icon, ...) +CountMembers({__VA_ARGS__})
inline constexpr int kFormatMemberCount = 0
#include "model/format_rows.inc"
    ;
#undef FORMAT_ROW

extern const std::array<FormatRow, kFormatRowCount> kFormatTable;
