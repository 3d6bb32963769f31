// The node tree: LOD roots, joints, mesh instances and the nodes of the
// model's other objects, in the order the tree lists them.
#include <algorithm>
#include <cmath>

#include "core/output.h"
#include "model/joints.h"
#include "model/transform.h"
#include "scene/build.h"
#include "scene/mesh_facts.h"
#include "scene/names.h"
#include "scene/object_facts.h"

namespace {

float AbsSum(const float v[3]) { return std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]); }

// A joint's world placement as translation and Euler angles.
void WorldPlacement(const Joint& joint, float translation[3], float rotation[3]) {
    translation[0] = joint.worldMatrix.m[12];
    translation[1] = joint.worldMatrix.m[13];
    translation[2] = joint.worldMatrix.m[14];
    MatrixToEuler(joint.worldMatrix, rotation);
}

Bounds ModelBounds(const Model& model) {
    Bounds bounds;
    for (const auto& col : model.collisionMeshes) {
        if (!col) continue;
        const size_t n = std::min(size_t(col->vertexCount > 0 ? col->vertexCount : 0), col->vertices.size() / 3);
        for (size_t v = 0; v < n; ++v) AddPoint(bounds, &col->vertices[v * 3]);
    }
    auto addMeshes = [&](const OwnedList<MultiMesh>& list) {
        for (const auto& mm : list) {
            if (!mm) continue;
            const Joint* joint = FindJoint(model, mm->parentName);
            const Matrix world = joint ? joint->worldMatrix : IdentityMatrix();
            for (const auto& mesh : mm->meshes)
                if (mesh) AddMeshToBounds(*mesh, bounds, &world);
        }
    };
    addMeshes(model.multiMeshes);
    addMeshes(model.goblinMeshes);
    return bounds;
}

// The joint nodes under the first root joint: children lists built once (in
// list order) and an explicit stack instead of recursion, so a deep chain
// cannot overflow the call stack and a joint is never visited twice even if
// its parent links were to loop.
void BuildJointNodes(SceneBuild& build, int32_t parentIndex, int32_t parent) {
    const Model& model = build.model;
    const size_t count = model.joints.size();
    std::vector<std::vector<int32_t>> children(count);
    std::vector<int32_t> roots;
    for (size_t i = 0; i < count; ++i) {
        const Joint* j = model.joints[i].get();
        if (!j) continue;
        if (j->parentIndex == parentIndex) roots.push_back(int32_t(i));
        else if (j->parentIndex >= 0 && size_t(j->parentIndex) < count)
            children[size_t(j->parentIndex)].push_back(int32_t(i));
    }
    std::vector<char> visited(count, 0);
    if (parentIndex >= 0 && size_t(parentIndex) < count) visited[size_t(parentIndex)] = 1;

    struct Pending {
        int32_t joint;
        int32_t parent;
        int32_t level;
    };
    std::vector<Pending> stack;
    for (size_t k = roots.size(); k-- > 0;) stack.push_back({roots[k], parent, 1});
    while (!stack.empty()) {
        const Pending item = stack.back();
        stack.pop_back();
        const size_t i = size_t(item.joint);
        if (visited[i] || item.parent < 0 || item.level > kMaxJointNesting) continue;
        visited[i] = 1;
        const Joint& j = *model.joints[i];
        const float rotation[3] = {j.rotation[0] + j.axis[0], j.rotation[1] + j.axis[1], j.rotation[2] + j.axis[2]};
        const int32_t node = build.scene.AddNode(item.parent, JointNodeName(j.name.value), j.position, rotation);
        build.jointNodes[i] = node;
        RecordJointFacts(build.scene.nodes[size_t(node)].facts, model, j, false);
        if (AbsSum(j.axis) > 0) {
            static const float kZero[3] = {0, 0, 0};
            build.scene.AddNode(node, AxisNodeName(j.name.value), kZero, j.axis);
        }
        // Child joints go under the "JNT" node, not under its "AXIS" node.
        const std::vector<int32_t>& kids = children[i];
        for (size_t k = kids.size(); k-- > 0;) stack.push_back({kids[k], node, item.level + 1});
    }
}

