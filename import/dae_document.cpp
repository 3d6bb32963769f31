#include "import/dae_document.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "core/platform.h"

namespace {

using pugi::xml_node;

// Deeper nesting of animations than this is refused; the walk over them
// stays shallow. (Nodes are read by a walk with a list of its own, and
// refused past kMaxNodeNesting.)
constexpr int kMaxAnimationDepth = 256;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Room for `expected` values (a count the document states), at most what
// `length` characters of text can hold: a number and a separator each.
size_t RoomFor(uint64_t expected, size_t length) { return size_t(std::min<uint64_t>(expected, length / 2 + 1)); }

// Powers of ten a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The quick path of ParseFloats: a plain decimal ("-12.345678") whose digits
// a double holds exactly. Its quotient by the exact power of ten is the
// decimal rounded once; rounding that to a float gives the float nearest the
// decimal unless it fell exactly halfway between two floats, which the full
// reader then decides. False, reading nothing, for every other form
// (exponents, "nan", ".5", too many digits, text glued on).
bool PlainDecimal(const char*& at, const char* end, float& out) {
    const char* p = at;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t digits = 0;
    int count = 0, decimals = 0;
    const char* start = p;
    for (unsigned d; p < end && (d = unsigned(*p - '0')) < 10 && count < 19; ++p, ++count) digits = digits * 10 + d;
    if (p == start) return false;
    if (p < end && *p == '.') {
        const char* first = ++p;
        for (unsigned d; p < end && (d = unsigned(*p - '0')) < 10 && count < 19; ++p, ++count)
            digits = digits * 10 + d;
        decimals = int(p - first);
        if (decimals == 0) return false;
    }
    if ((p < end && !IsSpace(*p)) || digits > (uint64_t(1) << 53) || decimals > 22) return false;
    const double value = double(digits) / kPowersOfTen[decimals];
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    // The 29 bits a float drops, exactly half of its last place.
    if ((bits & 0x1FFFFFFFu) == 0x10000000u) return false;
    out = negative ? -float(value) : float(value);
    at = p;
    return true;
}

// Whitespace-separated numbers; false at anything that is not one (text
// glued to a number, a number past the double range). "nan" and "inf" are numbers:
// the writers print a damaged model's non-finite values so. `expected`
// (a count the document states) reserves room, at most what the text holds.
bool ParseFloats(const char* text, std::vector<float>& out, uint64_t expected = 0) {
    const char* p = text;
    const char* end = text + std::strlen(text);
    out.reserve(RoomFor(expected, size_t(end - p)));
    for (;;) {
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) return true;
        if (*p == '+') ++p;
        float v = 0;
        if (PlainDecimal(p, end, v)) {
            out.push_back(v);
            continue;
        }
        auto r = std::from_chars(p, end, v);
        if (r.ec == std::errc::result_out_of_range) {
            // Past the float range (a damaged model's curve value, written
            // from a double): the nearest float, zero or infinity.
            double wide = 0;
            r = std::from_chars(p, end, wide);
            v = float(wide);
        }
        if (r.ec != std::errc() || (r.ptr < end && !IsSpace(*r.ptr))) return false;
        out.push_back(v);
        p = r.ptr;
    }
}

// Whitespace-separated counts below 2^32, in decimal digits alone; false at
// anything else. `expected` reserves room as for ParseFloats.
bool ParseUints(const char* text, std::vector<uint32_t>& out, uint64_t expected = 0) {
    if (expected) out.reserve(RoomFor(expected, std::strlen(text)));
    // The text ends at its terminating zero, which is neither a digit nor a space.
    const char* p = text;
    for (;;) {
        while (IsSpace(*p)) ++p;
        if (!*p) return true;
        unsigned d = unsigned(*p - '0');
        if (d > 9) return false;
        uint64_t v = d;
        while ((d = unsigned(*++p - '0')) < 10)
            if ((v = v * 10 + d) > UINT32_MAX) return false;
        if (*p && !IsSpace(*p)) return false;
        out.push_back(uint32_t(v));
    }
}

bool ParseUint(const char* text, uint64_t& out) {
    const char* end = text + std::strlen(text);
    const auto r = std::from_chars(text, end, out);
    return *text && r.ec == std::errc() && r.ptr == end;
}

void ParseNames(const char* text, std::vector<std::string>& out) {
    const char* p = text;
    for (;;) {
        while (*p && IsSpace(*p)) ++p;
        if (!*p) return;
        const char* start = p;
        while (*p && !IsSpace(*p)) ++p;
        out.emplace_back(start, size_t(p - start));
    }
}

