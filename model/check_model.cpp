#include "model/check_model.h"

#include <cstdio>
#include <unordered_set>

#include "core/output.h"
#include "model/finite_numbers.h"
#include "model/mesh_info.h"

namespace {

using Checker = ProblemList;

template <typename S>
void CheckText(Checker& c, const S& s, const char* what) {
    if (s.null) c.Add("%s: null text", what);
    else if (s.value.find('\0') != std::string::npos) c.Add("%s: zero byte inside the text", what);
}

void CheckName(Checker& c, const Core_QStr& s, const char* what) {
    CheckText(c, s, what);
    // A name never set keeps hash 0 (the string class's contract); any other
    // name carries the hash of its text.
    bool neverSet = s.value.empty() && s.hash == 0;
    if (!s.null && !neverSet && s.hash != NameHash(s.value.c_str(), s.value.size()))
        c.Add("%s: stale hash", what);
}

template <typename T>
bool CheckList(Checker& c, const OwnedList<T>& list, const char* what) {
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i]) {
            c.Add("%s[%zu]: null slot", what, i);
            return false;
        }
    return true;
}

// A negative LOD number is replaced when the mesh is placed: by its position
// in a multi mesh, by the glow's own LOD for a glow's mesh.
void CheckMesh(Checker& c, const Mesh& mesh, const char* what) {
    if (mesh.lod < 0) c.Add("%s: negative lod %d", what, mesh.lod);
    for (size_t p = 0; p < mesh.parts.size(); ++p) {
        const MeshPart& part = mesh.parts[p];
        if (part.index != int32_t(p)) c.Add("%s part %zu: index %d", what, p, part.index);
        if (part.stride != VertexLayout(part.format).stride)
            c.Add("%s part %zu: stride %d for format 0x%x", what, p, part.stride, part.format);
        if (part.format & 0x0070) c.Add("%s part %zu: unfolded format 0x%x", what, p, part.format);
        if (part.vertexCount < 0) c.Add("%s part %zu: negative vertex count", what, p);
        else if (part.vertices.size() != size_t(part.vertexCount) * size_t(part.stride < 0 ? 0 : part.stride))
            c.Add("%s part %zu: %zu floats for %d vertices of stride %d", what, p, part.vertices.size(),
                 part.vertexCount, part.stride);
        for (size_t g = 0; g < part.groups.size(); ++g) {
            const PrimitiveGroup& group = part.groups[g];
            if (group.index != int32_t(g)) c.Add("%s part %zu group %zu: index %d", what, p, g, group.index);
            if (group.indexCount < 0 || size_t(group.indexCount) != group.indices.size())
                c.Add("%s part %zu group %zu: count %d, %zu indices", what, p, g, group.indexCount,
                     group.indices.size());
            for (uint16_t index : group.indices)
                if (int32_t(index) >= part.vertexCount) {
                    c.Add("%s part %zu group %zu: index %u of %d vertices", what, p, g, index, part.vertexCount);
                    break;
                }
        }
    }
}

void CheckMultiMeshes(Checker& c, const OwnedList<MultiMesh>& list, uint8_t kind, const char* what) {
    if (!CheckList(c, list, what)) return;
    for (const auto& mm : list) {
        if (mm->kind != kind) c.Add("%s: kind %u", what, mm->kind);
        CheckName(c, mm->name, what);
        CheckName(c, mm->parentName, what);
        if (!CheckList(c, mm->meshes, what)) continue;
        for (const auto& mesh : mm->meshes) CheckMesh(c, *mesh, what);
    }
}

void CheckFloats(Checker& c, int32_t count, size_t floats, const char* what, size_t i) {
    if (count < 0) c.Add("%s[%zu]: negative vertex count", what, i);
    else if (floats != size_t(count) * 3) c.Add("%s[%zu]: %zu floats for %d vertices", what, i, floats, count);
}

}  // namespace