// A node instantiating a mesh: under the joint's node (lodRoot -1) or under
// lodRoot at the joint's world placement, with the facts of the level. No
// node when neither exists: the facts then go in the scene's own, under the
// mesh's number.
void AddInstance(SceneBuild& build, SceneMesh&& mesh, std::vector<int32_t> materials, const Core_QStr& jointName,
                 int32_t lodRoot, const MeshLevelFacts& levelFacts) {
    const std::string name = mesh.name;
    build.scene.meshes.push_back(std::move(mesh));
    const int32_t meshIndex = int32_t(build.scene.meshes.size() - 1);
    const Joint* joint = FindJoint(build.model, jointName);
    int32_t parent = -1;
    float translation[3] = {0, 0, 0};
    float rotation[3] = {0, 0, 0};
    if (lodRoot >= 0) {
        parent = lodRoot;
        if (joint) WorldPlacement(*joint, translation, rotation);
    } else {
        parent = build.JointNode(joint);
    }
    SceneFacts facts = MeshFacts(levelFacts);
    if (parent < 0) {
        for (SceneFact& fact : facts)
            SetFact(build.scene.facts, UnplacedMeshFactKey(size_t(meshIndex), fact.key.c_str()).c_str(),
                    std::move(fact.text));
        return;
    }
    const int32_t node = build.scene.AddNode(parent, name, translation, rotation);
    build.scene.nodes[size_t(node)].mesh = meshIndex;
    build.scene.nodes[size_t(node)].materials = std::move(materials);
    for (SceneFact& fact : facts) SetFact(build.scene.nodes[size_t(node)].facts, fact.key.c_str(), std::move(fact.text));
}

void AddMeshNode(SceneBuild& build, int32_t node, SceneMesh&& mesh) {
    build.scene.meshes.push_back(std::move(mesh));
    if (node >= 0) build.scene.nodes[size_t(node)].mesh = int32_t(build.scene.meshes.size() - 1);
}

void BuildCollisionMeshes(SceneBuild& build) {
    for (const auto& col : build.model.collisionMeshes) {
        if (!col) continue;
        float translation[3] = {0, 0, 0};
        float rotation[3] = {0, 0, 0};
        const char* jointName = "Root";
        if (const Joint* joint = FindJoint(build.model, col->parentName)) {
            WorldPlacement(*joint, translation, rotation);
            jointName = joint->name.CStr();
        }
        const std::string name = CollisionName(jointName);
        // The indices as far as the stored list holds them.
        std::vector<uint16_t> indices(col->indices.begin(),
                                      col->indices.begin() + std::max<int32_t>(0, std::min<int32_t>(
                                                                 col->indexCount, int32_t(col->indices.size()))));
        SceneMesh mesh = BuildPositionsMesh(name, col->vertices.data(), col->vertexCount, std::move(indices),
                                            kPrimTriList);
        const int32_t node =
            build.rootCol >= 0 ? build.scene.AddNode(build.rootCol, name, translation, rotation) : -1;
        if (node >= 0) RecordCollisionFacts(build.scene.nodes[size_t(node)].facts, *col, jointName, mesh.triangles[0]);
        AddMeshNode(build, node, std::move(mesh));
    }
}

void BuildNavLights(SceneBuild& build) {
    for (size_t i = 0; i < build.model.navLights.size(); ++i) {
        const NavLight* light = build.model.navLights[i].get();
        if (!light) continue;
        const int32_t node = build.JointNodeByName(light->name);
        if (node < 0) continue;
        build.Rename(node, NavLightName(*light));
        RecordNavLightFacts(build.scene.nodes[size_t(node)].facts, *light, i, *FindJoint(build.model, light->name));
    }
}