// "#id" -> "id"; other forms come back as they are.
std::string Fragment(const char* url) { return url[0] == '#' ? std::string(url + 1) : std::string(url); }

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

class DaeReader {
public:
    DaeReader(DaeDocument& doc, ReadFailure& failure) : doc_(doc), failure_(failure) {}

    // The document the extras are copied into, for DaeDocument::extras.
    std::shared_ptr<pugi::xml_document> TakeExtras() { return std::move(extras_); }

    bool Fail(const std::string& why) { return failure_.Set(doc_.path, why); }

    bool Read(const pugi::xml_document& xml) {
        const xml_node root = xml.document_element();
        if (std::strcmp(root.name(), "COLLADA") != 0)
            return Fail("not COLLADA: the document's element is <" + std::string(root.name()) + ">");
        for (xml_node n = root; n;) {  // ids of the whole document, in document order
            if (const char* id = n.attribute("id").value(); *id) ids_.emplace(id, n);
            if (n.first_child()) { n = n.first_child(); continue; }
            while (n && n != root && !n.next_sibling()) n = n.parent();
            if (!n || n == root) break;
            n = n.next_sibling();
        }
        const xml_node asset = root.child("asset");
        if (const xml_node unit = asset.child("unit")) {
            std::vector<float> meter;
            if (unit.attribute("meter") &&
                (!ParseFloats(unit.attribute("meter").value(), meter) || meter.size() != 1 || meter[0] <= 0))
                return Fail("<unit> meter=" + Quote(unit.attribute("meter").value()) + " is not a positive number");
            if (!meter.empty()) doc_.unitMeter = meter[0];
            if (unit.attribute("name")) doc_.unitName = unit.attribute("name").value();
        }
        if (const xml_node up = asset.child("up_axis")) doc_.upAxis = up.child_value();

        for (xml_node lib : root.children("library_images")) {
            Extras(lib, doc_.imagesExtra);
            for (xml_node e : lib.children("image")) {
                DaeImage image{e.attribute("id").value(), e.attribute("name").value(), "", Extras(e)};
                // 1.4 names the file directly, 1.5 in a <ref>.
                const xml_node init = e.child("init_from");
                image.initFrom = init.child("ref") ? init.child("ref").child_value() : init.child_value();
                index_[e.internal_object()] = int(doc_.images.size());
                doc_.images.push_back(image);
            }
        }
        for (xml_node lib : root.children("library_effects"))
            for (xml_node e : lib.children("effect"))
                if (!ReadEffect(e)) return false;
        for (xml_node lib : root.children("library_materials"))
            for (xml_node e : lib.children("material")) {
                DaeMaterial m{e.attribute("id").value(), e.attribute("name").value(), -1};
                const char* url = e.child("instance_effect").attribute("url").value();
                if (!Resolve(url, "effect", m.effect, "material " + Quote(m.id))) return false;
                index_[e.internal_object()] = int(doc_.materials.size());
                doc_.materials.push_back(m);
            }
        for (xml_node lib : root.children("library_geometries"))
            for (xml_node e : lib.children("geometry"))
                if (!ReadGeometry(e)) return false;
        for (xml_node lib : root.children("library_nodes"))
            for (xml_node e : lib.children("node"))
                if (ReadNode(e, -1) < 0) return false;
        xml_node scene;
        if (const char* url = root.child("scene").child("instance_visual_scene").attribute("url").value(); *url) {
            auto found = ids_.find(Fragment(url));
            if (found == ids_.end() || std::strcmp(found->second.name(), "visual_scene") != 0)
                return Fail("<instance_visual_scene> url=" + Quote(url) + " names no visual scene");
            scene = found->second;
        } else {
            scene = root.child("library_visual_scenes").child("visual_scene");
        }
        doc_.sceneId = scene.attribute("id").value();
        doc_.sceneName = scene.attribute("name").value();
        doc_.sceneExtra = Extras(scene);
        for (xml_node e : scene.children("node")) {
            const int n = ReadNode(e, -1);
            if (n < 0) return false;
            doc_.roots.push_back(n);
        }
        if (!ResolveInstanceNodes()) return false;
        for (xml_node lib : root.children("library_animations"))
            for (xml_node e : lib.children("animation"))
                if (!ReadAnimation(e, -1, 0)) return false;
        return true;
    }

private:
    // Every <extra> directly below `parent`, copied to the holder of `out`
    // (made with the first one). Copied, not printed: no text is escaped
    // and read again.
    void Extras(xml_node parent, DaeExtras& out) {
        for (xml_node e = parent.child("extra"); e; e = e.next_sibling("extra")) {
            if (!extras_) extras_ = std::make_shared<pugi::xml_document>();
            if (!out.holder) out.holder = extras_->append_child("extras").internal_object();
            xml_node(out.holder).append_copy(e);
        }
    }
    DaeExtras Extras(xml_node parent) {
        DaeExtras out;
        Extras(parent, out);
        return out;
    }

