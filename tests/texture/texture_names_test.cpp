#include "texture/texture_names.h"

#include <gtest/gtest.h>

namespace {

TEST(TextureNames, StripTextureSuffixes) {
    struct Row {
        const char* in;
        const char* out;
    } table[] = {
        {"Hull_Diff.dds", "Hull"},
        {"hull_n_glow.tga.dds", "hull"},  // ".dds", ".tga", "_glow", "_n" in turn
        {"Ship DiffuseOn.psd[2]", "Ship"},
        {"Ship DiffuseOff", "Ship"},
        {"_n", ""},
        {"x.DDS", "x"},
        {"plain", "plain"},
        {"a_diffuse_diffuse_DIFF", "a"},
        {"rock_autogen_3_tex-export", "rock"},
        {"pan", "pan"},          // not "_n": no underscore
        {"x.psd[0]", "x.psd[0]"},
        {"s", "s"},
        {"", ""},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(StripTextureSuffixes(row.in), row.out);
    }
}

TEST(TextureNames, StemsAndFileNames) {
    struct Row {
        const char* image;
        const char* stem;
    } table[] = {
        {"ships\\hull_diff.dds", "hull"},
        {"data/ships\\tex/hull_glw.dds", "hull_glw"},
        {"a\\b/c\\Rock_Spec.TGA", "Rock"},
        {"no_folder_norm", "no_folder"},
        {"ends\\", ""},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.image);
        EXPECT_EQ(TextureStem(row.image), row.stem);
    }
    EXPECT_EQ(JoinFolder("", "a.TGA"), "a.TGA");
    EXPECT_EQ(JoinFolder("out\\x", "a.TGA"), "out\\x/a.TGA");
    EXPECT_EQ(OutputFileName("hull", "DIFF"), "hull_DIFF.TGA");
    EXPECT_EQ(SourceDumpFileName("rock", "DXT5", "$diffuse"), "rock_FMT[DXT5]_diffuse_LMIP.TGA");
    EXPECT_EQ(UnusedDumpFileName("old", "DXT1"), "old_FMT[DXT1]_UNUSED_LMIP.TGA");
    // A damaged format code cannot send a file into another folder.
    EXPECT_EQ(UnusedDumpFileName("old", "../\\"), "old_FMT[..__]_UNUSED_LMIP.TGA");
}

}  // namespace
