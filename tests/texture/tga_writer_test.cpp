#include "texture/tga_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_util.h"

namespace {

const Bytes kTwoByTwo = {10, 20, 30, 40, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13};

TEST(WriteTgaUnlessLarger, KeepsOnlyAFileLargerInBothDimensions) {
    TempFolder folder;
    const std::string path = folder.File("t.TGA");
    const Bytes big(512 * 512 * 4, 0x11);
    struct Row { int w, h; bool kept; } table[] = {
        {256, 256, true}, {256, -256, true}, {512, 512, false}, {1024, 256, false}, {256, 1024, false}};
    for (const Row& row : table) {
        SCOPED_TRACE(std::to_string(row.w) + "x" + std::to_string(row.h));
        ASSERT_TRUE(WriteTga(path, 512, -512, big.data(), big.size()));
        Bytes pixels(size_t(row.w) * size_t(std::abs(row.h)) * 4, 0x22);
        EXPECT_TRUE(WriteTgaUnlessLarger(path, row.w, row.h, pixels.data(), pixels.size()));
        EXPECT_EQ(ReadBytes(path).size(), 18 + (row.kept ? big.size() : pixels.size()));
    }
    // A file too short to hold a header counts as absent.
    std::ofstream(folder.File("stub.TGA")) << "short";
    EXPECT_TRUE(WriteTgaUnlessLarger(folder.File("stub.TGA"), 2, 2, kTwoByTwo.data(), kTwoByTwo.size()));
    EXPECT_EQ(ReadBytes(folder.File("stub.TGA")).size(), 34u);
}

}  // namespace
