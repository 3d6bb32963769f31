#include "scene/foreign_scene.h"

#include "scene/adopt_foreign.h"
#include "scene/names.h"

bool IsForeignScene(const Scene& scene) {
    size_t level = 0;
    for (const SceneNode& node : scene.nodes)
        if (ParseLodRootName(node.name, level)) return false;
    return LodRootNode(scene) < 0;
}

bool AdoptForeignScene(Scene& scene, std::string* error) {
    Adoption adoption(scene);
    AdoptMeshes(adoption);
    if (adoption.error.empty()) AdoptMaterials(adoption);
    if (adoption.error.empty()) AdoptNodes(adoption);
    if (adoption.error.empty()) return true;
    if (error) *error = adoption.error;
    return false;
}
