#include "collada/geometry.h"

#include <algorithm>
#include <unordered_set>

#include "collada/extras.h"
#include "collada/ids.h"
#include "collada/xml_blocks.h"

namespace {

const char* const kXyz[3] = {"X", "Y", "Z"};
const char* const kSt[2] = {"S", "T"};

// A "source": id, float_array (id "<id>-array", " %f" per float) and
// technique_common/accessor with one "param" (type "float") per name.
void AddFloatSource(TiXmlElement* mesh, const std::vector<float>& data, const std::string& id, int stride,
                    const char* const* paramNames) {
    TiXmlElement* source = AddChildElement(mesh, "source");
    SetAttr(source, "id", id);
    const size_t count = data.size() / size_t(stride);
    TiXmlElement* array = AddChildElement(source, "float_array");
    SetAttr(array, "id", ArrayId(id));
    SetAttr(array, "count", int64_t(count * size_t(stride)));
    const std::vector<float>* values = &data;
    AddPrintedText(array, [values](NumberPrinter& out) {
        for (float v : *values) out.SpaceF6(double(v));
    });
    TiXmlElement* technique = AddChildElement(source, "technique_common");
    TiXmlElement* accessor = AddChildElement(technique, "accessor");
    SetAttr(accessor, "source", Uri(ArrayId(id)));
    SetAttr(accessor, "count", int64_t(count));
    SetAttr(accessor, "stride", stride);
    for (int i = 0; i < stride; ++i) {
        TiXmlElement* param = AddChildElement(accessor, "param");
        SetAttr(param, "name", paramNames[i]);
        SetAttr(param, "type", "float");
    }
}

// "%d " per stream number of every corner.
void AddIndexText(TiXmlElement* triangles, const SceneMesh& mesh, const SceneTriangles& list) {
    const SceneMesh* owner = &mesh;
    const SceneTriangles* source = &list;
    AddPrintedText(AddChildElement(triangles, "p"), [owner, source](NumberPrinter& out) {
        const std::vector<int32_t>& table = source->table;
        const size_t width = size_t(owner->components);
        ForEachCorner(*source, [&](uint32_t vertex) {
            if (table.empty()) {
                // The vertex number stands for every stream.
                for (size_t k = 0; k < std::max<size_t>(width, 1); ++k) out.IntSpace(vertex);
                return;
            }
            const size_t at = size_t(vertex) * width;
            if (at + width > table.size()) return;
            for (size_t k = 0; k < width; ++k) out.IntSpace(table[at + k]);
        });
    });
}

void AddInput(TiXmlElement* parent, const char* semantic, int offset, const std::string& source, bool withSet) {
    TiXmlElement* input = AddChildElement(parent, "input");
    SetAttr(input, "semantic", semantic);
    if (offset >= 0) SetAttr(input, "offset", offset);
    if (withSet) SetAttr(input, "set", 0);
    SetAttr(input, "source", Uri(source));
}

void AddGeometry(TiXmlElement* library, const Scene& scene, const SceneMesh& mesh, const std::string& name) {
    TiXmlElement* geometry = AddChildElement(library, "geometry");
    SetAttr(geometry, "id", GeometryId(name));
    SetAttr(geometry, "name", GeometryName(mesh.name));
    TiXmlElement* element = AddChildElement(geometry, "mesh");

    const std::string positionId = name + "-POSITION", normalId = name + "-Normal0", uvId = name + "-UV0";
    const std::string vertexId = name + "-VERTEX";
    // Every stream with values; the positions always, even none, as the
    // vertices read them.
    AddFloatSource(element, mesh.positions, positionId, 3, kXyz);
    if (!mesh.normals.empty()) AddFloatSource(element, mesh.normals, normalId, 3, kXyz);
    if (!mesh.texCoords.empty()) AddFloatSource(element, mesh.texCoords, uvId, 2, kSt);
    TiXmlElement* vertices = AddChildElement(element, "vertices");
    SetAttr(vertices, "id", vertexId);
    AddInput(vertices, "POSITION", -1, positionId, false);

    for (const SceneTriangles& list : mesh.triangles) {
        TiXmlElement* tri = AddChildElement(element, "triangles");
        SetAttr(tri, "count", list.count);
        if (!mesh.positionsOnly && list.material >= 0 && size_t(list.material) < scene.materials.size()) {
            const SceneMaterial& material = scene.materials[size_t(list.material)];
            // The symbol the instance binds.
            SetAttr(tri, "material", material.name);
        }
        int offset = 0;
        if (mesh.hasPositions) AddInput(tri, "VERTEX", offset++, vertexId, false);
        if (mesh.hasNormals) AddInput(tri, "NORMAL", offset++, normalId, false);
        if (mesh.hasTexCoords) AddInput(tri, "TEXCOORD", offset++, uvId, true);
        AddIndexText(tri, mesh, list);
    }
    AddGeometryExtra(geometry, scene, mesh);
}

}  // namespace

std::vector<std::string> MeshIdStems(const Scene& scene) {
    std::unordered_set<std::string> taken, seen;
    for (const SceneMesh& mesh : scene.meshes) taken.insert(mesh.name);
    std::vector<std::string> stems;
    stems.reserve(scene.meshes.size());
    for (const SceneMesh& mesh : scene.meshes) {
        std::string stem = mesh.name;
        if (!seen.insert(stem).second)
            for (int k = 2; !taken.insert(stem = mesh.name + "-" + std::to_string(k)).second;) ++k;
        stems.push_back(std::move(stem));
    }
    return stems;
}

void AddGeometries(TiXmlElement* library, const Scene& scene, const std::vector<std::string>& stems) {
    for (size_t i = 0; i < scene.meshes.size(); ++i) AddGeometry(library, scene, scene.meshes[i], stems[i]);
}
