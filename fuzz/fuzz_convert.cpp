// libFuzzer target: one whole conversion. The bytes hold a ZEM and a MAD file
// (a 2-byte little-endian ZEM length first, the MAD is the rest); they are read
// and saved as the convert action saves them, as a DAE with its textures and
// as a GLB, into one temporary folder. Every scene built passes the scene
// check, and the DAE must be well-formed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "command/context.h"
#include "command/convert.h"
#include "core/output.h"
#include "fuzz/xml_strict.h"
#include "model/read_model.h"
#include "scene/check_scene.h"

namespace {

// Inputs this large only slow the search; the readers' bounds do not depend
// on the size.
constexpr size_t kMaxInput = 1 << 16;

std::filesystem::path& Folder() {
    static std::filesystem::path folder = [] {
        std::filesystem::path p = std::filesystem::temp_directory_path() /
                                  ("vorda_fuzz_convert_" + std::to_string(::getpid()));
        std::filesystem::create_directories(p);
        return p;
    }();
    return folder;
}

void ClearFolder() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(Folder(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void CheckBuiltScene(const Scene& scene) {
    const std::vector<std::string> problems = CheckScene(scene);
    if (problems.empty()) return;
    for (const std::string& p : problems) std::fprintf(stderr, "scene invariant: %s\n", p.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static FILE* sink = std::fopen("/dev/null", "w");
    if (sink) SetOutputStream(sink);
    SetSceneBuiltHook(CheckBuiltScene);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 2 || size > kMaxInput) return 0;
    size_t zemSize = size_t(data[0]) | size_t(data[1]) << 8;
    data += 2;
    size -= 2;
    if (zemSize > size) zemSize = size;
    std::unique_ptr<Model> model = ReadModelFile(data, zemSize);
    if (!model) return 0;
    model->animation = ReadMad(data + zemSize, size - zemSize);
    ClearFolder();
    const std::string dae = (Folder() / "model.dae").string();
    const std::string glb = (Folder() / "model.glb").string();
    model->path.Set((Folder() / "model.zem").string().c_str());
    model->version = 512;  // every model is written, whatever version it claims
    CommandContext context;
    if (!SaveModel(*model, context, dae.c_str()) || !SaveModel(*model, context, glb.c_str())) {
        std::fprintf(stderr, "document not written\n");
        std::abort();
    }
    std::string problem = CheckWrittenXml(dae);
    if (problem.empty()) return 0;
    std::fprintf(stderr, "malformed DAE: %s\n", problem.c_str());
    std::abort();
}
