#include <gtest/gtest.h>

#include "core/str.h"

TEST(NameHash, KnownValuesAndLetterFolding) {
    EXPECT_EQ(NameHash("abc"), 0xCADBBE3Du);
    EXPECT_EQ(NameHash("ABC"), 0xCADBBE3Du);
    EXPECT_EQ(NameHash(""), 0xFFFFFFFFu);
    EXPECT_EQ(NameHash("123456789"), ~0xCBF43926u);  // the standard CRC-32 check value, not inverted
    // Only ASCII letters fold: "[" and "{" (and the Latin-1 pair) differ by 32 too.
    EXPECT_NE(NameHash("["), NameHash("{"));
    EXPECT_NE(NameHash("\xC4"), NameHash("\xE4"));
    EXPECT_EQ(LowerAscii("@AZ[`az{\xC4"), "@az[`az{\xC4");  // the name key folds the same letters
}

TEST(NameMatch, HashThenCaseInsensitiveText) {
    Core_QStr defaulted, empty(""), a("Engine_Nozzle1"), null;
    null.Set(nullptr);
    EXPECT_TRUE(NameMatch(a, Core_QStr("ENGINE_NOZZLE1")));
    EXPECT_FALSE(NameMatch(a, Core_QStr("Engine_Nozzle2")));
    EXPECT_FALSE(NameMatch(defaulted, empty));  // both texts empty, but the default hash is 0
    EXPECT_TRUE(NameMatch(empty, Core_QStr("")));
    EXPECT_FALSE(NameMatch(null, null));
    Core_QStr forged("abc");  // equal hashes alone are not a match
    forged.value = "xyz";
    EXPECT_FALSE(NameMatch(forged, Core_QStr("abc")));

    struct Named {
        Core_QStr name;
        int id = 0;
    };
    OwnedList<Named> list(2);  // null slots are skipped, the first match wins
    for (int id : {1, 2}) list.push_back(std::make_unique<Named>(Named{Core_QStr(id == 1 ? "Root" : "ROOT"), id}));
    const Named* found = FindByName(list, Core_QStr("root"));
    EXPECT_TRUE(found && found->id == 1);
    EXPECT_EQ(FindByName(list, Core_QStr("a")), nullptr);
}

// UTF-8 stays as it is, at the edges of each length; any other byte is its
// Windows-1252 character ('_' where that has none).
TEST(ToUtf8, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
    const std::pair<std::string, std::string> rows[] = {
        {"\xC2\x80 \xDF\xBF", "\xC2\x80 \xDF\xBF"},
        {"\xE0\xA0\x80 \xEF\xBF\xBF", "\xE0\xA0\x80 \xEF\xBF\xBF"},
        {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF"},
        {"\xC1\xBF", "\xC3\x81\xC2\xBF"},                        // overlong
        {"\xED\xA0\x80\xED\xBF\xBF", "\xC3\xAD\xC2\xA0\xE2\x82\xAC\xC3\xAD\xC2\xBF\xC2\xBF"},  // surrogates
        {"\xF4\x90\x80\x80", "\xC3\xB4_\xE2\x82\xAC\xE2\x82\xAC"},  // past U+10FFFF
        {"caf\xE9 \x81\xDF", "caf\xC3\xA9 _\xC3\x9F"},            // cut short at the end
    };
    for (const auto& row : rows) EXPECT_EQ(ToUtf8(row.first), row.second) << row.first;
}
