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
std::string LineNames(const SourceMap& map) {
    return Join(map.lines, [](const OutputMap& line) { return line.name.value; });
}

// Each channel as its code in hex, "@" and the position of the map it reads.
std::string Channels(const ChannelSpec* channels, const int32_t* sources) {
    std::string text;
    char item[32];
    for (int k = 0; k < 4; ++k) {
        std::snprintf(item, sizeof item, "%s%x@%d", k ? " " : "", unsigned(channels[k].code), int(sources[k]));
        text += item;
    }
    return text;
}
std::string Channels(const OutputMap& line) { return Channels(line.channels, line.sources); }

TEST(DefaultShaderMapText, LaidOutLineByLine) {
    const std::string text = kDefaultShaderMapText;
    // The "=" spacing differs between lines; every variant must survive.
    for (const char* part : {"+fx,fxSolid\r\n\t$diffuse[DXT1] = 1 1 1 1\r\n\t\tDIFF = R G B A\r\n\r\n+ship,badge\r\n",
                             "\t$normal[DXT1]= 5 5 1 1\r\n\t\tNORM[B] = R G B 1\r\n\r\n+matte\r\n",
                             "\r\n+*\r\n\t$diffuse[DXT1]= 1 1 1 1\r\n\t\tDIFF=R G B A\r\n\r\n",
                             "\r\n+*\r\n\t$diffuseOn[DXT1]=1 1 1 1\r\n\t\tDIFF=R G B A\r\n\r\n",
                             "\t$glowOff[DXT1] = 0 0 0 1\r\n\t\tGLOX = G G G G\r\n\t\tSPEX = B B B B\r\n"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(text.substr(text.size() - 17), "\r\n+*\r\n\t!NoScars\r\n");
    // Every line ends in CR LF (as many pairs as CRs and LFs); the nine "+"
    // lines are parted by one empty line each.
    size_t pairs = 0, empty = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        pairs += text.compare(i, 2, "\r\n") == 0;
        empty += text.compare(i, 4, "\r\n\r\n") == 0;
    }
    EXPECT_EQ(pairs, 62u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 62);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 62);
    EXPECT_EQ(empty, 8u);
}

