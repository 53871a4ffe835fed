// The program's format table, row by row, against the list of format groups written down apart
// from it: label, display name, image flag, members with their ProgIDs, icon.
#include "model/install_options.h"
#include "model/format_table.h"
#include "support/format_rows.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// One row as a line of text, so that a difference shows the whole row on both sides.
std::wstring Describe(const std::wstring& label, const std::wstring& name, bool image, const std::wstring& icon)
{
    return label + L" | " + name + L" | " + (image ? L"image" : L"other") + L" | icon " + icon + L" |";
}

std::wstring IconRule(FormatIcon icon)
{
    switch (icon) {
    case FormatIcon::kFileItself: return L"%1";
    case FormatIcon::kImage: return L"0";
    case FormatIcon::kVideo: return L"9";
    case FormatIcon::kAudio: return L"8";
    }
    return L"?";
}

}  // namespace

TEST(FormatTable, EveryRowIsTheListedFormatGroup)
{
    const std::vector<ExpectedFormatRow>& expected = ExpectedFormatRows();
    ASSERT_EQ(kFormatRowCount, static_cast<int>(expected.size()));
    int members = 0;
    std::set<std::wstring> ownSecondaries;
    for (int r = 0; r < kFormatRowCount; ++r) {
        const FormatRow& row = kFormatTable[r];
        const ExpectedFormatRow& want = expected[r];
        SCOPED_TRACE("row " + std::to_string(r));
        std::wstring actual = Describe(row.Label(), row.DisplayName(), row.isImage, IconRule(row.icon));
        std::wstring wanted = Describe(want.label, want.displayName, want.image, want.icon);
        for (int m = 0; m < row.memberCount && m < kMaxRowMembers; ++m)
            actual += std::wstring(L" .") + row.Member(m).extension + L"=Pictarn." + row.Member(m).progIdSuffix;
        for (const ExpectedMember& m : want.members) {
            wanted += L" ." + m.extension + L"=" + m.progId;
            if (&m != &want.members[0] && m.extension == m.suffix)
                ownSecondaries.insert(m.extension);
        }
        EXPECT_EQ(actual, wanted);
        members += static_cast<int>(want.members.size());
    }
    EXPECT_EQ(kFormatMemberCount, members);
    EXPECT_EQ(ownSecondaries, (std::set<std::wstring>{L"cr2", L"cr3", L"jng", L"flv", L"mpe", L"rmi"}));
}
