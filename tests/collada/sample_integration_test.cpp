// The bundled sample end to end: written as ZEM + MAD, converted by the built
// tool, and the result opened by independent readers (TinyXML counts, the
// schema check, assimp, pycollada, ImageMagick).
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "core/platform.h"
#include "sample/sample_model.h"
#include "tests/collada/node_lookup.h"
#include "tests/support/fixture_writer.h"

namespace {

// Counted by hand from the sample's description (see sample/sample_model.cpp):
// 2 under ROOT_COL, 3 under ROOT_INFO, ROOT_LOD[0] with 11 joint and axis
// nodes, 4 mesh and 2 glow instances, 16 light SUB_PARAMS nodes, 3 markers,
// 2 engine shapes, 2 burns with 8 points each, 12 under HOLD_PARAMS, 17 under
// HOLD_DOCK, 3 under HOLD_ANIM, then ROOT_LOD[1] with 2 and ROOT_LOD[2] with 1.
constexpr int kNodes = 99;
// Six curves, and the empty "-anim" element before the one translateX curve.
constexpr int kAnimations = 7;
// Three hull levels, turret, canopy, antenna, three glows, collision, two engine shapes.
constexpr int kGeometries = 12;

const char* const kTextures[] = {
    "canopy_DIFF.TGA", "detail_DIFF.TGA", "detail_GLOW.TGA", "detail_SPEC.TGA", "detail_STRP.TGA", "detail_TEAM.TGA",
    "hull_DIFF.TGA",   "hull_GLOW.TGA",   "hull_NORM.TGA",   "hull_SPEC.TGA",   "hull_STRP.TGA",   "hull_TEAM.TGA",
};

struct RunResult {
    int status = -1;
    std::string output;
};

// Runs a shell command line (test code only) and collects its standard output.
RunResult RunCommand(const std::string& command) {
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int CountElements(const TiXmlElement* root, const std::string& value) {
    int n = 0;
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (e->ValueStr() == value) ++n;
        n += CountElements(e, value);
    }
    return n;
}

class SampleIntegration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/vorda_sample_XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_TRUE(made);
        dir_ = made;
        ASSERT_TRUE(SaveBytes(dir_ + "/sample.zem", BuildZem(*BuildSampleModel())));
        ASSERT_TRUE(SaveBytes(dir_ + "/sample.mad", BuildMad(*BuildSampleAnimation())));
        convert_ = RunCommand(Quote(VORDA_BINARY) + " " + Quote("$CONVERT_IN=" + dir_ + "/sample.zem") + " " +
                       Quote("$CONVERT_OUT=" + Dae()) + " do=convert");
    }

    static void TearDownTestSuite() {
        if (!dir_.empty()) RunCommand("rm -rf " + Quote(dir_));
    }

    static std::string Dae() { return dir_ + "/sample.dae"; }

    static std::string dir_;
    static RunResult convert_;
};

std::string SampleIntegration::dir_;
RunResult SampleIntegration::convert_;

TEST_F(SampleIntegration, ConvertsWithTheExpectedMessages) {
    EXPECT_EQ(convert_.status, 0);
    const std::string zem = dir_ + "/sample.zem";
    const std::string want = "Converting " + zem + "\nSaving " + Dae() +
                             "\nALERT: Mapping STAT shader [glass] to shader map [] - not exact!!!\n";
    EXPECT_EQ(convert_.output, want);
}

TEST_F(SampleIntegration, DocumentHoldsEveryObject) {
    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(Dae().c_str()));
    TiXmlElement* root = doc.RootElement();
    ASSERT_TRUE(root);
    struct Row {
        const char* element;
        int count;
    };
    const Row rows[] = {{"node", kNodes},  {"animation", kAnimations}, {"geometry", kGeometries},
                        {"material", 5},   {"effect", 5},              {"image", 12},
                        {"instance_geometry", 12}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.element);
        EXPECT_EQ(CountElements(root, row.element), row.count);
    }
    // Spot checks of the grammar in a whole document.
    for (const char* name : {"NAVL[Light_Port]_Sz[0.4]_Ph[0]_Fr[1]_Col[1,0,0]_Dist[100]", "NAVL[Light_Mast]",
                             "ANIM[Deploy]_ST[0]_EN[2]_LS[0.5]_LE[0.5]", "COL[Hull]", "Flame[1]_Div[3]",
                             "MAT[Hull]_PARAM[$teamColour]_Type[RGBA]_Data[0.2,0.4,0.8,1]", "DOCK[Latch]",
                             "SEG[1]_Tol[5]_Spd[20]_Flags[Check Clip]", "GLOW[EngineL_Glow]_LOD[1]"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(FindNode(root, name));
    }
    EXPECT_TRUE(FindElement(root, "channel", "target", "ROOT_LOD[0]/rotateZ.ANGLE"));
    EXPECT_TRUE(FindElement(root, "channel", "target", "JNT[Gun]/rotateX.ANGLE"));
    EXPECT_TRUE(FindElement(root, "animation", "id", "EngineL-anim"));
}

TEST_F(SampleIntegration, AssimpReadsIt) {
    RunResult info = RunCommand("assimp info " + Quote(Dae()) + " 2>&1");
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("Animation Channels"), std::string::npos) << info.output;
}

TEST_F(SampleIntegration, PyColladaCountsMatch) {
    const char* script =
        "import sys, collada\n"
        "from collada import scene\n"
        "d = collada.Collada(sys.argv[1])\n"
        "def count(nodes):\n"
        "    return sum(1 + count(n.children) for n in nodes if isinstance(n, scene.Node))\n"
        "print(count(d.scene.nodes), len(d.animations), len(d.geometries), len(d.materials))\n";
    RunResult py = RunCommand("/usr/bin/python3 -c " + Quote(script) + " " + Quote(Dae()) + " 2>&1");
    EXPECT_EQ(py.status, 0) << py.output;
    char want[64];
    std::snprintf(want, sizeof want, "%d %d %d %d\n", kNodes, kAnimations, kGeometries, 5);
    EXPECT_EQ(py.output, want);
}

TEST_F(SampleIntegration, EveryTextureOpens) {
    std::vector<std::string> found;
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(ListFolder(dir_.c_str(), entries));
    for (const FolderEntry& e : entries)
        if (e.name.size() > 4 && e.name.compare(e.name.size() - 4, 4, ".TGA") == 0) found.push_back(e.name);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, std::vector<std::string>(std::begin(kTextures), std::end(kTextures)));
    for (const std::string& name : found) {
        SCOPED_TRACE(name);
        RunResult id = RunCommand("identify " + Quote(dir_ + "/" + name) + " 2>&1");
        EXPECT_EQ(id.status, 0) << id.output;
        EXPECT_NE(id.output.find(" TGA "), std::string::npos) << id.output;
    }
}

}  // namespace
