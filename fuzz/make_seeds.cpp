// Writes seed inputs for the fuzz targets with the test fixture writer:
// make_seeds <zem folder> <mad folder> [<convert folder> <command folder>
// <shader map folder>].
#include <cstdio>
#include <string>

#include "texture/shader_map.h"
#include "tests/support/fixture_writer.h"

namespace {

Mesh SeedMesh(int32_t lod, uint32_t format, int32_t stride) {
    Mesh mesh;
    mesh.lod = lod;
    MeshPart part;
    part.index = 0;
    part.materialIndex = 0;
    part.format = format;
    part.stride = stride;
    part.vertexCount = 4;
    part.vertices.assign(size_t(4 * stride), 0.5f);
    PrimitiveGroup group;
    group.index = 0;
    group.type = 0x0202;
    group.indices = {0, 1, 2, 2, 1, 3};
    group.indexCount = 6;
    part.groups.push_back(group);
    PrimitiveGroup fan = group;
    fan.index = 1;
    fan.type = 0x0205;
    part.groups.push_back(fan);
    mesh.parts.push_back(part);
    return mesh;
}

std::unique_ptr<Joint> SeedJoint(const char* name, const char* parent) {
    auto j = std::make_unique<Joint>();
    j->name.Set(name);
    j->parentName.Set(parent);
    j->position[0] = 1;
    return j;
}

Model SeedModel(bool small) {
    Model model;
    model.version = 512;
    for (uint32_t version : {0u, 1001u}) {
        auto m = std::make_unique<Material>();
        m->version = version;
        m->name.Set("hull");
        m->shader.Set("ship");
        MaterialParam tex;
        tex.type = 5;
        tex.name.Set("$diffuse");
        MaterialParam colour;
        colour.type = 4;
        colour.name.Set("$glow");
        m->params = {tex, colour};
        model.materials.push_back(std::move(m));
    }
    for (const char* format : {"DXT1", "8888"}) {
        auto image = std::make_unique<TextureImage>();
        image->name.Set("tex\\hull");
        image->format.Set(format);
        MipLevel level;
        level.width = level.height = 4;
        level.size = format[0] == 'D' ? 8 : 64;
        level.data.assign(size_t(level.size), 0x5A);
        image->levels.push_back(level);
        model.images.push_back(std::move(image));
    }
    for (uint8_t kind : {0, 1}) {
        auto mm = std::make_unique<MultiMesh>();
        mm->kind = kind;
        mm->name.Set("hull_mesh");
        mm->parentName.Set("Root");
        mm->meshes.push_back(std::make_unique<Mesh>(SeedMesh(0, 0x000B, 10)));
        if (!small) mm->meshes.push_back(std::make_unique<Mesh>(SeedMesh(-1, 0xE00B, 14)));
        (kind ? model.goblinMeshes : model.multiMeshes).push_back(std::move(mm));
    }
    model.joints.push_back(SeedJoint("Root", ""));
    model.joints.push_back(SeedJoint("Hull", "Root"));
    auto marker = std::make_unique<Marker>();
    marker->name.Set("m");
    marker->parentName.Set("Hull");
    model.markers.push_back(std::move(marker));
    auto shape = std::make_unique<EngineShape>();
    shape->name.Set("s");
    shape->parentName.Set("Hull");
    shape->vertexCount = 3;
    shape->vertices.assign(9, 1.0f);
    model.engineShapes.push_back(std::move(shape));
    auto burn = std::make_unique<EngineBurn>();
    burn->name.Set("b");
    burn->parentName.Set("Hull");
    burn->divisions = 2;
    burn->flameCount = 1;
    burn->vertexCount = 2;
    burn->vertices.assign(6, 1.0f);
    model.engineBurns.push_back(std::move(burn));
    auto glow = std::make_unique<Glow>();
    glow->name.Set("g");
    glow->parentName.Set("Hull");
    glow->mesh = std::make_unique<Mesh>(SeedMesh(0, 0x0009, 6));
    model.glows.push_back(std::move(glow));
    auto light = std::make_unique<NavLight>();
    light->name.Set("Hull");
    light->type.Set("default");
    model.navLights.push_back(std::move(light));
    auto dock = std::make_unique<DockPath>();
    dock->name.Set("d");
    dock->parentName.Set("Hull");
    dock->segmentCount = 2;
    dock->segments.resize(2);
    model.dockPaths.push_back(std::move(dock));
    auto col = std::make_unique<CollisionMesh>();
    col->parentName.Set("Hull");
    col->vertexCount = 3;
    col->vertices.assign(9, 2.0f);
    col->indexCount = 3;
    col->indices = {0, 1, 2};
    model.collisionMeshes.push_back(std::move(col));
    auto info = std::make_unique<InfoEntry>();
    info->key.Set("AUTH");
    info->value.Set("seed");
    model.infoEntries.push_back(std::move(info));
    return model;
}

AnimationSet SeedSet() {
    AnimationSet set;
    set.version = 1;
    for (const char* name : {"Hull_translateX", "Hull_rotateY", "Root:Gun_scaleZ"}) {
        auto curve = std::make_unique<AnimationCurve>();
        curve->name.Set(name);
        curve->flags = name[5] == 'r' ? 1 : 0;
        curve->keys.resize(3);
        for (size_t k = 0; k < 3; ++k) {
            curve->keys[k].time = double(k);
            curve->keys[k].interpolation = curve->flags ? uint32_t(k) : 0;
        }
        set.curves.push_back(std::move(curve));
    }
    auto clip = std::make_unique<AnimationClip>();
    clip->name.Set("fire");
    clip->end = 2;
    auto track = std::make_unique<ClipTrack>();
    track->name.Set("Hull_rotateY");
    track->curveIndices = {0, 1, -1, 3};
    clip->tracks.push_back(std::move(track));
    set.clips.push_back(std::move(clip));
    return set;
}

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
    const std::vector<unsigned char> full = BuildZem(SeedModel(false));
    const std::vector<unsigned char> small = BuildZem(SeedModel(true));
    const std::vector<unsigned char> mad = BuildMad(SeedSet());
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
