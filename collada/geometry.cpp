#include "collada/geometry.h"

#include <cmath>
#include <cstring>

#include "collada/xml_blocks.h"
#include "model/mesh_info.h"

namespace {

// De-duplicated value list with a hash index: a value's number is the order of
// its first occurrence, exactly as a linear search from the start would give,
// but in constant time per lookup. Floats compare as floats: +0 equals -0, and
// a NaN equals nothing, so a value holding a NaN always becomes a new entry.
// The slots hold the values themselves, so a lookup touches one place in
// memory (a large mesh's lists are far bigger than the processor's caches).
template <int N>
struct ValueList {
    struct Slot {
        float v[N];
        int32_t number;  // -1: empty
    };
    std::vector<float> values;  // N floats per entry, in numbering order
    std::vector<Slot> slots;    // open addressing with linear probing
    size_t count = 0;           // entries in values
    size_t indexed = 0;         // entries in slots (those without a NaN)

    static uint32_t KeyBits(float f) {
        if (f == 0.0f) return 0;  // +0 and -0 hash alike, as they compare equal
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u;
    }

    static size_t Hash(const float* v) {
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < N; ++i) {
            h ^= KeyBits(v[i]);
            h *= 0xFF51AFD7ED558CCDull;
            h ^= h >> 29;
        }
        return size_t(h ^ (h >> 32));
    }

    static bool Equal(const float* a, const float* b) {
        for (int i = 0; i < N; ++i)
            if (!(a[i] == b[i])) return false;
        return true;
    }

    // Doubles the slots (load stays at most one half); amortised linear.
    void Grow() {
        std::vector<Slot> old;
        old.swap(slots);
        Slot empty{};
        empty.number = -1;
        slots.assign(old.empty() ? 4096 : old.size() * 2, empty);
        const size_t mask = slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.number < 0) continue;
            size_t s = Hash(slot.v) & mask;
            while (slots[s].number >= 0) s = (s + 1) & mask;
            slots[s] = slot;
        }
    }

    int32_t Append(const float* v) {
        values.insert(values.end(), v, v + N);
        return int32_t(count++);
    }

    void Prefetch(const float* v) const {
        if (!slots.empty()) __builtin_prefetch(&slots[Hash(v) & (slots.size() - 1)]);
    }

    int32_t Find(const float* v) {
        for (int i = 0; i < N; ++i)
            if (std::isnan(v[i])) return Append(v);
        if ((indexed + 1) * 2 > slots.size()) Grow();
        const size_t mask = slots.size() - 1;
        size_t s = Hash(v) & mask;
        while (slots[s].number >= 0) {
            if (Equal(slots[s].v, v)) return slots[s].number;
            s = (s + 1) & mask;
        }
        const int32_t number = Append(v);
        std::memcpy(slots[s].v, v, sizeof slots[s].v);
        slots[s].number = number;
        ++indexed;
        return number;
    }
};

const char* const kXyz[3] = {"X", "Y", "Z"};
const char* const kSt[2] = {"S", "T"};

TiXmlElement* StartGeometry(const std::string& name, TiXmlElement*& mesh, TiXmlElement*& vertices) {
    TiXmlElement* geometry = new TiXmlElement("geometry");
    SetAttr(geometry, "id", name + "-lib");
    SetAttr(geometry, "name", name + "Mesh");
    mesh = AddChildElement(geometry, "mesh");
    vertices = AddChildElement(mesh, "vertices");
    return geometry;
}

// A "source" inserted just before "vertices" (an empty element is cheap to
// copy, so it is filled after the insertion) and filled with the floats.
void InsertSource(TiXmlElement* mesh, TiXmlElement* vertices, size_t count, const float* data,
                  const std::string& id, int stride, const char* const* names) {
    TiXmlElement empty("source");
    TiXmlNode* placed = mesh->InsertBeforeChild(vertices, empty);
    if (!placed) return;
    WriteFloatSource(placed->ToElement(), count, data, id.c_str(), stride, names);
}

void FinishVertices(TiXmlElement* vertices, const std::string& name) {
    SetAttr(vertices, "id", name + "-VERTEX");
    TiXmlElement* input = AddChildElement(vertices, "input");
    SetAttr(input, "semantic", "POSITION");
    SetAttr(input, "source", "#" + name + "-POSITION");
}

