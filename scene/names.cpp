#include "scene/names.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "scene/scene.h"

const char kGlowMaterialName[] = "MATGLOW[TALVE_Glow]";

namespace {

// "_Key[value]" with a "%g" value.
void AppendGroupG(std::string& out, const char* key, double v) {
    out += '_';
    out += key;
    out += '[';
    AppendG(out, v);
    out += ']';
}

// "_Key[text]".
void AppendGroupText(std::string& out, const char* key, const char* text) {
    out += '_';
    out += key;
    out += '[';
    out += text;
    out += ']';
}

// Flag words each followed by one space, the last space dropped; an empty list
// adds no group at all.
void AppendFlags(std::string& out, const std::string& words) {
    if (words.empty()) return;
    AppendGroupText(out, "Flags", words.substr(0, words.size() - 1).c_str());
}

void AddWord(std::string& words, bool set, const char* word) {
    if (!set) return;
    words += word;
    words += ' ';
}

// "%d" of a stored unsigned value: the bits read as a signed 32-bit number,
// as the name grammar has always printed it.
void AppendIntD(std::string& out, uint32_t v) { AppendInt(out, int64_t(int32_t(v))); }

}  // namespace

std::string Bracketed(const char* kind, const std::string& value) { return std::string(kind) + "[" + value + "]"; }

namespace {

bool StartsWith(const std::string& text, const char* start) { return text.compare(0, std::strlen(start), start) == 0; }

// The value of "KIND[value]" (nothing after it).
bool ParseBracketed(const std::string& name, const char* kind, std::string& value) {
    const size_t n = std::strlen(kind);
    if (name.size() < n + 2 || !StartsWith(name, kind) || name[n] != '[' || name.back() != ']') return false;
    value = name.substr(n + 1, name.size() - n - 2);
    return true;
}

// A whole decimal number of the name grammar ("%d" text).
bool ParseInt(const std::string& text, int64_t& v) {
    const char* end = text.data() + text.size();
    const auto res = std::from_chars(text.data(), end, v);
    return res.ec == std::errc() && res.ptr == end;
}

}  // namespace

bool ParseGroups(const std::string& name, const char* kind, const std::vector<const char*>& keys, NameGroups& out) {
    out.texts.assign(keys.size(), std::string());
    out.present.assign(keys.size(), false);
    std::string rest = name;
    for (size_t k = keys.size(); k-- > 0;) {
        if (rest.empty() || rest.back() != ']') return false;
        const std::string marker = std::string("]_") + keys[k] + "[";
        const size_t at = rest.rfind(marker);
        if (at == std::string::npos) continue;
        const size_t from = at + marker.size();
        out.texts[k] = rest.substr(from, rest.size() - 1 - from);
        out.present[k] = true;
        rest.resize(at + 1);
    }
    return ParseBracketed(rest, kind, out.value);
}

