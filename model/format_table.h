#pragma once
#include <cstddef>
#include <initializer_list>

// The fixed list of file formats the setup offers to associate with the product. The row
// index is shared by the associations page, the "/assoc=" switch and the association writer.

// What a format's ProgID shows as its icon.
enum class FormatIcon {
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

struct FormatRow {
    const wchar_t* label;        // the list's first column, display text only
    const wchar_t* displayName;  // ends in " *" when the product reads it through a plug-in
    bool isImage;
    FormatIcon icon;
    FormatMember members[kMaxRowMembers] = {};
    int memberCount = 0;  // counted from the members given; more than kMaxRowMembers does not compile

    constexpr FormatRow(const wchar_t* rowLabel, const wchar_t* name, bool image, FormatIcon rowIcon,
                        std::initializer_list<FormatMember> given)
        : label(rowLabel), displayName(name), isImage(image), icon(rowIcon)
    {
        for (const FormatMember& member : given)
            members[memberCount++] = member;
    }
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

extern const FormatRow kFormatTable[kFormatRowCount];
