#include "texture/shader_map.h"

#include "texture/compose.h"

const ShaderMap* FindShaderMap(const ShaderMapSet& set, const Core_QStr& shader, const MaterialParam* diffuse,
                               bool& notExact) {
    notExact = false;
    for (const auto& entry : set.entries)
        if (entry && !entry->name.Empty() && NameMatch(entry->name, shader)) return entry.get();
    if (!diffuse) return nullptr;
    notExact = true;
    for (const auto& entry : set.entries) {
        if (!entry || !entry->name.Empty()) continue;
        if (entry->maps.empty()) return entry.get();
        for (const SourceMap& map : entry->maps)
            if (NameMatch(map.name, diffuse->name)) return entry.get();
    }
    return nullptr;
}

std::unique_ptr<ShaderMapInstance> BindShaderMap(const ShaderMap& entry) {
    auto instance = std::make_unique<ShaderMapInstance>();
    instance->entry = &entry;
    instance->slots.resize(entry.maps.size());
    for (size_t i = 0; i < entry.maps.size(); ++i) {
        SourceSlot& slot = instance->slots[i];
        slot.map = &entry.maps[i];
        slot.outputs.resize(slot.map->lines.size());
        for (size_t j = 0; j < slot.outputs.size(); ++j) slot.outputs[j].line = &slot.map->lines[j];
    }
    return instance;
}

int FindSourceSlot(const ShaderMapInstance& instance, const Core_QStr& paramName) {
    for (size_t i = 0; i < instance.slots.size(); ++i)
        if (NameMatch(instance.slots[i].map->name, paramName)) return int(i);
    return -1;
}

bool AssignSource(ShaderMapInstance& instance, const Core_QStr& paramName, std::unique_ptr<PixelImage>& image,
                  const TextureImage* texture) {
    if (!image) return false;
    const int i = FindSourceSlot(instance, paramName);
    if (i < 0) return false;
    SourceSlot& slot = instance.slots[size_t(i)];
    slot.source = std::move(image);
    slot.image = texture;
    return true;
}

void ComposeOutput(const ShaderMapInstance& instance, const SourceSlot& slot, const OutputMap& line,
                   PixelImage& picture) {
    const PixelImage& own = *slot.source;
    picture.width = own.width;
    picture.height = own.height;
    const unsigned char* sources[4] = {};
    for (int k = 0; k < 4; ++k) {
        const int32_t s = line.sources[k];
        if (s < 0 || size_t(s) >= instance.slots.size()) continue;
        const PixelImage* src = instance.slots[size_t(s)].source.get();
        // Sources are read by the output's pixel index; one that is narrower
        // or shorter than the output would be read past its end, so it counts
        // as missing.
        if (!src || src->width < own.width || src->height < own.height) continue;
        sources[k] = src->pixels.data();
    }
    // A reused buffer needs zeroes again only where the composition keeps
    // bytes; everything else is overwritten.
    if (picture.pixels.size() != own.pixels.size() || ComposeKeepsBytes(line.channels, sources))
        picture.pixels.assign(own.pixels.size(), 0);
    ComposeChannels(line.channels, sources, picture.pixels.data(), picture.PixelCount());
}

void ComposeOutputs(ShaderMapInstance& instance) {
    for (SourceSlot& slot : instance.slots) {
        if (!slot.source) continue;
        for (OutputSlot& out : slot.outputs) {
            auto picture = std::make_unique<PixelImage>();
            ComposeOutput(instance, slot, *out.line, *picture);
            out.output = std::move(picture);
        }
    }
}

const SourceSlot* FindOutputSlot(const ShaderMapInstance& instance, const char* outputName) {
    const Core_QStr wanted(outputName ? outputName : "");
    for (const SourceSlot& slot : instance.slots)
        for (const OutputSlot& out : slot.outputs)
            if (NameMatch(out.line->name, wanted)) return slot.source ? &slot : nullptr;
    return nullptr;
}

const PixelImage* FindOutput(const ShaderMapInstance& instance, const char* outputName, const TextureImage** image) {
    if (image) *image = nullptr;
    const Core_QStr wanted(outputName ? outputName : "");
    for (const SourceSlot& slot : instance.slots) {
        for (const OutputSlot& out : slot.outputs) {
            if (!NameMatch(out.line->name, wanted)) continue;
            if (!out.output) return nullptr;
            if (image) *image = slot.image;
            return out.output.get();
        }
    }
    return nullptr;
}

std::vector<ChannelCarrier> FindChannelCarriers(const ShaderMap& entry, int32_t source, int channel) {
    std::vector<ChannelCarrier> carriers;
    if (source < 0 || size_t(source) >= entry.maps.size()) return carriers;
    auto scan = [&](int32_t slot) {
        const SourceMap& map = entry.maps[size_t(slot)];
        for (size_t l = 0; l < map.lines.size(); ++l)
            for (int k = 0; k < 4; ++k) {
                const uint32_t code = map.lines[l].channels[k].code;
                if (code == kChannelUnset || (code & kChannelMultiplyAlpha) || map.lines[l].sources[k] != source)
                    continue;
                if ((code & kChannelSelectMask) != uint32_t(channel + 1)) continue;
                carriers.push_back({slot, int32_t(l), k, (code & kChannelInvert) != 0});
            }
    };
    scan(source);
    for (int32_t slot = 0; slot < int32_t(entry.maps.size()); ++slot)
        if (slot != source) scan(slot);
    return carriers;
}

uint8_t NeutralChannel(const SourceMap& map, int channel) {
    const uint32_t code = map.defaults[channel].code;
    if (code != kChannelUnset && (code & 0xFF) == 0) return uint8_t(code >> kChannelConstantShift);
    return channel == 3 ? 255 : 0;
}
