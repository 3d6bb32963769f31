#include "tests/command/guide_support.h"

#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "model/model.h"
#include "tests/support/fixture_writer.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "vorda_guide_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    if (info) name += std::string("_") + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    path = (fs::path(::testing::TempDir()) / name).string();
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path, ec);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

static bool MakeParentFolders(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    return !ec;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    if (!MakeParentFolders(path)) return false;
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return SaveBytes(path, bytes);
}

bool WriteSampleModel(const std::string& path) {
    Model model;
    model.type = 0;
    model.version = 512;

    auto material = std::make_unique<Material>();
    material->index = 0;
    material->name.Set("sample");
    material->shader.Set("ship");
    MaterialParam diffuse;
    diffuse.name.Set("$diffuse");
    diffuse.type = kParamTexture;
    diffuse.imageIndex = 0;
    material->params.push_back(diffuse);
    MaterialParam tint;
    tint.name.Set("$tint");
    tint.type = kParamColour;
    tint.colour[0] = 0.5f;
    material->params.push_back(tint);
    model.materials.push_back(std::move(material));

    // One DXT1 block: colour 0 pure red, colour 1 pure blue, every pixel
    // index 0, so the picture is solid red.
    auto image = std::make_unique<TextureImage>();
    image->index = 0;
    image->name.Set("textures\\sample_diff.dds");
    image->format.Set("DXT1");
    MipLevel level;
    level.width = 4;
    level.height = 4;
    level.size = 8;
    level.data = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
    image->levels.push_back(level);
    model.images.push_back(std::move(image));

    auto root = std::make_unique<Joint>();
    root->index = 0;
    root->name.Set("Root");
    model.joints.push_back(std::move(root));

    auto mm = std::make_unique<MultiMesh>();
    mm->kind = 0;
    mm->name.Set("sample");
    mm->parentName.Set("Root");
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = 0;
    MeshPart part;
    part.index = 0;
    part.materialIndex = 0;
    part.format = kFormatPosition | kFormatNormal | kFormatTexCoord;
    part.stride = 10;
    part.vertexCount = 3;
    part.vertices = {0, 0, 0, 1, 0, 0, 1, 0, 0, 0,   //
                     10, 0, 0, 1, 0, 0, 1, 0, 1, 0,  //
                     0, 10, 0, 1, 0, 0, 1, 0, 0, 1};
    PrimitiveGroup group;
    group.index = 0;
    group.type = kPrimTriList;
    group.indexCount = 3;
    group.indices = {0, 1, 2};
    part.groups.push_back(group);
    mesh->parts.push_back(part);
    mm->meshes.push_back(std::move(mesh));
    model.multiMeshes.push_back(std::move(mm));

    return MakeParentFolders(path) && SaveBytes(path, BuildZem(model));
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int RunInShell(const std::string& folder, const std::string& command, std::string& output) {
    output.clear();
    // Kept beside the folder, not in it, so the command never sees it.
    const std::string log = folder + ".log";
    const std::string line = "cd " + ShellQuote(folder) + " && ( " + command + " ) > " + ShellQuote(log) +
                             " 2>&1 < /dev/null";
    int status = std::system(line.c_str());
    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    output = text.str();
    std::error_code ec;
    fs::remove(log, ec);
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool HaveProgram(const std::string& name) {
    const std::string line = "command -v " + ShellQuote(name) + " > /dev/null 2>&1";
    int status = std::system(line.c_str());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
