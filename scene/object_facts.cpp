// The facts of the model's objects that no visible element of the scene
// carries, recorded while the scene is built (scene/object_facts.h).
#include "scene/object_facts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "scene/names.h"

namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Leaves v as it was unless the whole text reads.
template <typename T>
bool ReadNumbers(const std::string& text, T* v, size_t n) {
    std::vector<T> read(n);
    const char* p = text.data();
    const char* end = p + text.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') return false;
            ++p;
        }
        const auto res = std::from_chars(p, end, read[i]);
        if (res.ec != std::errc()) return false;
        p = res.ptr;
    }
    if (p != end) return false;
    std::copy(read.begin(), read.end(), v);
    return true;
}

}  // namespace

std::string FactField(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

std::vector<std::vector<std::string>> FactLines(const std::string& text) {
    std::vector<std::vector<std::string>> lines(1, std::vector<std::string>(1));
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') lines.emplace_back(1);
        else if (c == '\t') lines.back().emplace_back();
        else if (c == '\\' && i + 1 < text.size()) {
            const char e = text[++i];
            lines.back().back() += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
            lines.back().back() += c;
        }
    }
    if (text.empty()) lines.clear();
    return lines;
}

std::string ExactFloats(const float* v, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += ' ';
        AppendExact(out, v[i]);
    }
    return out;
}

std::string ExactDoubles(const double* v, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += ' ';
        AppendExact(out, v[i]);
    }
    return out;
}

std::string Words(const uint32_t* v, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (i) out += ' ';
        AppendInt(out, int64_t(v[i]));
    }
    return out;
}

bool ReadFloats(const std::string& text, float* v, size_t n) { return ReadNumbers(text, v, n); }
bool ReadDoubles(const std::string& text, double* v, size_t n) { return ReadNumbers(text, v, n); }
bool ReadWords(const std::string& text, uint32_t* v, size_t n) { return ReadNumbers(text, v, n); }

template <typename T>
bool ReadList(const std::string& text, std::vector<T>& v) {
    size_t count = text.empty() ? 0 : 1;
    for (char c : text) count += c == ' ';
    v.assign(count, T());
    return ReadNumbers(text, v.data(), count);
}

bool ReadInts(const std::string& text, std::vector<int32_t>& v) { return ReadList(text, v); }
bool ReadFloatList(const std::string& text, std::vector<float>& v) { return ReadList(text, v); }

float JointRotationFrom(float angle, float axis) {
    const float guess = angle - axis;
    if (SameBits(guess + axis, angle) || !std::isfinite(guess)) return guess;
    float up = guess, down = guess;
    for (int step = 0; step < 64; ++step) {
        up = std::nextafter(up, INFINITY);
        if (SameBits(up + axis, angle)) return up;
        down = std::nextafter(down, -INFINITY);
        if (SameBits(down + axis, angle)) return down;
    }
    return guess;
}

void RecordFullName(SceneFacts& facts, const std::string& name, const std::vector<std::string>& groups) {
    std::string first = name;
    SplitLongName(first);
    if (JoinLongName(first, groups) != name) SetFact(facts, "full_name", name);
}

void RecordJointFacts(SceneFacts& facts, const Model& model, const Joint& joint, bool root) {
    const Joint* parent = joint.parentIndex >= 0 && size_t(joint.parentIndex) < model.joints.size()
                              ? model.joints[size_t(joint.parentIndex)].get()
                              : nullptr;
    if (parent ? joint.parentName.value != parent->name.value : !joint.parentName.value.empty())
        SetFact(facts, "joint_parent", joint.parentName.value);
    if (root) {
        // ROOT_LOD[0] shows neither the root joint's name nor its placement.
        SetFact(facts, "joint_name", joint.name.value);
        SetFact(facts, "joint_position", ExactFloats(joint.position, 3));
        SetFact(facts, "joint_rotation", ExactFloats(joint.rotation, 3));
        SetFact(facts, "joint_axis", ExactFloats(joint.axis, 3));
    } else {
        bool exact = true, zeroAxis = true, signedZero = false;
        for (int i = 0; i < 3; ++i) {
            exact = exact && SameBits(JointRotationFrom(joint.rotation[i] + joint.axis[i], joint.axis[i]),
                                      joint.rotation[i]);
            zeroAxis = zeroAxis && joint.axis[i] == 0;
            signedZero = signedZero || std::signbit(joint.axis[i]);
        }
        if (!exact) SetFact(facts, "joint_rotation", ExactFloats(joint.rotation, 3));
        // An axis of zeros gets no "AXIS" node: only a negative zero needs telling.
        if (zeroAxis && signedZero) SetFact(facts, "joint_axis", ExactFloats(joint.axis, 3));
    }
    const float one[3] = {1, 1, 1};
    if (std::memcmp(joint.scale, one, sizeof one) != 0) SetFact(facts, "joint_scale", ExactFloats(joint.scale, 3));
    if (joint.flags[0] != 1 || joint.flags[1] != 1 || joint.flags[2] != 1) {
        const uint32_t flags[3] = {joint.flags[0], joint.flags[1], joint.flags[2]};
        SetFact(facts, "joint_flags", Words(flags, 3));
    }
}

