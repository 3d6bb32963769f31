#include "texture/shader_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

using Bytes = std::vector<unsigned char>;

// The names of a list's items, parted by between.
template <typename List, typename Name>
std::string Join(const List& list, Name name, const char* between = " ") {
    std::string text;
    for (const auto& item : list) text += (&item == &*std::begin(list) ? "" : between) + std::string(name(item));
    return text;
}

TEST(ParseShaderMaps, LanguageRules) {
    // Entry names in set order (no set for null), then the map names of the first entry.
    struct Row { const char* name; const char* text; const char* entries; const char* firstMaps; } table[] = {
        {"name list in reverse, empty name is a wildcard", "+a,,b\n$d = 1 1 1 1\nO = R G B A\n", "b,,a", "$d"},
        {"star list is one wildcard", "+*,x\n$d = 1 1 1 1\nO = R G B A\n", "", "$d"},
        {"map without lines gives way", "+e\n$x[DXT1] = 1 1 1 1\n$y[DXT1] = 1 1 1 1\nO = R G B A\n", "e", "$y"},
        {"last map without lines dropped", "+e\n$x = 1 1 1 1\nO = R G B A\n$z = 1 1 1 1\n+f\n", "e,f", "$x"},
        {"caret ends the text", "+e\n^\n+f\n", "e", ""},
        {"comments, blank lines, CR alone", "  # c\r\r+e # name\r$x = 1 1 1 1 # m\r\tO = R G B A#o\r", "e", "$x"},
        {"three values are no line", "+e\n$x = 1 1 1\nO = R G B A\n", "e", ""},
        {"no entry", "$x = 1 1 1 1\nO = R G B A\n", nullptr, ""},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const auto set = ParseShaderMapText(row.text);
        ASSERT_EQ(set != nullptr, row.entries != nullptr);
        if (!set) continue;
        EXPECT_EQ(Join(set->entries, [](const auto& entry) { return entry->name.value; }, ","), row.entries);
        EXPECT_EQ(Join(set->entries[0]->maps, [](const SourceMap& map) { return map.name.value; }), row.firstMaps);
    }
}

TEST(FindShaderMap, ExactThenWildcard) {
    const auto set = ParseShaderMaps();
    MaterialParam diffuse{Core_QStr("$DIFFUSE")}, diffuseOn{Core_QStr("$diffuseOn")}, glow{Core_QStr("$glow")};
    // The entry found is given by its position in the set, -1 for none.
    struct Row { const char* shader; const MaterialParam* diffuse; int entry; bool notExact; } table[] = {
        {"SHIP", &diffuse, 3, false},   {"fxsolid", nullptr, 0, false}, {"hull", &diffuse, 8, true},
        {"hull", &diffuseOn, 9, true},  {"hull", nullptr, -1, false},   {"", &diffuse, 8, true},
        {"hull", &glow, 10, true},  // the wildcard entry without maps takes any diffuse parameter
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.shader);
        bool notExact = !row.notExact;
        const ShaderMap* found = FindShaderMap(*set, Core_QStr(row.shader), row.diffuse, notExact);
        EXPECT_EQ(found, row.entry < 0 ? nullptr : set->entries[size_t(row.entry)].get());
        EXPECT_TRUE(!found || notExact == row.notExact);
    }
}

std::unique_ptr<PixelImage> Picture(int w, int h, Bytes pixels) {
    return std::make_unique<PixelImage>(PixelImage{w, h, std::move(pixels)});
}

TEST(ShaderMapInstance, SmallerSourceOfAnotherSlotCountsAsMissing) {
    const auto set = ParseShaderMapText("+t\n$a = 1 1 1 1\nO = R $b.G 0 1\n$b = 1 1 1 1\nP = R G B A\n");
    // Size of $b's picture and the green of O's first pixel, read from $b when it is large enough.
    struct Row { int bw, bh; unsigned char green; } table[] = {{2, 2, 77}, {3, 3, 77}, {1, 4, 0}, {4, 1, 0}};
    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.bw) + "x" + std::to_string(row.bh));
        auto instance = BindShaderMap(*set->entries[0]);
        TextureImage ia, ib;
        auto a = Picture(2, 2, Bytes(16, 10));
        auto b = Picture(row.bw, row.bh, Bytes(size_t(row.bw * row.bh * 4), 77));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$a"), a, &ia));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$B"), b, &ib));
        ComposeOutputs(*instance);
        const TextureImage* image = nullptr;
        const PixelImage* o = FindOutput(*instance, "o", &image);
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(image, &ia);
        ASSERT_EQ(o->pixels.size(), 16u);
        EXPECT_EQ((Bytes(o->pixels.begin(), o->pixels.begin() + 4)), (Bytes{10, row.green, 0, 255}));
    }
}

// The way back: which output channel gives each source channel back, and
// the value of a channel no output carries.
TEST(FindChannelCarriers, FirstPlainCarrierThenNeutral) {
    const auto set = ParseShaderMapText(
        "+t\n$a = 5 0 1 z\nO = a R* G G\nP = 1 1 B R\n$b = R 1 0 1\nQ = $a.B $a.r 0 A\n");
    const ShaderMap& entry = *set->entries[0];
    // Per source map and channel: "slot.line.channel" of each carrier, "~" when inverted; then the neutral value.
    struct Row { int source, channel; const char* carriers; int neutral; } table[] = {
        {0, 0, "0.1.3 1.0.1~", 128},  // R*, scaled by alpha, carries nothing; another map's line comes last
        {0, 1, "0.0.2 0.0.3", 0},
        {0, 2, "0.1.2 1.0.0", 255},
        {0, 3, "0.0.0~", 255},       // "z" is the constant 255
        {1, 0, "", 0},               // a channel default that is not a constant: colour 0
        {1, 3, "1.0.3", 255},
        {1, 2, "", 0},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.source) + "/" + std::to_string(row.channel));
        std::string text;
        for (const ChannelCarrier& c : FindChannelCarriers(entry, row.source, row.channel))
            text += (text.empty() ? "" : " ") + std::to_string(c.slot) + "." + std::to_string(c.line) + "." +
                    std::to_string(c.channel) + (c.invert ? "~" : "");
        EXPECT_EQ(text, row.carriers);
        EXPECT_EQ(NeutralChannel(entry.maps[size_t(row.source)], row.channel), row.neutral);
    }
    EXPECT_TRUE(FindChannelCarriers(entry, 2, 0).empty());
}

}  // namespace
