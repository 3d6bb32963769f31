#include "texture/tga_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "texture_test_util.h"

namespace {

const std::vector<unsigned char> kTwoByTwo = {10, 20, 30, 40, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13};

std::vector<unsigned char> Header(int descriptor) {
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, uint8_t(descriptor)};
}

TEST(WriteTga, HeaderAndPixelBytes) {
    TempFolder folder;
    // Pixels stay in buffer order, each as blue, green, red, alpha.
    const std::vector<unsigned char> data = {30, 20, 10, 40, 3, 2, 1, 4, 7, 6, 5, 8, 12, 11, 9, 13};
    struct Row {
        int height;
        int descriptor;
    } table[] = {{-2, 0x08}, {2, 0x28}};
    for (const Row& row : table) {
        SCOPED_TRACE(row.height);
        const std::string path = folder.File("a.TGA");
        ASSERT_TRUE(WriteTga(path, 2, row.height, kTwoByTwo.data(), kTwoByTwo.size()));
        std::vector<unsigned char> want = Header(row.descriptor);
        want.insert(want.end(), data.begin(), data.end());
        EXPECT_EQ(ReadAll(path), want);
    }
}

TEST(WriteTga, WideImagesTruncateTheHeaderNotTheData) {
    TempFolder folder;
    const int width = 65536 + 3;
    std::vector<unsigned char> pixels(size_t(width) * 4, 0x44);
    const std::string path = folder.File("wide.TGA");
    ASSERT_TRUE(WriteTga(path, width, -1, pixels.data(), pixels.size()));
    const std::vector<unsigned char> file = ReadAll(path);
    ASSERT_EQ(file.size(), 18 + pixels.size());
    EXPECT_EQ(file[12], 3);
    EXPECT_EQ(file[13], 0);
}

TEST(WriteTga, CreatesMissingFoldersAndReportsFailures) {
    TempFolder folder;
    const std::string nested = folder.File("out/tex/a_DIFF.TGA");
    EXPECT_TRUE(WriteTga(nested, 2, 2, kTwoByTwo.data(), kTwoByTwo.size()));
    EXPECT_EQ(ReadAll(nested).size(), 34u);

    // A file where a folder should be: nothing can be written below it.
    std::ofstream(folder.File("plain")) << "x";
    EXPECT_FALSE(WriteTga(folder.File("plain/b.TGA"), 2, 2, kTwoByTwo.data(), kTwoByTwo.size()));
    // Too few pixels for the size is refused before anything is written.
    EXPECT_FALSE(WriteTga(folder.File("c.TGA"), 2, 3, kTwoByTwo.data(), kTwoByTwo.size()));
    EXPECT_FALSE(Exists(folder.File("c.TGA")));
}

// The file is written under a temporary name and renamed over the target; a
// write that fails (here: the temporary name is taken by a folder, as a full
// disk would fail it) is reported and leaves an earlier file as it was.
TEST(WriteTga, FailedWriteIsAFailureAndKeepsTheEarlierFile) {
    TempFolder folder;
    const std::string path = folder.File("t.TGA");
    std::vector<unsigned char> first(2 * 2 * 4, 0x11);
    ASSERT_TRUE(WriteTga(path, 2, 2, first.data(), first.size()));
    const std::vector<unsigned char> before = ReadAll(path);
    ASSERT_EQ(before.size(), 18u + 16u);
    std::filesystem::create_directory(path + ".saving");
    std::vector<unsigned char> pixels(64 * 64 * 4, 1);
    EXPECT_FALSE(WriteTga(path, 64, 64, pixels.data(), pixels.size()));
    EXPECT_EQ(ReadAll(path), before);
}

TEST(WriteTgaUnlessLarger, KeepsOnlyAFileLargerInBothDimensions) {
    TempFolder folder;
    struct Row {
        const char* name;
        int w, h;
        bool kept;
    } table[] = {
        {"smaller", 256, 256, true},
        {"smaller, negative height", 256, -256, true},
        {"same size", 512, 512, false},
        {"wider", 1024, 256, false},
        {"taller", 256, 1024, false},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const std::string path = folder.File("t.TGA");
        std::vector<unsigned char> big(512 * 512 * 4, 0x11);
        ASSERT_TRUE(WriteTga(path, 512, -512, big.data(), big.size()));
        std::vector<unsigned char> pixels(size_t(row.w) * size_t(std::abs(row.h)) * 4, 0x22);
        EXPECT_TRUE(WriteTgaUnlessLarger(path, row.w, row.h, pixels.data(), pixels.size()));
        const std::vector<unsigned char> file = ReadAll(path);
        EXPECT_EQ(file.size(), 18 + (row.kept ? big.size() : pixels.size()));
    }
    // A file too short to hold a header counts as absent.
    const std::string stub = folder.File("stub.TGA");
    std::ofstream(stub) << "short";
    EXPECT_TRUE(WriteTgaUnlessLarger(stub, 2, 2, kTwoByTwo.data(), kTwoByTwo.size()));
    EXPECT_EQ(ReadAll(stub).size(), 34u);
}

}  // namespace
