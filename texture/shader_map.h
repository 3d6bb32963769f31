// The shader map language: which texture parameters a shader takes (source
// maps, named like the material's parameters) and which output maps are
// composed from their channels. Plus the per-material binding that turns a
// material's decoded textures into composed outputs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/str.h"
#include "model/model.h"
#include "texture/pixel_image.h"

enum : int { kMaxSourceMaps = 16, kMaxOutputLines = 4 };

// One channel line under a source map, such as "NORM[B] = R G B 1".
struct OutputMap {
    Core_QStr name;            // the key up to its "[" ("NORM")
    ChannelSpec channels[4];   // red, green, blue, alpha
    int32_t sources[4] = {};   // per channel: position of the source map it reads, within the entry
};

// One "$" line, such as "$glow[DXT1] = 0 0 0 1", with its output lines.
struct SourceMap {
    Core_QStr name;              // "$glow"; compared with material parameter names
    std::string format;          // the characters in the brackets; kept, not used
    ChannelSpec defaults[4];     // kept, not used for composition
    int32_t defaultSources[4] = {};
    std::vector<OutputMap> lines;  // at most kMaxOutputLines
};

// One shader name of a "+" line. An empty name is a wildcard entry.
struct ShaderMap {
    Core_QStr name;
    uint8_t normalFlag = 0;  // an output line's bracket holds "B"
    uint8_t scars = 1;       // "NoScars" / "DoScars"
    std::vector<SourceMap> maps;
};

struct ShaderMapSet {
    OwnedList<ShaderMap> entries;  // in the order the parser completed them
};

// The built-in shader map text (CR LF line ends).
extern const char kDefaultShaderMapText[];

// Parses a shader map text. Malformed lines are ignored; never reports.
// Null when the text yields no entry.
std::unique_ptr<ShaderMapSet> ParseShaderMapText(const char* text);

// Parses the built-in text; null when it yields no entry.
std::unique_ptr<ShaderMapSet> ParseShaderMaps();

// The entry for a material's shader: the first named entry matching it
// (notExact false); failing that, when the material has a diffuse parameter,
// the first wildcard entry that has no maps or has a map named like that
// parameter (notExact true). Null when neither is found.
const ShaderMap* FindShaderMap(const ShaderMapSet& set, const Core_QStr& shader, const MaterialParam* diffuse,
                               bool& notExact);

// ---- Binding one material ----------------------------------------------------

struct OutputSlot {
    const OutputMap* line = nullptr;
    std::unique_ptr<PixelImage> output;
};

struct SourceSlot {
    const SourceMap* map = nullptr;
    std::unique_ptr<PixelImage> source;   // the decoded texture of the parameter named like the map
    const TextureImage* image = nullptr;  // where source came from
    std::vector<OutputSlot> outputs;      // one per output line of the map
};

struct ShaderMapInstance {
    const ShaderMap* entry = nullptr;
    std::vector<SourceSlot> slots;  // one per source map, same order
};

// One empty slot per source map, one empty output per output line.
std::unique_ptr<ShaderMapInstance> BindShaderMap(const ShaderMap& entry);

// Position of the first slot whose map name matches a parameter name; -1 for none.
int FindSourceSlot(const ShaderMapInstance& instance, const Core_QStr& paramName);

// Gives a decoded texture to the first slot whose map matches the parameter
// name (replacing what it held). True when taken (image is then moved from);
// false leaves image with the caller.
bool AssignSource(ShaderMapInstance& instance, const Core_QStr& paramName, std::unique_ptr<PixelImage>& image,
                  const TextureImage* texture);

// Composes one output line of a slot that has a source into picture (sized
// like that source, zero-filled first; its buffer is reused when it has the
// capacity). A channel reading another slot's source that is smaller than the
// output (in width or height) treats that source as missing.
void ComposeOutput(const ShaderMapInstance& instance, const SourceSlot& slot, const OutputMap& line,
                   PixelImage& picture);

// Composes every output line of every slot that has a source into the
// line's output.
void ComposeOutputs(ShaderMapInstance& instance);

// The slot of the first output line named outputName (slots in order, lines
// in order) when that slot has a source, so the line has (or will have) an
// output; null otherwise.
const SourceSlot* FindOutputSlot(const ShaderMapInstance& instance, const char* outputName);

// The first output line named outputName (slots in order, lines in order):
// its composed output and its slot's image. Null when no line has the name or
// the first such line has no output.
const PixelImage* FindOutput(const ShaderMapInstance& instance, const char* outputName,
                             const TextureImage** image = nullptr);

// ---- The way back: source channels from composed outputs ----------------------

// An output channel that holds one channel of a source map: the source byte
// as it is or inverted. A channel scaled by alpha, or a constant, carries
// nothing back.
struct ChannelCarrier {
    int32_t slot = -1;  // the source map whose output line it is (position in the entry)
    int32_t line = -1;  // the line within that source map
    int channel = 0;    // the output channel holding the byte (0 red .. 3 alpha)
    bool invert = false;
};

// Every output channel of the entry that carries channel `channel` (0 red ..
// 3 alpha) of source map `source`: the map's own lines first, then the other
// maps' lines, each in order, channels red to alpha.
std::vector<ChannelCarrier> FindChannelCarriers(const ShaderMap& entry, int32_t source, int channel);

// The value a source channel that no output carries is rebuilt with: the
// source map's default when it is a constant ("$glow[DXT1] = 0 0 0 1" gives
// 0 for red, green and blue and 255 for alpha; "5" gives 128), otherwise 0
// for a colour channel and 255 for alpha.
uint8_t NeutralChannel(const SourceMap& map, int channel);
