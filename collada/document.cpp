#include "collada/document.h"

#include <cstdio>
#include <string>

#include "collada/animations.h"
#include "collada/extras.h"
#include "collada/geometry.h"
#include "collada/materials.h"
#include "collada/nodes.h"
#include "collada/xml_blocks.h"
#include "core/output.h"
#include "core/paths.h"
#include "core/platform.h"
#include "scene/conventions.h"

namespace {

const char kColladaNamespace[] = "http://www.collada.org/2005/11/COLLADASchema";
const char kFixedDate[] = "1970-01-01T00:00:00Z";

void AddTextChild(TiXmlElement* parent, const char* name, const char* text) {
    AddText(AddChildElement(parent, name), text);
}

}  // namespace

bool WriteDocument(const Scene& scene, const char* outputPath, const DaeOptions& options) {
    const std::string shownPath = outputPath ? outputPath : "";
    const std::string folder = FolderPart(shownPath);
    const std::string documentName = BaseNamePart(shownPath);

    // A folder that cannot be made shows up as a failed save below, which
    // reports it once.
    MakeFolderTree(folder);
    SaveTextureFiles(scene, folder, options.writtenTextures, options.model);

    TiXmlDocument doc(shownPath.c_str());
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
    SetAttr(unit, "meter", FormatF6(kMetresPerUnit));
    SetAttr(unit, "name", "centimeter");
    AddTextChild(asset, "up_axis", "Y_UP");

    TiXmlElement* images = AddChildElement(collada, "library_images");
    TiXmlElement* materials = AddChildElement(collada, "library_materials");
    TiXmlElement* effects = AddChildElement(collada, "library_effects");
    AddMaterials(images, materials, effects, scene);
    const std::vector<std::string> stems = MeshIdStems(scene);
    AddGeometries(AddChildElement(collada, "library_geometries"), scene, stems);
    AddAnimations(AddChildElement(collada, "library_animations"), scene);
    TiXmlElement* visualScene = AddChildElement(AddChildElement(collada, "library_visual_scenes"), "visual_scene");
    SetAttr(visualScene, "id", documentName);
    SetAttr(visualScene, "name", documentName);
    AddNodes(visualScene, scene, stems);

    TiXmlElement* extra = AddChildElement(visualScene, "extra");
    TiXmlElement* max3d = AddChildElement(extra, "technique");
    SetAttr(max3d, "profile", "MAX3D");
    AddTextChild(max3d, "frame_rate", FormatF6(kFramesPerSecond).c_str());
    TiXmlElement* fcollada = AddChildElement(extra, "technique");
    SetAttr(fcollada, "profile", "FCOLLADA");
    AddTextChild(fcollada, "start_time", "0.000000");
    AddTextChild(fcollada, "end_time", FormatG(scene.endTime).c_str());
    AddSceneExtra(visualScene, scene);

    SetAttr(AddChildElement(AddChildElement(collada, "scene"), "instance_visual_scene"), "url", "#" + documentName);

    // Streamed into a temporary file beside the target: the number texts are
    // printed from the scene as the file is written.
    const bool saved = SaveFileReplacing(shownPath, [&doc](FILE* file) { return doc.SaveFile(file); });
    if (!saved) {
        ReportFailedWrite("DAE", shownPath);
        return false;
    }
    return true;
}
