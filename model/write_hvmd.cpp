// Chunk bodies of the "HVMD" form: materials, images, multi and goblin meshes,
// written exactly in the file layout the readers take.
#include "model/write_model.h"

#include <cstring>

void AppendMaterialChunk(ByteWriter& w, const Material& m) {
    // Version 0 is the old bare "STAT" chunk without parameter names.
    size_t at = m.version == 0 ? BeginBare(w, "STAT") : BeginNrml(w, "STAT", m.version);
    PutCounted(w, m.name.value);
    PutCounted(w, m.shader.value);
    PutU32(w, uint32_t(m.params.size()));
    for (const MaterialParam& p : m.params) {
        PutI32(w, p.type);
        if (p.type == kParamColour) {
            PutU32(w, 16);
            for (float c : p.colour) PutF32(w, c);
        } else if (p.type == kParamTexture) {
            PutU32(w, 4);
            PutI32(w, p.imageIndex);
        } else {
            PutU32(w, 0);
        }
        if (m.version != 0) PutCounted(w, p.name.value);
    }
    EndChunk(w, at);
}

void AppendImageChunk(ByteWriter& w, const TextureImage& image) {
    size_t at = BeginBare(w, "LMIP");
    PutCounted(w, image.name.value);
    char code[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < 4 && i < image.format.value.size(); ++i) code[i] = image.format.value[i];
    PutBytes(w, code, 4);
    PutU32(w, uint32_t(image.levels.size()));
    for (const MipLevel& level : image.levels) {
        PutI32(w, level.width);
        PutI32(w, level.height);
        PutBytes(w, level.data.data(), level.data.size());
    }
    EndChunk(w, at);
}

PrimitiveGroup MakeGroup(uint32_t type, std::vector<uint16_t> indices) {
    PrimitiveGroup g;
    g.type = type;
    g.indexCount = int32_t(indices.size());
    g.indices = std::move(indices);
    return g;
}

void AppendMeshBody(ByteWriter& w, const Mesh& mesh) {
    PutI32(w, mesh.lod);
    PutI32(w, int32_t(mesh.parts.size()));
    for (const MeshPart& part : mesh.parts) {
        PutI32(w, part.materialIndex);
        PutU32(w, part.format);
        PutI32(w, part.vertexCount);
        size_t at = w.bytes.size();
        w.bytes.resize(at + part.vertices.size() * 4);
        for (size_t i = 0; i < part.vertices.size(); ++i) {
            uint32_t u;
            std::memcpy(&u, &part.vertices[i], 4);
            unsigned char* p = &w.bytes[at + i * 4];
            p[0] = uint8_t(u);
            p[1] = uint8_t(u >> 8);
            p[2] = uint8_t(u >> 16);
            p[3] = uint8_t(u >> 24);
        }
        PutU16(w, uint16_t(part.groups.size()));
        for (const PrimitiveGroup& g : part.groups) {
            PutU32(w, g.type);
            PutI32(w, int32_t(g.indices.size()));
            for (uint16_t index : g.indices) PutU16(w, index);
        }
    }
}

void AppendMultiMeshChunk(ByteWriter& w, const MultiMesh& mm) {
    size_t at = BeginNrml(w, mm.kind == 0 ? "MULT" : "GOBG", 1);
    PutCounted(w, mm.name.value);
    PutCounted(w, mm.parentName.value);
    if (mm.kind == 0) PutU32(w, 0);
    for (const auto& mesh : mm.meshes) {
        size_t m = BeginNrml(w, "BMSH", 1);
        AppendMeshBody(w, *mesh);
        EndChunk(w, m);
    }
    EndChunk(w, at);
}