    // The index of the element `url` names, which must be a `kind` element
    // read already.
    bool Resolve(const char* url, const char* kind, int& out, const std::string& where) {
        auto found = ids_.find(Fragment(url));
        if (found != ids_.end() && std::strcmp(found->second.name(), kind) == 0) {
            auto at = index_.find(found->second.internal_object());
            if (at != index_.end()) {
                out = at->second;
                return true;
            }
        }
        return Fail(where + " names " + Quote(url) + ", which is no " + kind + " of the document");
    }

    bool ReadSource(xml_node e, DaeSource& s, const std::string& where) {
        s.id = e.attribute("id").value();
        s.name = e.attribute("name").value();
        const std::string at = where + " source " + Quote(s.id);
        xml_node array;
        bool numbers = true;
        for (xml_node c : e.children()) {
            const char* n = c.name();
            if (!std::strcmp(n, "float_array") || !std::strcmp(n, "int_array") || !std::strcmp(n, "bool_array")) {
                array = c;
            } else if (!std::strcmp(n, "Name_array") || !std::strcmp(n, "IDREF_array")) {
                array = c;
                numbers = false;
            }
        }
        std::vector<float> floats;
        std::vector<std::string> names;
        size_t held = 0;
        if (array) {
            if (std::strcmp(array.name(), "bool_array") == 0) return Fail(at + ": bool arrays are not read");
            uint64_t declared = 0;
            const bool counted = ParseUint(array.attribute("count").value(), declared);
            if (numbers && !ParseFloats(array.child_value(), floats, counted ? declared : 0))
                return Fail(at + ": <" + std::string(array.name()) + "> holds something that is not a number");
            if (!numbers) ParseNames(array.child_value(), names);
            held = numbers ? floats.size() : names.size();
            if (array.attribute("count") && (!counted || declared != held))
                return Fail(at + ": the array says count=" + Quote(array.attribute("count").value()) + " but holds " +
                            std::to_string(held) + " values");
        }
        const xml_node accessor = e.child("technique_common").child("accessor");
        if (!accessor) {
            s.count = held;
            s.floats = std::move(floats);
            s.names = std::move(names);
            return true;
        }
        uint64_t offset = 0, stride = 1;
        const char* count = accessor.attribute("count").value();
        if (!ParseUint(count, s.count)) return Fail(at + ": accessor count=" + Quote(count) + " is not a count");
        if (accessor.attribute("offset") && !ParseUint(accessor.attribute("offset").value(), offset))
            return Fail(at + ": accessor offset is not a count");
        if (accessor.attribute("stride") &&
            (!ParseUint(accessor.attribute("stride").value(), stride) || stride == 0 || stride > 64))
            return Fail(at + ": accessor stride is not a count from 1 to 64");
        s.stride = uint32_t(stride);
        for (xml_node p : accessor.children("param")) s.params.push_back(p.attribute("name").value());
        if (s.params.size() > stride) return Fail(at + ": the accessor has more params than its stride");
        if (!array || Fragment(accessor.attribute("source").value()) != array.attribute("id").value())
            return Fail(at + ": the accessor reads " + Quote(accessor.attribute("source").value()) +
                        ", not the source's own array");
        // Each element reads at least one value; count <= held keeps the
        // product from overflowing.
        const uint64_t used = std::max<uint64_t>(s.params.size(), 1);
        if (s.count > 0 && (offset > held || s.count > held || stride * (s.count - 1) + used > held - offset))
            return Fail(at + ": the accessor reads " + std::to_string(s.count) + " elements of stride " +
                        std::to_string(stride) + " from an array of " + std::to_string(held) + " values");
        if (numbers) {
            // count * stride values from offset; the last element may end
            // with its params, its unnamed values then read as 0.
            const size_t n = size_t(s.count * stride);
            if (offset == 0 && floats.size() >= n) {
                floats.resize(n);
                s.floats = std::move(floats);
            } else {
                s.floats.assign(n, 0.0f);
                for (size_t i = 0; i < n && offset + i < floats.size(); ++i) s.floats[i] = floats[size_t(offset) + i];
            }
        } else {
            for (uint64_t i = 0; i < s.count; ++i) s.names.push_back(names[size_t(offset + i * stride)]);
        }
        return true;
    }

