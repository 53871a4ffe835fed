#pragma once
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
    int memberCount;
    FormatMember members[kMaxRowMembers];
};

inline constexpr int kFormatRowCount = 61;
inline constexpr int kFormatMemberCount = 84;

extern const FormatRow kFormatTable[kFormatRowCount];
