#include "collada/document.h"

#include <cstdio>
#include <string>

#include "collada/animations.h"
#include "collada/make_node.h"
#include "collada/materials.h"
#include "collada/nodes.h"
#include "collada/object_nodes.h"
#include "collada/xml_blocks.h"
#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "texture/shader_map.h"

namespace {

const char kColladaNamespace[] = "http://www.collada.org/2005/11/COLLADASchema";
const char kFixedDate[] = "1970-01-01T00:00:00Z";

// Streams the document into a temporary file beside the target and renames it
// over the target only when every byte and the close succeeded, so a failed
// save never truncates a good DAE that was there before. The document is
// printed straight into the file: a large model's DAE is hundreds of
// megabytes, and printing it into a string first would double the peak memory.
bool SaveDocument(const TiXmlDocument& doc, const std::string& target) {
    return SaveFileReplacing(target, [&doc](FILE* file) { return doc.SaveFile(file); });
}

void AddTextChild(TiXmlElement* parent, const char* name, const char* text) {
    AddText(AddChildElement(parent, name), text);
}

}  // namespace

bool WriteDocument(Model& model, const char* outputPath, const DaeOptions& options) {
    DaeState state;
    state.model = &model;
    state.options = options;
    state.outputPath = outputPath ? outputPath : "";
    // A backslash separates folders as a slash does, so a path written for
    // either platform lands in the same place.
    std::string filePath = state.outputPath;
    for (char& c : filePath)
        if (c == '\\') c = '/';
    const size_t separator = LastSeparator(state.outputPath);
    state.outputFolder = separator == std::string::npos ? "" : separator == 0 ? "/" : filePath.substr(0, separator);
    std::string fileName = separator == std::string::npos ? state.outputPath : state.outputPath.substr(separator + 1);
    const size_t dot = fileName.rfind('.');
    state.documentName = dot == std::string::npos ? fileName : fileName.substr(0, dot);

    // A folder that cannot be made shows up as a failed save below, which
    // reports it once.
    MakeFolderTree(state.outputFolder);
    Out("Saving %s\n", state.outputPath.c_str());
    std::unique_ptr<ShaderMapSet> shaderMaps = ParseShaderMaps();
    if (!shaderMaps) return false;

    TiXmlDocument doc(state.outputPath.c_str());
    doc.LinkEndChild(new TiXmlDeclaration("1.0", "utf-8", "no"));
    TiXmlElement* collada = doc.LinkEndChild(new TiXmlElement("COLLADA"))->ToElement();
    SetAttr(collada, "xmlns", kColladaNamespace);
    SetAttr(collada, "version", "1.4.1");

    TiXmlElement* asset = AddChildElement(collada, "asset");
    TiXmlElement* contributor = AddChildElement(asset, "contributor");
    AddTextChild(contributor, "author", "VORDA");
    AddTextChild(contributor, "authoring_tool", "VORDA " __DATE__ " " __TIME__);
    // The format requires both dates. The document is a function of its input
    // alone (same input, same bytes), so they carry the epoch, not the clock.
    AddTextChild(asset, "created", kFixedDate);
    AddTextChild(asset, "modified", kFixedDate);
    TiXmlElement* unit = AddChildElement(asset, "unit");
    SetAttr(unit, "meter", "0.010000");
    SetAttr(unit, "name", "centimeter");
    AddTextChild(asset, "up_axis", "Y_UP");

    state.libraryImages = AddChildElement(collada, "library_images");
    state.libraryMaterials = AddChildElement(collada, "library_materials");
    state.libraryEffects = AddChildElement(collada, "library_effects");
    state.libraryGeometries = AddChildElement(collada, "library_geometries");
    state.libraryAnimations = AddChildElement(collada, "library_animations");
    TiXmlElement* scenes = AddChildElement(collada, "library_visual_scenes");
    state.visualScene = AddChildElement(scenes, "visual_scene");
    SetAttr(state.visualScene, "id", state.documentName);
    SetAttr(state.visualScene, "name", state.documentName);

    WriteMaterials(state, *shaderMaps);
    WriteNodeHierarchy(state);
    if (!model.glows.empty()) {
        WriteGlowMaterial(state);
        WriteGlowGeometries(state);
    }
    WriteSpecialNodes(state);
    if (model.animation) WriteAnimations(state);

    TiXmlElement* scene = AddChildElement(collada, "scene");
    SetAttr(AddChildElement(scene, "instance_visual_scene"), "url", "#" + state.documentName);

    TiXmlElement* extra = AddChildElement(state.visualScene, "extra");
    TiXmlElement* max3d = AddChildElement(extra, "technique");
    SetAttr(max3d, "profile", "MAX3D");
    AddTextChild(max3d, "frame_rate", "30.000000");
    TiXmlElement* fcollada = AddChildElement(extra, "technique");
    SetAttr(fcollada, "profile", "FCOLLADA");
    AddTextChild(fcollada, "start_time", "0.000000");
    AddTextChild(fcollada, "end_time", FormatG(AnimationEndTime(model)).c_str());

    if (state.rootInfo) {
        MakeNode(state.rootInfo, "UVSets[1]", nullptr, nullptr);
        MakeNode(state.rootInfo, "Class[MultiMesh]_Version[" + std::to_string(int32_t(model.version)) + "]", nullptr,
                 nullptr);
    }

    if (!SaveDocument(doc, filePath)) {
        const std::string reason = LastErrorText();
        OutProblem(Problem::kFailure, "Error - Cannot write %s\n", state.outputPath.c_str());
        Out("Error - Cannot write DAE file %s - %s\n", state.outputPath.c_str(), reason.c_str());
        return false;
    }
    return true;
}