    bool ReadInputs(xml_node parent, const std::vector<xml_node>& sourceNodes,
                    xml_node vertices, std::vector<DaeInput>& out, const std::string& where) {
        for (xml_node i : parent.children("input")) {
            DaeInput input;
            input.semantic = i.attribute("semantic").value();
            const char* url = i.attribute("source").value();
            uint64_t v = 0;
            if (i.attribute("offset")) {
                if (!ParseUint(i.attribute("offset").value(), v) || v > 63)
                    return Fail(where + ": input offset is not a count below 64");
                input.offset = uint32_t(v);
            }
            if (i.attribute("set")) {
                if (!ParseUint(i.attribute("set").value(), v) || v > 63)
                    return Fail(where + ": input set is not a count below 64");
                input.set = int(v);
            }
            auto found = ids_.find(Fragment(url));
            if (found != ids_.end() && vertices && found->second == vertices) {
                input.source = -1;
            } else {
                // The sources beside the input first: a document repeating
                // an id elsewhere still reads its own.
                for (size_t k = 0; k < sourceNodes.size() && input.source < 0; ++k)
                    if (Fragment(url) == sourceNodes[k].attribute("id").value()) input.source = int(k);
                for (size_t k = 0; k < sourceNodes.size() && input.source < 0; ++k)
                    if (found != ids_.end() && sourceNodes[k] == found->second) input.source = int(k);
                if (input.source < 0)
                    return Fail(where + ": input " + input.semantic + " reads " + Quote(url) + ", which is no source here");
            }
            out.push_back(input);
        }
        return true;
    }

    bool ReadGeometry(xml_node e) {
        DaeGeometry g;
        g.id = e.attribute("id").value();
        g.name = e.attribute("name").value();
        g.extra = Extras(e);
        const std::string at = "geometry " + Quote(g.id);
        const xml_node mesh = e.child("mesh");
        std::vector<xml_node> sourceNodes;
        for (xml_node s : mesh.children("source")) {
            g.sources.emplace_back();
            if (!ReadSource(s, g.sources.back(), at)) return false;
            sourceNodes.push_back(s);
        }
        const xml_node vertices = mesh.child("vertices");
        if (!ReadInputs(vertices, sourceNodes, xml_node(), g.vertexInputs, at + " <vertices>")) return false;
        // The vertex count: the smallest of what <vertices> gathers.
        uint64_t vertexCount = 0;
        bool first = true;
        for (const DaeInput& i : g.vertexInputs) {
            vertexCount = first ? g.sources[size_t(i.source)].count : std::min(vertexCount, g.sources[size_t(i.source)].count);
            first = false;
        }
        int partNumber = 0;
        for (xml_node p : mesh.children()) {
            const std::string kind = p.name();
            if (kind != "triangles" && kind != "polylist" && kind != "polygons" && kind != "tristrips" &&
                kind != "trifans") {
                if (kind == "lines" || kind == "linestrips") ++partNumber, g.lines = true;
                continue;
            }
            const std::string where = at + " <" + kind + "> " + std::to_string(partNumber++);
            DaeTriangles part;
            part.material = p.attribute("material").value();
            if (!ReadInputs(p, sourceNodes, vertices, part.inputs, where)) return false;
            uint32_t stride = 1;
            for (const DaeInput& i : part.inputs) {
                stride = std::max(stride, i.offset + 1);
                if (i.source < 0 && !vertices) return Fail(where + ": a VERTEX input without <vertices>");
            }
            part.stride = stride;
            uint64_t count = 0;
            if (!ParseUint(p.attribute("count").value(), count))
                return Fail(where + ": count=" + Quote(p.attribute("count").value()) + " is not a count");
            if (!Triangulate(p, kind, count, part, where)) return false;
            // Every index within what its input reads.
            for (const DaeInput& i : part.inputs) {
                const uint64_t limit = i.source < 0 ? vertexCount : g.sources[size_t(i.source)].count;
                for (size_t k = i.offset; k < part.indices.size(); k += stride)
                    if (part.indices[k] >= limit)
                        return Fail(where + ": index " + std::to_string(part.indices[k]) + " of input " + i.semantic +
                                    " is past its " + std::to_string(limit) + " elements");
            }
            g.parts.push_back(std::move(part));
        }
        index_[e.internal_object()] = int(doc_.geometries.size());
        doc_.geometries.push_back(std::move(g));
        return true;
    }

    // Appends the corners (stride indices each) of triangle a, b, c.
    static void Corner3(const std::vector<uint32_t>& from, size_t a, size_t b, size_t c, uint32_t stride,
                        std::vector<uint32_t>& to) {
        for (size_t corner : {a, b, c})
            to.insert(to.end(), from.begin() + long(corner * stride), from.begin() + long((corner + 1) * stride));
    }

