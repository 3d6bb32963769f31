// Resolving the joint list: parents by name, depth-first order, loops.
#include <gtest/gtest.h>

#include "model/joints.h"
#include "model/check_model.h"

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
        ResolveJoints(model);
        EXPECT_EQ(CheckModel(model), std::vector<std::string>());
        ASSERT_EQ(model.joints.size(), row.sorted.size());
        for (size_t i = 0; i < row.sorted.size(); ++i) {
            SCOPED_TRACE(i);
            const Joint& j = *model.joints[i];
            EXPECT_EQ(j.name.value, row.sorted[i].name);
            EXPECT_EQ(j.index, int(i));
            EXPECT_EQ(j.depth, row.sorted[i].depth);
            EXPECT_EQ(j.parentIndex, row.sorted[i].parentIndex);
            EXPECT_EQ(j.hasChildren, row.sorted[i].hasChildren);
        }
    }
}
