#include "vcard/Text.h"
#include "vcard/ContactRecord.h"

#include <gtest/gtest.h>

#include <string>

namespace velloquin {
namespace {

TEST(Text, TrimRemovesSpacesOnly) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta \t"), "\ta \t");
    EXPECT_EQ(Trim("   "), "");
}

TEST(Text, Utf8Validation) {
    for (const char* good : {"", "abc", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"})
        EXPECT_TRUE(IsValidUtf8(good)) << good;
    // Lone Latin-1 byte, overlong, surrogate, past U+10FFFF, cut short.
    for (const char* bad : {"\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}

TEST(Text, Windows1252BothWays) {
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F\xE9\x81"), "\xE2\x82\xAC\xC5\xB8\xC3\xA9\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC\xC5\xB8\xC3\xA9\xD0\x98"), "\x80\x9F\xE9?");
    EXPECT_EQ(Utf8ToCp1252("a\xE9"), "a\xE9"); // stray byte kept as it was
    EXPECT_EQ(Utf8ToUtf16("a\xC3\xA9\xF0\x9F\x98\x80"), u"a\u00E9\U0001F600");
    EXPECT_EQ(Utf8Length("a\xC3\xA9\xE9"), 3u);
    EXPECT_EQ(Utf8Prefix("\xC3\xA9\xC3\xA8x", 2), "\xC3\xA9\xC3\xA8");
}

TEST(Text, DecodeBackupBytes) {
    EXPECT_EQ(DecodeBackupBytes("\xEF\xBB\xBF"
                                "FN:\xC3\xA9"),
              "FN:\xC3\xA9");
    EXPECT_EQ(DecodeBackupBytes("FN:\xE9"), "FN:\xC3\xA9");
    EXPECT_EQ(DecodeBackupBytes("\xEF\xBB\xBF"
                                "FN:\xE9"),
              "FN:\xC3\xA9");
    EXPECT_EQ(DecodeBackupBytes(std::string("\xFF\xFE"
                                            "F\0N\0:\0\xE9\0",
                                            10)),
              "FN:\xC3\xA9");
}

TEST(HandOff, ExcelAndOutlookArguments) {
    ContactRecord r;
    r.eContact_FirstName = " John ";
    r.eContact_FullName = " John Doe ";
    r.eContact_MiddleName = " Q.";
    r.eContact_PersonalAddress = " 1 Main St ";
    r.eContact_Categories = " a,b ";
    r.eContact_BirthDay = 31133;
    r.ePhoto = " /out/3.gif ";
    r.eSelAddress = "1";
    const ExcelContactArgs normal = MakeExcelHandOff(r, false, 3);
    EXPECT_EQ(normal.xlsContact_FirstName, " John ");
    EXPECT_EQ(normal.xlsContact_FullName, " John Doe ");
    EXPECT_EQ(normal.xlsContact_PersonalAddress, " 1 Main St ");
    EXPECT_EQ(normal.xlsContact_BirthDay, 31133);
    EXPECT_EQ(normal.xlsCnt, 3);
    const ExcelContactArgs advance = MakeExcelHandOff(r, true, 3);
    EXPECT_EQ(advance.xlsContact_FirstName, "John");
    EXPECT_EQ(advance.xlsContact_FullName, "John Doe");
    EXPECT_EQ(advance.xlsContact_MiddleName, " Q.");
    const OutlookContactArgs o = MakeOutlookHandOff(r, " id ");
    EXPECT_EQ(o.storeID, " id ");
    EXPECT_EQ(o.FolderName, 10);
    EXPECT_EQ(o.eContact_MiddleName, "Q.");
    EXPECT_EQ(o.eContact_PersonalAddress, "1 Main St");
    EXPECT_EQ(o.eContact_Categories, "a,b");
    EXPECT_EQ(o.ePhoto, "/out/3.gif");
    EXPECT_EQ(o.eContact_BirthDay, 31133);
    FreevCard(r);
    EXPECT_EQ(r.eContact_FirstName, "");
    EXPECT_EQ(r.eContact_BirthDay, 0);
    EXPECT_EQ(r.ePhoto, "");
}

} // namespace
} // namespace velloquin