int64_t PartTriangleCount(const MeshPart& part) {
    int64_t total = 0;
    for (const PrimitiveGroup& g : part.groups) total += GroupTriangleCount(g.type, g.indexCount);
    return total;
}

}  // namespace

GeometryResult WriteMeshGeometry(const Model& model, const Mesh& mesh, const std::string& name,
                                 const char* target, uint32_t mask) {
    GeometryResult result;
    TiXmlElement* meshElement = nullptr;
    TiXmlElement* vertices = nullptr;
    result.geometry = StartGeometry(name, meshElement, vertices);

    const uint32_t inputMask = mask & (kFormatPosition | kFormatNormal | kFormatTexCoord);
    const bool withTarget = target && target[0];
    const bool wantPos = inputMask & kFormatPosition;
    const bool wantNormal = inputMask & kFormatNormal;
    const bool wantUv = inputMask & kFormatTexCoord;

    // Parts bucketed by material once, so the material-ordered walk below is
    // linear in parts however many materials the model has. A part whose
    // material is not a valid index belongs to no turn and is not written.
    // With a target every part is in the one turn, materials or not.
    const size_t materialCount = withTarget ? 1 : model.materials.size();
    std::vector<std::vector<const MeshPart*>> byMaterial(materialCount);
    for (const MeshPart& part : mesh.parts) {
        int64_t m = withTarget ? 0 : int64_t(part.materialIndex);
        if (m >= 0 && size_t(m) < materialCount) byMaterial[size_t(m)].push_back(&part);
    }

    size_t vertexTotal = 0;
    for (const MeshPart& part : mesh.parts) vertexTotal += size_t(part.vertexCount > 0 ? part.vertexCount : 0);
    ValueList<3> positions;
    ValueList<3> normals;
    ValueList<2> uvs;
    if (wantPos) positions.values.reserve(vertexTotal * 3);
    if (wantNormal) normals.values.reserve(vertexTotal * 3);
    if (wantUv) uvs.values.reserve(vertexTotal * 2);

    int components = 0;
    int offsetPos = -1, offsetNormal = -1, offsetUv = -1;
    if (wantPos) offsetPos = components++;
    if (wantNormal) offsetNormal = components++;
    if (wantUv) offsetUv = components++;

    std::vector<int32_t> table;
    for (size_t m = 0; m < materialCount; ++m) {
        if (byMaterial[m].empty()) continue;
        result.materials.push_back(int32_t(m));
        std::string materialName;
        if (withTarget) {
            // The symbol the instance binds: the target without its "#".
            materialName = target[0] == '#' ? target + 1 : target;
        } else if (const Material* material = model.materials[m].get()) {
            materialName = "MAT[" + material->name.value + "]_SHD[" + material->shader.value + "]";
        }
        for (const MeshPart* part : byMaterial[m]) {
            const int64_t triangles = PartTriangleCount(*part);
            if (triangles <= 0) continue;
            TiXmlElement* tri = AddChildElement(meshElement, "triangles");
            SetAttr(tri, "count", triangles);

            const VertexLayoutInfo layout = VertexLayout(part->format);
            const size_t stride = size_t(part->stride > 0 ? part->stride : 0);
            // A component is read only where the stride really holds it, and
            // only vertices the array holds are visited.
            auto fits = [&](int32_t offset, size_t width) { return size_t(offset) + width <= stride; };
            const bool ownPos = wantPos && (part->format & kFormatPosition) && fits(layout.position, 3);
            const bool ownNormal = wantNormal && (part->format & kFormatNormal) && fits(layout.normal, 3);
            const bool ownUv = wantUv && (part->format & kFormatTexCoord) && fits(layout.texCoord, 2);
            const size_t declared = size_t(part->vertexCount > 0 ? part->vertexCount : 0);
            size_t vertexCount = declared;
            if (stride && vertexCount > part->vertices.size() / stride) vertexCount = part->vertices.size() / stride;
            table.assign(declared * 5, 0);
            struct Converted {
                float pos[3] = {0, 0, 0};
                float normal[3] = {0, 0, 1};
                float uv[2] = {0, 0};
            };
            auto convert = [&](size_t v) {
                Converted c;
                const float* src = part->vertices.data() + v * stride;
                if (ownPos) std::memcpy(c.pos, src + layout.position, sizeof c.pos);
                if (ownNormal) std::memcpy(c.normal, src + layout.normal, sizeof c.normal);
                if (ownUv) std::memcpy(c.uv, src + layout.texCoord, sizeof c.uv);
                return c;
            };
            // The slots a vertex a few places ahead will probe are fetched
            // while this one is looked up: the lookups of a large mesh wait
            // on memory, not on arithmetic.
            const size_t kAhead = 8;
            for (size_t v = 0; v < vertexCount; ++v) {
                if (v + kAhead < vertexCount) {
                    const Converted next = convert(v + kAhead);
                    if (wantPos) positions.Prefetch(next.pos);
                    if (wantNormal) normals.Prefetch(next.normal);
                    if (wantUv) uvs.Prefetch(next.uv);
                }
                const Converted c = convert(v);
                int32_t* slots = &table[v * 5];
                if (wantPos) slots[0] = positions.Find(c.pos);
                if (wantNormal) slots[1] = normals.Find(c.normal);
                if (wantUv) slots[2] = uvs.Find(c.uv);
            }

            std::string text;
            text.reserve(size_t(triangles) * 3 * size_t(components) * 7);
            for (const PrimitiveGroup& g : part->groups)
                WriteTriangleIndices(text, table.data(), g.indices.data(), g.indexCount, g.type, inputMask);

            SetAttr(tri, "material", materialName);
            auto addInput = [&](const char* semantic, int offset, const char* suffix, bool isUv) {
                TiXmlElement* input = AddChildElement(tri, "input");
                SetAttr(input, "semantic", semantic);
                SetAttr(input, "offset", offset);
                if (isUv) SetAttr(input, "set", 0);
                SetAttr(input, "source", "#" + name + suffix);
            };
            if (wantPos) addInput("VERTEX", offsetPos, "-VERTEX", false);
            if (wantNormal) addInput("NORMAL", offsetNormal, "-Normal0", false);
            if (wantUv) addInput("TEXCOORD", offsetUv, "-UV0", true);
            AddText(AddChildElement(tri, "p"), std::move(text));
        }
    }
    std::vector<int32_t>().swap(table);
    decltype(positions.slots)().swap(positions.slots);
    decltype(normals.slots)().swap(normals.slots);
    decltype(uvs.slots)().swap(uvs.slots);

    if (positions.count)
        InsertSource(meshElement, vertices, positions.count, positions.values.data(), name + "-POSITION", 3, kXyz);
    if (normals.count)
        InsertSource(meshElement, vertices, normals.count, normals.values.data(), name + "-Normal0", 3, kXyz);
    if (uvs.count) InsertSource(meshElement, vertices, uvs.count, uvs.values.data(), name + "-UV0", 2, kSt);
    FinishVertices(vertices, name);
    return result;
}