void BuildMarkers(SceneBuild& build) {
    for (const auto& marker : build.model.markers) {
        if (!marker) continue;
        const int32_t parent = build.JointNodeByName(marker->parentName);
        if (parent < 0) {
            // Nothing to place it under: the document leaves it out, the user is told.
            OutProblem(Problem::kDamage, "ALERT: Marker [%s] names joint [%s], which %s - marker left out\n",
                       marker->name.CStr(), marker->parentName.CStr(),
                       FindJoint(build.model, marker->parentName) ? "is outside the joint tree" : "the model lacks");
            continue;
        }
        const float translation[3] = {float(marker->position[0]), float(marker->position[1]),
                                      float(marker->position[2])};
        const float rotation[3] = {float(marker->rotation[0]), float(marker->rotation[1]),
                                   float(marker->rotation[2])};
        const int32_t node = build.scene.AddNode(parent, MarkerName(*marker), translation, rotation);
        RecordMarkerFacts(build.scene.nodes[size_t(node)].facts, *marker, *FindJoint(build.model, marker->parentName));
    }
}

void BuildEngineShapes(SceneBuild& build) {
    for (const auto& shape : build.model.engineShapes) {
        if (!shape) continue;
        const int32_t parent = build.JointNodeByName(shape->parentName);
        if (parent < 0) continue;
        const std::string name = EngineShapeName(*shape);
        const int32_t node = build.scene.AddNode(parent, name, nullptr, nullptr);
        RecordShapeFacts(build.scene.nodes[size_t(node)].facts, *shape, *FindJoint(build.model, shape->parentName));
        // The fan indexes its points with 16 bits: a shape of more points than
        // that fans over the first 65536 only, rather than wrapping back to 0.
        const int32_t points = std::max<int32_t>(0, std::min<int32_t>(shape->vertexCount, 65536));
        std::vector<uint16_t> fan(static_cast<size_t>(points));
        for (int32_t i = 0; i < points; ++i) fan[size_t(i)] = uint16_t(i);
        AddMeshNode(build, node,
                    BuildPositionsMesh(name, shape->vertices.data(), shape->vertexCount, std::move(fan), kPrimTriFan));
    }
}

void BuildEngineBurns(SceneBuild& build) {
    for (const auto& burn : build.model.engineBurns) {
        if (!burn) continue;
        const int32_t parent = build.JointNodeByName(burn->parentName);
        if (parent < 0) continue;
        const int32_t node = build.scene.AddNode(parent, EngineBurnName(*burn), nullptr, nullptr);
        RecordBurnFacts(build.scene.nodes[size_t(node)].facts, *burn, *FindJoint(build.model, burn->parentName));
        if (burn->divisions == 0) continue;
        // Walk the vertices that exist rather than flames x divisions: both
        // counts come from the file, and a burn cut short holds fewer points.
        uint64_t points =
            std::min<uint64_t>(uint64_t(std::max<int32_t>(burn->vertexCount, 0)), burn->vertices.size() / 3);
        points = std::min<uint64_t>(points, uint64_t(burn->divisions) * burn->flameCount);
        for (uint64_t v = 0; v < points; ++v)
            build.scene.AddNode(node, FlamePointName(uint32_t(v / burn->divisions), uint32_t(v % burn->divisions)),
                                &burn->vertices[size_t(v) * 3], nullptr);
    }
}

void BuildColourParams(SceneBuild& build) {
    const int32_t root = build.lodRoots.empty() ? -1 : build.lodRoots[0];
    if (root < 0) return;
    bool any = false;
    for (const auto& material : build.model.materials) {
        if (!material) continue;
        for (const MaterialParam& param : material->params) any = any || param.type == kParamColour;
    }
    if (!any) return;
    const int32_t hold = build.scene.AddNode(root, kHoldParamsName, nullptr, nullptr);
    for (const auto& material : build.model.materials) {
        if (!material) continue;
        for (const MaterialParam& param : material->params)
            if (param.type == kParamColour)
                build.scene.AddNode(hold, ColourParamName(*material, param), nullptr, nullptr);
    }
}

