// The bundled sample end to end: written as ZEM + MAD, converted by the built
// tool, and the result opened by independent readers (the schema check,
// assimp, pycollada, ImageMagick).
#include <gtest/gtest.h>
#include <tinyxml.h>

#include "core/platform.h"
#include "sample/sample_model.h"
#include "tests/collada/xml_query.h"
#include "tests/support/dae_checks.h"
#include "tests/support/fixture_writer.h"

namespace {

// Counted by hand from the sample's description (sample/sample_model.cpp):
// 2 under ROOT_COL, 3 under ROOT_INFO, ROOT_LOD[0] with 11 joint and axis
// nodes, 4 mesh and 2 glow instances, 16 light SUB_PARAMS nodes, 3 markers,
// 2 engine shapes, 2 burns with 8 points each, 8 under HOLD_PARAMS, 17 under
// HOLD_DOCK, 3 under HOLD_ANIM, then ROOT_LOD[1] with 2 and ROOT_LOD[2] with 1.
constexpr long kNodes = 95;
// Six curves, and the empty "-anim" element before the one translateX curve.
constexpr long kAnimations = 7;
// Three hull levels, turret, canopy, antenna, three glows, collision, two engine shapes.
constexpr long kGeometries = 12;
// Hull 12 + 12 + 4, turret, canopy, antenna and collision 12 each, glows 3 x 2, engine fans 2 x 4.
constexpr long kTriangles = 90;
// Four materials and the glow material.
constexpr long kMaterials = 5;

}  // namespace

TEST(SampleIntegration, ConvertedSampleOpensInIndependentReaders) {
    TempDir tmp;
    const std::string& dir = tmp.path;
    const std::string dae = dir + "/sample.dae";
    ASSERT_TRUE(SaveBytes(dir + "/sample.zem", BuildZem(*BuildSampleModel())));
    ASSERT_TRUE(SaveBytes(dir + "/sample.MAD", BuildMad(*BuildSampleAnimation())));
    int status = -1;
    const std::string output = RunCommand(ShellQuote(VORDA_BINARY) + " " + ShellQuote("$CONVERT_IN=" + dir + "/sample.zem") +
                                              " " + ShellQuote("$CONVERT_OUT=" + dae) + " do=convert",
                                          &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output, "Converting " + dir + "/sample.zem\nSaving " + dae + "\n");

    // Spot checks of the grammar in a whole document; the scene ends with the
    // last clip and the last keys, at 3.
    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(dae.c_str()));
    for (const char* name : {"NAVL[Light_Port]_Sz[0.4]_Ph[0]_Fr[1]_Col[1,0,0]_Dist[100]", "NAVL[Light_Mast]",
                             "ANIM[Deploy]_ST[0]_EN[2]_LS[0.5]_LE[0.5]", "COL[Hull]", "Flame[1]_Div[3]",
                             "SEG[1]_Tol[5]_Spd[20]_Flags[Check Clip]", "GLOW[EngineL_Glow]_LOD[1]"})
        EXPECT_TRUE(FindNode(doc.RootElement(), name)) << name;
    EXPECT_TRUE(Find(doc.RootElement(), "target", "JNT[Turret]/rotateY.ANGLE", "channel"));
    EXPECT_EQ(TextOf(Find(doc.RootElement(), "id", "sample", "visual_scene")->LastChild("extra")->LastChild()->FirstChildElement("end_time")),
              "3");

    std::string listed;
    for (const std::string& e : DaeSchemaErrors(dae)) listed += e + "\n";
    EXPECT_EQ(listed, "");

    const AssimpInfo assimp = RunAssimpInfo(dae);
    ASSERT_TRUE(assimp.ok) << assimp.output;
    EXPECT_EQ(assimp.nodes, kNodes + 1) << "assimp adds one root node";
    EXPECT_EQ(assimp.materials, kMaterials);
    EXPECT_EQ(assimp.animations, 1) << "assimp gathers every channel into one animation";
    // Five joints carry curves (the gun two of them).
    EXPECT_NE(assimp.output.find("Animation Channels: 5\n"), std::string::npos) << assimp.output;

    const PyColladaInfo py = RunPyCollada(dae);
    ASSERT_TRUE(py.ok) << py.output;
    const std::pair<const char*, long> counts[] = {{"nodes", kNodes},         {"animations", kAnimations},
                                                   {"geometries", kGeometries}, {"triangles", kTriangles},
                                                   {"materials", kMaterials}, {"errors", 0},
                                                   {"unbound", 0}};
    for (const auto& c : counts) EXPECT_EQ(py.Count(c.first), c.second) << c.first << "\n" << py.output;

    std::vector<std::string> found;
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(dir.c_str(), entries));
    for (const FolderEntry& e : entries)
        if (e.name.size() > 4 && e.name.compare(e.name.size() - 4, 4, ".TGA") == 0) found.push_back(e.name);
    EXPECT_EQ(found, (std::vector<std::string>{"canopy_DIFF.TGA", "detail_DIFF.TGA", "detail_GLOW.TGA",
                                               "detail_SPEC.TGA", "detail_STRP.TGA", "detail_TEAM.TGA",
                                               "hull_DIFF.TGA", "hull_GLOW.TGA", "hull_NORM.TGA", "hull_SPEC.TGA",
                                               "hull_STRP.TGA", "hull_TEAM.TGA"}));
    for (const std::string& name : found) {
        std::string out = RunCommand("identify " + ShellQuote(dir + "/" + name), &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_NE(out.find(" TGA "), std::string::npos) << out;
    }
}
