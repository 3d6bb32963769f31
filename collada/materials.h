#pragma once

#include <tinyxml.h>

#include <string>

#include "scene/scene.h"

// Writes every map the scene build composes as a TGA file in the document's
// folder (with the verbose texture option, the decoded sources and unused
// images as well).
class TgaSink : public TextureSink {
public:
    explicit TgaSink(std::string folder) : folder_(std::move(folder)) {}
    void Map(const SceneImage& image, const PixelImage& picture) override;
    void SourceDump(const std::string& file, const PixelImage& picture) override;
    void UnusedImage(const SceneImage& image, const TextureImage& source) override;

private:
    std::string folder_;
};

// The text a reader of the saved document gets back for a texture file name
// (the files are named so, so that the names the document carries find them).
std::string AsDocumentReadsIt(const std::string& text);

// "image" elements, and per material its "material" and phong "effect".
void AddMaterials(TiXmlElement* images, TiXmlElement* materials, TiXmlElement* effects, const Scene& scene);
