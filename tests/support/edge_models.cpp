// The test models of the values and forms the documents find hardest to
// carry: every unusual mesh, every object with values its name and
// placement cannot show exactly.
#include "tests/support/edge_models.h"

#include "model/joints.h"
#include "model/mesh_info.h"
#include "tests/support/test_util.h"

MeshPart MakePart(int32_t material, uint32_t format, std::vector<std::array<float, 8>> vertices,
                  std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.format = format;
    const VertexLayoutInfo layout = VertexLayout(format);
    part.stride = layout.stride;
    part.vertexCount = int32_t(vertices.size());
    part.vertices.assign(vertices.size() * size_t(layout.stride), 0.0f);
    const bool wide = !(format & kFormatThreeWide);
    for (size_t v = 0; v < vertices.size(); ++v) {
        float* out = &part.vertices[v * size_t(layout.stride)];
        const auto& in = vertices[v];
        if (format & kFormatPosition) {
            std::copy(in.begin(), in.begin() + 3, out + layout.position);
            if (wide) out[layout.position + 3] = 1;
        }
        if (format & kFormatNormal) std::copy(in.begin() + 3, in.begin() + 6, out + layout.normal);
        if (format & kFormatTexCoord) std::copy(in.begin() + 6, in.end(), out + layout.texCoord);
        // A flat square mapped along its axes: U along +X, V along +Y.
        if (format & kFormatTangent) out[layout.tangent] = 1;
        if (format & kFormatBinormal) out[layout.binormal + 1] = 1;
    }
    part.groups = std::move(groups);
    for (size_t g = 0; g < part.groups.size(); ++g) part.groups[g].index = int32_t(g);
    return part;
}

MultiMesh& AddMulti(Model& model, uint8_t kind, const char* name, const char* joint) {
    auto mm = std::make_unique<MultiMesh>();
    mm->kind = kind;
    mm->name.Set(name);
    mm->parentName.Set(joint);
    (kind ? model.goblinMeshes : model.multiMeshes).push_back(std::move(mm));
    return *(kind ? model.goblinMeshes : model.multiMeshes).back();
}

void AddGlow(Model& model, const char* name, const char* joint, uint32_t lod, int32_t meshLod) {
    auto glow = std::make_unique<Glow>();
    glow->index = int32_t(model.glows.size());
    glow->name.Set(name);
    glow->parentName.Set(joint);
    glow->lod = lod;
    const float n = -1.0f;
    glow->mesh = MakeMesh(meshLod, {MakePart(2, 0x000B,
                                             {{{0, 0, 0, 0, 0, n, 0, 0}}, {{1, 0, 0, 0, 0, n, 1, 0}},
                                              {{1, 1, 0, 0, 0, n, 1, 1}}},
                                             {MakeGroup(kPrimTriList, {0, 1, 2})})});
    model.glows.push_back(std::move(glow));
}

