#include "sample/sample_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/write_model.h"

std::unique_ptr<Mesh> MakeMesh(int32_t lod, std::vector<MeshPart> parts) {
    auto mesh = std::make_unique<Mesh>();
    mesh->lod = lod;
    mesh->parts = std::move(parts);
    for (size_t i = 0; i < mesh->parts.size(); ++i) mesh->parts[i].index = int32_t(i);
    return mesh;
}

namespace {

// ---- Textures ----------------------------------------------------------------

struct Rgb {
    int r, g, b;
};

uint16_t Pack565(Rgb c) { return uint16_t(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3)); }

void Put16(std::vector<unsigned char>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// A colour block whose first colour is greater than the second, so every
// decoder takes the four-colour mode: rows run 0, 2, 3, 1, a vertical ramp
// from the bright colour to the dark one inside each block.
void PutColourBlock(std::vector<unsigned char>& out, Rgb bright) {
    uint16_t c0 = Pack565(bright);
    uint16_t c1 = Pack565({bright.r / 4, bright.g / 4, bright.b / 4});
    if (c0 <= c1) {
        c0 = 0xFFFF;
        c1 = 0x0000;
    }
    Put16(out, c0);
    Put16(out, c1);
    const unsigned char rows[4] = {0x00, 0xAA, 0xFF, 0x55};
    out.insert(out.end(), rows, rows + 4);
}

// Eight-alpha block: a0 > a1, rows use the indices 0, 2, 4, 1 (from a0 down to a1).
void PutAlphaBlock(std::vector<unsigned char>& out, uint8_t a0, uint8_t a1) {
    out.push_back(a0);
    out.push_back(a1);
    const uint64_t rowIndex[4] = {0, 2, 4, 1};
    uint64_t bits = 0;
    for (int pixel = 0; pixel < 16; ++pixel) bits |= rowIndex[pixel / 4] << (3 * pixel);
    for (int i = 0; i < 6; ++i) out.push_back(uint8_t(bits >> (8 * i)));
}

// Blocks per row / column exactly as the reader sizes a level: a quarter
// rounded down, at least one.
int Blocks(int pixels) { return std::max(pixels >> 2, 1); }

using Gradient = Rgb (*)(float u, float v);

Rgb HullColours(float u, float v) { return {int(90 + 120 * u), int(100 + 80 * v), int(120 + 100 * (1 - u))}; }
// Glow in green, specular in blue, as the "ship" maps read them.
Rgb GlowColours(float u, float v) { return {0, int(255 * u), int(64 + 191 * v)}; }
Rgb DetailColours(float u, float v) { return {int(220 - 120 * v), int(160 * u), 40}; }
Rgb SpecColours(float u, float) { return {int(255 * u), int(255 * u), int(255 * u)}; }

std::vector<unsigned char> DxtLevel(int w, int h, bool dxt5, Gradient colours) {
    std::vector<unsigned char> out;
    const int bw = Blocks(w), bh = Blocks(h);
    for (int by = 0; by < bh; ++by)
        for (int bx = 0; bx < bw; ++bx) {
            const float u = bw > 1 ? float(bx) / float(bw - 1) : 0.5f;
            const float v = bh > 1 ? float(by) / float(bh - 1) : 0.5f;
            if (dxt5) PutAlphaBlock(out, 255, uint8_t(255 * u * 0.75f));
            PutColourBlock(out, colours(u, v));
        }
    return out;
}

// Plain pixels, red, green, blue, alpha: a normal map bulging out of the middle.
std::vector<unsigned char> NormalLevel(int w, int h) {
    std::vector<unsigned char> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float nx = w > 1 ? 2.0f * float(x) / float(w - 1) - 1 : 0;
            float ny = h > 1 ? 2.0f * float(y) / float(h - 1) - 1 : 0;
            float nz = std::sqrt(std::max(0.0f, 1.0f - 0.5f * (nx * nx + ny * ny)));
            out.push_back(uint8_t(127.5f + 127 * nx * 0.5f));
            out.push_back(uint8_t(127.5f + 127 * ny * 0.5f));
            out.push_back(uint8_t(127.5f + 127 * nz));
            out.push_back(255);
        }
    return out;
}

