#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/str.h"

namespace {

// Independent oracle: the standard bitwise CRC-32 of the lower-cased text,
// complemented (the name hash keeps the register without the final inversion).
uint32_t ReferenceHash(const char* s) {
    uint32_t crc = 0xFFFFFFFFu;
    for (; *s; ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc;
}

}  // namespace

TEST(NameHash, KnownValues) {
    EXPECT_EQ(NameHash("abc"), 0xCADBBE3Du);
    EXPECT_EQ(NameHash("ABC"), 0xCADBBE3Du);
    EXPECT_EQ(NameHash(""), 0xFFFFFFFFu);
    // Standard CRC-32 of "123456789" is 0xCBF43926; the hash is its complement.
    EXPECT_EQ(NameHash("123456789"), ~0xCBF43926u);
}

TEST(NameHash, FoldsOnlyAsciiLetters) {
    const char* cases[] = {"Joint_01", "[]\\^_`", "@AZ[", "\xC4\xE4", "MiXeD cAsE nAmE"};
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        EXPECT_EQ(NameHash(c), ReferenceHash(c));
    }
    // "[" (0x5B) and "{" (0x7B) differ by 32 but are not letters: no folding.
    EXPECT_NE(NameHash("["), NameHash("{"));
    EXPECT_NE(NameHash("\xC4"), NameHash("\xE4"));
}

TEST(CoreStr, DefaultIsEmptyAndSetNullIsNull) {
    Core_Str s;
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), "");
    s.Set("path/a.zem");
    EXPECT_STREQ(s.Text(), "path/a.zem");
    s.Set(nullptr);
    EXPECT_EQ(s.Text(), nullptr);
    EXPECT_STREQ(s.CStr(), "");
    s.Set("");
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), "");
}

TEST(CoreStr, CopiesItsSource) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "abc");
    Core_Str s(buffer);
    buffer[0] = 'X';
    EXPECT_STREQ(s.Text(), "abc");
    const char bytes[] = {'a', 'b', '\0', 'c'};
    s.Set(bytes, sizeof bytes);  // stops at the zero byte, like a C string
    EXPECT_STREQ(s.Text(), "ab");
}

TEST(CoreQStr, HashFollowsEverySet) {
    Core_QStr q;
    EXPECT_EQ(q.hash, 0u);  // default: 0, not the hash of ""
    EXPECT_STREQ(q.Text(), "");
    q.Set("");
    EXPECT_EQ(q.hash, 0xFFFFFFFFu);
    q.Set("Hull");
    uint32_t h = q.hash;
    EXPECT_EQ(h, ReferenceHash("hull"));
    q.Set("HULL");  // case-only change: new text, same hash
    EXPECT_STREQ(q.Text(), "HULL");
    EXPECT_EQ(q.hash, h);
    q.Set(nullptr);
    EXPECT_EQ(q.Text(), nullptr);
    EXPECT_EQ(q.hash, 0u);
}

TEST(NameMatch, HashThenCaseInsensitiveText) {
    Core_QStr defaulted, empty(""), a("Engine_Nozzle1"), b("ENGINE_NOZZLE1"), c("Engine_Nozzle2"), null;
    null.Set(nullptr);
    EXPECT_TRUE(NameMatch(a, b));
    EXPECT_FALSE(NameMatch(a, c));
    // Both texts are empty, but the default name still has hash 0.
    EXPECT_FALSE(NameMatch(defaulted, empty));
    EXPECT_TRUE(NameMatch(empty, Core_QStr("")));
    EXPECT_FALSE(NameMatch(null, null));
    // Equal hashes alone are not a match.
    Core_QStr forged("abc");
    forged.value = "xyz";
    EXPECT_FALSE(NameMatch(forged, Core_QStr("abc")));
}

namespace {
struct Named {
    Core_QStr name;
    int id = 0;
};
}  // namespace

TEST(OwnedList, FindByNameSkipsNullSlotsAndTakesTheFirst) {
    OwnedList<Named> list;
    EXPECT_EQ(FindByName(list, Core_QStr("a")), nullptr);
    list.emplace_back();
    list.emplace_back();
    EXPECT_EQ(FindByName(list, Core_QStr("a")), nullptr);  // all slots null
    for (int id : {1, 2}) {
        auto n = std::make_unique<Named>();
        n->name.Set(id == 1 ? "Root" : "ROOT");
        n->id = id;
        list.push_back(std::move(n));
    }
    Named* found = FindByName(list, Core_QStr("root"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->id, 1);
}
