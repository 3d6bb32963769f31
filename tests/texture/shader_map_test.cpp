#include "texture/shader_map.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::vector<std::string> LineNames(const SourceMap& map) {
    std::vector<std::string> names;
    for (const OutputMap& line : map.lines) names.push_back(line.name.value);
    return names;
}

TEST(DefaultShaderMapText, LaidOutLineByLine) {
    const std::string text = kDefaultShaderMapText;
    const std::string start = "+fx,fxSolid\r\n\t$diffuse[DXT1] = 1 1 1 1\r\n\t\tDIFF = R G B A\r\n\r\n+ship,badge\r\n";
    EXPECT_EQ(text.substr(0, start.size()), start);
    EXPECT_NE(text.find("\t$normal[DXT1]= 5 5 1 1\r\n\t\tNORM[B] = R G B 1\r\n"), std::string::npos);
    EXPECT_NE(text.find("+*\r\n\t$diffuse[DXT1]= 1 1 1 1\r\n\t\tDIFF=R G B A\r\n"), std::string::npos);
    EXPECT_NE(text.find("+*\r\n\t$diffuseOn[DXT1]=1 1 1 1\r\n\t\tDIFF=R G B A\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t$glowOff[DXT1] = 0 0 0 1\r\n\t\tGLOX = G G G G\r\n\t\tSPEX = B B B B\r\n"),
              std::string::npos);
    // Every line ends in CR LF; the nine "+" lines are parted by one empty line each.
    size_t lines = 0, empty = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r') << i;
            ++lines;
            if (i >= 3 && text[i - 2] == '\n') ++empty;
        } else if (text[i] == '\r') {
            ASSERT_LT(i + 1, text.size());
            EXPECT_EQ(text[i + 1], '\n');
        }
    }
    EXPECT_EQ(lines, 62u);
    EXPECT_EQ(empty, 8u);
}

TEST(ParseShaderMaps, DefaultSet) {
    const auto set = ParseShaderMaps();
    ASSERT_NE(set, nullptr);
    struct Row {
        const char* name;
        size_t maps;
        std::vector<std::vector<std::string>> lines;
        int normalFlag, scars;
    } table[] = {
        {"fxSolid", 1, {{"DIFF"}}, 0, 1},
        {"fx", 1, {{"DIFF"}}, 0, 1},
        {"badge", 3, {{"DIFF", "TEAM"}, {"GLOW", "SPEC", "STRP"}, {"NORM"}}, 1, 1},
        {"ship", 3, {{"DIFF", "TEAM"}, {"GLOW", "SPEC", "STRP"}, {"NORM"}}, 1, 1},
        {"matte", 2, {{"DIFF"}, {"NORM"}}, 1, 1},
        {"matteAlpha", 2, {{"DIFF"}, {"NORM"}}, 1, 1},
        {"megalith", 3, {{"DIFF"}, {"GLOW", "SPEC"}, {"NORM"}}, 1, 1},
        {"thruster", 5, {{"DIFF", "TEAM"}, {"DIFX"}, {"GLOW", "SPEC", "STRP"}, {"GLOX", "SPEX"}, {"NORM"}}, 1, 1},
        {"", 1, {{"DIFF"}}, 0, 1},
        {"", 1, {{"DIFF"}}, 0, 1},
        {"", 0, {}, 0, 0},
    };
    ASSERT_EQ(set->entries.size(), std::size(table));
    for (size_t i = 0; i < std::size(table); ++i) {
        const Row& row = table[i];
        const ShaderMap& entry = *set->entries[i];
        SCOPED_TRACE(std::to_string(i) + " " + row.name);
        EXPECT_EQ(entry.name.value, row.name);
        ASSERT_EQ(entry.maps.size(), row.maps);
        for (size_t m = 0; m < row.maps; ++m) {
            EXPECT_EQ(LineNames(entry.maps[m]), row.lines[m]);
            EXPECT_EQ(entry.maps[m].format, "DXT1");
        }
        EXPECT_EQ(entry.normalFlag, row.normalFlag);
        EXPECT_EQ(entry.scars, row.scars);
    }
    EXPECT_EQ(set->entries[9]->maps[0].name.value, "$diffuseOn");

    // "ship": map names, defaults and channel codes of a few lines.
    const ShaderMap& ship = *set->entries[3];
    EXPECT_EQ(ship.maps[1].name.value, "$glow");
    const uint32_t normalDefaults[4] = {0x8000, 0x8000, 0xFF00, 0xFF00};
    const uint32_t team[4] = {0xFF00, 0xFF00, 0xFF00, 0x14};
    const uint32_t norm[4] = {1, 2, 3, 0xFF00};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ship.maps[2].defaults[k].code, normalDefaults[k]);
        EXPECT_EQ(ship.maps[0].lines[1].channels[k].code, team[k]);
        EXPECT_EQ(ship.maps[2].lines[0].channels[k].code, norm[k]);
        EXPECT_EQ(ship.maps[2].lines[0].sources[k], 2);
        EXPECT_EQ(ship.maps[1].lines[0].sources[k], 1);
    }
}

