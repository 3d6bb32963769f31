#include "collada/extras.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collada/materials.h"
#include "collada/xml_blocks.h"
#include "core/str.h"
#include "scene/conventions.h"
#include "scene/exact_numbers.h"
#include "scene/fact_texts.h"
#include "scene/names.h"
#include "scene/scene_texts.h"

namespace {

const char kProfile[] = "VORDA";

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The float a reader gets from a number text (one past the float range: the
// nearest float, zero or infinity).
float FloatOfText(const std::string& text) {
    const char* end = text.data() + text.size();
    float v = 0;
    auto r = std::from_chars(text.data(), end, v);
    if (r.ec == std::errc::result_out_of_range) {
        double wide = 0;
        std::from_chars(text.data(), end, wide);
        v = float(wide);
    }
    return v;
}

float GReadsBackAs(double v) { return FloatOfText(FormatG(v)); }
double F6ReadsBackAsDouble(double v) { return double(FloatOfText(FormatF6(v))); }

// Numbers separated by single spaces.
struct Words {
    std::string text;
    void Int(int64_t v) {
        if (!text.empty()) text += ' ';
        AppendInt(text, v);
    }
    void Exact(double v) {
        if (!text.empty()) text += ' ';
        AppendExact(text, v);
    }
    void Exact(float v) {
        if (!text.empty()) text += ' ';
        AppendExact(text, v);
    }
};

// The element's technique, made when the first thing goes into it.
class Technique {
public:
    explicit Technique(TiXmlElement* owner) : owner_(owner) {}
    TiXmlElement* Add(const char* name) {
        if (!technique_) technique_ = AddVordaTechnique(owner_);
        return AddChildElement(technique_, name);
    }
    void AddText(const char* name, std::string&& text) { ::AddText(Add(name), std::move(text)); }

private:
    TiXmlElement* owner_;
    TiXmlElement* technique_ = nullptr;
};

// --- meshes ---

// Per part vertex the first one with the same stream numbers; `any` tells
// whether two are alike at all.
std::vector<uint32_t> FirstOfEqualRows(const std::vector<int32_t>& table, size_t width, size_t count, bool& any) {
    std::vector<uint32_t> first(count);
    size_t size = 16;
    while (size < count * 2) size *= 2;
    std::vector<int64_t> slots(size, -1);
    any = false;
    for (size_t v = 0; v < count; ++v) {
        const int32_t* row = &table[v * width];
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (size_t k = 0; k < width; ++k) {
            h ^= uint32_t(row[k]);
            h *= 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        size_t s = size_t(h) & (size - 1);
        for (;; s = (s + 1) & (size - 1)) {
            if (slots[s] < 0) {
                slots[s] = int64_t(v);
                first[v] = uint32_t(v);
                break;
            }
            const int32_t* other = &table[size_t(slots[s]) * width];
            if (std::memcmp(other, row, width * sizeof *row) == 0) {
                first[v] = uint32_t(slots[s]);
                any = true;
                break;
            }
        }
    }
    return first;
}

// The facts of triangle list `index`.
TiXmlElement* ListElement(Technique& technique, size_t index) {
    TiXmlElement* element = technique.Add("vertex_list");
    SetAttr(element, "index", int64_t(index));
    return element;
}

// The reader numbers a list's vertices by the stream numbers its corners
// name, in order of first use. Where the list's own numbering differs, its
// "vertex_list" says how: "first_use", the part vertices in the order the
// corners first name them (runs of start and length); "corners", the corners
// (counted from the one before) that name another part vertex than the last
// one with their stream numbers, or than the next in first use for new ones,
// with that vertex; "unused", each vertex no corner names with its stream
// numbers. "triangles" is the count of a list that lists no corners.
// Returns the list's element, null when it needs none.
TiXmlElement* AddListVertices(Technique& technique, const SceneMesh& mesh, size_t index) {
    const SceneTriangles& list = mesh.triangles[index];
    TiXmlElement* element = nullptr;
    auto get = [&] {
        if (!element) element = ListElement(technique, index);
        return element;
    };
    if (list.corners.size() != size_t(list.count) * 3) SetAttr(get(), "triangles", list.count);
    const size_t width = size_t(mesh.components);
    if (mesh.positionsOnly || width == 0 || list.table.empty()) return element;
    const size_t parts = list.table.size() / width;
    const std::vector<uint32_t>& corners = list.corners;

    std::vector<uint32_t> firstUse;
    firstUse.reserve(parts);
    std::vector<uint8_t> used(parts, 0);
    for (uint32_t c : corners)
        if (c < parts && !used[c]) used[c] = 1, firstUse.push_back(c);
    bool anyEqual = false;
    const std::vector<uint32_t> first = FirstOfEqualRows(list.table, width, parts, anyEqual);
    Words exceptions;
    bool anyException = false;
    if (anyEqual) {
        std::vector<int64_t> lastOf(parts, -1);
        std::vector<uint8_t> seen(parts, 0);
        size_t next = 0, previous = 0;
        for (size_t i = 0; i < corners.size(); ++i) {
            const uint32_t c = corners[i];
            if (c >= parts) continue;
            const uint32_t k = first[c];
            const int64_t predicted = lastOf[k] >= 0 ? lastOf[k] : next < firstUse.size() ? int64_t(firstUse[next]) : -1;
            if (predicted != int64_t(c)) {
                exceptions.Int(int64_t(i - previous));
                exceptions.Int(c);
                previous = i;
                anyException = true;
            }
            if (!seen[c]) seen[c] = 1, ++next;
            lastOf[k] = c;
        }
    }
    bool identity = firstUse.size() == parts && !anyException;
    for (size_t v = 0; identity && v < parts; ++v) identity = firstUse[v] == v;
    if (identity) return element;
    get();
    Words runs;
    for (size_t i = 0; i < firstUse.size();) {
        size_t run = 1;
        while (i + run < firstUse.size() && firstUse[i + run] == firstUse[i] + run) ++run;
        runs.Int(firstUse[i]);
        runs.Int(int64_t(run));
        i += run;
    }
    if (!runs.text.empty()) AddText(AddChildElement(element, "first_use"), std::move(runs.text));
    if (anyException) AddText(AddChildElement(element, "corners"), std::move(exceptions.text));
    Words unused;
    for (size_t v = 0; v < parts; ++v) {
        if (used[v]) continue;
        unused.Int(int64_t(v));
        for (size_t k = 0; k < width; ++k) unused.Int(list.table[v * width + k]);
    }
    if (!unused.text.empty()) AddText(AddChildElement(element, "unused"), std::move(unused.text));
    return element;
}

// A value list holds +0 and -0 as one value: the list's "zero_signs" names
// each zero a part vertex holds with the other sign than its listed value,
// as part vertex, stream (its place among the mesh's streams) and component.
void AddListZeroSigns(Technique& technique, const SceneMesh& mesh, size_t index, TiXmlElement* element) {
    const SceneTriangles& list = mesh.triangles[index];
    const size_t width = size_t(mesh.components);
    if (list.zeroSigns.empty() || width == 0) return;
    Words signs;
    for (uint64_t sign : list.zeroSigns) {
        signs.Int(int64_t(sign / 4 / width));
        signs.Int(int64_t(sign / 4 % width));
        signs.Int(int64_t(sign % 4));
    }
    if (!element) element = ListElement(technique, index);
    AddText(AddChildElement(element, "zero_signs"), std::move(signs.text));
}

}  // namespace

TiXmlElement* AddVordaTechnique(TiXmlElement* element) {
    TiXmlElement* technique = AddChildElement(AddChildElement(element, "extra"), "technique");
    SetAttr(technique, "profile", kProfile);
    return technique;
}

void AddGeometryExtra(TiXmlElement* geometry, const Scene& scene, const SceneMesh& mesh) {
    Technique technique(geometry);
    // The streams as the reader finds them: those the triangle lists read,
    // or, with no list, the positions alone, indexed by vertex number.
    bool materials = false;
    for (const SceneTriangles& list : mesh.triangles)
        materials = materials || (!mesh.positionsOnly && list.material >= 0 && size_t(list.material) < scene.materials.size());
    const bool lists = !mesh.triangles.empty();
    const bool positions = lists ? mesh.hasPositions : true, normals = lists && mesh.hasNormals,
               texCoords = lists && mesh.hasTexCoords;
    const int components = int(positions) + int(normals) + int(texCoords);
    const bool positionsOnly = positions && components == 1 && !materials;
    if (positionsOnly != mesh.positionsOnly || positions != mesh.hasPositions || normals != mesh.hasNormals ||
        texCoords != mesh.hasTexCoords || components != mesh.components) {
        TiXmlElement* streams = technique.Add("streams");
        SetAttr(streams, "positions_only", int(mesh.positionsOnly));
        SetAttr(streams, "positions", int(mesh.hasPositions));
        SetAttr(streams, "normals", int(mesh.hasNormals));
        SetAttr(streams, "texcoords", int(mesh.hasTexCoords));
        SetAttr(streams, "components", mesh.components);
    }
    const std::pair<const char*, const std::vector<float>*> streams[3] = {
        {"exact_positions", &mesh.positions}, {"exact_normals", &mesh.normals}, {"exact_texcoords", &mesh.texCoords}};
    for (const auto& stream : streams) {
        std::string code = F6Corrections(stream.second->data(), stream.second->size());
        if (!code.empty()) technique.AddText(stream.first, std::move(code));
    }
    for (size_t l = 0; l < mesh.triangles.size(); ++l)
        AddListZeroSigns(technique, mesh, l, AddListVertices(technique, mesh, l));
}

namespace {

// Whether the document gives a text back as these bytes: as an element's
// text (which may hold line breaks and tabs) or as an attribute. A reader
// drops an element text of white space only.
bool ReadsBackAsIs(const std::string& text, bool attribute) {
    if (AsDocumentReadsIt(text) != text) return false;
    bool blank = true;
    for (unsigned char c : text) {
        if (c == '\r' || (attribute && c < 0x20)) return false;
        blank = blank && (c == ' ' || c == '\t' || c == '\n');
    }
    return text.empty() || !blank;
}

// Each fact as <fact key="...">text</fact>, in order; one the document
// cannot hold as it is with its bytes instead of the text (scene/fact_texts.h).
void AddFacts(Technique& technique, const SceneFacts& facts) {
    for (const SceneFact& fact : facts) {
        TiXmlElement* element = technique.Add("fact");
        SetAttr(element, "key", fact.key);
        if (!ReadsBackAsIs(fact.key, true) || !ReadsBackAsIs(fact.text, false))
            SetAttr(element, "bytes", FactBytes(fact));
        else if (!fact.text.empty())
            AddText(element, fact.text.c_str());
    }
}

}  // namespace

void AddNodeExtra(TiXmlElement* node, const SceneNode& source) {
    Technique technique(node);
    if (source.nameOnly) {
        // (The mark keeps it name-only: a node with an extra is placed.)
        if (!source.facts.empty()) technique.Add("name_only");
    } else {
        bool exact = true;
        for (int i = 0; i < 3; ++i)
            exact = exact && source.rotation[i] == 0 && !std::signbit(source.rotation[i]) &&
                    SameBits(F6ReadsBackAs(source.translation[i]), source.translation[i]);
        if (!exact) {
            Words place;
            for (float v : source.translation) place.Exact(v);
            for (float v : source.rotation) place.Exact(v);
            technique.AddText("place", std::move(place.text));
        }
    }
    AddFacts(technique, source.facts);
}

void AddCurveExtra(TiXmlElement* animation, const SceneCurve& curve, double factor) {
    TiXmlElement* technique = AddVordaTechnique(animation);
    const AnimationCurve& data = curve.data;
    TiXmlElement* facts = AddChildElement(technique, "curve");
    SetAttr(facts, "name", data.name.value);
    SetAttr(facts, "name_index", data.nameIndex);
    SetAttr(facts, "index", data.index);
    SetAttr(facts, "flags", int(data.flags));
    SetAttr(facts, "trailer1", int64_t(data.trailer1));
    SetAttr(facts, "trailer2", int64_t(data.trailer2));
    SetAttr(facts, "property", int(curve.property));
    SetAttr(facts, "joint", curve.joint);
    SetAttr(facts, "target", curve.targetName);
    SetAttr(facts, "node", curve.node);
    // The keys as the reader gets them from the texts: times and values as
    // floats, tangents and interpolation words only with the tangent flag.
    const bool tangents = HasTangents(data);
    bool exact = true;
    for (const CurveKey& key : data.keys) {
        exact = exact && SameBits(double(GReadsBackAs(key.time)), key.time) &&
                SameBits(double(GReadsBackAs(key.value * factor)) / factor, key.value);
        if (tangents)
            exact = exact && SameBits(GReadsBackAs(double(key.inTangentX)), key.inTangentX) &&
                    SameBits(GReadsBackAs(double(key.outTangentX)), key.outTangentX) &&
                    SameBits(float(double(GReadsBackAs(double(key.inTangentY) * factor)) / factor), key.inTangentY) &&
                    SameBits(float(double(GReadsBackAs(double(key.outTangentY) * factor)) / factor), key.outTangentY) &&
                    key.interpolation <= 1;
        else
            exact = exact && SameBits(key.inTangentX, 0.0f) && SameBits(key.inTangentY, 0.0f) &&
                    SameBits(key.outTangentX, 0.0f) && SameBits(key.outTangentY, 0.0f) && key.interpolation == 0;
    }
    if (exact) return;
    // Per key: the time, the value, the tangents (in X and Y, out X and Y)
    // and the interpolation, exact.
    Words times, values, slopes, interpolations;
    for (const CurveKey& key : data.keys) {
        times.Exact(key.time);
        values.Exact(key.value);
        for (float v : {key.inTangentX, key.inTangentY, key.outTangentX, key.outTangentY}) slopes.Exact(v);
        interpolations.Int(int64_t(key.interpolation));
    }
    AddText(AddChildElement(technique, "key_times"), std::move(times.text));
    AddText(AddChildElement(technique, "key_values"), std::move(values.text));
    AddText(AddChildElement(technique, "key_tangents"), std::move(slopes.text));
    AddText(AddChildElement(technique, "key_interpolations"), std::move(interpolations.text));
}

namespace {

const char* KindWord(SceneImageKind kind) {
    switch (kind) {
        case SceneImageKind::kSourceDump: return "source";
        case SceneImageKind::kUnusedDump: return "unused";
        case SceneImageKind::kMap: break;
    }
    return "map";
}

void SetPictureFacts(TiXmlElement* facts, const SceneImage& image) {
    SetAttr(facts, "kind", KindWord(image.kind));
    SetAttr(facts, "key", image.key);
    SetAttr(facts, "stem", image.stem);
    SetAttr(facts, "output", image.output);
    SetAttr(facts, "format", image.format);
    SetAttr(facts, "has_alpha", int(image.hasAlpha));
    SetAttr(facts, "top_down", int(image.topDown));
    // An unused image that could not be decoded has no file.
    if (image.kind == SceneImageKind::kUnusedDump && image.picture.pixels.empty()) {
        SetAttr(facts, "no_file", 1);
        SetAttr(facts, "width", image.picture.width);
        SetAttr(facts, "height", image.picture.height);
    }
}

}  // namespace

void AddImageExtra(TiXmlElement* image, const SceneImage& source) {
    SetPictureFacts(AddChildElement(AddVordaTechnique(image), "picture"), source);
}

void AddImagesExtra(TiXmlElement* library, const Scene& scene) {
    Technique technique(library);
    for (size_t i = 0; i < scene.images.size(); ++i) {
        const SceneImage& image = scene.images[i];
        if (image.kind != SceneImageKind::kSourceDump) continue;
        TiXmlElement* facts = technique.Add("source_image");
        SetAttr(facts, "index", int64_t(i));
        SetAttr(facts, "file", AsDocumentReadsIt(TgaFileName(image)));
        SetPictureFacts(facts, image);
    }
}

void AddEffectExtra(TiXmlElement* effect, const SceneMaterial& material) {
    Technique technique(effect);
    if (material.unmapped || material.glow || material.name.compare(0, 8, "MATGLOW[") == 0) {
        TiXmlElement* flags = technique.Add("flags");
        SetAttr(flags, "unmapped", int(material.unmapped));
        SetAttr(flags, "glow", int(material.glow));
    }
    for (const SceneMapRef& map : material.maps) {
        TiXmlElement* element = technique.Add("map");
        SetAttr(element, "output", map.output);
        SetAttr(element, "image", map.image);
    }
    // A colour a map stands in for is not written: the reader keeps the default.
    static const SceneMaterial kDefaults;
    const std::pair<const float*, const float*> colours[4] = {
        {material.emission, material.Map(kMapGlow) ? kDefaults.emission : nullptr},
        {material.ambient, nullptr},
        {material.diffuse, material.Map(kMapDiffuse) ? kDefaults.diffuse : nullptr},
        {material.specular, material.Map(kMapSpecular) ? kDefaults.specular : nullptr}};
    bool exact = SameBits(F6ReadsBackAsDouble(material.transparency), material.transparency);
    for (const auto& colour : colours)
        for (int i = 0; i < 4; ++i)
            exact = exact && SameBits(colour.second ? colour.second[i] : F6ReadsBackAs(colour.first[i]), colour.first[i]);
    if (exact) return;
    Words text, transparency;
    for (const auto& colour : colours)
        for (int i = 0; i < 4; ++i) text.Exact(colour.first[i]);
    transparency.Exact(material.transparency);
    technique.AddText("colours", std::move(text.text));
    technique.AddText("transparency", std::move(transparency.text));
}

void AddSceneExtra(TiXmlElement* visualScene, const Scene& scene) {
    Technique technique(visualScene);
    // The scene's node numbers in the order the document lists the nodes
    // (each node, then its children), as runs of start and length.
    std::vector<int32_t> order, stack(scene.roots.rbegin(), scene.roots.rend());
    while (!stack.empty()) {
        const int32_t n = stack.back();
        stack.pop_back();
        order.push_back(n);
        const std::vector<int32_t>& children = scene.nodes[size_t(n)].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    bool identity = order.size() == scene.nodes.size();
    for (size_t i = 0; identity && i < order.size(); ++i) identity = order[i] == int32_t(i);
    if (!identity) {
        Words runs;
        for (size_t i = 0; i < order.size();) {
            size_t run = 1;
            while (i + run < order.size() && order[i + run] == order[i] + int32_t(run)) ++run;
            runs.Int(order[i]);
            runs.Int(int64_t(run));
            i += run;
        }
        technique.AddText("node_order", std::move(runs.text));
    }
    const double end = std::strtod(FormatG(scene.endTime).c_str(), nullptr);
    if (!SameBits(std::isfinite(end) ? end : kFrameSeconds, scene.endTime)) {
        Words text;
        text.Exact(scene.endTime);
        technique.AddText("end_time", std::move(text.text));
    }
    // A document holds UTF-8 text (bytes that are not stand for their
    // Windows-1252 characters, as in glTF); the texts whose characters XML
    // cannot hold, or turns into others (line breaks and tabs in an
    // attribute), go here as the bytes of their UTF-8 in hexadecimal.
    ForEachSceneText(scene, [&](const char* field, size_t index, size_t sub, const std::string& text) {
        const std::string utf8 = ToUtf8(text);
        if (AsDocumentReadsIt(text) == utf8 && utf8.find_first_of("\t\n\r") == std::string::npos) return;
        TiXmlElement* element = technique.Add("exact_text");
        SetAttr(element, "field", field);
        SetAttr(element, "index", int64_t(index));
        if (sub) SetAttr(element, "sub", int64_t(sub));
        if (!utf8.empty()) AddText(element, HexOfBytes(utf8));
    });
    for (const SceneClip& clip : scene.clips) {
        TiXmlElement* element = technique.Add("clip");
        SetAttr(element, "name", clip.name);
        const std::pair<const char*, double> times[4] = {
            {"start", clip.start}, {"end", clip.end}, {"loop_start", clip.loopStart}, {"loop_end", clip.loopEnd}};
        for (const auto& time : times) {
            std::string text;
            AppendExact(text, time.second);
            SetAttr(element, time.first, text);
        }
        for (const SceneTrack& track : clip.tracks) {
            TiXmlElement* t = AddChildElement(element, "track");
            SetAttr(t, "name", track.name);
            Words curves;
            for (int32_t c : track.curves) curves.Int(c);
            if (!curves.text.empty()) AddText(t, std::move(curves.text));
        }
    }
    AddFacts(technique, scene.facts);
}