// A see-through canopy: blue glass whose alpha falls towards the edges.
std::vector<unsigned char> CanopyLevel(int w, int h) {
    std::vector<unsigned char> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            out.push_back(uint8_t(40 + 4 * x));
            out.push_back(uint8_t(90 + 6 * y));
            out.push_back(230);
            out.push_back(uint8_t(255 - 10 * (x + y)));
        }
    return out;
}

enum class Kind { Dxt1, Dxt5, Normal8888, Canopy8888 };

void AddImage(Model& model, const char* name, Kind kind, int w, int h, Gradient colours = nullptr) {
    auto image = std::make_unique<TextureImage>();
    image->index = int32_t(model.images.size());
    image->name.Set(name);
    image->format.Set(kind == Kind::Dxt1 ? "DXT1" : kind == Kind::Dxt5 ? "DXT5" : "8888");
    // The whole chain down to 1 x 1.
    for (;;) {
        MipLevel level;
        level.width = w;
        level.height = h;
        switch (kind) {
        case Kind::Dxt1: level.data = DxtLevel(w, h, false, colours); break;
        case Kind::Dxt5: level.data = DxtLevel(w, h, true, colours); break;
        case Kind::Normal8888: level.data = NormalLevel(w, h); break;
        case Kind::Canopy8888: level.data = CanopyLevel(w, h); break;
        }
        level.size = int32_t(level.data.size());
        image->levels.push_back(std::move(level));
        if (w == 1 && h == 1) break;
        w = std::max(w / 2, 1);
        h = std::max(h / 2, 1);
    }
    model.images.push_back(std::move(image));
}

// ---- Materials ---------------------------------------------------------------

MaterialParam Texture(const char* name, int32_t image) {
    MaterialParam p;
    p.name.Set(name);
    p.type = kParamTexture;
    p.imageIndex = image;
    return p;
}

MaterialParam Colour(const char* name, float r, float g, float b, float a) {
    MaterialParam p;
    p.name.Set(name);
    p.type = kParamColour;
    p.colour[0] = r;
    p.colour[1] = g;
    p.colour[2] = b;
    p.colour[3] = a;
    return p;
}

void AddMaterial(Model& model, const char* name, const char* shader, std::vector<MaterialParam> params) {
    auto m = std::make_unique<Material>();
    m->index = int32_t(model.materials.size());
    m->version = 2;
    m->name.Set(name);
    m->shader.Set(shader);
    m->params = std::move(params);
    model.materials.push_back(std::move(m));
}

// ---- Meshes ----------------------------------------------------------------------

struct Vertex {
    float p[3];
    float n[3];
    float uv[2];
};

struct Shape {
    std::vector<Vertex> vertices;
    std::vector<uint16_t> list;  // triangle list indices
};

// One quad, corners counter-clockwise seen from outside.
void AddQuad(Shape& s, const float a[3], const float b[3], const float c[3], const float d[3], const float n[3]) {
    const uint16_t base = uint16_t(s.vertices.size());
    const float* corners[4] = {a, b, c, d};
    const float uvs[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i)
        s.vertices.push_back({{corners[i][0], corners[i][1], corners[i][2]}, {n[0], n[1], n[2]}, {uvs[i][0], uvs[i][1]}});
    const uint16_t tri[6] = {0, 1, 2, 0, 2, 3};
    for (uint16_t t : tri) s.list.push_back(uint16_t(base + t));
}

// The faces of a box from `first` to `last` (0 +X, 1 -X, 2 +Y, 3 -Y, 4 +Z, 5 -Z).
Shape Box(const float c[3], const float e[3], int first = 0, int last = 5) {
    Shape s;
    auto corner = [&](float sx, float sy, float sz, float out[3]) {
        out[0] = c[0] + sx * e[0];
        out[1] = c[1] + sy * e[1];
        out[2] = c[2] + sz * e[2];
    };
    float q[4][3];
    for (int face = first; face <= last; ++face) {
        const int axis = face / 2;
        const float sign = face % 2 ? -1.0f : 1.0f;
        float n[3] = {0, 0, 0};
        n[axis] = sign;
        // Two axes spanning the face, ordered so the quad winds outwards.
        const int u = (axis + 1) % 3, v = (axis + 2) % 3;
        const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
        for (int i = 0; i < 4; ++i) {
            float s3[3];
            s3[axis] = sign;
            s3[u] = su[i] * sign;
            s3[v] = sv[i];
            corner(s3[0], s3[1], s3[2], q[i]);
        }
        AddQuad(s, q[0], q[1], q[2], q[3], n);
    }
    return s;
}