std::vector<std::string> CheckAnimationSet(const AnimationSet& set) {
    Checker c;
    CheckName(c, set.path, "animation path");
    CheckText(c, set.formatName, "animation format name");
    if (!set.stringTable.empty() && set.stringTable.back() != 0) c.Add("string table not zero-terminated");
    if (set.clipCount != int32_t(set.clips.size()))
        c.Add("clipCount %d, %zu clips", set.clipCount, set.clips.size());
    if (set.curveCount != int32_t(set.curves.size()))
        c.Add("curveCount %d, %zu curves", set.curveCount, set.curves.size());

    std::unordered_set<std::string> distinct;
    for (const AnimationName& n : set.names) {
        CheckName(c, n.name, "animation name");
        std::string key = n.name.value;
        for (char& ch : key)
            if (ch >= 'A' && ch <= 'Z') ch = char(ch + 32);
        if (!distinct.insert(key).second) c.Add("name \"%s\" interned twice", n.name.CStr());
    }
    auto checkIndex = [&](int32_t index, const Core_QStr& name, const char* what) {
        CheckName(c, name, what);
        if (index < 0 || size_t(index) >= set.names.size()) c.Add("%s: name index %d", what, index);
        else if (!NameMatch(set.names[size_t(index)].name, name))
            c.Add("%s: name index %d holds another name", what, index);
    };
    if (!CheckList(c, set.clips, "clips") || !CheckList(c, set.curves, "curves")) return c.problems;
    for (const auto& clip : set.clips) {
        checkIndex(clip->nameIndex, clip->name, "clip");
        if (!CheckList(c, clip->tracks, "tracks")) continue;
        for (const auto& track : clip->tracks) {
            checkIndex(track->nameIndex, track->name, "track");
            if (track->links.size() != track->curveIndices.size()) {
                c.Add("track: %zu links for %zu indices", track->links.size(), track->curveIndices.size());
                continue;
            }
            for (size_t i = 0; i < track->links.size(); ++i) {
                int32_t ci = track->curveIndices[i];
                const CurveLink& link = track->links[i];
                CheckName(c, link.curveName, "link");
                bool inRange = ci >= 0 && size_t(ci) < set.curves.size();
                if (link.connected != (inRange ? 1u : 0u)) c.Add("link to %d: connected %u", ci, link.connected);
                else if (inRange && link.curveName.value != set.curves[size_t(ci)]->name.value)
                    c.Add("link to %d: name differs from the curve's", ci);
                else if (!inRange && link.curveName.value != "DISCONNECTED")
                    c.Add("link to %d: not DISCONNECTED", ci);
            }
        }
    }
    for (size_t i = 0; i < set.curves.size(); ++i) {
        const AnimationCurve& curve = *set.curves[i];
        if (curve.index != int32_t(i)) c.Add("curve %zu: index %d", i, curve.index);
        checkIndex(curve.nameIndex, curve.name, "curve");
        if (curve.keys.size() > 65535) c.Add("curve %zu: %zu keys", i, curve.keys.size());
        for (const CurveKey& key : curve.keys)
            if (!(curve.flags & kCurveTangents) && key.interpolation != 0) {
                c.Add("curve %zu: interpolation word without flag", i);
                break;
            }
    }
    const std::string notFinite = FirstNonFiniteNumber(set);
    if (!notFinite.empty()) c.Add("%s: a number that is not finite", notFinite.c_str());
    return c.problems;
}

