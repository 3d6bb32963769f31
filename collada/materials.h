#pragma once

#include <tinyxml.h>

#include <string>

#include "scene/scene.h"
#include "texture/tga_writer.h"

// Writes every map the scene build composes as a TGA file in the document's
// folder (with the verbose texture option, the decoded sources and unused
// images as well).
// With written (the files written earlier in the run), a file another model
// wrote with other pixels is reported before it is replaced.
class TgaSink : public TextureSink {
public:
    TgaSink(std::string folder, WrittenTextures* written, std::string model)
        : folder_(std::move(folder)), written_(written), model_(std::move(model)) {}
    void Map(const SceneImage& image, const PixelImage& picture) override;
    void SourceDump(const std::string& file, const PixelImage& picture) override;
    void UnusedImage(const SceneImage& image, const TextureImage& source) override;

private:
    void WriteFile(const std::string& path, const PixelImage& picture);
    std::string folder_;
    WrittenTextures* written_;
    std::string model_;
};

// The text a reader of the saved document gets back for a texture file name
// (the files are named so, so that the names the document carries find them).
std::string AsDocumentReadsIt(const std::string& text);

// "image" elements, and per material its "material" and phong "effect".
void AddMaterials(TiXmlElement* images, TiXmlElement* materials, TiXmlElement* effects, const Scene& scene);
