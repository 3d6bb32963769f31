// The joint list ("HIER"): reading, resolving parents, sorting, world matrices.
#include <gtest/gtest.h>

#include "model/joints.h"
#include "model/object_readers.h"
#include "tests/model/model_test_support.h"

namespace {

Model ModelOf(const std::vector<std::pair<const char*, const char*>>& joints) {
    Model model;
    for (const auto& j : joints) {
        model.joints.push_back(std::make_unique<Joint>());
        model.joints.back()->name.Set(j.first);
        model.joints.back()->parentName.Set(j.second);
    }
    return model;
}

}  // namespace

TEST(ReadJoints, FieldsInFileOrderAndClippedCounts) {
    // Hand-built records: name, parent, position, rotation, scale, axis, flags.
    const float values[12] = {1, 2, 3, 0.5f, -0.25f, 4, 2, 3, 4, 0.1f, 0.2f, 0.3f};
    for (uint32_t count : {2u, 1000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        ByteWriter w;
        PutU32(w, count);
        for (const char* name : {"Hull", "Gun"}) {
            PutCounted(w, name);
            PutCounted(w, "Root");
            for (float v : values) PutF32(w, v);
            PutBytes(w, "\0\7\xff", 3);
        }
        PutBytes(w, "\1\1\1", 3);  // the start of a third record
        Model model;
        ReadJoints(ReaderOf(w.bytes), model);
        ExpectClean(model);
        ASSERT_EQ(model.joints.size(), count == 0xFFFFFFFFu ? 0u : 2u);
        if (model.joints.empty()) continue;
        const Joint& j = *model.joints[1];
        EXPECT_EQ(j.index, 1);
        EXPECT_EQ(j.name.value + "/" + j.parentName.value, "Gun/Root");
        const float* got[4] = {j.position, j.rotation, j.scale, j.axis};
        for (int t = 0; t < 12; ++t) EXPECT_EQ(got[t / 3][t % 3], values[t]) << t;
        EXPECT_EQ(j.flags[0] + 10 * j.flags[1] + 1000 * j.flags[2], 255070);  // flags 0, 7, 255
    }
}

TEST(ResolveJoints, OrderDepthsAndParents) {
    struct Expect {
        const char* name;
        int depth, parentIndex, hasChildren;
    };
    struct Row {
        const char* what;
        std::vector<std::pair<const char*, const char*>> joints;
        std::vector<Expect> sorted;
    };
    const Row rows[] = {
        {"hull_root_gun",
         {{"Hull", "Root"}, {"Root", ""}, {"Gun", "Hull"}},
         {{"Root", 0, -1, 1}, {"Hull", 1, 0, 1}, {"Gun", 2, 1, 0}}},
        {"roots_tie_on_depth_sort_by_name", {{"Root", ""}, {"Alpha", ""}}, {{"Alpha", 0, -1, 0}, {"Root", 0, -1, 0}}},
        {"name_order_ignores_case",
         {{"beta", ""}, {"Alpha", ""}, {"_x", ""}, {"Charlie", ""}},
         {{"_x", 0, -1, 0}, {"Alpha", 0, -1, 0}, {"beta", 0, -1, 0}, {"Charlie", 0, -1, 0}}},
        {"parent_name_in_other_case", {{"child", "ROOT"}, {"root", ""}}, {{"root", 0, -1, 1}, {"child", 1, 0, 0}}},
        {"unknown_parent_is_root", {{"B", "nobody"}, {"A", "B"}}, {{"B", 0, -1, 1}, {"A", 1, 0, 0}}},
        {"self_parent_sorts_first", {{"Root", ""}, {"Self", "Self"}}, {{"Self", -1, -1, 1}, {"Root", 0, -1, 0}}},
        {"two_joint_loop_and_chain_into_it",
         {{"Z", ""}, {"Tail", "A"}, {"B", "A"}, {"A", "B"}, {"Leaf", "Z"}},
         {{"A", -1, -1, 1}, {"B", -1, -1, 1}, {"Tail", -1, -1, 0}, {"Z", 0, -1, 1}, {"Leaf", 1, 3, 0}}},
        {"equal_names_keep_list_order", {{"x", ""}, {"X", ""}, {"x", ""}}, {{"x", 0, -1, 0}, {"X", 0, -1, 0}, {"x", 0, -1, 0}}},
        {"deep_chain_listed_backwards",
         {{"d", "c"}, {"c", "b"}, {"b", "a"}, {"a", ""}},
         {{"a", 0, -1, 1}, {"b", 1, 0, 1}, {"c", 2, 1, 1}, {"d", 3, 2, 0}}},
        // Two joints named "A": after sorting, the shallowest "A" comes first
        // and is the one C hangs from.
        {"duplicate_parent_name_takes_first_in_sorted_order",
         {{"A", "R"}, {"R", ""}, {"C", "A"}, {"A", ""}},
         {{"A", 0, -1, 0}, {"R", 0, -1, 1}, {"A", 1, 1, 1}, {"C", 2, 0, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Model model = ModelOf(row.joints);
        std::vector<const Joint*> fileOrder;
        for (auto& j : model.joints) fileOrder.push_back(j.get());
        ResolveJoints(model);
        ExpectClean(model);
        ASSERT_EQ(model.joints.size(), row.sorted.size());
        for (size_t i = 0; i < row.sorted.size(); ++i) {
            SCOPED_TRACE(i);
            const Joint& j = *model.joints[i];
            EXPECT_EQ(j.name.value, row.sorted[i].name);
            EXPECT_EQ(j.index, int(i));
            EXPECT_EQ(j.depth, row.sorted[i].depth);
            EXPECT_EQ(j.parentIndex, row.sorted[i].parentIndex);
            EXPECT_EQ(j.hasChildren, row.sorted[i].hasChildren);
            if (std::string(row.what) == "equal_names_keep_list_order") { EXPECT_EQ(&j, fileOrder[i]); }
        }
    }
}

TEST(ResolveJoints, WorldMatricesChainParentFirst) {
    // Root at (10, 0, 0) turned a quarter about Z; Arm 1 along its local X;
    // Hand 2 along Arm's X. World positions: Arm at (10, 1, 0), Hand at (10, 3, 0).
    // A joint in a loop keeps the identity.
    Model model = ModelOf({{"Hand", "Arm"}, {"Arm", "Root"}, {"Root", ""}, {"Loop", "Loop"}});
    model.joints[0]->position[0] = 2;
    model.joints[1]->position[0] = 1;
    model.joints[2]->position[0] = 10;
    model.joints[2]->rotation[2] = 1.57079637f;
    model.joints[3]->position[0] = 5;
    ResolveJoints(model);
    const char* names[4] = {"Loop", "Root", "Arm", "Hand"};
    const float expect[4][3] = {{0, 0, 0}, {10, 0, 0}, {10, 1, 0}, {10, 3, 0}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_EQ(model.joints[i]->name.value, names[i]);
        const float* m = model.joints[i]->worldMatrix.m;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(m[12 + k], expect[i][k], 1e-6);
    }
    EXPECT_EQ(model.joints[0]->worldMatrix.m[0], 1.0f);
}
