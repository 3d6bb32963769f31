#include "scene/foreign_scene.h"

#include "scene/adopt_foreign.h"
#include "scene/names.h"

bool IsForeignScene(const Scene& scene) {
    size_t level = 0;
    for (const SceneNode& node : scene.nodes)
        if (ParseLodRootName(node.name, level)) return false;
    // ROOT_LOD[0] renamed by the navigation light of the joint "Root".
    for (int32_t root : scene.roots)
        if (root >= 0 && size_t(root) < scene.nodes.size() && scene.nodes[size_t(root)].name.compare(0, 5, "NAVL[") == 0)
            return false;
    return true;
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
