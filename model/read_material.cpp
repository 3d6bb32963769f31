// "STAT" material bodies and "LMIP" texture image bodies.
#include <cstdio>

#include "model/object_readers.h"
#include "model/read_model.h"

namespace {

// Data bytes a parameter type stores before its optional extra bytes.
int32_t KnownParamData(int32_t type) {
    if (type == kParamColour) return 16;
    if (type == kParamTexture) return 4;
    return 0;
}

bool SameCodeNoCase(const Core_QStr& format, const char* code) {
    return EqualNoCase(format.value, code);
}

}  // namespace

// Widths and heights are signed and the quarter is an arithmetic shift, so it
// rounds down and a negative size counts as one pixel or block. 64-bit: a
// width and height from the file can make the product far larger than 32 bits.
uint64_t LevelByteCount(const Core_QStr& format, int32_t width, int32_t height) {
    if (SameCodeNoCase(format, "8888")) {
        int64_t w = width > 1 ? width : 1;
        int64_t h = height > 1 ? height : 1;
        return uint64_t(w) * uint64_t(h) * 4;
    }
    int64_t bw = (width >> 2) > 1 ? (width >> 2) : 1;
    int64_t bh = (height >> 2) > 1 ? (height >> 2) : 1;
    uint64_t blockBytes = SameCodeNoCase(format, "DXT1") ? 8 : 16;
    return uint64_t(bw) * uint64_t(bh) * blockBytes;
}

void ReadMaterial(ByteReader r, uint32_t version, Model& model) {
    auto material = std::make_unique<Material>();
    material->index = int32_t(model.materials.size());
    material->version = version;
    ReadName(r, material->name);
    ReadName(r, material->shader);

    // A parameter takes at least its type and data size (and a name count when
    // names are stored): a count beyond that is clipped before allocating.
    uint32_t count = ReadU32LE(r);
    size_t smallest = version != 0 ? 12 : 8;
    size_t fits = ClipCount(r, int64_t(count), smallest);
    material->params.reserve(fits);
    bool whole = fits == count;
    for (size_t i = 0; i < fits; ++i) {
        if (Remaining(r) < 8) {  // nothing of this parameter is stored
            whole = false;
            break;
        }
        MaterialParam param;
        param.type = ReadI32LE(r);
        int32_t dataSize = ReadI32LE(r);
        if (param.type == kParamColour) {
            for (float& c : param.colour) c = ReadF32LE(r);
        } else if (param.type == kParamTexture) {
            param.imageIndex = ReadI32LE(r);
        }
        // The extra bytes after the known data are skipped. A data size below
        // the known data (negative included) skips nothing more: reading only
        // ever moves forward, so a damaged size cannot loop or leave the chunk.
        int64_t extra = int64_t(dataSize) - KnownParamData(param.type);
        if (extra > 0) Skip(r, size_t(extra));

        if (version == 0) {
            char text[32];
            if (param.type == kParamColour) {
                std::snprintf(text, sizeof text, "Colour%d", int(i + 1));
            } else if (param.type == kParamTexture) {
                std::snprintf(text, sizeof text, "$diffuse");
                // Old-style materials with a texture always render with "fx",
                // whatever shader name they stored.
                material->shader.Set("fx");
            } else {
                std::snprintf(text, sizeof text, "Unknown%d", int(i + 1));
            }
            param.name.Set(text);
        } else {
            ReadName(r, param.name);
        }
        material->params.push_back(std::move(param));
    }
    if (!whole || r.failed) NoteDamage(model.damage, DamagedPart("material", material->name.value));
    model.materials.push_back(std::move(material));
}

void ReadTextureImage(ByteReader r, Model& model) {
    auto image = std::make_unique<TextureImage>();
    image->index = int32_t(model.images.size());
    ReadName(r, image->name);
    char code[4];
    ReadBytes(r, code, 4);
    image->format.Set(code, 4);  // stops at a zero byte: at most 4 characters

    // A level is kept when its width and height are stored, even if its pixels
    // are cut short: the count is clipped to the 8-byte level headers that fit.
    uint32_t count = ReadU32LE(r);
    size_t fits = ClipCount(r, int64_t(count), 8);
    image->levels.reserve(fits);
    bool whole = fits == count;
    for (size_t i = 0; i < fits; ++i) {
        if (Remaining(r) < 8) {  // not even the level's size is stored
            whole = false;
            break;
        }
        MipLevel level;
        level.width = ReadI32LE(r);
        level.height = ReadI32LE(r);
        uint64_t bytes = LevelByteCount(image->format, level.width, level.height);
        // `size` is what the format implies; `data` keeps only the bytes the
        // chunk really holds, so a short level never carries invented pixels.
        level.size = bytes > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(bytes);
        size_t take = Remaining(r) < bytes ? Remaining(r) : size_t(bytes);
        level.data.assign(r.pos, r.pos + take);
        Skip(r, size_t(take));
        if (take < bytes) r.failed = true;
        image->levels.push_back(std::move(level));
    }
    if (!whole || r.failed) NoteDamage(model.damage, DamagedPart("texture", image->name.value));
    model.images.push_back(std::move(image));
}
