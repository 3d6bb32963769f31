#include "texture/texture_names.h"

#include <gtest/gtest.h>

namespace {

TEST(TextureNames, StripTextureSuffixesAndStems) {
    const char* const strip[][2] = {
        {"Hull_Diff.dds", "Hull"},
        {"hull_n_glow.tga.dds", "hull"},  // ".dds", ".tga", "_glow", "_n" in turn
        {"Ship DiffuseOn.psd[2]", "Ship"},
        {"_n", ""},
        {"x.DDS", "x"},
        {"plain", "plain"},
        {"a_diffuse_diffuse_DIFF", "a"},
        {"rock_autogen_3_tex-export", "rock"},
        {"pan", "pan"},  // not "_n": no underscore
        {"", ""},
    };
    for (const auto& row : strip) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(StripTextureSuffixes(row[0]), row[1]);
    }
    const char* const stems[][2] = {
        {"ships\\hull_diff.dds", "hull"},
        {"data/ships\\tex/hull_glw.dds", "hull_glw"},
        {"a\\b/c\\Rock_Spec.TGA", "Rock"},
        {"no_folder_norm", "no_folder"},
        {"ends\\", ""},
    };
    for (const auto& row : stems) {
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(TextureStem(row[0]), row[1]);
    }
    EXPECT_EQ(JoinFolder("out\\x", "a.TGA"), "out\\x/a.TGA");
    // A damaged format code cannot send a file into another folder.
    EXPECT_EQ(UnusedDumpFileName("old", "../\\"), "old_FMT[..__]_UNUSED_LMIP.TGA");
}

}  // namespace
