#include "texture/shader_map.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> LineNames(const SourceMap& map) {
    std::vector<std::string> names;
    for (const OutputMap& line : map.lines) names.push_back(line.name.value);
    return names;
}

std::vector<uint32_t> Codes(const ChannelSpec (&channels)[4]) {
    return {channels[0].code, channels[1].code, channels[2].code, channels[3].code};
}

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
    // Every line ends in CR LF; the nine "+" lines are parted by one empty line each.
    size_t lines = 0, empty = 0, bareCr = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        lines += text[i] == '\n';
        empty += text.compare(i, 4, "\r\n\r\n") == 0;
        bareCr += text[i] == '\r' && text[i + 1] != '\n';
        EXPECT_TRUE(text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) << i;
    }
    EXPECT_EQ(lines, 62u);
    EXPECT_EQ(empty, 8u);
    EXPECT_EQ(bareCr, 0u);
}

TEST(ParseShaderMaps, DefaultSet) {
    const auto set = ParseShaderMaps();
    ASSERT_NE(set, nullptr);
    using Lines = std::vector<std::vector<std::string>>;
    const Lines shipLines = {{"DIFF", "TEAM"}, {"GLOW", "SPEC", "STRP"}, {"NORM"}};
    struct Row {
        const char* name;
        Lines lines;
        int normalFlag, scars;
    } table[] = {
        {"fxSolid", {{"DIFF"}}, 0, 1},
        {"fx", {{"DIFF"}}, 0, 1},
        {"badge", shipLines, 1, 1},
        {"ship", shipLines, 1, 1},
        {"matte", {{"DIFF"}, {"NORM"}}, 1, 1},
        {"matteAlpha", {{"DIFF"}, {"NORM"}}, 1, 1},
        {"megalith", {{"DIFF"}, {"GLOW", "SPEC"}, {"NORM"}}, 1, 1},
        {"thruster", {{"DIFF", "TEAM"}, {"DIFX"}, {"GLOW", "SPEC", "STRP"}, {"GLOX", "SPEX"}, {"NORM"}}, 1, 1},
        {"", {{"DIFF"}}, 0, 1},
        {"", {{"DIFF"}}, 0, 1},
        {"", {}, 0, 0},
    };
    ASSERT_EQ(set->entries.size(), std::size(table));
    for (size_t i = 0; i < std::size(table); ++i) {
        const Row& row = table[i];
        const ShaderMap& entry = *set->entries[i];
        SCOPED_TRACE(std::to_string(i) + " " + row.name);
        EXPECT_EQ(entry.name.value, row.name);
        ASSERT_EQ(entry.maps.size(), row.lines.size());
        for (size_t m = 0; m < row.lines.size(); ++m) EXPECT_EQ(LineNames(entry.maps[m]), row.lines[m]);
        EXPECT_EQ(entry.normalFlag, row.normalFlag);
        EXPECT_EQ(entry.scars, row.scars);
    }
    EXPECT_EQ(set->entries[9]->maps[0].name.value, "$diffuseOn");
    const ShaderMap& ship = *set->entries[3];
    EXPECT_EQ(ship.maps[2].format, "DXT1");
    EXPECT_EQ(Codes(ship.maps[2].defaults), (std::vector<uint32_t>{0x8000, 0x8000, 0xFF00, 0xFF00}));  // 5 5 1 1
    EXPECT_EQ(Codes(ship.maps[0].lines[1].channels), (std::vector<uint32_t>{0xFF00, 0xFF00, 0xFF00, 0x14}));  // 1 1 1 a
    EXPECT_EQ(ship.maps[2].lines[0].sources[3], 2);
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
        {"caret ends the text", "+e\n^\n+f\n", {"e"}, {}},
        {"comments, blank lines, CR alone", "  # c\r\r+e # name\r$x = 1 1 1 1 # m\r\tO = R G B A#o\r", {"e"}, {"$x"}},
        {"three values are no line", "+e\n$x = 1 1 1\nO = R G B A\n", {"e"}, {}},
        {"no entry", "$x = 1 1 1 1\nO = R G B A\n", {}, {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const auto set = ParseShaderMapText(row.text);
        ASSERT_EQ(set != nullptr, !row.entries.empty());
        std::vector<std::string> names, maps;
        for (size_t i = 0; set && i < set->entries.size(); ++i) names.push_back(set->entries[i]->name.value);
        for (size_t i = 0; set && i < set->entries[0]->maps.size(); ++i) maps.push_back(set->entries[0]->maps[i].name.value);
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
    const std::vector<OutputMap>& lines = e.maps[0].lines;
    ASSERT_EQ(LineNames(e.maps[0]), (std::vector<std::string>{"OUT", "V", "W"}));
    EXPECT_EQ(Codes(lines[0].channels), (std::vector<uint32_t>{2, 1, 0, 0xFF00}));
    EXPECT_EQ(std::vector<int32_t>(lines[0].sources, lines[0].sources + 4), (std::vector<int32_t>{1, 0, 0, 0}));
    EXPECT_EQ(Codes(lines[1].channels), (std::vector<uint32_t>{2, 0, 0xFF00, 0x14 + 0x40000 + 0x20000 + 0x10000}));
    EXPECT_EQ(Codes(lines[2].channels), (std::vector<uint32_t>{0x13, 0x40004, 0x8000, 0}));
    // Unknown source names read their own map.
    EXPECT_EQ(std::vector<int32_t>(lines[2].sources, lines[2].sources + 4), (std::vector<int32_t>{0, 1, 0, 0}));
    EXPECT_EQ(set->entries[1]->scars, 1);  // "No" then "DoSc"
    EXPECT_EQ(LineNames(set->entries[1]->maps[0]), (std::vector<std::string>{"L1", "L2", "L3", "L4"}));

    // Sixteen source maps at most: the seventeenth "$" line is an output line of the sixteenth map.
    std::string many = "+m\n";
    for (int i = 0; i < 17; ++i) many += "$s" + std::to_string(i) + " = 1 1 1 1\nO = R G B A\n";
    const auto big = ParseShaderMapText(many.c_str());
    ASSERT_EQ(big->entries[0]->maps.size(), 16u);
    EXPECT_EQ(LineNames(big->entries[0]->maps[15]), (std::vector<std::string>{"O", "$s16", "O"}));
}

TEST(FindShaderMap, ExactThenWildcard) {
    const auto set = ParseShaderMaps();
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

std::unique_ptr<PixelImage> Picture(int w, int h, std::vector<unsigned char> pixels) {
    auto image = std::make_unique<PixelImage>();
    image->width = w;
    image->height = h;
    image->pixels = std::move(pixels);
    return image;
}

TEST(ShaderMapInstance, ShipGlowSlotComposesItsOutputs) {
    const auto set = ParseShaderMaps();
    auto instance = BindShaderMap(*set->entries[3]);
    TextureImage glowImage, specImage;
    auto glow = Picture(2, 1, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(AssignSource(*instance, Core_QStr("$GLOW"), glow, &glowImage));
    auto specular = Picture(2, 1, std::vector<unsigned char>(8, 9));
    EXPECT_FALSE(AssignSource(*instance, Core_QStr("$specular"), specular, &specImage));
    EXPECT_NE(specular, nullptr);  // still the caller's
    ComposeOutputs(*instance);
    struct Row {
        const char* output;
        std::vector<unsigned char> pixels;  // nothing: no output
    } table[] = {{"GLOW", {2, 2, 2, 2, 6, 6, 6, 6}}, {"spec", {3, 3, 3, 3, 7, 7, 7, 7}},
                 {"STRP", {255, 255, 255, 251, 255, 255, 255, 247}}, {"DIFF", {}}, {"NONE", {}}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.output);
        const TextureImage* image = nullptr;
        const PixelImage* out = FindOutput(*instance, row.output, &image);
        ASSERT_EQ(out != nullptr, !row.pixels.empty());
        if (!out) continue;
        EXPECT_EQ(image, &glowImage);
        EXPECT_EQ(out->pixels, row.pixels);
    }
}

TEST(ShaderMapInstance, SmallerSourceOfAnotherSlotCountsAsMissing) {
    const auto set = ParseShaderMapText("+t\n$a = 1 1 1 1\nO = R $b.G 0 1\n$b = 1 1 1 1\nP = R G B A\n");
    struct Row {
        int bw, bh;
        unsigned char green;  // of O's first pixel
    } table[] = {{2, 2, 77}, {3, 3, 77}, {1, 4, 0}, {4, 1, 0}};
    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.bw) + "x" + std::to_string(row.bh));
        auto instance = BindShaderMap(*set->entries[0]);
        TextureImage ia, ib;
        auto a = Picture(2, 2, std::vector<unsigned char>(16, 10));
        auto b = Picture(row.bw, row.bh, std::vector<unsigned char>(size_t(row.bw * row.bh * 4), 77));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$a"), a, &ia));
        ASSERT_TRUE(AssignSource(*instance, Core_QStr("$b"), b, &ib));
        ComposeOutputs(*instance);
        const PixelImage* o = FindOutput(*instance, "O");
        ASSERT_NE(o, nullptr);
        ASSERT_EQ(o->pixels.size(), 16u);
        EXPECT_EQ((std::vector<unsigned char>(o->pixels.begin(), o->pixels.begin() + 4)),
                  (std::vector<unsigned char>{10, row.green, 0, 255}));
    }
}

}  // namespace
