// Read throughput of the model and MAD readers on large generated files:
// a ZEM whose mesh holds 1,000,000 vertices and a MAD whose curves hold
// 65,535 keys each. bench_read [folder for the generated files]
#include <chrono>
#include <cstdio>
#include <string>

#include "core/platform.h"
#include "model/mesh_info.h"
#include "model/read_model.h"
#include "model/write_model.h"

namespace {

const int32_t kVertices = 1000000;
const int32_t kPartVertices = 62500;  // u16 indices: a part holds at most 65,536 vertices
const int kCurves = 16;
const int kKeys = 65535;

Model BigModel() {
    Model model;
    model.version = 512;
    auto mm = std::make_unique<MultiMesh>();
    mm->name.Set("big");
    mm->parentName.Set("Root");
    auto mesh = std::make_unique<Mesh>();
    for (int32_t first = 0; first < kVertices; first += kPartVertices) {
        MeshPart part;
        part.index = int32_t(mesh->parts.size());
        part.materialIndex = 0;
        part.format = 0x000B;
        part.stride = VertexLayout(part.format).stride;
        part.vertexCount = kPartVertices;
        part.vertices.resize(size_t(kPartVertices) * size_t(part.stride));
        for (size_t i = 0; i < part.vertices.size(); ++i) part.vertices[i] = float(i % 1000) * 0.001f;
        PrimitiveGroup group;
        group.index = 0;
        group.type = 0x0202;
        for (int32_t v = 0; v + 2 < kPartVertices; v += 3)
            for (int32_t k = 0; k < 3; ++k) group.indices.push_back(uint16_t(v + k));
        group.indexCount = int32_t(group.indices.size());
        part.groups.push_back(std::move(group));
        mesh->parts.push_back(std::move(part));
    }
    mm->meshes.push_back(std::move(mesh));
    model.multiMeshes.push_back(std::move(mm));
    return model;
}

AnimationSet BigSet() {
    AnimationSet set;
    set.version = 1;
    for (int c = 0; c < kCurves; ++c) {
        auto curve = std::make_unique<AnimationCurve>();
        curve->name.Set(("Joint" + std::to_string(c / 4) + "_rotateX").c_str());
        curve->flags = 1;
        curve->keys.resize(kKeys);
        for (int k = 0; k < kKeys; ++k) {
            curve->keys[size_t(k)].time = k / 30.0;
            curve->keys[size_t(k)].value = k * 0.5;
            curve->keys[size_t(k)].interpolation = uint32_t(k & 1);
        }
        set.curves.push_back(std::move(curve));
    }
    auto clip = std::make_unique<AnimationClip>();
    clip->name.Set("all");
    auto track = std::make_unique<ClipTrack>();
    track->name.Set("Joint0_rotateX");
    for (int c = 0; c < kCurves; ++c) track->curveIndices.push_back(c);
    clip->tracks.push_back(std::move(track));
    set.clips.push_back(std::move(clip));
    return set;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Best of several runs: file read plus parse, from the path.
template <typename Read>
bool Measure(const char* what, const std::string& path, Read read) {
    double best = 1e30;
    size_t bytes = 0;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        std::vector<unsigned char> data;
        if (!ReadFileBytes(path.c_str(), data)) {
            std::printf("%s: cannot read %s\n", what, path.c_str());
            return false;
        }
        if (!read(data)) {
            std::printf("%s: nothing read from %s\n", what, path.c_str());
            return false;
        }
        double s = Seconds(start);
        if (s < best) best = s;
        bytes = data.size();
    }
    double mb = double(bytes) / (1024.0 * 1024.0);
    std::printf("%s: %.1f MB in %.1f ms: %.0f MB/s\n", what, mb, best * 1000.0, mb / best);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    if (!MakeFolderTree(folder.c_str())) {
        std::printf("cannot make %s\n", folder.c_str());
        return 1;
    }
    std::string zem = folder + "/bench_read.zem";
    std::string mad = folder + "/bench_read.mad";
    if (!SaveBytes(zem, BuildZem(BigModel())) || !SaveBytes(mad, BuildMad(BigSet()))) {
        std::printf("cannot write the generated files in %s\n", folder.c_str());
        return 1;
    }
    bool ok = Measure("ZEM read (1,000,000 vertices)", zem, [](const std::vector<unsigned char>& d) {
        auto model = ReadModelFile(d.data(), d.size());
        return model && !model->multiMeshes.empty() &&
               TriangleCount(*model->multiMeshes[0]->meshes[0]) == int64_t(kVertices / kPartVertices) * (kPartVertices / 3);
    });
    ok = Measure("MAD read (16 curves x 65,535 keys)", mad, [](const std::vector<unsigned char>& d) {
        auto set = ReadMad(d.data(), d.size());
        return set && set->curves.size() == size_t(kCurves) && set->curves[0]->keys.size() == size_t(kKeys);
    }) && ok;
    std::remove(zem.c_str());
    std::remove(mad.c_str());
    return ok ? 0 : 1;
}
