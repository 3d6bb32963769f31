#pragma once

#include <tinyxml.h>

#include <string>

#include "scene/scene.h"
#include "texture/tga_writer.h"

// Writes every picture of the scene as a TGA file in the document's folder:
// the maps (and, with the verbose texture option, the decoded sources and
// unused images). With written (the files written earlier in the run), a
// file another model wrote with other pixels is reported before it is
// replaced; model names the model converted. A failed write is reported.
void SaveTextureFiles(const Scene& scene, const std::string& folder, WrittenTextures* written,
                      const std::string& model);

// The TGA file name of a scene picture, as the document names it.
std::string TgaFileName(const SceneImage& image);

// The text a reader of the saved document gets back for a texture file name
// (the files are named so, so that the names the document carries find them).
std::string AsDocumentReadsIt(const std::string& text);

// "image" elements, and per material its "material" and phong "effect".
void AddMaterials(TiXmlElement* images, TiXmlElement* materials, TiXmlElement* effects, const Scene& scene);
