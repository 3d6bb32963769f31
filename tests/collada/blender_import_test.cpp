// The converted sample imported into Blender, the package most users open the
// document in: every node, mesh, material with its textures, binding and
// animation channel must arrive as the document holds it.
#include <gtest/gtest.h>

#include "sample/sample_model.h"
#include "tests/collada/xml_query.h"
#include "tests/support/dae_checks.h"
#include "tests/support/fixture_writer.h"

TEST(BlenderImport, ConvertedSampleArrivesWhole) {
    TempDir tmp;
    const std::string zem = tmp / "sample.zem", dae = tmp / "sample.dae";
    ASSERT_TRUE(SaveBytes(zem, BuildZem(*BuildSampleModel())));
    ASSERT_TRUE(SaveBytes(tmp / "sample.MAD", BuildMad(*BuildSampleAnimation())));
    int status = -1;
    const std::string output = RunCommand(ShellQuote(VORDA_BINARY) + " " + ShellQuote("$CONVERT_IN=" + zem) + " " +
                                              ShellQuote("$CONVERT_OUT=" + dae) + " do=convert",
                                          &status);
    ASSERT_EQ(status, 0) << output;
    std::string missing;
    for (const std::string& p : BlenderImportProblems(dae)) missing += p + "\n";
    EXPECT_EQ(missing, "");
}