std::vector<float> PackVertices(const std::vector<Vertex>& vertices, uint32_t format) {
    const bool three = (format & kFormatThreeWide) != 0;
    std::vector<float> out;
    for (const Vertex& v : vertices) {
        if (format & kFormatPosition) {
            out.insert(out.end(), v.p, v.p + 3);
            if (!three) out.push_back(1);
        }
        if (format & kFormatNormal) {
            out.insert(out.end(), v.n, v.n + 3);
            if (!three) out.push_back(0);
        }
        if (format & kFormatTexCoord) out.insert(out.end(), v.uv, v.uv + 2);
    }
    return out;
}

int32_t Stride(uint32_t format) {
    const int32_t wide = (format & kFormatThreeWide) ? 3 : 4;
    return ((format & kFormatPosition) ? wide : 0) + ((format & kFormatNormal) ? wide : 0) +
           ((format & kFormatTexCoord) ? 2 : 0);
}

MeshPart Part(int32_t material, uint32_t format, const std::vector<Vertex>& vertices,
              std::vector<PrimitiveGroup> groups) {
    MeshPart part;
    part.materialIndex = material;
    part.format = format;
    part.stride = Stride(format);
    part.vertexCount = int32_t(vertices.size());
    part.vertices = PackVertices(vertices, format);
    part.groups = std::move(groups);
    for (size_t i = 0; i < part.groups.size(); ++i) part.groups[i].index = int32_t(i);
    return part;
}

// Level 0: the hull box in two parts (sides in "Hull" as a list, top and
// bottom in "Detail" as strips). Level 1: one part without normals. Level 2:
// a three-wide tetrahedron drawn as a fan and a list.
void AddHullMesh(Model& model) {
    auto mm = std::make_unique<MultiMesh>();
    mm->kind = 0;
    mm->name.Set("Hull");
    mm->parentName.Set("Hull");
    const float c[3] = {0, 0, 0}, e[3] = {2, 1, 4};

    Shape sides = Box(c, e, 0, 1);
    Shape ends = Box(c, e, 4, 5);
    sides.vertices.insert(sides.vertices.end(), ends.vertices.begin(), ends.vertices.end());
    for (uint16_t i : ends.list) sides.list.push_back(uint16_t(i + 8));
    Shape caps = Box(c, e, 2, 3);
    std::vector<PrimitiveGroup> strips;
    for (uint16_t q = 0; q < 2; ++q) {
        const uint16_t b = uint16_t(4 * q);
        strips.push_back(MakeGroup(kPrimTriStrip, {b, uint16_t(b + 1), uint16_t(b + 3), uint16_t(b + 2)}));
    }
    std::vector<MeshPart> lod0;
    lod0.push_back(Part(0, 0x000B, sides.vertices, {MakeGroup(kPrimTriList, sides.list)}));
    lod0.push_back(Part(1, 0x000B, caps.vertices, strips));
    mm->meshes.push_back(MakeMesh(0, std::move(lod0)));

    Shape whole = Box(c, e);
    std::vector<MeshPart> lod1;
    lod1.push_back(Part(0, 0x0009, whole.vertices, {MakeGroup(kPrimTriList, whole.list)}));
    mm->meshes.push_back(MakeMesh(1, std::move(lod1)));

    std::vector<Vertex> tetra = {{{0, 1, 4}, {0, 1, 0}, {0.5f, 0}},
                                 {{-2, -1, -4}, {-1, 0, 0}, {0, 1}},
                                 {{2, -1, -4}, {1, 0, 0}, {1, 1}},
                                 {{0, 1.5f, -4}, {0, 0, -1}, {0.5f, 1}}};
    std::vector<MeshPart> lod2;
    lod2.push_back(Part(0, 0x8003, tetra, {MakeGroup(kPrimTriFan, {0, 1, 3, 2, 1}), MakeGroup(kPrimTriList, {1, 2, 3})}));
    mm->meshes.push_back(MakeMesh(2, std::move(lod2)));
    model.multiMeshes.push_back(std::move(mm));
}