TEST(ParseShaderMaps, LanguageRules) {
    struct Row {
        const char* name;
        const char* text;
        std::vector<std::string> entries;    // entry names in set order
        std::vector<std::string> firstMaps;  // map names of the first entry
    } table[] = {
        {"name list in reverse, empty name is a wildcard", "+a,,b\n$d = 1 1 1 1\nO = R G B A\n", {"b", "", "a"}, {"$d"}},
        {"star list is one wildcard", "+*,x\n$d = 1 1 1 1\nO = R G B A\n", {""}, {"$d"}},
        {"map without lines gives way", "+e\n$x[DXT1] = 1 1 1 1\n$y[DXT1] = 1 1 1 1\nO = R G B A\n", {"e"}, {"$y"}},
        {"last map without lines dropped", "+e\n$x = 1 1 1 1\nO = R G B A\n$z = 1 1 1 1\n+f\n", {"e", "f"}, {"$x"}},
        {"text before the first entry ignored", "$x = 1 1 1 1\nO = R G B A\n+e\n", {"e"}, {}},
        {"caret ends the text", "+e\n^\n+f\n", {"e"}, {}},
        {"comments and blank lines", "  # c\n\n+e # name\n$x = 1 1 1 1 # m\n\tO = R G B A#o\n", {"e"}, {"$x"}},
        {"three values are no line", "+e\n$x = 1 1 1\nO = R G B A\n", {"e"}, {}},
        {"key longer than 62 ignored", "+e\n$xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx = 1 1 1 1\nO = R G B A\n",
         {"e"}, {}},
        {"CR alone ends lines", "+e\r$x = 1 1 1 1\rO = R G B A\r", {"e"}, {"$x"}},
        {"no entry", "# nothing\n", {}, {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const auto set = ParseShaderMapText(row.text);
        if (row.entries.empty()) {
            EXPECT_EQ(set, nullptr);
            continue;
        }
        ASSERT_NE(set, nullptr);
        std::vector<std::string> names, maps;
        for (const auto& entry : set->entries) names.push_back(entry->name.value);
        for (const SourceMap& map : set->entries[0]->maps) maps.push_back(map.name.value);
        EXPECT_EQ(names, row.entries);
        EXPECT_EQ(maps, row.firstMaps);
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
    const OutputMap& out = e.maps[0].lines[0];
    EXPECT_EQ(out.name.value, "OUT");
    const uint32_t outCodes[4] = {2, 1, 0, 0xFF00};
    const int32_t outSources[4] = {1, 0, 0, 0};
    const OutputMap& v = e.maps[0].lines[1];
    const uint32_t vCodes[4] = {2, 0, 0xFF00, 0x14 + 0x40000 + 0x20000 + 0x10000};
    const OutputMap& w = e.maps[0].lines[2];
    const uint32_t wCodes[4] = {0x13, 0x40004, 0x8000, 0};
    const int32_t wSources[4] = {0, 1, 0, 0};  // unknown source names read their own map
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(out.channels[k].code, outCodes[k]);
        EXPECT_EQ(out.sources[k], outSources[k]);
        EXPECT_EQ(v.channels[k].code, vCodes[k]);
        EXPECT_EQ(w.channels[k].code, wCodes[k]);
        EXPECT_EQ(w.sources[k], wSources[k]);
    }
    const ShaderMap& f = *set->entries[1];
    EXPECT_EQ(f.scars, 1);  // "No" then "DoSc"
    EXPECT_EQ(LineNames(f.maps[0]), (std::vector<std::string>{"L1", "L2", "L3", "L4"}));

    // Sixteen source maps at most: the seventeenth "$" line is an output line
    // of the sixteenth map.
    std::string many = "+m\n";
    for (int i = 0; i < 17; ++i) many += "$s" + std::to_string(i) + " = 1 1 1 1\nO = R G B A\n";
    const auto big = ParseShaderMapText(many.c_str());
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(big->entries[0]->maps.size(), 16u);
    EXPECT_EQ(LineNames(big->entries[0]->maps[15]), (std::vector<std::string>{"O", "$s16", "O"}));
}

TEST(FindShaderMap, ExactThenWildcard) {
    const auto set = ParseShaderMaps();
    ASSERT_NE(set, nullptr);
    MaterialParam diffuse, diffuseOn, glow;
    diffuse.name.Set("$DIFFUSE");
    diffuseOn.name.Set("$diffuseOn");
    glow.name.Set("$glow");
    struct Row {
        const char* shader;
        const MaterialParam* diffuse;
        int entry;  // position in the set, -1 for none
        bool notExact;
    } table[] = {
        {"SHIP", &diffuse, 3, false},
        {"fxsolid", nullptr, 0, false},
        {"thruster", &diffuseOn, 7, false},
        {"hull", &diffuse, 8, true},
        {"hull", &diffuseOn, 9, true},
        {"hull", nullptr, -1, false},
        {"", &diffuse, 8, true},
        {"hull", &glow, 10, true},  // the wildcard entry without maps takes any diffuse parameter
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.shader);
        bool notExact = false;
        const ShaderMap* found = FindShaderMap(*set, Core_QStr(row.shader), row.diffuse, notExact);
        EXPECT_EQ(found, row.entry < 0 ? nullptr : set->entries[size_t(row.entry)].get());
        if (found) {
            EXPECT_EQ(notExact, row.notExact);
        }
    }
}

std::unique_ptr<PixelImage> Picture(int w, int h, std::vector<unsigned char> pixels) {
    auto image = std::make_unique<PixelImage>();
    image->width = w;
    image->height = h;
    image->pixels = std::move(pixels);
    return image;
}

TEST(ShaderMapInstance, ShipGlowSlotComposesItsOutputs) {
    const auto set = ParseShaderMaps();
    const ShaderMap& ship = *set->entries[3];
    auto instance = BindShaderMap(ship);
    ASSERT_EQ(instance->slots.size(), 3u);
    TextureImage glowImage, specImage;
    auto glow = Picture(2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(AssignSource(*instance, Core_QStr("$GLOW"), glow, &glowImage));
    EXPECT_EQ(glow, nullptr);
    auto specular = Picture(2, 1, std::vector<unsigned char>(8, 9));
    EXPECT_FALSE(AssignSource(*instance, Core_QStr("$specular"), specular, &specImage));
    EXPECT_NE(specular, nullptr);  // still the caller's
    ComposeOutputs(*instance);

    struct Row {
        const char* output;
        std::vector<unsigned char> pixels;  // nothing: no output
    } table[] = {
        {"GLOW", {2, 2, 2, 2, 6, 6, 6, 6}},
        {"spec", {3, 3, 3, 3, 7, 7, 7, 7}},
        {"STRP", {255, 255, 255, 251, 255, 255, 255, 247}},
        {"DIFF", {}},
        {"NORM", {}},
        {"NONE", {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.output);
        const TextureImage* image = nullptr;
        const PixelImage* out = FindOutput(*instance, row.output, &image);
        if (row.pixels.empty()) {
            EXPECT_EQ(out, nullptr);
            continue;
        }
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(image, &glowImage);
        EXPECT_EQ(out->width, 2);
        EXPECT_EQ(out->pixels, row.pixels);
    }
}

TEST(ShaderMapInstance, SmallerSourceOfAnotherSlotCountsAsMissing) {
    const auto set = ParseShaderMapText("+t\n$a = 1 1 1 1\nO = R $b.G 0 1\n$b = 1 1 1 1\nP = R G B A\n");
    ASSERT_NE(set, nullptr);
    struct Row {
        const char* name;
        int bw, bh;
        unsigned char green;  // of O's first pixel
    } table[] = {
        {"same size", 2, 2, 77},
        {"larger", 3, 3, 77},
        {"narrower", 1, 4, 0},
        {"shorter", 4, 1, 0},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        auto instance = BindShaderMap(*set->entries[0]);
        TextureImage ia, ib;
        auto a = Picture(2, 2, std::vector<unsigned char>(16, 10));
        auto b = Picture(row.bw, row.bh, std::vector<unsigned char>(size_t(row.bw * row.bh * 4), 77));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$a"), a, &ia));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$b"), b, &ib));
        ComposeOutputs(*instance);
        const PixelImage* o = FindOutput(*instance, "O");
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->pixels.size(), 16u);
        EXPECT_EQ(o->pixels[0], 10);
        EXPECT_EQ(o->pixels[1], row.green);
        EXPECT_EQ(o->pixels[3], 255);
    }
}

TEST(ShaderMapInstance, FirstLineOfANameDecidesEvenWithoutOutput) {
    const auto set = ParseShaderMapText("+t\n$a = 1 1 1 1\nX = R G B A\n$b = 1 1 1 1\nX = R G B A\n");
    auto instance = BindShaderMap(*set->entries[0]);
    TextureImage ib;
    auto b = Picture(1, 1, {1, 2, 3, 4});
    ASSERT_TRUE(AssignSource(*instance, Core_QStr("$b"), b, &ib));
    ComposeOutputs(*instance);
    EXPECT_EQ(FindOutput(*instance, "X"), nullptr);
}

}  // namespace