void BuildDockPaths(SceneBuild& build) {
    const int32_t root = build.lodRoots.empty() ? -1 : build.lodRoots[0];
    if (root < 0 || build.model.dockPaths.empty()) return;
    const int32_t hold = build.scene.AddNode(root, kHoldDockName, nullptr, nullptr);
    for (const auto& path : build.model.dockPaths) {
        if (!path) continue;
        const int32_t pathNode = build.scene.AddNode(hold, DockPathName(*path), nullptr, nullptr);
        RecordDockPathFacts(build.scene.nodes[size_t(pathNode)].facts, *path);
        for (size_t i = 0; i < path->segments.size(); ++i) {
            const DockSegment& seg = path->segments[i];
            const int32_t node =
                build.scene.AddNode(pathNode, DockSegmentName(seg, int32_t(i)), seg.position, seg.rotation);
            RecordSegmentFacts(build.scene.nodes[size_t(node)].facts, seg);
        }
    }
}

}  // namespace

int32_t SceneBuild::JointNode(const Joint* joint) const {
    if (!joint || joint->index < 0 || size_t(joint->index) >= jointNodes.size()) return -1;
    return jointNodes[size_t(joint->index)];
}

int32_t SceneBuild::JointNodeByName(const Core_QStr& name) const { return JointNode(FindJoint(model, name)); }

void BuildNodeHierarchy(SceneBuild& build) {
    const Model& model = build.model;
    Scene& scene = build.scene;
    const Bounds bounds = ModelBounds(model);
    Bounds extent = bounds;
    for (const auto& path : model.dockPaths) {
        if (!path) continue;
        for (const DockSegment& segment : path->segments) AddPoint(extent, segment.position);
    }
    size_t lodCount = 1;
    for (const auto& mm : model.multiMeshes)
        if (mm && mm->meshes.size() > lodCount) lodCount = mm->meshes.size();

    // A model without a single measured point has no extent: lay the roots out
    // from zero instead of from the infinities of an empty box.
    float minX = 0, maxX = 0, sceneMinX = 0, sceneMaxX = 0;
    if (bounds.count > 0) {
        minX = bounds.boxMin[0];
        maxX = bounds.boxMax[0];
    }
    if (extent.count > 0) {
        sceneMinX = extent.boxMin[0];
        sceneMaxX = extent.boxMax[0];
    }
    const float width = maxX - minX;

    if (!model.collisionMeshes.empty()) {
        const float at[3] = {sceneMinX - maxX - 1.5f * width, 0, 0};
        build.rootCol = scene.AddNode(-1, kRootColName, at, nullptr);
    }
    build.rootInfo = scene.AddNode(-1, kRootInfoName, nullptr, nullptr);

    build.jointNodes.assign(model.joints.size(), -1);
    float x = 0;
    for (size_t i = 0; i < lodCount; ++i) {
        if (i == 1) x = (sceneMaxX - minX) + 0.5f * width;
        else if (i > 1) x = x + 1.5f * width;
        const float at[3] = {x, 0, 0};
        const int32_t root = scene.AddNode(-1, LodRootName(i), at, nullptr);
        build.lodRoots.push_back(root);
        // The joint "Root" is ROOT_LOD[0] itself.
        if (i == 0)
            if (const Joint* joint = FindJoint(model, "Root"))
                if (joint->index >= 0 && size_t(joint->index) < build.jointNodes.size())
                    build.jointNodes[size_t(joint->index)] = root;
    }

    // The tree hangs from the first root joint of the sorted list. Joints in a
    // parent loop sort before every root, so the joint at position 0 is not
    // necessarily the root "Root"; starting there would drop the whole tree.
    for (const auto& joint : model.joints) {
        if (joint && joint->depth == 0) {
            RecordJointFacts(scene.nodes[size_t(build.lodRoots[0])].facts, model, *joint, true);
            BuildJointNodes(build, joint->index, build.lodRoots[0]);
            break;
        }
    }

    auto orFormats = [&](const OwnedList<MultiMesh>& list) {
        for (const auto& mm : list) {
            if (!mm) continue;
            for (const auto& mesh : mm->meshes)
                if (mesh)
                    for (const MeshPart& part : mesh->parts) build.unionMask |= part.format;
        }
    };
    orFormats(model.multiMeshes);
    orFormats(model.goblinMeshes);

    auto buildLevels = [&](const MultiMesh& mm, bool goblin) {
        for (size_t i = 0; i < mm.meshes.size(); ++i) {
            const Mesh* mesh = mm.meshes[i].get();
            if (!mesh) continue;
            std::vector<int32_t> materials;
            MeshLevelFacts facts;
            SceneMesh built = BuildMesh(build, *mesh, goblin ? GoblinMeshName(mm) : MultiMeshName(mm, mesh->lod), -1,
                                        build.unionMask, materials, &facts.listedParts);
            // A level without a LOD root of its own (goblin meshes do not
            // count towards the levels) is placed as level 0.
            const bool ownRoot = i > 0 && i < build.lodRoots.size();
            const int32_t lodRoot = ownRoot ? build.lodRoots[i] : -1;
            facts.mesh = mesh;
            facts.components = built.components;
            facts.joint = &mm.parentName;
            facts.level = int32_t(i);
            facts.shownLevel = ownRoot ? int32_t(i) : 0;
            facts.lod = mesh->lod;
            facts.lodShown = !goblin || mesh->lod == int32_t(i);
            AddInstance(build, std::move(built), std::move(materials), mm.parentName, lodRoot, facts);
        }
    };
    // One without a level shows nowhere: the scene's facts keep it.
    auto buildList = [&](const OwnedList<MultiMesh>& list, bool goblin) {
        for (size_t i = 0; i < list.size(); ++i) {
            const MultiMesh* mm = list[i].get();
            if (!mm) continue;
            if (std::none_of(mm->meshes.begin(), mm->meshes.end(), [](const auto& mesh) { return bool(mesh); }))
                AddEmptyMesh(scene.facts, {goblin ? 1 : 0, i, 0, mm->name.value, mm->parentName.value});
            buildLevels(*mm, goblin);
        }
    };
    buildList(model.multiMeshes, false);
    buildList(model.goblinMeshes, true);
}

