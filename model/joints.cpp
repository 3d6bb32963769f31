#include "model/joints.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "model/transform.h"

Joint* FindJoint(const Model& model, const Core_QStr& name) {
    return FindByName(model.joints, name);
}

Joint* FindJoint(const Model& model, const char* name) {
    Core_QStr q(name);
    return FindByName(model.joints, q);
}

namespace {

// First-match name lookup over a fixed list in O(1) per query. Names are
// grouped by hash (a match needs equal hashes), and each bucket keeps list
// order, so the answer is the one a walk from slot 0 would give.
struct JointNameIndex {
    std::unordered_map<uint32_t, std::vector<int32_t>> buckets;
};

JointNameIndex BuildNameIndex(const OwnedList<Joint>& joints) {
    JointNameIndex index;
    index.buckets.reserve(joints.size());
    for (size_t i = 0; i < joints.size(); ++i)
        if (!joints[i]->name.null) index.buckets[joints[i]->name.hash].push_back(int32_t(i));
    return index;
}

int32_t FindFirst(const JointNameIndex& index, const OwnedList<Joint>& joints,
                  const Core_QStr& name) {
    if (name.null) return -1;
    auto it = index.buckets.find(name.hash);
    if (it == index.buckets.end()) return -1;
    for (int32_t k : it->second)
        if (NameMatch(joints[size_t(k)]->name, name)) return k;
    return -1;
}

// Depth of every joint from its parent chain: 0 for a root, parent + 1
// otherwise, -1 when the chain runs into a loop (a joint naming itself
// included). Each joint is visited once, so thousands of joints cost no more
// than a pass; the walk uses an explicit stack, so a long chain cannot
// overflow the call stack.
void ComputeDepths(OwnedList<Joint>& joints) {
    enum : uint8_t { kUnseen, kOnPath, kDone };
    std::vector<uint8_t> state(joints.size(), kUnseen);
    for (size_t i = 0; i < joints.size(); ++i)
        if (joints[i]->depth == 0) state[i] = kDone;  // roots
    std::vector<int32_t> path;
    for (size_t start = 0; start < joints.size(); ++start) {
        if (state[start] != kUnseen) continue;
        int32_t at = int32_t(start);
        int32_t reached = -1;  // depth of the first joint past the path
        for (;;) {
            if (state[size_t(at)] == kDone) {
                reached = joints[size_t(at)]->depth;
                break;
            }
            if (state[size_t(at)] == kOnPath) {  // the chain loops
                reached = -1;
                break;
            }
            state[size_t(at)] = kOnPath;
            path.push_back(at);
            at = joints[size_t(at)]->parentIndex;
        }
        while (!path.empty()) {
            Joint& j = *joints[size_t(path.back())];
            j.depth = reached < 0 ? -1 : reached + 1;
            reached = j.depth;
            state[size_t(path.back())] = kDone;
            path.pop_back();
        }
    }
}

}  // namespace

void ResolveJoints(Model& model) {
    OwnedList<Joint>& joints = model.joints;
    joints.erase(std::remove(joints.begin(), joints.end(), nullptr), joints.end());
    if (joints.empty()) return;

    for (size_t i = 0; i < joints.size(); ++i) {
        Joint& j = *joints[i];
        j.depth = -1;
        j.index = int32_t(i);
        j.hasChildren = 0;
        j.localMatrix = JointLocalMatrix(j.position, j.rotation, j.scale);
        j.worldMatrix = IdentityMatrix();
    }

    const JointNameIndex byName = BuildNameIndex(joints);
    for (auto& jp : joints) {
        Joint& j = *jp;
        int32_t k = FindFirst(byName, joints, j.parentName);
        if (k >= 0) {
            j.parentIndex = k;
            joints[size_t(k)]->hasChildren = 1;
        } else {
            j.depth = 0;
            j.parentIndex = -1;
            j.worldMatrix = j.localMatrix;
        }
    }

    ComputeDepths(joints);

    // Stable, so joints that tie on depth and name keep their list order on
    // every platform and every run.
    std::stable_sort(joints.begin(), joints.end(),
                     [](const std::unique_ptr<Joint>& a, const std::unique_ptr<Joint>& b) {
                         if (a->depth != b->depth) return a->depth < b->depth;
                         return CompareNoCase(a->name.CStr(), b->name.CStr()) < 0;
                     });

    for (size_t i = 0; i < joints.size(); ++i) joints[i]->index = int32_t(i);

    // The parent is looked up again in the new order. When two joints share a
    // name this finds the shallowest of them, the same joint every other
    // object naming it hangs from; being the first match in sorted order, it
    // comes before the child (the joint found before the sort is a match one
    // level up), so its world matrix is already final.
    const JointNameIndex sortedByName = BuildNameIndex(joints);
    for (auto& jp : joints) {
        Joint& j = *jp;
        j.parentIndex = -1;
        if (j.depth <= 0) continue;
        int32_t k = FindFirst(sortedByName, joints, j.parentName);
        if (k < 0 || k >= j.index) continue;  // cannot happen: see above
        j.parentIndex = k;
        j.worldMatrix = MultiplyMatrix(j.localMatrix, joints[size_t(k)]->worldMatrix);
    }
}