std::vector<std::string> CheckModel(const Model& model) {
    Checker c;
    if (model.type != -1 && model.type != 0) c.Add("type %d", model.type);
    CheckText(c, model.path, "path");
    CheckText(c, model.typeName, "typeName");

    if (CheckList(c, model.materials, "materials"))
        for (size_t i = 0; i < model.materials.size(); ++i) {
            const Material& m = *model.materials[i];
            if (m.index != int32_t(i)) c.Add("material %zu: index %d", i, m.index);
            CheckName(c, m.name, "material name");
            CheckName(c, m.shader, "material shader");
            for (const MaterialParam& p : m.params) CheckName(c, p.name, "parameter name");
        }
    if (CheckList(c, model.images, "images"))
        for (size_t i = 0; i < model.images.size(); ++i) {
            const TextureImage& image = *model.images[i];
            if (image.index != int32_t(i)) c.Add("image %zu: index %d", i, image.index);
            CheckName(c, image.name, "image name");
            CheckName(c, image.format, "image format");
            if (image.format.value.size() > 4) c.Add("image %zu: format longer than 4", i);
            for (size_t l = 0; l < image.levels.size(); ++l) {
                const MipLevel& level = image.levels[l];
                if (level.size < 0 || level.data.size() > size_t(level.size))
                    c.Add("image %zu level %zu: %zu bytes, size %d", i, l, level.data.size(), level.size);
            }
        }
    CheckMultiMeshes(c, model.multiMeshes, 0, "multi mesh");
    CheckMultiMeshes(c, model.goblinMeshes, 1, "goblin mesh");

    if (CheckList(c, model.joints, "joints"))
        for (const auto& j : model.joints) {
            CheckName(c, j->name, "joint name");
            CheckName(c, j->parentName, "joint parent name");
        }
    if (CheckList(c, model.engineShapes, "engine shapes"))
        for (size_t i = 0; i < model.engineShapes.size(); ++i) {
            const EngineShape& s = *model.engineShapes[i];
            if (s.index != int32_t(i)) c.Add("engine shape %zu: index %d", i, s.index);
            CheckName(c, s.name, "engine shape name");
            CheckName(c, s.parentName, "engine shape parent");
            CheckFloats(c, s.vertexCount, s.vertices.size(), "engine shape", i);
        }
    if (CheckList(c, model.engineBurns, "engine burns"))
        for (size_t i = 0; i < model.engineBurns.size(); ++i) {
            const EngineBurn& b = *model.engineBurns[i];
            if (b.index != int32_t(i)) c.Add("engine burn %zu: index %d", i, b.index);
            CheckName(c, b.name, "engine burn name");
            CheckName(c, b.parentName, "engine burn parent");
            CheckFloats(c, b.vertexCount, b.vertices.size(), "engine burn", i);
            if (b.vertexCount >= 0 && uint64_t(b.vertexCount) > uint64_t(b.divisions) * b.flameCount)
                c.Add("engine burn %zu: more vertices than divisions x flames", i);
        }
    if (CheckList(c, model.glows, "glows"))
        for (size_t i = 0; i < model.glows.size(); ++i) {
            const Glow& g = *model.glows[i];
            if (g.index != int32_t(i)) c.Add("glow %zu: index %d", i, g.index);
            CheckName(c, g.name, "glow name");
            CheckName(c, g.parentName, "glow parent");
            if (g.mesh) CheckMesh(c, *g.mesh, "glow mesh");
        }
    if (CheckList(c, model.navLights, "navigation lights"))
        for (const auto& l : model.navLights) {
            CheckName(c, l->name, "light name");
            CheckName(c, l->type, "light type");
        }
    if (CheckList(c, model.dockPaths, "dock paths"))
        for (const auto& d : model.dockPaths) {
            CheckName(c, d->name, "dock path name");
            CheckName(c, d->parentName, "dock path parent");
            CheckText(c, d->family, "dock family");
            CheckText(c, d->link, "dock link");
            if (d->segmentCount < 0 || size_t(d->segmentCount) != d->segments.size())
                c.Add("dock path: segmentCount %d, %zu segments", d->segmentCount, d->segments.size());
            for (size_t s = 0; s < d->segments.size(); ++s)
                if (d->segments[s].index != int32_t(s)) c.Add("dock segment %zu: index %d", s, d->segments[s].index);
        }
    if (CheckList(c, model.markers, "markers"))
        for (size_t i = 0; i < model.markers.size(); ++i) {
            const Marker& m = *model.markers[i];
            if (m.index != int32_t(i)) c.Add("marker %zu: index %d", i, m.index);
            CheckName(c, m.name, "marker name");
            CheckName(c, m.parentName, "marker parent");
        }
    if (CheckList(c, model.collisionMeshes, "collision meshes"))
        for (size_t i = 0; i < model.collisionMeshes.size(); ++i) {
            const CollisionMesh& m = *model.collisionMeshes[i];
            if (m.index != int32_t(i)) c.Add("collision mesh %zu: index %d", i, m.index);
            CheckName(c, m.parentName, "collision parent");
            CheckFloats(c, m.vertexCount, m.vertices.size(), "collision mesh", i);
            if (m.indexCount < 0 || size_t(m.indexCount) != m.indices.size())
                c.Add("collision mesh %zu: count %d, %zu indices", i, m.indexCount, m.indices.size());
            for (uint16_t index : m.indices)
                if (int32_t(index) >= m.vertexCount) {
                    c.Add("collision mesh %zu: index %u of %d vertices", i, index, m.vertexCount);
                    break;
                }
        }
    if (CheckList(c, model.infoEntries, "info entries"))
        for (const auto& e : model.infoEntries) {
            CheckName(c, e->key, "info key");
            CheckName(c, e->value, "info value");
        }
    const std::string notFinite = FirstNonFiniteNumber(model);
    if (!notFinite.empty()) c.Add("%s: a number that is not finite", notFinite.c_str());
    if (model.animation)
        for (std::string& p : CheckAnimationSet(*model.animation)) c.problems.push_back("animation: " + p);
    return c.problems;
}