TiXmlElement* WriteSimpleGeometry(const std::string& name, const float* positions, int32_t vertexCount,
                                  const uint16_t* indices, int32_t indexCount, uint32_t type) {
    // A fan or strip of fewer than three indices holds no triangle: the count
    // is 0, never negative.
    int64_t triangles = (type == kPrimTriFan || type == kPrimTriStrip) ? int64_t(indexCount) - 2
                                                                       : int64_t(indexCount) / 3;
    if (triangles < 0) triangles = 0;
    TiXmlElement* mesh = nullptr;
    TiXmlElement* vertices = nullptr;
    TiXmlElement* geometry = StartGeometry(name, mesh, vertices);

    std::string text;
    text.reserve(size_t(triangles) * 3 * 7);
    WriteTriangleIndices(text, nullptr, indices, indexCount, type, kFormatPosition);
    TiXmlElement* tri = AddChildElement(mesh, "triangles");
    SetAttr(tri, "count", triangles);
    TiXmlElement* input = AddChildElement(tri, "input");
    SetAttr(input, "semantic", "VERTEX");
    SetAttr(input, "offset", 0);
    SetAttr(input, "source", "#" + name + "-VERTEX");
    AddText(AddChildElement(tri, "p"), std::move(text));

    size_t count = vertexCount > 0 && positions ? size_t(vertexCount) : 0;
    InsertSource(mesh, vertices, count, positions, name + "-POSITION", 3, kXyz);
    FinishVertices(vertices, name);
    return geometry;
}
