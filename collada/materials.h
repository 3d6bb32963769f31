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

// A file name as the URI reference an "init_from" holds: "[", "]" and "%"
// percent-escaped (a URI allows the brackets only around a host address),
// every other character as it is; readers decode the escapes back.
std::string FileReference(const std::string& name);

// "image" elements, and per material its "material" and phong "effect".
void AddMaterials(TiXmlElement* images, TiXmlElement* materials, TiXmlElement* effects, const Scene& scene);
