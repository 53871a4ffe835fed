// The format table against the facts the associations page, "/assoc=" and the writer share.
#include "app/install_options.h"
#include "shell/format_table.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <set>
#include <string>

TEST(FormatTable, RowsMembersAndFlagsHoldTogether)
{
    int members = 0;
    std::set<std::wstring> extensions;
    std::set<std::wstring> ownSecondaries;
    for (int r = 0; r < kFormatRowCount; ++r) {
        const FormatRow& row = kFormatTable[r];
        SCOPED_TRACE(r);
        // The image rows are exactly the ones "Images only" and "/assoc=1" select.
        EXPECT_EQ(row.isImage, r < kImageRows);
        ASSERT_GE(row.memberCount, 1);
        ASSERT_LE(row.memberCount, kMaxRowMembers);
        // The first member names the row's ProgID; the label starts with it in upper case.
        EXPECT_STREQ(row.members[0].extension, row.members[0].progIdSuffix);
        std::wstring first = row.members[0].extension;
        for (wchar_t& c : first)
            c = static_cast<wchar_t>(towupper(c));
        EXPECT_EQ(std::wstring(row.label).substr(0, first.size()), first);
        for (int m = 0; m < row.memberCount; ++m) {
            EXPECT_TRUE(extensions.insert(row.members[m].extension).second) << "each extension once";
            if (m > 0 && std::wstring(row.members[m].extension) == row.members[m].progIdSuffix)
                ownSecondaries.insert(row.members[m].extension);
        }
        members += row.memberCount;
    }
    EXPECT_EQ(members, kFormatMemberCount);
    EXPECT_EQ(ownSecondaries, (std::set<std::wstring>{L"cr2", L"cr3", L"jng", L"flv", L"mpe", L"rmi"}));
    EXPECT_STREQ(kFormatTable[47].label, L"SWF/FLV");
    EXPECT_STREQ(kFormatTable[60].label, L"WMA");
    EXPECT_EQ(kFormatTable[48].icon, FormatIcon::kImage);  // a non-image row with the image icon
    for (int r : {0, 5, 19})
        EXPECT_EQ(kFormatTable[r].icon, FormatIcon::kFileItself);
}