// The sample's joints and materials with meshes of every unusual kind: parts
// out of material order and sharing a material, strips and fans, a
// three-wide part, zeros of both signs, an unused vertex, triangles out of
// range (some, all), a part without triangles, a part with tangents and
// binormals, a level whose number is not its position, goblin levels past
// the LOD roots, glows at several levels (one past the roots, one whose
// mesh has another number, one whose joint is missing, one naming its joint
// in another letter case), a mesh whose joint is missing, two meshes of one
// name one after the other, a name split into "SUB_PARAMS", meshes and a
// glow without levels.
std::unique_ptr<Model> MeshEdgeModel() {
    std::unique_ptr<Model> model = BuildSampleModel();
    model->multiMeshes.clear();
    model->goblinMeshes.clear();
    model->glows.clear();
    const float z = -0.0f;
    // Long enough for its node name to be split.
    MultiMesh& edges = AddMulti(*model, 0, ("Edges" + std::string(60, '_')).c_str(), "Turret");
    std::vector<MeshPart> parts;
    parts.push_back(MakePart(1, 0x000B,
                             {{{z, 0, 1, 0, z, 1, z, 0}}, {{1, z, 1, 0, 0, 1, 1, z}}, {{1, 1, 1, z, 0, 1, 1, 1}},
                              {{0, 1, z, 0, 0, 1, 0, 1}}, {{9, 9, 9, 0, 0, 1, 0.5f, 0.5f}}},
                             {MakeGroup(kPrimTriList, {0, 1, 2, 0, 2, 3})}));
    parts.push_back(MakePart(0, 0x000B,
                             {{{0, 0, 0, 0, 0, 1, 0, 0}}, {{1, 0, 0, 0, 0, 1, 1, 0}}, {{0, 1, 0, 0, 0, 1, 0, 1}},
                              {{1, 1, 0, 0, 0, 1, 1, 1}}},
                             {MakeGroup(kPrimTriStrip, {0, 1, 2, 3}), MakeGroup(kPrimTriFan, {0, 1, 3, 2})}));
    parts.push_back(MakePart(1, 0x8003,
                             {{{0, 0, 2, 1, 0, 0, 0, 0}}, {{0, 1, 2, 1, 0, 0, 0, 0}}, {{0, 0, 3, 1, 0, 0, 0, 0}}},
                             {MakeGroup(kPrimTriList, {0, 1, 2, 0, 1, 9, 2, 1, 0})}));
    parts.push_back(MakePart(0, 0x000B,
                             {{{5, 5, 5, 0, 1, 0, 0, 0}}, {{6, 5, 5, 0, 1, 0, 0, 0}}, {{5, 6, 5, 0, 1, 0, 0, 0}}},
                             {MakeGroup(kPrimTriList, {3, 4, 5})}));
    parts.push_back(MakePart(2, 0x000B, {{{7, 7, 7, 1, 0, 0, 0, 0}}, {{8, 7, 7, 1, 0, 0, 1, 0}}}, {}));
    parts.push_back(MakePart(0, 0x600B,
                             {{{0, 0, 4, 0, 0, 1, 0, 0}}, {{2, 0, 4, 0, 0, 1, 1, 0}}, {{2, 2, 4, 0, 0, 1, 1, 1}},
                              {{0, 2, 4, 0, 0, 1, 0, 1}}},
                             {MakeGroup(kPrimTriList, {0, 1, 2, 0, 2, 3})}));
    edges.meshes.push_back(MakeMesh(0, std::move(parts)));
    edges.meshes.push_back(MakeMesh(1, {MakePart(3, 0x0009,
                                                 {{{0, 0, 0, 0, 0, 0, 0, 0}}, {{1, 0, 0, 0, 0, 0, 1, 0}},
                                                  {{0, 1, 0, 0, 0, 0, 0, 1}}},
                                                 {MakeGroup(kPrimTriList, {0, 1, 2})})}));
    edges.meshes.push_back(MakeMesh(7, {MakePart(0, 0x0003, {{{0, 0, 0, 0, 1, 0, 0, 0}}, {{1, 0, 0, 0, 1, 0, 0, 0}},
                                                             {{0, 0, 1, 0, 1, 0, 0, 0}}},
                                                 {MakeGroup(kPrimTriFan, {0, 1, 2})})}));
    const MeshPart triangle = MakePart(1, 0x000B,
                                       {{{0, 0, 0, 0, 0, 1, 0, 0}}, {{1, 0, 0, 0, 0, 1, 1, 0}},
                                        {{0, 1, 0, 0, 0, 1, 0, 1}}},
                                       {MakeGroup(kPrimTriList, {0, 1, 2})});
    for (const char* name : {"Twin", "Twin"}) AddMulti(*model, 0, name, "Hull").meshes.push_back(MakeMesh(0, {triangle}));
    AddMulti(*model, 0, "Bare\n1:x", "Hull");
    MultiMesh& lost = AddMulti(*model, 0, "Lost", "NoSuchJoint");
    lost.meshes.push_back(MakeMesh(0, {triangle}));
    lost.meshes.push_back(MakeMesh(1, {triangle}));
    MultiMesh& goblin = AddMulti(*model, 1, "Gob", "hull");
    for (int32_t lod : {0, 1, 2, 9}) goblin.meshes.push_back(MakeMesh(lod, {triangle}));
    AddGlow(*model, "G0", "Turret", 0, 0);
    AddGlow(*model, "G1", "turret", 1, 1);
    AddGlow(*model, "G1", "Turret", 2, 4);
    AddGlow(*model, "G5", "Hull", 5, 5);
    AddGlow(*model, "Gx", "NoSuchJoint", 0, 0);
    AddGlow(*model, "Bare", "Hull", 3, 0);
    model->glows.back()->mesh.reset();
    std::swap(model->glows.front(), model->glows.back());
    AddMulti(*model, 1, "", "");
    ResolveJoints(*model);
    return model;
}

