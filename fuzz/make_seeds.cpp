// Writes seed inputs for the fuzz targets: the bundled sample (whole, and
// without its textures and meshes) through the model writer, command texts
// and shader map texts:
// make_seeds <zem folder> <mad folder> [<convert folder> <command folder>
// <shader map folder>].
#include <cstdio>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 6) {
        std::fprintf(stderr, "usage: make_seeds <zem folder> <mad folder> [<convert> <command> <shader map>]\n");
        return 2;
    }
    std::unique_ptr<Model> model = BuildSampleModel();
    const std::vector<unsigned char> full = BuildZem(*model);
    model->images.clear();
    model->multiMeshes.resize(1);
    model->multiMeshes[0]->meshes.resize(1);
    model->goblinMeshes.clear();
    model->glows.clear();
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
    return ok ? 0 : 1;
}