    bool Triangulate(xml_node p, const std::string& kind, uint64_t count, DaeTriangles& part, const std::string& where) {
        const uint32_t stride = part.stride;
        std::vector<uint32_t> values;
        // `corners` (what the counts say) reserves room for the indices.
        auto indices = [&](xml_node list, std::vector<uint32_t>& out, uint64_t corners) {
            out.clear();
            if (!ParseUints(list.child_value(), out, corners * stride))
                return Fail(where + ": <p> holds something that is not an index");
            if (out.size() % stride != 0)
                return Fail(where + ": <p> holds " + std::to_string(out.size()) + " indices, not a whole number of " +
                            std::to_string(stride) + "-index corners");
            return true;
        };
        if (kind == "triangles") {
            if (!indices(p.child("p"), values, std::min<uint64_t>(count, UINT32_MAX) * 3)) return false;
            if (values.size() / stride != count * 3)
                return Fail(where + ": count=" + std::to_string(count) + " but <p> holds " +
                            std::to_string(values.size() / stride) + " corners");
            part.indices = std::move(values);
            return true;
        }
        if (kind == "polylist") {
            std::vector<uint32_t> vcount;
            if (!ParseUints(p.child("vcount").child_value(), vcount, count))
                return Fail(where + ": <vcount> holds something that is not a count");
            if (vcount.size() != count)
                return Fail(where + ": count=" + std::to_string(count) + " but <vcount> lists " +
                            std::to_string(vcount.size()) + " polygons");
            uint64_t corners = 0;
            for (uint32_t n : vcount) corners += n;
            if (!indices(p.child("p"), values, corners)) return false;
            if (corners != values.size() / stride)
                return Fail(where + ": <vcount> adds up to " + std::to_string(corners) + " corners but <p> holds " +
                            std::to_string(values.size() / stride));
            size_t at = 0;
            for (uint32_t n : vcount) {
                if (n < 3) return Fail(where + ": a polygon of fewer than 3 corners");
                for (uint32_t k = 1; k + 1 < n; ++k) Corner3(values, at, at + k, at + k + 1, stride, part.indices);
                at += n;
            }
            return true;
        }
        // polygons, tristrips and trifans: one <p> per polygon, strip or fan.
        if (p.child("ph")) return Fail(where + ": polygons with holes are not read");
        uint64_t lists = 0;
        for (xml_node list : p.children("p")) {
            ++lists;
            if (!indices(list, values, 0)) return false;
            const size_t n = values.size() / stride;
            if (n < 3) return Fail(where + ": a <p> of fewer than 3 corners");
            for (size_t k = 0; k + 2 < n; ++k) {
                if (kind == "tristrips")  // every second triangle turns the other way
                    Corner3(values, k, k % 2 ? k + 2 : k + 1, k % 2 ? k + 1 : k + 2, stride, part.indices);
                else
                    Corner3(values, 0, k + 1, k + 2, stride, part.indices);
            }
        }
        if (lists != count)
            return Fail(where + ": count=" + std::to_string(count) + " but it holds " + std::to_string(lists) + " <p>");
        return true;
    }

    bool ColorOrTexture(xml_node e, xml_node effect, DaeColorOrTexture& out, const std::string& where) {
        if (!e) return true;
        out.present = true;
        if (const xml_node color = e.child("color")) {
            std::vector<float> v;
            if (!ParseFloats(color.child_value(), v) || v.size() < 3 || v.size() > 4)
                return Fail(where + ": <color> is not 3 or 4 numbers");
            for (size_t i = 0; i < v.size(); ++i) out.color[i] = v[i];
        }
        const xml_node texture = e.child("texture");
        if (!texture) return true;
        out.texcoord = texture.attribute("texcoord").value();
        out.extra = Extras(texture);
        // texture -> sampler2D newparam -> its source -> surface newparam -> image.
        const std::string name = texture.attribute("texture").value();
        std::string image = name;
        if (const xml_node sampler = NewParam(effect, name).child("sampler2D")) {
            const std::string surface = sampler.child("source").child_value();
            const xml_node s = NewParam(effect, surface).child("surface");
            image = s ? s.child("init_from").child_value() : surface;
        }
        return Resolve(image.c_str(), "image", out.image, where + " <texture> " + Quote(name));
    }

    // The <newparam> of the effect (or of one of its profiles or techniques)
    // whose sid is `sid`; null when there is none.
    static xml_node NewParam(xml_node effect, const std::string& sid) {
        for (xml_node scope : {effect, effect.child("profile_COMMON"), effect.child("profile_COMMON").child("technique")})
            for (xml_node p : scope.children("newparam"))
                if (sid == p.attribute("sid").value()) return p;
        return xml_node();
    }