void AddSimpleMultiMesh(Model& model, const char* name, const char* joint, int32_t material, const float c[3],
                        const float e[3]) {
    auto mm = std::make_unique<MultiMesh>();
    mm->name.Set(name);
    mm->parentName.Set(joint);
    Shape box = Box(c, e);
    std::vector<MeshPart> parts;
    parts.push_back(Part(material, 0x000B, box.vertices, {MakeGroup(kPrimTriList, box.list)}));
    mm->meshes.push_back(MakeMesh(0, std::move(parts)));
    model.multiMeshes.push_back(std::move(mm));
}

void AddGoblin(Model& model) {
    auto mm = std::make_unique<MultiMesh>();
    mm->kind = 1;
    mm->name.Set("Antenna");
    mm->parentName.Set("Hull");
    const float c[3] = {0, 1.75f, -2}, e[3] = {0.05f, 0.75f, 0.05f};
    Shape mast = Box(c, e);
    std::vector<MeshPart> parts;
    parts.push_back(Part(3, 0x000B, mast.vertices, {MakeGroup(kPrimTriList, mast.list)}));
    mm->meshes.push_back(MakeMesh(0, std::move(parts)));
    model.goblinMeshes.push_back(std::move(mm));
}

void AddGlow(Model& model, const char* name, const char* joint, uint32_t lod, float size) {
    auto glow = std::make_unique<Glow>();
    glow->index = int32_t(model.glows.size());
    glow->name.Set(name);
    glow->parentName.Set(joint);
    glow->lod = lod;
    std::vector<Vertex> quad = {{{-size, -size, 0}, {0, 0, -1}, {0, 0}},
                                {{size, -size, 0}, {0, 0, -1}, {1, 0}},
                                {{size, size, 0}, {0, 0, -1}, {1, 1}},
                                {{-size, size, 0}, {0, 0, -1}, {0, 1}}};
    std::vector<MeshPart> parts;
    parts.push_back(Part(0, 0x000B, quad, {MakeGroup(kPrimTriList, {0, 1, 2, 0, 2, 3})}));
    glow->mesh = MakeMesh(int32_t(lod), std::move(parts));
    model.glows.push_back(std::move(glow));
}

// ---- Joints and scene objects -------------------------------------------------------

void AddJoint(Model& model, const char* name, const char* parent, std::vector<float> position,
              std::vector<float> rotation = {0, 0, 0}, std::vector<float> axis = {0, 0, 0}) {
    auto j = std::make_unique<Joint>();
    j->index = int32_t(model.joints.size());
    j->name.Set(name);
    j->parentName.Set(parent);
    for (int i = 0; i < 3; ++i) {
        j->position[i] = position[size_t(i)];
        j->rotation[i] = rotation[size_t(i)];
        j->axis[i] = axis[size_t(i)];
    }
    model.joints.push_back(std::move(j));
}

void AddLight(Model& model, const char* name, const char* type, uint32_t section, float size, float phase,
              float frequency, std::vector<float> colour, float distance, uint8_t sprite, uint8_t highEnd) {
    auto l = std::make_unique<NavLight>();
    l->index = int32_t(model.navLights.size());
    l->name.Set(name);
    l->type.Set(type);
    l->section = section;
    l->size = size;
    l->phase = phase;
    l->frequency = frequency;
    for (int i = 0; i < 4; ++i) l->colour[i] = colour[size_t(i)];
    l->distance = distance;
    l->sprite = sprite;
    l->highEnd = highEnd;
    model.navLights.push_back(std::move(l));
}

void AddMarker(Model& model, const char* name, const char* joint, std::vector<double> position,
               std::vector<double> rotation) {
    auto m = std::make_unique<Marker>();
    m->index = int32_t(model.markers.size());
    m->name.Set(name);
    m->parentName.Set(joint);
    for (int i = 0; i < 3; ++i) {
        m->position[i] = position[size_t(i)];
        m->rotation[i] = rotation[size_t(i)];
    }
    model.markers.push_back(std::move(m));
}

DockSegment Segment(std::vector<float> position, float tolerance, float speed) {
    DockSegment s;
    for (int i = 0; i < 3; ++i) s.position[i] = position[size_t(i)];
    s.tolerance = tolerance;
    s.speed = speed;
    return s;
}