void RecordNavLightFacts(SceneFacts& facts, const NavLight& light, size_t order, const Joint& joint) {
    // The node now shows the light's name, which matches the joint's only
    // without regard to letter case.
    if (light.name.value != joint.name.value) SetFact(facts, "joint_name", joint.name.value);
    // "default" in any letter case shows no type at all.
    if (EqualNoCase(light.type.CStr(), "default") && light.type.value != "default")
        SetFact(facts, "light_type", light.type.value);
    const float values[8] = {light.size,      light.phase,     light.frequency, light.colour[0],
                             light.colour[1], light.colour[2], light.colour[3], light.distance};
    SetFact(facts, "light_values", ExactFloats(values, 8));
    const uint32_t bytes[2] = {light.sprite, light.highEnd};
    SetFact(facts, "light_bytes", Words(bytes, 2));
    // The scene shows the lights in the order of the joint tree.
    const uint32_t place = uint32_t(order);
    SetFact(facts, "light_order", Words(&place, 1));
}

void RecordMarkerFacts(SceneFacts& facts, const Marker& marker, const Joint& joint) {
    if (marker.parentName.value != joint.name.value) SetFact(facts, "marker_parent", marker.parentName.value);
    SetFact(facts, "marker_head", ExactFloats(marker.headValues, 2));
    SetFact(facts, "marker_position", ExactDoubles(marker.position, 3));
    SetFact(facts, "marker_rotation", ExactDoubles(marker.rotation, 3));
}

void RecordDockPathFacts(SceneFacts& facts, const DockPath& path) {
    SetFact(facts, "dock_parent", path.parentName.value);
    const uint32_t words[3] = {path.exit, path.latch, path.animFlags};
    SetFact(facts, "dock_words", Words(words, 3));
    SetFact(facts, "dock_tolerance", ExactFloats(&path.tolerance, 1));
}

void RecordSegmentFacts(SceneFacts& facts, const DockSegment& s) {
    const uint32_t words[8] = {s.useRot, s.unfocus, s.check, s.close, s.player, s.queue, s.clip, s.clearRes};
    SetFact(facts, "seg_words", Words(words, 8));
    const float values[2] = {s.tolerance, s.speed};
    SetFact(facts, "seg_values", ExactFloats(values, 2));
}

void RecordShapeFacts(SceneFacts& facts, const EngineShape& shape, const Joint& joint) {
    if (shape.parentName.value != joint.name.value) SetFact(facts, "shape_parent", shape.parentName.value);
}

void RecordBurnFacts(SceneFacts& facts, const EngineBurn& burn, const Joint& joint) {
    if (burn.parentName.value != joint.name.value) SetFact(facts, "burn_parent", burn.parentName.value);
    const uint32_t counts[2] = {burn.divisions, burn.flameCount};
    SetFact(facts, "burn_counts", Words(counts, 2));
}