    bool ReadFloatParam(xml_node e, float& out, const std::string& where) {
        if (!e) return true;
        std::vector<float> v;
        if (!ParseFloats(e.child("float").child_value(), v) || v.size() > 1)
            return Fail(where + ": <" + std::string(e.name()) + "> is not one number");
        if (!v.empty()) out = v[0];
        return true;
    }

    bool ReadEffect(xml_node e) {
        DaeEffect fx;
        fx.id = e.attribute("id").value();
        fx.name = e.attribute("name").value();
        fx.extra = Extras(e);
        const std::string at = "effect " + Quote(fx.id);
        const xml_node technique = e.child("profile_COMMON").child("technique");
        xml_node shading;
        for (const char* kind : {"phong", "blinn", "lambert", "constant"})
            if ((shading = technique.child(kind))) {
                fx.shading = kind;
                break;
            }
        const std::pair<const char*, DaeColorOrTexture*> slots[] = {
            {"emission", &fx.emission}, {"ambient", &fx.ambient},         {"diffuse", &fx.diffuse},
            {"specular", &fx.specular}, {"reflective", &fx.reflective}, {"transparent", &fx.transparent}};
        for (const auto& slot : slots)
            if (!ColorOrTexture(shading.child(slot.first), e, *slot.second, at + " <" + slot.first + ">")) return false;
        fx.opaque = shading.child("transparent").attribute("opaque").value();
        if (!ReadFloatParam(shading.child("shininess"), fx.shininess, at) ||
            !ReadFloatParam(shading.child("reflectivity"), fx.reflectivity, at) ||
            !ReadFloatParam(shading.child("transparency"), fx.transparency, at))
            return false;
        // A normal map stands in a technique's <extra> under any profile.
        for (xml_node t : technique.child("extra").children("technique"))
            if (xml_node bump = t.child("bump")) {
                if (!ColorOrTexture(bump, e, fx.bump, at + " <bump>")) return false;
                break;
            }
        index_[e.internal_object()] = int(doc_.effects.size());
        doc_.effects.push_back(std::move(fx));
        return true;
    }

    bool ReadTransform(xml_node c, DaeNode& node, const std::string& where) {
        static const std::pair<const char*, std::pair<DaeTransform::Kind, size_t>> kKinds[] = {
            {"translate", {DaeTransform::kTranslate, 3}}, {"rotate", {DaeTransform::kRotate, 4}},
            {"scale", {DaeTransform::kScale, 3}},         {"matrix", {DaeTransform::kMatrix, 16}},
            {"lookat", {DaeTransform::kLookAt, 9}},       {"skew", {DaeTransform::kSkew, 7}}};
        for (const auto& k : kKinds) {
            if (std::strcmp(c.name(), k.first) != 0) continue;
            std::vector<float> v;
            if (!ParseFloats(c.child_value(), v) || v.size() != k.second.second)
                return Fail(where + ": <" + std::string(k.first) + "> is not " + std::to_string(k.second.second) +
                            " numbers");
            DaeTransform t;
            t.kind = k.second.first;
            t.sid = c.attribute("sid").value();
            std::copy(v.begin(), v.end(), t.values);
            node.transforms.push_back(t);
        }
        return true;
    }

    // An <instance_geometry> or <instance_controller> (whose skin or morph
    // names the geometry placed) with its material bindings.
    bool ReadInstance(xml_node c, DaeInstanceGeometry& g, const std::string& at) {
        const char* url = c.attribute("url").value();
        if (!std::strcmp(c.name(), "instance_controller")) {
            auto found = ids_.find(Fragment(url));
            if (found == ids_.end() || std::strcmp(found->second.name(), "controller") != 0)
                return Fail(at + " <instance_controller> names " + Quote(url) + ", which is no controller of the document");
            const xml_node controller = found->second;
            xml_node source = controller.child("skin");
            g.skin = bool(source);
            if (const xml_node shape = source.child("bind_shape_matrix")) {
                std::vector<float> v;
                if (!ParseFloats(shape.child_value(), v) || v.size() != 16)
                    return Fail(at + " <bind_shape_matrix> is not 16 numbers");
                bindShape_.kind = DaeTransform::kMatrix;
                std::copy(v.begin(), v.end(), bindShape_.values);
                hasBindShape_ = true;
            }
            if (!source) source = controller.child("morph");
            g.morph = !g.skin && bool(source);
            // (A skin may stand on a morph: its geometry is the morph's.)
            for (int step = 0; step < 2 && source; ++step) {
                url = source.attribute("source").value();
                found = ids_.find(Fragment(url));
                if (found == ids_.end() || std::strcmp(found->second.name(), "controller") != 0) break;
                source = found->second.child("morph");
                g.morph = g.morph || bool(source);
            }
        }
        if (!Resolve(url, "geometry", g.geometry, at + " <" + c.name() + ">")) return false;
        for (xml_node m : c.child("bind_material").child("technique_common").children("instance_material")) {
            DaeMaterialBinding b{m.attribute("symbol").value(), -1, {}};
            if (!Resolve(m.attribute("target").value(), "material", b.material, at + " <instance_material>"))
                return false;
            for (xml_node v : m.children("bind_vertex_input")) {
                DaeVertexBinding vb{v.attribute("semantic").value(), v.attribute("input_semantic").value(), 0};
                uint64_t set = 0;
                if (v.attribute("input_set") && (!ParseUint(v.attribute("input_set").value(), set) || set > 63))
                    return Fail(at + ": <bind_vertex_input> input_set is not a count below 64");
                vb.inputSet = int(set);
                b.vertexInputs.push_back(vb);
            }
            g.bindings.push_back(b);
        }
        return true;
    }