std::vector<std::string> FlagWords(const std::string& text) {
    std::vector<std::string> words;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t space = std::min(text.find(' ', at), text.size());
        if (space > at) words.push_back(text.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

std::string LodRootName(size_t level) { return "ROOT_LOD[" + std::to_string(level) + "]"; }
bool ParseLodRootName(const std::string& name, size_t& level) {
    std::string value;
    int64_t v = 0;
    if (!ParseBracketed(name, "ROOT_LOD", value) || !ParseInt(value, v) || v < 0) return false;
    level = size_t(v);
    return true;
}

int32_t LodRootNode(const Scene& scene) {
    int32_t renamed = -1;
    for (int32_t r : scene.roots) {
        if (r < 0 || size_t(r) >= scene.nodes.size()) continue;
        size_t level = 0;
        const std::string& name = scene.nodes[size_t(r)].name;
        if (ParseLodRootName(name, level)) {
            if (level == 0) return r;
        } else if (renamed < 0 && name.compare(0, 5, "NAVL[") == 0) {
            renamed = r;
        }
    }
    return renamed;
}

const char kSubParamsName[] = "SUB_PARAMS";
const char kHoldAnimName[] = "HOLD_ANIM";
const char kHoldParamsName[] = "HOLD_PARAMS";
const char kHoldDockName[] = "HOLD_DOCK";
const char kRootColName[] = "ROOT_COL";
const char kRootInfoName[] = "ROOT_INFO";
const char kUvSetsName[] = "UVSets[1]";

std::string VersionInfoName(int32_t version) { return "Class[MultiMesh]_Version[" + std::to_string(version) + "]"; }
bool ParseVersionInfoName(const std::string& name, int32_t& version) {
    const char kStart[] = "Class[MultiMesh]_Version[";
    int64_t v = 0;
    if (!StartsWith(name, kStart) || name.back() != ']' ||
        !ParseInt(name.substr(sizeof kStart - 1, name.size() - sizeof kStart), v) || v < INT32_MIN || v > INT32_MAX)
        return false;
    version = int32_t(v);
    return true;
}
std::string JointNodeName(const std::string& joint) { return Bracketed("JNT", joint); }
bool ParseJointNodeName(const std::string& name, std::string& joint) { return ParseBracketed(name, "JNT", joint); }
std::string AxisNodeName(const std::string& joint) { return Bracketed("AXIS", joint); }
bool ParseAxisNodeName(const std::string& name, std::string& joint) { return ParseBracketed(name, "AXIS", joint); }

std::string AnimationTargetName(const std::string& joint) {
    return EqualNoCase(joint, "Root") ? LodRootName(0) : JointNodeName(joint);
}

std::string MultiMeshName(const MultiMesh& mesh, int32_t lod) {
    return Bracketed("MULT", mesh.name.value) + "_LOD[" + std::to_string(lod) + "]";
}

std::string GoblinMeshName(const MultiMesh& mesh) { return Bracketed("GOBG", mesh.name.value); }

std::string GlowName(const Glow& glow) {
    std::string name = Bracketed("GLOW", glow.name.CStr()) + "_LOD[";
    AppendIntD(name, glow.lod);
    return name + "]";
}

namespace {

// "<kind>[<value>]<tail>": the value between the kind's bracket and the tail
// at the end (the value may hold any byte, brackets too).
bool MeshNameValue(const std::string& text, const char* kind, size_t tailLength, std::string& value) {
    const size_t open = std::strlen(kind) + 1;
    if (text.size() < open + 1 + tailLength || text.compare(0, open - 1, kind) != 0 || text[open - 1] != '[')
        return false;
    const size_t close = text.size() - tailLength - 1;
    if (text[close] != ']') return false;
    value = text.substr(open, close - open);
    return true;
}

// "<kind>[<value>]_LOD[<number>]" with a "%d" number.
bool MeshNameWithLod(const std::string& text, const char* kind, std::string& value, int64_t& lod) {
    if (text.empty() || text.back() != ']') return false;
    const size_t at = text.rfind("]_LOD[");
    if (at == std::string::npos) return false;
    const char* first = text.data() + at + 6;
    const char* last = text.data() + text.size() - 1;
    if (first == last) return false;
    const auto read = std::from_chars(first, last, lod);
    if (read.ec != std::errc() || read.ptr != last) return false;
    return MeshNameValue(text, kind, text.size() - at - 1, value);
}

}  // namespace

bool ParseMultiMeshName(const std::string& text, std::string& name, int32_t& lod) {
    int64_t value = 0;
    if (!MeshNameWithLod(text, "MULT", name, value) || value < INT32_MIN || value > INT32_MAX) return false;
    lod = int32_t(value);
    return true;
}

bool ParseGoblinMeshName(const std::string& text, std::string& name) {
    return MeshNameValue(text, "GOBG", 0, name);
}

bool ParseGlowName(const std::string& text, std::string& name, uint32_t& lod) {
    int64_t value = 0;
    if (!MeshNameWithLod(text, "GLOW", name, value) || value < INT32_MIN || value > INT32_MAX) return false;
    lod = uint32_t(int32_t(value));
    return true;
}

std::string CollisionName(const std::string& joint) { return Bracketed("COL", joint); }
bool ParseCollisionName(const std::string& name, std::string& joint) { return ParseBracketed(name, "COL", joint); }

std::string MaterialName(const Material& material) {
    return "MAT[" + material.name.value + "]_SHD[" + material.shader.value + "]";
}

bool ParseMaterialName(const std::string& name, std::string& material, std::string& shader) {
    NameGroups groups;
    if (!ParseGroups(name, "MAT", {"SHD"}, groups) || !groups.present[0]) return false;
    material = groups.value;
    shader = groups.texts[0];
    return true;
}

std::string MarkerName(const Marker& marker) { return Bracketed("MARK", marker.name.CStr()); }
bool ParseMarkerName(const std::string& name, std::string& marker) { return ParseBracketed(name, "MARK", marker); }
std::string EngineShapeName(const EngineShape& shape) { return Bracketed("ETSH", shape.name.CStr()); }
bool ParseEngineShapeName(const std::string& name, std::string& shape) { return ParseBracketed(name, "ETSH", shape); }
std::string EngineBurnName(const EngineBurn& burn) { return Bracketed("BURN", burn.name.CStr()); }
bool ParseEngineBurnName(const std::string& name, std::string& burn) { return ParseBracketed(name, "BURN", burn); }

std::string FlamePointName(uint32_t flame, uint32_t division) {
    std::string point = "Flame[";
    AppendIntD(point, flame);
    point += "]_Div[";
    AppendIntD(point, division);
    return point + "]";
}

bool ParseFlamePointName(const std::string& name, uint32_t& flame, uint32_t& division) {
    NameGroups groups;
    int64_t f = 0, d = 0;
    if (!ParseGroups(name, "Flame", {"Div"}, groups) || !groups.present[0] || !ParseInt(groups.value, f) ||
        !ParseInt(groups.texts[0], d) || f < INT32_MIN || f > UINT32_MAX || d < INT32_MIN || d > UINT32_MAX)
        return false;
    flame = uint32_t(f), division = uint32_t(d);
    return true;
}

std::string ClipName(const AnimationClip& clip) {
    // The loop lengths are float differences, as the clip times are stored.
    const float loopIn = clip.loopStart - clip.start;
    const float loopOut = clip.end - clip.loopEnd;
    std::string name = "ANIM[";
    name += clip.name.CStr();
    name += "]_ST[";
    AppendG(name, double(clip.start));
    name += "]_EN[";
    AppendG(name, double(clip.end));
    name += "]_LS[";
    AppendG(name, double(loopIn));
    name += "]_LE[";
    AppendG(name, double(loopOut));
    return name + "]";
}

bool ParseClipName(const std::string& name, NameGroups& out) {
    return ParseGroups(name, "ANIM", {"ST", "EN", "LS", "LE"}, out);
}

std::string NavLightName(const NavLight& light) {
    std::string name = Bracketed("NAVL", light.name.CStr());
    if (!EqualNoCase(light.type.CStr(), "default")) AppendGroupText(name, "Type", light.type.CStr());
    if (light.section != 0) {
        name += "_Sect[";
        AppendIntD(name, light.section);
        name += ']';
    }
    AppendGroupG(name, "Sz", double(light.size));
    AppendGroupG(name, "Ph", double(light.phase));
    AppendGroupG(name, "Fr", double(light.frequency));
    name += "_Col[";
    AppendG(name, double(light.colour[0]));
    name += ',';
    AppendG(name, double(light.colour[1]));
    name += ',';
    AppendG(name, double(light.colour[2]));
    name += ']';
    AppendGroupG(name, "Dist", double(light.distance));
    std::string words;
    AddWord(words, light.sprite != 0, "Sprite");
    AddWord(words, light.highEnd != 0, "HighEnd");
    AppendFlags(name, words);
    return name;
}

bool ParseNavLightName(const std::string& name, NameGroups& out) {
    return ParseGroups(name, "NAVL", {"Type", "Sect", "Sz", "Ph", "Fr", "Col", "Dist", "Flags"}, out);
}

std::string ColourParamName(const Material& material, const MaterialParam& param) {
    std::string name = "MAT[";
    name += material.name.CStr();
    name += "]_PARAM[";
    name += param.name.CStr();
    name += "]_Type[RGBA]_Data[";
    for (int i = 0; i < 4; ++i) {
        if (i) name += ',';
        AppendG(name, double(param.colour[i]));
    }
    name += ']';
    return name;
}

bool ParseColourParamName(const std::string& name, std::string& material, std::string& param, std::string& data) {
    NameGroups groups;
    if (!ParseGroups(name, "MAT", {"PARAM", "Type", "Data"}, groups) || !groups.present[0] || !groups.present[2])
        return false;
    material = groups.value;
    param = groups.texts[0];
    data = groups.texts[2];
    return true;
}

std::string DockPathName(const DockPath& path) {
    std::string name = Bracketed("DOCK", path.name.CStr());
    if (!path.family.Empty()) AppendGroupText(name, "Fam", path.family.CStr());
    if (!path.link.Empty()) AppendGroupText(name, "Link", path.link.CStr());
    if (path.tolerance != 0) AppendGroupG(name, "Tol", double(path.tolerance));
    std::string words;
    AddWord(words, path.exit != 0, "Exit");
    AddWord(words, path.latch != 0, "Latch");
    AddWord(words, (path.animFlags & 1) != 0, "Anim");
    AppendFlags(name, words);
    return name;
}

bool ParseDockPathName(const std::string& name, NameGroups& out) {
    return ParseGroups(name, "DOCK", {"Fam", "Link", "Tol", "Flags"}, out);
}

std::string DockSegmentName(const DockSegment& seg, int32_t position) {
    std::string name = "SEG[";
    AppendInt(name, position);
    name += ']';
    AppendGroupG(name, "Tol", double(seg.tolerance));
    AppendGroupG(name, "Spd", double(seg.speed));
    std::string words;
    AddWord(words, seg.useRot != 0, "UseRot");
    AddWord(words, seg.unfocus != 0, "Unfocus");
    AddWord(words, seg.check != 0, "Check");
    AddWord(words, seg.close != 0, "Close");
    AddWord(words, seg.player != 0, "Player");
    AddWord(words, seg.queue != 0, "Queue");
    AddWord(words, seg.clip != 0, "Clip");
    AddWord(words, seg.clearRes != 0, "ClearRes");
    AppendFlags(name, words);
    return name;
}

bool ParseDockSegmentName(const std::string& name, NameGroups& out) {
    return ParseGroups(name, "SEG", {"Tol", "Spd", "Flags"}, out);
}

std::vector<std::string> SplitLongName(std::string& name) {
    std::vector<std::string> groups;
    if (name.size() <= 60) return groups;
    size_t pos = 0;
    std::string first;
    bool haveFirst = false;
    while (pos < name.size()) {
        size_t close = name.find(']', pos);
        if (close == std::string::npos) break;
        std::string group = name.substr(pos, close + 1 - pos);
        pos = close + 2;  // the "]" and the separator after it
        if (!haveFirst) {
            first = group;
            haveFirst = true;
            continue;
        }
        groups.push_back(std::move(group));
    }
    if (haveFirst) name = first;
    return groups;
}

std::string JoinLongName(const std::string& first, const std::vector<std::string>& groups) {
    std::string name = first;
    for (const std::string& group : groups) name += "_" + group;
    return name;
}

// to_chars, not snprintf: identical bytes, no locale dependence, ~4x faster on
// large arrays. Non-finite values go through snprintf so "nan"/"-nan" match.
char* PrintF6(char* p, double v) {
    if (!std::isfinite(v)) return p + std::snprintf(p, 400, "%f", v);
    return std::to_chars(p, p + 400, v, std::chars_format::fixed, 6).ptr;
}

void AppendF6(std::string& out, double v) {
    char buf[400];
    out.append(buf, PrintF6(buf, v));
}

void AppendG(std::string& out, double v) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%g", v);
    out.append(buf, size_t(n));
}

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

void AppendExact(std::string& out, double v) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

void AppendExact(std::string& out, float v) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string FormatF6(double v) {
    std::string s;
    AppendF6(s, v);
    return s;
}

std::string FormatG(double v) {
    std::string s;
    AppendG(s, v);
    return s;
}