void AddDockPaths(Model& model) {
    auto latch = std::make_unique<DockPath>();
    latch->index = 0;
    latch->name.Set("Latch");
    latch->parentName.Set("Hull");
    latch->latch = 1;
    latch->animFlags = 1;
    latch->tolerance = 5;
    latch->family.Set("Fighter");
    latch->link.Set("Exit1");
    DockSegment s0 = Segment({0, -20, -10}, 10, 50);
    s0.useRot = 1;
    DockSegment s1 = Segment({0, -6, -4}, 5, 20);
    s1.check = 1;
    s1.clip = 1;
    s1.rotation[0] = 0.25f;
    DockSegment s2 = Segment({0, -1.5f, -1}, 1, 5);
    s2.unfocus = s2.close = s2.player = s2.queue = s2.clearRes = 1;
    latch->segments = {s0, s1, s2};

    auto exit = std::make_unique<DockPath>();
    exit->index = 1;
    exit->name.Set("Exit1");
    exit->parentName.Set("Hull");
    exit->exit = 1;
    DockSegment e0 = Segment({0, -1.5f, 1}, 0, 0);
    DockSegment e1 = Segment({0, -8, 12}, 2.5f, 40);
    e1.useRot = 1;
    e1.rotation[1] = 3.14159274f;
    exit->segments = {e0, e1};

    for (auto* path : {latch.get(), exit.get()}) {
        path->segmentCount = int32_t(path->segments.size());
        for (size_t i = 0; i < path->segments.size(); ++i) path->segments[i].index = int32_t(i);
    }
    model.dockPaths.push_back(std::move(latch));
    model.dockPaths.push_back(std::move(exit));
}

void AddEngine(Model& model, const char* side) {
    const std::string joint = std::string("Engine") + side;
    auto shape = std::make_unique<EngineShape>();
    shape->index = int32_t(model.engineShapes.size());
    shape->name.Set(joint + "_Shape");
    shape->parentName.Set(joint);
    for (int i = 0; i < 6; ++i) {
        const float a = float(i) * 3.14159265f / 3.0f;
        shape->vertices.insert(shape->vertices.end(), {0.6f * std::cos(a), 0.6f * std::sin(a), 0});
    }
    shape->vertexCount = 6;
    model.engineShapes.push_back(std::move(shape));

    auto burn = std::make_unique<EngineBurn>();
    burn->index = int32_t(model.engineBurns.size());
    burn->name.Set(joint + "_Burn");
    burn->parentName.Set(joint);
    burn->divisions = 4;
    burn->flameCount = 2;
    for (uint32_t f = 0; f < burn->flameCount; ++f)
        for (uint32_t d = 0; d < burn->divisions; ++d)
            burn->vertices.insert(burn->vertices.end(),
                                  {0.2f * float(f) - 0.1f, 0, -0.5f * float(d + 1) * float(f + 1)});
    burn->vertexCount = int32_t(burn->divisions * burn->flameCount);
    model.engineBurns.push_back(std::move(burn));
}

void AddCollision(Model& model) {
    auto col = std::make_unique<CollisionMesh>();
    col->index = 0;
    col->parentName.Set("Hull");
    const float e[3] = {2.2f, 1.2f, 4.2f};
    for (int i = 0; i < 8; ++i) {
        col->vertices.push_back((i & 1) ? e[0] : -e[0]);
        col->vertices.push_back((i & 2) ? e[1] : -e[1]);
        col->vertices.push_back((i & 4) ? e[2] : -e[2]);
    }
    col->vertexCount = 8;
    col->indices = {0, 2, 3, 0, 3, 1, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                    2, 6, 7, 2, 7, 3, 0, 4, 6, 0, 6, 2, 1, 3, 7, 1, 7, 5};
    col->indexCount = int32_t(col->indices.size());
    for (int i = 0; i < 3; ++i) {
        col->bounds.boxMin[i] = -e[i];
        col->bounds.boxMax[i] = e[i];
        col->bounds.sphereCentre[i] = 0;
    }
    col->bounds.sphereRadius = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    model.collisionMeshes.push_back(std::move(col));
}

// ---- Animation ---------------------------------------------------------------------

AnimationCurve* AddCurve(AnimationSet& set, const char* name, bool tangents) {
    auto c = std::make_unique<AnimationCurve>();
    c->name.Set(name);
    c->index = int32_t(set.curves.size());
    c->flags = tangents ? 1 : 0;
    set.curves.push_back(std::move(c));
    return set.curves.back().get();
}

