// The working state of one document write, handed from pass to pass. The
// elements point into the document the writer owns; they live until the save.
#pragma once

#include <tinyxml.h>

#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"
#include "texture/tga_writer.h"

// Options the convert action reads from DAE_OUT_OPT and hands to the writer.
struct DaeOptions {
    bool verboseTextures = false;
    // The texture files written earlier in the run; null: no such check.
    WrittenTextures* writtenTextures = nullptr;
};

struct DaeState {
    Model* model = nullptr;
    DaeOptions options;
    std::string outputPath;    // the DAE path as given
    std::string outputFolder;  // the path up to its last separator ("" = current folder)
    std::string documentName;  // file name without its extension

    TiXmlElement* libraryImages = nullptr;
    TiXmlElement* libraryMaterials = nullptr;
    TiXmlElement* libraryEffects = nullptr;
    TiXmlElement* libraryGeometries = nullptr;
    TiXmlElement* libraryAnimations = nullptr;
    TiXmlElement* visualScene = nullptr;

    // Made by the node pass.
    TiXmlElement* rootCol = nullptr;
    TiXmlElement* rootInfo = nullptr;
    std::vector<TiXmlElement*> lodRoots;    // one per LOD level, [0] = "ROOT_LOD[0]"
    std::vector<TiXmlElement*> jointNodes;  // by joint index after resolution; null = no node
    uint32_t unionMask = 0;

    // Made by the material pass.
    int colourParamCount = 0;
    std::string glowTarget;  // "#MATGLOW[TALVE_Glow]" once the glow material exists
};

// A geometry element plus the material indices its parts use (in order of
// first use, no repeats), which the instance node turns into bindings.
struct GeometryResult {
    TiXmlElement* geometry = nullptr;
    std::vector<int32_t> materials;
};