void BuildGlows(SceneBuild& build) {
    if (build.model.glows.empty()) return;
    SceneMaterial glow;
    glow.name = kGlowMaterialName;
    glow.glow = true;
    const float emission[4] = {0, 0.75f, 1, 1};
    const float black[4] = {0, 0, 0, 1};
    std::copy(emission, emission + 4, glow.emission);
    std::copy(black, black + 4, glow.ambient);
    std::copy(black, black + 4, glow.diffuse);
    std::copy(black, black + 4, glow.specular);
    glow.transparency = 0.8;
    build.scene.materials.push_back(glow);
    build.glowMaterial = int32_t(build.scene.materials.size() - 1);

    for (size_t i = 0; i < build.model.glows.size(); ++i) {
        const Glow* g = build.model.glows[i].get();
        if (g && !g->mesh) AddEmptyMesh(build.scene.facts, {2, i, g->lod, g->name.value, g->parentName.value});
        if (!g || !g->mesh) continue;
        std::vector<int32_t> unused;
        MeshLevelFacts facts;
        SceneMesh mesh = BuildMesh(build, *g->mesh, GlowName(*g), build.glowMaterial, build.unionMask, unused,
                                   &facts.listedParts);
        // Level 0, and a level the model has no root for, hang from the
        // glow's joint; every other level goes under its own root.
        int32_t lodRoot = -1;
        if (g->lod != 0 && g->lod < build.lodRoots.size()) lodRoot = build.lodRoots[g->lod];
        facts.mesh = g->mesh.get();
        facts.components = mesh.components;
        facts.joint = &g->parentName;
        facts.lod = g->mesh->lod;
        facts.lodShown = g->mesh->lod == int32_t(g->lod);
        AddInstance(build, std::move(mesh), {build.glowMaterial}, g->parentName, lodRoot, facts);
    }
}

void BuildSpecialNodes(SceneBuild& build) {
    BuildCollisionMeshes(build);
    BuildNavLights(build);
    BuildMarkers(build);
    BuildEngineShapes(build);
    BuildEngineBurns(build);
    BuildColourParams(build);
    BuildDockPaths(build);
}