void Key(AnimationCurve* c, double time, double value, uint32_t interpolation = 0, float slope = 0) {
    CurveKey k;
    k.time = time;
    k.value = value;
    if (c->flags & 1) {
        k.interpolation = interpolation;
        k.inTangentX = -0.25f;
        k.inTangentY = -0.25f * slope;
        k.outTangentX = 0.25f;
        k.outTangentY = 0.25f * slope;
    }
    c->keys.push_back(k);
}

void AddClip(AnimationSet& set, const char* name, float start, float end, float loopStart, float loopEnd,
             std::vector<std::pair<const char*, std::vector<int32_t>>> tracks) {
    auto clip = std::make_unique<AnimationClip>();
    clip->name.Set(name);
    clip->start = start;
    clip->end = end;
    clip->loopStart = loopStart;
    clip->loopEnd = loopEnd;
    for (auto& [trackName, curves] : tracks) {
        auto track = std::make_unique<ClipTrack>();
        track->name.Set(trackName);
        track->curveIndices = curves;
        for (int32_t index : curves) {
            CurveLink link;
            link.curveName.Set(set.curves[size_t(index)]->name.CStr());
            link.connected = 1;
            track->links.push_back(link);
        }
        clip->tracks.push_back(std::move(track));
    }
    set.clips.push_back(std::move(clip));
}

}  // namespace

std::unique_ptr<Model> BuildSampleModel() {
    auto model = std::make_unique<Model>();
    model->type = 0;
    model->version = 512;

    AddImage(*model, "ships\\sample\\hull_diff.dds", Kind::Dxt1, 32, 32, HullColours);
    AddImage(*model, "ships\\sample\\hull_glow.dds", Kind::Dxt5, 32, 32, GlowColours);
    AddImage(*model, "ships/sample/hull_norm.dds", Kind::Normal8888, 16, 16);
    AddImage(*model, "ships\\sample\\detail_diff.dds", Kind::Dxt1, 16, 8, DetailColours);
    AddImage(*model, "ships\\sample\\canopy_diff.tga", Kind::Canopy8888, 8, 8);
    AddImage(*model, "ships\\sample\\old_spec.dds", Kind::Dxt1, 8, 8, SpecColours);  // used by no material

    AddMaterial(*model, "Hull", "ship",
                {Texture("$diffuse", 0), Texture("$glow", 1), Texture("$normal", 2),
                 Colour("$teamColour", 0.2f, 0.4f, 0.8f, 1)});
    AddMaterial(*model, "Detail", "ship",
                {Texture("$diffuse", 3), Texture("$glow", 1), Colour("$stripeColour", 1, 0.5f, 0, 1)});
    AddMaterial(*model, "Canopy", "matteAlpha", {Texture("$diffuse", 4)});
    AddMaterial(*model, "Paint", "matte", {Colour("$diffuseColour", 0.35f, 0.35f, 0.3f, 1)});

    // File order is not tree order: resolution sorts them.
    AddJoint(*model, "Gun", "Turret", {0, 0.5f, 1.5f}, {0.1f, 0, 0}, {-0.2f, 0, 0});
    AddJoint(*model, "Root", "", {0, 0, 0});
    AddJoint(*model, "Hull", "Root", {0, 0, 0});
    AddJoint(*model, "Turret", "Hull", {0, 1.25f, 1}, {0, 0.5f, 0}, {0, 0.25f, 0});
    AddJoint(*model, "EngineL", "Hull", {-1.2f, 0, -4.1f});
    AddJoint(*model, "EngineR", "Hull", {1.2f, 0, -4.1f}, {0, 0, 0}, {0, 0, 0.3f});
    AddJoint(*model, "Light_Port", "Hull", {-2.1f, 0, 0});
    AddJoint(*model, "Light_Starboard_Wingtip", "Hull", {2.1f, 0, 0});
    AddJoint(*model, "Light_Mast", "Hull", {0, 2.5f, -2});

    AddHullMesh(*model);
    const float turretC[3] = {0, 0.25f, 0}, turretE[3] = {0.6f, 0.25f, 0.6f};
    AddSimpleMultiMesh(*model, "Turret", "Turret", 1, turretC, turretE);
    const float canopyC[3] = {0, 1.2f, 2.5f}, canopyE[3] = {0.5f, 0.3f, 0.8f};
    AddSimpleMultiMesh(*model, "Canopy", "Hull", 2, canopyC, canopyE);
    AddGoblin(*model);

    AddGlow(*model, "EngineL_Glow", "EngineL", 0, 0.7f);
    AddGlow(*model, "EngineL_Glow", "EngineL", 1, 0.5f);
    AddGlow(*model, "EngineR_Glow", "EngineR", 0, 0.7f);

    AddLight(*model, "Light_Port", "default", 0, 0.4f, 0, 1, {1, 0, 0, 1}, 100, 0, 0);
    AddLight(*model, "Light_Starboard_Wingtip", "Default", 0, 0.4f, 0.5f, 1, {0, 1, 0, 1}, 100, 1, 0);
    AddLight(*model, "Light_Mast", "strobe", 2, 0.25f, 0.125f, 2.5f, {1, 1, 1, 1}, 250, 1, 1);

    AddMarker(*model, "Muzzle", "Gun", {0, 0, 1.25}, {0, 0, 0});
    AddMarker(*model, "Camera", "Hull", {0, 3, -6.5}, {-0.3, 3.14159265358979, 0});
    AddMarker(*model, "Hardpoint_Left", "Hull", {-2.2, 0, 1.0000001}, {0, 0, 1.5707963267949});

    AddDockPaths(*model);
    AddEngine(*model, "L");
    AddEngine(*model, "R");
    AddCollision(*model);

    auto info = std::make_unique<InfoEntry>();
    info->key.Set("Auth");  // a four-letter chunk name in the file
    info->value.Set("VORDA sample");
    model->infoEntries.push_back(std::move(info));
    return model;
}