    // Reads a node and everything below it, the nodes numbered in document
    // order (a walk with a list of its own, however deep the nesting); its
    // index, or -1 on failure.
    int ReadNode(xml_node top, int topParent) {
        const int first = int(doc_.nodes.size());
        struct Pending {
            xml_node e;
            int parent, depth;
        };
        std::vector<Pending> pending{{top, topParent, 0}};
        std::vector<xml_node> below;
        while (!pending.empty()) {
            const xml_node e = pending.back().e;
            const int parent = pending.back().parent, depth = pending.back().depth;
            pending.pop_back();
            if (depth > kMaxNodeNesting) {
                Fail(NestingTooDeep());
                return -1;
            }
            const int self = int(doc_.nodes.size());
            if (self > first && parent >= 0) doc_.nodes[size_t(parent)].children.push_back(self);
            doc_.nodes.emplace_back();
            index_[e.internal_object()] = self;
            {
                DaeNode& node = doc_.nodes.back();
                node.id = e.attribute("id").value();
                node.name = e.attribute("name").value();
                node.sid = e.attribute("sid").value();
                node.type = e.attribute("type").value();
                node.parent = parent;
                node.extra = Extras(e);
            }
            const std::string at = "node " + Quote(doc_.nodes[size_t(self)].id.empty() ? doc_.nodes[size_t(self)].name
                                                                                        : doc_.nodes[size_t(self)].id);
            below.clear();
            hasBindShape_ = false;
            for (xml_node c : e.children()) {
                const char* kind = c.name();
                if (!std::strcmp(kind, "node")) {
                    below.push_back(c);
                } else if (!std::strcmp(kind, "instance_geometry") || !std::strcmp(kind, "instance_controller")) {
                    DaeInstanceGeometry g;
                    if (!ReadInstance(c, g, at)) return -1;
                    doc_.nodes[size_t(self)].geometries.push_back(std::move(g));
                } else if (!std::strcmp(kind, "instance_node")) {
                    pendingInstances_.emplace_back(self, c.attribute("url").value());
                } else if (!std::strcmp(kind, "instance_camera")) {
                    doc_.nodes[size_t(self)].camera = true;
                } else if (!std::strcmp(kind, "instance_light")) {
                    doc_.nodes[size_t(self)].light = true;
                } else if (!ReadTransform(c, doc_.nodes[size_t(self)], at)) {
                    return -1;
                }
            }
            if (hasBindShape_) doc_.nodes[size_t(self)].transforms.push_back(bindShape_);
            for (auto c = below.rbegin(); c != below.rend(); ++c) pending.push_back({*c, self, depth + 1});
        }
        return first;
    }