void RecordCollisionFacts(SceneFacts& facts, const CollisionMesh& col, const char* jointName,
                          const SceneTriangles& shown) {
    if (col.parentName.value != jointName) SetFact(facts, "col_parent", col.parentName.value);
    // Indices the triangles do not show (a count that is no multiple of 3).
    const size_t held = size_t(std::max<int32_t>(0, std::min<int32_t>(col.indexCount, int32_t(col.indices.size()))));
    bool same = held == shown.corners.size();
    for (size_t i = 0; same && i < held; ++i) same = col.indices[i] == shown.corners[i];
    if (!same) {
        std::vector<uint32_t> indices(col.indices.begin(), col.indices.begin() + std::ptrdiff_t(held));
        SetFact(facts, "col_indices", Words(indices.data(), indices.size()));
    }
}

void RecordClipFacts(SceneFacts& facts, const AnimationClip& clip) {
    const float times[4] = {clip.start, clip.end, clip.loopStart, clip.loopEnd};
    SetFact(facts, "clip_times", ExactFloats(times, 4));
    std::string tracks;
    for (const auto& track : clip.tracks) {
        if (!track) continue;
        if (!tracks.empty()) tracks += '\n';
        tracks += FactField(track->name.value) + '\t';
        for (size_t k = 0; k < track->curveIndices.size(); ++k) {
            if (k) tracks += ' ';
            AppendInt(tracks, track->curveIndices[k]);
        }
    }
    SetFact(facts, "clip_tracks", tracks);
}

namespace {

void AddLine(std::string& text, size_t position, const std::string& line) {
    if (!text.empty()) text += '\n';
    AppendInt(text, int64_t(position));
    text += '\t' + line;
}

// The objects the scene has no node for (their joint has none), each with
// its place in the model's list: nothing else would carry them.
void RecordUnplaced(SceneBuild& build) {
    const Model& model = build.model;
    SceneFacts& facts = build.scene.facts;
    const int32_t lodRoot = build.lodRoots.empty() ? -1 : build.lodRoots[0];
    int32_t treeRoot = -1;
    for (const auto& joint : model.joints)
        if (joint && joint->depth == 0) {
            treeRoot = joint->index;
            break;
        }
    std::string text;
    for (size_t i = 0; i < model.joints.size(); ++i) {
        const Joint* j = model.joints[i].get();
        if (!j || int32_t(i) == treeRoot || (build.jointNodes[i] >= 0 && build.jointNodes[i] != lodRoot)) continue;
        const uint32_t flags[3] = {j->flags[0], j->flags[1], j->flags[2]};
        float values[12];
        std::copy(j->position, j->position + 3, values);
        std::copy(j->rotation, j->rotation + 3, values + 3);
        std::copy(j->scale, j->scale + 3, values + 6);
        std::copy(j->axis, j->axis + 3, values + 9);
        AddLine(text, i, FactField(j->name.value) + '\t' + FactField(j->parentName.value) + '\t' +
                             ExactFloats(values, 12) + '\t' + Words(flags, 3));
    }
    if (!text.empty()) SetFact(facts, "unplaced_joints", text);
    text.clear();
    // A light whose joint's node a later light renamed again is not shown either.
    std::vector<int32_t> lastLight(build.scene.nodes.size(), -1);
    for (size_t i = 0; i < model.navLights.size(); ++i) {
        const int32_t node = model.navLights[i] ? build.JointNodeByName(model.navLights[i]->name) : -1;
        if (node >= 0) lastLight[size_t(node)] = int32_t(i);
    }
    for (size_t i = 0; i < model.navLights.size(); ++i) {
        const NavLight* l = model.navLights[i].get();
        const int32_t node = l ? build.JointNodeByName(l->name) : -1;
        if (!l || (node >= 0 && lastLight[size_t(node)] == int32_t(i))) continue;
        const float values[8] = {l->size,      l->phase,     l->frequency, l->colour[0],
                                 l->colour[1], l->colour[2], l->colour[3], l->distance};
        const uint32_t words[3] = {l->section, l->sprite, l->highEnd};
        AddLine(text, i, FactField(l->name.value) + '\t' + FactField(l->type.value) + '\t' + ExactFloats(values, 8) +
                             '\t' + Words(words, 3));
    }
    if (!text.empty()) SetFact(facts, "unplaced_lights", text);
    text.clear();
    for (size_t i = 0; i < model.markers.size(); ++i) {
        const Marker* m = model.markers[i].get();
        if (!m || build.JointNodeByName(m->parentName) >= 0) continue;
        AddLine(text, i, FactField(m->name.value) + '\t' + FactField(m->parentName.value) + '\t' +
                             ExactFloats(m->headValues, 2) + '\t' + ExactDoubles(m->position, 3) + '\t' +
                             ExactDoubles(m->rotation, 3));
    }
    if (!text.empty()) SetFact(facts, "unplaced_markers", text);
    text.clear();
    for (size_t i = 0; i < model.engineShapes.size(); ++i) {
        const EngineShape* e = model.engineShapes[i].get();
        if (!e || build.JointNodeByName(e->parentName) >= 0) continue;
        AddLine(text, i, FactField(e->name.value) + '\t' + FactField(e->parentName.value) + '\t' +
                             ExactFloats(e->vertices.data(), e->vertices.size()));
    }
    if (!text.empty()) SetFact(facts, "unplaced_shapes", text);
    text.clear();
    for (size_t i = 0; i < model.engineBurns.size(); ++i) {
        const EngineBurn* b = model.engineBurns[i].get();
        if (!b || build.JointNodeByName(b->parentName) >= 0) continue;
        const uint32_t counts[2] = {b->divisions, b->flameCount};
        AddLine(text, i, FactField(b->name.value) + '\t' + FactField(b->parentName.value) + '\t' +
                             Words(counts, 2) + '\t' + ExactFloats(b->vertices.data(), b->vertices.size()));
    }
    if (!text.empty()) SetFact(facts, "unplaced_burns", text);
}

}  // namespace

