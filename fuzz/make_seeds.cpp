// Writes seed inputs for the fuzz targets: the bundled sample (whole, and
// without its textures and meshes) through the model writer, command texts,
// shader map texts, and the tool's DAE, glTF and PNG outputs of the sample:
// make_seeds <zem folder> <mad folder> [<convert folder> <command folder>
// <shader map folder> <gltf folder> <dae folder> <png folder>].
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "collada/document.h"
#include "core/output.h"
#include "core/platform.h"
#include "gltf/gltf_writer.h"
#include "model/joints.h"
#include "texture/shader_map.h"
#include "model/write_model.h"
#include "sample/sample_model.h"

namespace {

bool Save(const std::string& folder, const char* name, const std::vector<unsigned char>& bytes) {
    std::string path = folder + "/" + name;
    if (SaveBytes(path, bytes)) return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
}

// A conversion input: 2-byte little-endian ZEM length, the ZEM, then the MAD.
std::vector<unsigned char> ConvertSeed(const std::vector<unsigned char>& zem, const std::vector<unsigned char>& mad) {
    std::vector<unsigned char> bytes;
    size_t n = zem.size() < 0xFFFF ? zem.size() : 0xFFFF;
    bytes.push_back(static_cast<unsigned char>(n & 0xFF));
    bytes.push_back(static_cast<unsigned char>(n >> 8));
    bytes.insert(bytes.end(), zem.begin(), zem.begin() + long(n));
    bytes.insert(bytes.end(), mad.begin(), mad.end());
    return bytes;
}

std::vector<unsigned char> Text(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

// Command inputs: params file, zero, script file, zero, words one per line
// ("@@" in the table stands for a zero byte).
const char* const kCommandSeeds[] = {
    "do=convert",
    "$A=b\nexec=$[A],echo=$[A]$[CR]\n#c\n!",
    "$$CONVERT_OUT=x.dae\ndo=convert@@$CONVERT_OUT,--\ny.dae,do=convert\n@@action=convert",
    "@@$X,$Y\n1,2\n3\n,@@$SCRIPT_POSTLINE=echo=$[X]",
    "setmask=*.zem\naddmask=*.ZEM\n$SCAN_PARAMS=$CONVERT_IN=$[SCAN_FULL_PATH],do=convert\nscan=.",
    "@@@@$DAE_OUT_OPT=Verb\ndo=convert\nloglevel=3\ndumplevel=-1\nlog\nnolog\ndump\nnodump\nhelp",
    "@@@@params=p.txt\nscript=s.csv\nexec=params=p.txt",
};

// Keeps the sample's textures and its first mesh only.
void MakeSmall(Model& model) {
    model.images.clear();
    model.multiMeshes.resize(1);
    model.multiMeshes[0]->meshes.resize(1);
    model.goblinMeshes.clear();
    model.glows.clear();
}

bool CopyFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) return true;
    std::fprintf(stderr, "cannot copy %s to %s\n", from.string().c_str(), to.string().c_str());
    return false;
}

// The tool's outputs of a model as seeds: its DAE, its GLB, its .gltf with
// the .bin after the glTF target's file marker, and its PNG maps.
bool OutputSeeds(Model& model, const std::string& name, const std::string& gltf, const std::string& dae,
                 const std::string& png) {
    namespace fs = std::filesystem;
    const fs::path work = fs::temp_directory_path() / ("vorda_seeds_" + std::to_string(::getpid()));
    fs::create_directories(work);
    ResolveJoints(model);
    const std::unique_ptr<Scene> scene = BuildScene(model, SceneOptions());
    bool ok = scene && WriteDocument(*scene, (work / (name + ".dae")).string().c_str(), DaeOptions()) &&
              CopyFile(work / (name + ".dae"), fs::path(dae) / (name + ".dae"));
    SceneOptions whole;
    whole.deduplicate = false;
    const std::unique_ptr<Scene> vertices = BuildScene(model, whole);
    ok = vertices && WriteGltf(*vertices, (gltf + "/" + name + ".glb").c_str(), true) && ok;
    std::vector<unsigned char> json, bin;
    if (vertices && WriteGltf(*vertices, (work / (name + ".gltf")).string().c_str(), false) &&
        ReadFileBytes((work / (name + ".gltf")).string().c_str(), json) &&
        ReadFileBytes((work / (name + ".bin")).string().c_str(), bin)) {
        const unsigned char marker[6] = {0, 'F', 'I', 'L', 'E', 0};
        json.insert(json.end(), marker, marker + 6);
        json.insert(json.end(), bin.begin(), bin.end());
        ok = Save(gltf, (name + "_gltf").c_str(), json) && ok;
    } else {
        ok = false;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(work, ec))
        if (entry.path().extension() == ".png") ok = CopyFile(entry.path(), fs::path(png) / entry.path().filename()) && ok;
    fs::remove_all(work, ec);
    if (!ok) std::fprintf(stderr, "cannot write the output seeds of %s\n", name.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 9) {
        std::fprintf(stderr,
                     "usage: make_seeds <zem folder> <mad folder> [<convert> <command> <shader map> <gltf> <dae> <png>]\n");
        return 2;
    }
    std::unique_ptr<Model> model = BuildSampleModel();
    const std::vector<unsigned char> full = BuildZem(*model);
    MakeSmall(*model);
    const std::vector<unsigned char> small = BuildZem(*model);
    const std::vector<unsigned char> mad = BuildMad(*BuildSampleAnimation());
    bool ok = Save(argv[1], "full.zem", full);
    ok = Save(argv[1], "small.zem", small) && ok;
    ok = Save(argv[2], "set.mad", mad) && ok;
    if (argc == 3) return ok ? 0 : 1;
    ok = Save(argv[3], "small_with_mad", ConvertSeed(small, mad)) && ok;
    ok = Save(argv[3], "full_with_mad", ConvertSeed(full, mad)) && ok;
    ok = Save(argv[3], "full_alone", ConvertSeed(full, {})) && ok;
    int i = 0;
    for (const char* seed : kCommandSeeds) {
        std::string bytes = seed;
        for (size_t at; (at = bytes.find("@@")) != std::string::npos;) bytes.replace(at, 2, 1, '\0');
        ok = Save(argv[4], ("words" + std::to_string(i++)).c_str(), Text(bytes)) && ok;
    }
    ok = Save(argv[5], "builtin.txt", Text(kDefaultShaderMapText)) && ok;
    ok = Save(argv[5], "small.txt",
              Text("# maps\n+ship,Thruster\n!NoScars\n$diffuse[DXT1] = 0 0 0 1\nDIFF[] = R G B 1\n"
                   "NORM[B] = $glow.R* G.5 B 1\n$glow[8888] = 1 1 1 1\nGLOW = R R R A\n+\n$diffuse\n^\n")) && ok;
    static FILE* sink = std::fopen("/dev/null", "w");
    if (sink) SetOutputStream(sink);
    std::unique_ptr<Model> sample = BuildSampleModel();
    sample->path.Set("sample.zem");
    sample->animation = BuildSampleAnimation();
    ok = OutputSeeds(*sample, "sample", argv[6], argv[7], argv[8]) && ok;
    std::unique_ptr<Model> trimmed = BuildSampleModel();
    trimmed->path.Set("small.zem");
    MakeSmall(*trimmed);
    ok = OutputSeeds(*trimmed, "small", argv[6], argv[7], argv[8]) && ok;
    return ok ? 0 : 1;
}