TEST(ParseShaderMaps, DefaultSet) {
    const auto set = ParseShaderMaps();
    ASSERT_NE(set, nullptr);
    // Entry name, then each map's output line names, maps parted by "|"; normalFlag, scars.
    struct Row { const char* name; const char* lines; int normalFlag, scars; } table[] = {
        {"fxSolid", "DIFF", 0, 1},
        {"fx", "DIFF", 0, 1},
        {"badge", "DIFF TEAM|GLOW SPEC STRP|NORM", 1, 1},
        {"ship", "DIFF TEAM|GLOW SPEC STRP|NORM", 1, 1},
        {"matte", "DIFF|NORM", 1, 1},
        {"matteAlpha", "DIFF|NORM", 1, 1},
        {"megalith", "DIFF|GLOW SPEC|NORM", 1, 1},
        {"thruster", "DIFF TEAM|DIFX|GLOW SPEC STRP|GLOX SPEX|NORM", 1, 1},
        {"", "DIFF", 0, 1},
        {"", "DIFF", 0, 1},
        {"", "", 0, 0},
    };
    ASSERT_EQ(set->entries.size(), std::size(table));
    for (size_t i = 0; i < std::size(table); ++i) {
        const ShaderMap& entry = *set->entries[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(entry.name.value, table[i].name);
        EXPECT_EQ(Join(entry.maps, LineNames, "|"), table[i].lines);
        EXPECT_EQ(entry.normalFlag, table[i].normalFlag);
        EXPECT_EQ(entry.scars, table[i].scars);
    }
    EXPECT_EQ(set->entries[9]->maps[0].name.value, "$diffuseOn");
    const SourceMap& normal = set->entries[3]->maps[2];  // "$normal[DXT1]= 5 5 1 1", "NORM[B] = R G B 1"
    EXPECT_EQ(normal.format, "DXT1");
    EXPECT_EQ(Channels(normal.defaults, normal.defaultSources), "8000@2 8000@2 ff00@2 ff00@2");
    EXPECT_EQ(Channels(normal.lines[0]), "1@2 2@2 3@2 ff00@2");
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

TEST(ParseShaderMaps, ValuesFlagsAndLimits) {
    const auto set = ParseShaderMapText(
        "+e\n!no\n$diffuse[DXT1] = 1 1 1 1\nOUT = $glow.G R 0 1\nV = Gx Q z a*ST\n"
        "W = $nothing.b $GLOW.A* 5 Z\n$glow[DXT5] = 0 0 0 1\nG = G G G G\n"
        "+f\n!No,DoSc\n$a = 1 1 1 1\nL1 = R R R R\nL2 = R R R R\nL3 = R R R R\nL4 = R R R R\nL5 = R R R R\n");
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set->entries.size(), 2u);
    const ShaderMap& e = *set->entries[0];
    EXPECT_EQ(e.scars, 0);
    ASSERT_EQ(e.maps.size(), 2u);
    EXPECT_EQ(e.maps[1].format, "DXT5");
    const std::vector<OutputMap>& lines = e.maps[0].lines;
    ASSERT_EQ(LineNames(e.maps[0]), "OUT V W");
    EXPECT_EQ(Channels(lines[0]), "2@1 1@0 0@0 ff00@0");
    EXPECT_EQ(Channels(lines[1]), "2@0 0@0 ff00@0 70014@0");
    EXPECT_EQ(Channels(lines[2]), "13@0 40004@1 8000@0 0@0");  // unknown source names read their own map
    EXPECT_EQ(set->entries[1]->scars, 1);  // "No" then "DoSc"
    EXPECT_EQ(LineNames(set->entries[1]->maps[0]), "L1 L2 L3 L4");

    // Sixteen source maps at most: the seventeenth "$" line is an output line of the sixteenth map.
    std::string many = "+m\n";
    for (int i = 0; i < 17; ++i) many += "$s" + std::to_string(i) + " = 1 1 1 1\nO = R G B A\n";
    const auto big = ParseShaderMapText(many.c_str());
    ASSERT_EQ(big->entries[0]->maps.size(), 16u);
    EXPECT_EQ(LineNames(big->entries[0]->maps[15]), "O $s16 O");
}

TEST(FindShaderMap, ExactThenWildcard) {
    const auto set = ParseShaderMaps();
    MaterialParam diffuse, diffuseOn, glow;
    diffuse.name.Set("$DIFFUSE");
    diffuseOn.name.Set("$diffuseOn");
    glow.name.Set("$glow");
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
        if (found) {
            EXPECT_EQ(notExact, row.notExact);
        }
    }
}

std::unique_ptr<PixelImage> Picture(int w, int h, Bytes pixels) {
    return std::make_unique<PixelImage>(PixelImage{w, h, std::move(pixels)});
}

TEST(ShaderMapInstance, ShipGlowSlotComposesItsOutputs) {
    const auto set = ParseShaderMaps();
    auto instance = BindShaderMap(*set->entries[3]);
    TextureImage glowImage, specImage;
    auto glow = Picture(2, 1, {1, 2, 3, 4, 5, 6, 7, 8}), specular = Picture(2, 1, Bytes(8, 9));
    EXPECT_TRUE(AssignSource(*instance, Core_QStr("$GLOW"), glow, &glowImage));
    EXPECT_FALSE(AssignSource(*instance, Core_QStr("$specular"), specular, &specImage));
    EXPECT_NE(specular, nullptr);  // still the caller's
    ComposeOutputs(*instance);
    const char* const names[] = {"GLOW", "spec", "STRP", "DIFF", "NORM"};
    const Bytes want[] = {
        {2, 2, 2, 2, 6, 6, 6, 6}, {3, 3, 3, 3, 7, 7, 7, 7}, {255, 255, 255, 251, 255, 255, 255, 247}, {}, {}};
    for (size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        const TextureImage* image = nullptr;
        const PixelImage* out = FindOutput(*instance, names[i], &image);
        EXPECT_EQ(out ? out->pixels : Bytes(), want[i]);
        EXPECT_EQ(image, out ? &glowImage : nullptr);
    }
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

}  // namespace