void RecordModelFacts(SceneBuild& build) {
    RecordUnplaced(build);
    const Model& model = build.model;
    SceneFacts& facts = build.scene.facts;
    // A model made in memory without one is written with the file's own name.
    SetFact(facts, "type_name", model.typeName.Empty() ? std::string(kMultiMeshFileName) : model.typeName.value);
    std::string text;
    for (const auto& entry : model.infoEntries) {
        if (!entry) continue;
        if (!text.empty()) text += '\n';
        text += FactField(entry->key.value) + '\t' + FactField(entry->value.value);
    }
    if (!text.empty()) SetFact(facts, "info", text);

    // Every material in the model's order (duplicates included), with the
    // scene material it became and its parameters in their order.
    text.clear();
    for (size_t m = 0; m < model.materials.size(); ++m) {
        const Material* material = model.materials[m].get();
        if (!material) continue;
        if (!text.empty()) text += '\n';
        AppendInt(text, m < build.materialOf.size() ? build.materialOf[m] : -1);
        text += '\t';
        AppendInt(text, int64_t(material->version));
        text += '\t' + FactField(material->name.value) + '\t' + FactField(material->shader.value);
        for (const MaterialParam& param : material->params) {
            text += '\t' + FactField(param.name.value) + '\t';
            AppendInt(text, param.type);
            text += '\t';
            AppendInt(text, param.imageIndex);
            text += '\t' + ExactFloats(param.colour, 4);
        }
    }
    if (!text.empty()) SetFact(facts, "materials", text);

    // Each image's stored name, format, first level's size and level count.
    text.clear();
    for (const auto& image : model.images) {
        if (!image) continue;
        if (!text.empty()) text += '\n';
        text += FactField(image->name.value) + '\t' + FactField(image->format.value) + '\t';
        AppendInt(text, image->levels.empty() ? 0 : image->levels[0].width);
        text += '\t';
        AppendInt(text, image->levels.empty() ? 0 : image->levels[0].height);
        text += '\t';
        AppendInt(text, int64_t(image->levels.size()));
        // Stored without all the bytes of its first level (damaged): the
        // way back writes it so again rather than making pixels up.
        if (!image->levels.empty() && image->levels[0].data.size() < size_t(std::max(image->levels[0].size, 0)))
            text += "\tcut";
    }
    if (!text.empty()) SetFact(facts, "images", text);

    if (const AnimationSet* set = model.animation.get()) {
        const uint32_t words[4] = {set->version, set->infoWord0, set->infoWord3, set->infoWord4};
        SetFact(facts, "animation", Words(words, 4));
        SetFact(facts, "animation_name", set->formatName.value);
    }
}