    // instance_node references resolved once every node is read, and no
    // node placed (through children or instances) inside itself.
    bool ResolveInstanceNodes() {
        for (const auto& pending : pendingInstances_) {
            int target = -1;
            if (!Resolve(pending.second.c_str(), "node", target,
                         "node " + Quote(doc_.nodes[size_t(pending.first)].id) + " <instance_node>"))
                return false;
            doc_.nodes[size_t(pending.first)].instanceNodes.push_back(target);
        }
        if (pendingInstances_.empty()) return true;
        // 0 unvisited, 1 on the walk's path, 2 done.
        std::vector<char> state(doc_.nodes.size(), 0);
        for (size_t start = 0; start < doc_.nodes.size(); ++start) {
            if (state[start]) continue;
            std::vector<std::pair<int, size_t>> path{{int(start), 0}};
            state[start] = 1;
            while (!path.empty()) {
                auto& [n, next] = path.back();
                const DaeNode& node = doc_.nodes[size_t(n)];
                const size_t edges = node.children.size() + node.instanceNodes.size();
                if (next == edges) {
                    state[size_t(n)] = 2;
                    path.pop_back();
                    continue;
                }
                const int to = next < node.children.size() ? node.children[next]
                                                           : node.instanceNodes[next - node.children.size()];
                ++next;
                if (state[size_t(to)] == 1)
                    return Fail("node " + Quote(doc_.nodes[size_t(to)].id) + " is placed inside itself (a cycle of the node tree)");
                if (state[size_t(to)] == 0) {
                    state[size_t(to)] = 1;
                    path.emplace_back(to, 0);
                }
            }
        }
        return true;
    }

    bool ReadAnimation(xml_node e, int parent, int depth) {
        if (depth > kMaxAnimationDepth) return Fail("animations nested deeper than " + std::to_string(kMaxAnimationDepth));
        const int self = int(doc_.animations.size());
        DaeAnimation a;
        a.id = e.attribute("id").value();
        a.name = e.attribute("name").value();
        a.parentAnimation = parent;
        a.extra = Extras(e);
        const std::string at = "animation " + Quote(a.id);
        std::vector<xml_node> sourceNodes, samplerNodes;
        for (xml_node s : e.children("source")) {
            a.sources.emplace_back();
            if (!ReadSource(s, a.sources.back(), at)) return false;
            sourceNodes.push_back(s);
        }
        for (xml_node s : e.children("sampler")) {
            DaeSampler sampler;
            sampler.id = s.attribute("id").value();
            if (!ReadInputs(s, sourceNodes, xml_node(), sampler.inputs, at + " sampler " + Quote(sampler.id)))
                return false;
            a.samplers.push_back(std::move(sampler));
            samplerNodes.push_back(s);
        }
        for (xml_node c : e.children("channel")) {
            DaeChannel channel;
            const char* url = c.attribute("source").value();
            auto found = ids_.find(Fragment(url));
            for (size_t k = 0; k < samplerNodes.size() && channel.sampler < 0; ++k)
                if (Fragment(url) == samplerNodes[k].attribute("id").value()) channel.sampler = int(k);
            for (size_t k = 0; k < samplerNodes.size() && channel.sampler < 0; ++k)
                if (found != ids_.end() && samplerNodes[k] == found->second) channel.sampler = int(k);
            if (channel.sampler < 0) return Fail(at + ": channel reads " + Quote(url) + ", which is no sampler here");
            channel.target = c.attribute("target").value();
            const std::string nodeId = channel.target.substr(0, channel.target.find('/'));
            auto node = ids_.find(nodeId);
            if (node != ids_.end()) {
                auto idx = index_.find(node->second.internal_object());
                if (idx != index_.end() && std::strcmp(node->second.name(), "node") == 0) channel.node = idx->second;
            }
            a.channels.push_back(channel);
        }
        doc_.animations.push_back(std::move(a));
        for (xml_node child : e.children("animation"))
            if (!ReadAnimation(child, self, depth + 1)) return false;
        return true;
    }

    DaeDocument& doc_;
    ReadFailure& failure_;
    std::unordered_map<std::string, xml_node> ids_;             // the first element of each id
    std::unordered_map<pugi::xml_node_struct*, int> index_;     // element -> its index in its list
    std::vector<std::pair<int, std::string>> pendingInstances_;  // node, url
    DaeTransform bindShape_;      // the bind shape matrix of the node read last,
    bool hasBindShape_ = false;   // when it places a skin
    std::shared_ptr<pugi::xml_document> extras_;
};

}  // namespace

bool ReadDaeBytes(std::vector<unsigned char>& bytes, const std::string& path, DaeDocument& doc, ReadFailure& failure) {
    doc = DaeDocument();
    doc.path = path;
    doc.inputBytes = bytes.size();
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed =
        xml.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed)
        return failure.Set(path, std::string("not XML: ") + parsed.description() + " at byte " +
                                     std::to_string(parsed.offset));
    DaeReader reader(doc, failure);
    if (reader.Read(xml)) {
        doc.extras = reader.TakeExtras();
        return true;
    }
    doc = DaeDocument();
    doc.path = path;
    return false;
}

bool ReadDaeFile(const std::string& path, DaeDocument& doc, ReadFailure& failure) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path.c_str(), bytes)) return failure.Set(path, "cannot read the file - " + LastErrorText());
    return ReadDaeBytes(bytes, path, doc, failure);
}
