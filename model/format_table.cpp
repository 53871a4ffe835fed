#include "model/format_table.h"

#include <cstddef>

namespace {

// A row as written in model/format_rows.inc; used only while compiling.
struct SourceRow {
    const wchar_t* label;
    const wchar_t* name;
    bool image;
    FormatIcon icon;
    FormatMember members[kMaxRowMembers] = {};
    int memberCount = 0;

    constexpr SourceRow(const wchar_t* rowLabel, const wchar_t* rowName, bool rowImage, FormatIcon rowIcon,
                        std::initializer_list<FormatMember> given)
        : label(rowLabel), name(rowName), image(rowImage), icon(rowIcon)
    {
        for (const FormatMember& member : given)
            members[memberCount++] = member;
    }
};

using enum FormatIcon;
#define FORMAT_ROW(label, name, image, icon, ...) {label, name, image, icon, {__VA_ARGS__}},
constexpr SourceRow kSourceRows[] = {
#include "model/format_rows.inc"
};
#undef FORMAT_ROW

constexpr size_t TextLength(const wchar_t* text)
{
    size_t length = 0;
    while (text[length] != L'\0')
        ++length;
    return length + 1;
}

constexpr size_t TextBlockSize()
{
    size_t size = 0;
    for (const SourceRow& row : kSourceRows) {
        size += TextLength(row.label) + TextLength(row.name);
        for (int m = 0; m < row.memberCount; ++m)
            size += TextLength(row.members[m].extension) + TextLength(row.members[m].progIdSuffix);
    }
    return size;
}

using TextBlock = std::array<wchar_t, TextBlockSize()>;

// Appends `text` to the block at `used`, and says where it starts.
constexpr unsigned short Put(TextBlock& block, size_t& used, const wchar_t* text)
{
    const size_t start = used;
    for (size_t i = 0; i < TextLength(text); ++i)
        block[used++] = text[i];
    return static_cast<unsigned short>(start);
}

struct PackedTable {
    TextBlock texts{};
    std::array<FormatRow, kFormatRowCount> rows{};
};

constexpr PackedTable Pack()
{
    static_assert(TextBlockSize() <= 0xFFFF, "the texts must stay within 16-bit places");
    PackedTable packed;
    size_t used = 0;
    for (int r = 0; r < kFormatRowCount; ++r) {
        const SourceRow& source = kSourceRows[r];
        FormatRow& row = packed.rows[r];
        row.labelAt = Put(packed.texts, used, source.label);
        row.nameAt = Put(packed.texts, used, source.name);
        for (int m = 0; m < source.memberCount; ++m) {
            row.extensionAt[m] = Put(packed.texts, used, source.members[m].extension);
            row.suffixAt[m] = Put(packed.texts, used, source.members[m].progIdSuffix);
        }
        row.memberCount = static_cast<unsigned char>(source.memberCount);
        row.isImage = source.image;
        row.icon = source.icon;
    }
    return packed;
}

constexpr PackedTable kPacked = Pack();
constinit const TextBlock kTexts = kPacked.texts;

}  // namespace

constinit const std::array<FormatRow, kFormatRowCount> kFormatTable = kPacked.rows;

const wchar_t* FormatRow::Label() const
{
    return kTexts.data() + labelAt;
}

const wchar_t* FormatRow::DisplayName() const
{
    return kTexts.data() + nameAt;
}

FormatMember FormatRow::Member(int index) const
{
    return {kTexts.data() + extensionAt[index], kTexts.data() + suffixAt[index]};
}