std::unique_ptr<AnimationSet> BuildSampleAnimation() {
    auto set = std::make_unique<AnimationSet>();
    set->version = 1;
    set->formatName.Set("Drelmarch2 MAD File");

    AnimationCurve* turret = AddCurve(*set, "Turret_rotateY", true);
    Key(turret, 0, 0, 1, 0);
    Key(turret, 1, 0.8, 1, 0);
    Key(turret, 2, 0, 1, 0);
    AnimationCurve* gunPitch = AddCurve(*set, "ship:Gun_rotateX", true);
    Key(gunPitch, 0, 0, 0, 0);
    Key(gunPitch, 0.5, -0.3, 1, -0.6f);
    Key(gunPitch, 2, 0, 1, 0);
    AnimationCurve* recoil = AddCurve(*set, "Gun_translateZ", false);
    Key(recoil, 2, 0);
    Key(recoil, 2.1, -0.4);
    Key(recoil, 2.5, 0);
    Key(recoil, 3, 0);
    AnimationCurve* bob = AddCurve(*set, "ship:Hull_translateY", false);
    Key(bob, 0, 0);
    Key(bob, 1.5, 0.2);
    Key(bob, 3, 0);
    AnimationCurve* roll = AddCurve(*set, "Root_rotateZ", false);
    Key(roll, 0, 0);
    Key(roll, 3, 0.1);
    AnimationCurve* nozzle = AddCurve(*set, "EngineL_translateX", true);
    Key(nozzle, 0, -1.2, 0, 0);
    Key(nozzle, 3, -1.1, 1, 0.05f);

    AddClip(*set, "Deploy", 0, 2, 0.5f, 1.5f, {{"Turret", {0}}, {"Gun", {1}}, {"Hull", {3}}});
    AddClip(*set, "Fire", 2, 3, 2, 3, {{"Gun", {2}}, {"Root", {4, 5}}});
    // Every distinct name once, in order of first appearance: clips with
    // their tracks first, then the curves.
    auto intern = [&](const Core_QStr& name) {
        for (size_t i = 0; i < set->names.size(); ++i)
            if (NameMatch(set->names[i].name, name)) return int32_t(i);
        AnimationName entry;
        entry.name.Set(name.CStr());
        set->names.push_back(entry);
        return int32_t(set->names.size() - 1);
    };
    for (auto& clip : set->clips) {
        clip->nameIndex = intern(clip->name);
        for (auto& track : clip->tracks) track->nameIndex = intern(track->name);
    }
    for (auto& curve : set->curves) curve->nameIndex = intern(curve->name);
    set->clipCount = int32_t(set->clips.size());
    set->curveCount = int32_t(set->curves.size());
    return set;
}
