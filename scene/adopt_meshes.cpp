#include "scene/adopt_foreign.h"

void AdoptMeshes(Adoption& adoption) {
    bool any = false;
    for (const SceneMesh& mesh : adoption.scene.meshes)
        for (const SceneTriangles& list : mesh.triangles) any = any || (mesh.hasPositions && list.count > 0);
    if (!any) adoption.error = "it holds no triangle to make a model of";
}