// A model of the values the names and placements cannot show exactly.
std::unique_ptr<Model> ObjectEdgeModel() {
    auto model = std::make_unique<Model>();
    model->version = 0xFFFFFFF0u;
    model->typeName.Set("DRELMARCH2 multi mesh file");
    Joint& root = Add(model->joints);
    root.name.Set("ROOT");
    root.parentName.Set("Nowhere");
    root.position[0] = 1.5f, root.rotation[1] = 0.25f, root.axis[2] = -0.5f, root.scale[0] = 3;
    root.flags[1] = 0;
    Joint& arm = Add(model->joints);
    arm.name.Set("Arm");
    arm.parentName.Set("root");
    arm.position[1] = 1e-7f;
    arm.rotation[0] = 1e-8f, arm.axis[0] = 1;  // the sum forgets the rotation
    arm.rotation[1] = 0.1f, arm.axis[1] = 0.7f;
    arm.scale[2] = -2, arm.flags[0] = 255;
    Joint& hand = Add(model->joints);
    hand.name.Set("Hand");
    hand.parentName.Set("ARM");
    hand.rotation[2] = -0.0f, hand.axis[0] = -0.0f;  // signed zeros, no axis node
    // Against the tree's order; ROOT_LOD[0] renamed; the joint Hand renamed twice.
    for (const char* name : {"Hand", "arm", "Root", "HAND"}) {
        NavLight& light = Add(model->navLights);
        light.name.Set(name);
        light.type.Set(name[0] == 'H' ? "DEFAULT" : "Strobe");
        light.section = 0xFFFFFFFFu;
        light.size = 1.2345678f, light.phase = -0.0f, light.frequency = 1e-20f;
        const float colour[4] = {0.123456789f, 1, 0, 0.5f};
        std::copy(colour, colour + 4, light.colour);
        light.distance = 3e38f;
        light.sprite = 7;
    }
    Marker& marker = Add(model->markers);
    marker.name.Set("Tip");
    marker.parentName.Set("hand");
    marker.headValues[0] = 2.5f, marker.headValues[1] = -1;
    marker.position[0] = 0.1, marker.position[2] = 1e300 * 0;
    marker.rotation[1] = 3.14159265358979;
    DockPath& path = Add(model->dockPaths);
    path.name.Set("Dock [A] of a name long enough to be cut into groups");
    path.parentName.Set("arm");
    path.exit = 5, path.animFlags = 6, path.tolerance = -0.0f;
    path.family.Set("Fighters and more");
    DockSegment seg;
    seg.position[0] = 1.0000001f, seg.rotation[2] = -3;
    seg.useRot = 2, seg.tolerance = 3.3333333f, seg.speed = 1e-9f, seg.clearRes = 0x80000000u;
    path.segments = {seg, DockSegment()};
    path.segmentCount = 2;
    DockPath& bare = Add(model->dockPaths);
    bare.name.Set("Bare");
    bare.latch = 1, bare.tolerance = 0.3f;
    bare.link.Set("Bare2");
    EngineShape& shape = Add(model->engineShapes);
    shape.name.Set("Nozzle");
    shape.parentName.Set("ARM");
    shape.vertices = {0, 0, 0, 1, 0, 0, 0.1f, 1, -0.0f};
    shape.vertexCount = 3;
    EngineBurn& burn = Add(model->engineBurns);
    burn.name.Set("Flame");
    burn.parentName.Set("Arm");
    burn.divisions = 2, burn.flameCount = 3, burn.vertexCount = 6;
    for (int i = 0; i < 18; ++i) burn.vertices.push_back(float(i) / 7);
    EngineBurn& none = Add(model->engineBurns);
    none.name.Set("NoFlames");
    none.parentName.Set("Hand");
    none.divisions = 0, none.flameCount = 4;
    CollisionMesh& col = Add(model->collisionMeshes);
    col.parentName.Set("NoSuchJoint");
    col.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    col.vertexCount = 4;
    col.indices = {0, 1, 2, 3, 2, 1, 3};  // a corner past the last triangle
    col.indexCount = 7;
    InfoEntry& info = Add(model->infoEntries);
    info.key.Set("Note");
    info.value.Set("tab\there\nnew line \\ back");
    Add(model->infoEntries).key.Set("Empt");

    TextureImage& image = Add(model->images);
    image.name.Set("tex\\a b.dds");
    image.format.Set("DXT5");
    for (int32_t size : {8, 4}) {
        MipLevel level;
        level.width = level.height = size;
        level.size = size == 8 ? 64 : 16;
        level.data.assign(size_t(level.size), 0x11);
        image.levels.push_back(level);
    }
    for (const uint8_t pixels : {0x22, 0x33}) {  // two unused pictures of one stem
        TextureImage& same = Add(model->images);
        same = image;
        same.name.Set(pixels == 0x22 ? "other\\a b.dds" : "a b");
        for (MipLevel& level : same.levels) level.data.assign(level.data.size(), pixels);
    }
    Material& material = Add(model->materials);
    material.version = 3;
    material.name.Set("Paint\ttab");
    material.shader.Set("shiny");
    for (int k = 0; k < 5; ++k) {  // the last names an image one past the model's
        MaterialParam param;
        param.name.Set(k == 4 ? "$glow" : k % 2 ? "$colour" : "$diffuse");
        param.type = k % 2 ? kParamColour : k == 2 ? 9 : kParamTexture;
        param.imageIndex = k == 4 ? 3 : 0;
        const float colour[4] = {0.123456789f, -0.0f, 1e-10f, 0.3f};
        if (k % 2) std::copy(colour, colour + 4, param.colour);
        material.params.push_back(param);
    }
    Add(model->materials) = Material(material);  // the same name twice

    auto set = std::make_unique<AnimationSet>();
    set->version = 7, set->infoWord0 = 1, set->infoWord3 = 0xDEADBEEF, set->infoWord4 = 2;
    set->formatName.Set("DRELMARCH2 mad file");
    for (const char* name : {"pre:Arm_RotateX", "arm_translateY", "Root_rotateZ", "Odd"}) {
        AnimationCurve& curve = Add(set->curves);
        curve.name.Set(name);
        curve.flags = name[0] == 'p' ? 0x0101 : 0;
        curve.trailer1 = 3, curve.trailer2 = 0xFFFFFFFFu;
        for (double t : {0.0, 0.1, 1.7}) {
            CurveKey key;
            key.time = t, key.value = t * 3, key.inTangentX = 0.5f, key.interpolation = curve.flags & 1;
            curve.keys.push_back(key);
        }
    }
    AnimationClip& clip = Add(set->clips);
    clip.name.Set("Swing");
    clip.start = 0.1f, clip.end = 1.7f, clip.loopStart = 0.3f, clip.loopEnd = 1.3f;
    ClipTrack& track = Add(clip.tracks);
    track.name.Set("ARM");
    track.curveIndices = {0, 99, -1, 1};
    Add(clip.tracks).name.Set("Empty");
    AnimationClip& later = Add(set->clips);
    later.name.Set("swing");
    later.start = 1e-7f, later.end = 1234567.9f, later.loopStart = 3, later.loopEnd = 7;
    model->animation = std::move(set);
    return model;
}
