#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/joints.h"
#include "model/object_readers.h"
#include "tests/model/dtrm_test_support.h"

namespace {

struct JointSpec {
    const char* name;
    const char* parent;
};

void AddJoint(Model& model, const char* name, const char* parent) {
    auto j = std::make_unique<Joint>();
    j->name.Set(name);
    j->parentName.Set(parent);
    model.joints.push_back(std::move(j));
}

Model ModelOf(const std::vector<JointSpec>& specs) {
    Model model;
    for (const JointSpec& s : specs) AddJoint(model, s.name, s.parent);
    return model;
}

std::vector<unsigned char> HierBody(const Model& model) {
    ByteWriter w;
    AppendJointsChunk(w, model.joints);
    return ChunkBody(w.bytes);
}

}  // namespace

TEST(ReadJoints, ReadsEveryFieldInFileOrder) {
    // Hand-built record: the oracle is the byte layout, not the fixture writer.
    ByteWriter w;
    PutU32(w, 2);
    PutCounted(w, "Hull");
    PutCounted(w, "Root");
    const float values[12] = {1, 2, 3, 0.5f, -0.25f, 4, 2, 3, 4, 0.1f, 0.2f, 0.3f};
    for (float v : values) PutF32(w, v);
    PutU8(w, 0);
    PutU8(w, 7);
    PutU8(w, 255);
    PutCounted(w, "");
    PutCounted(w, "");
    for (int i = 0; i < 12; ++i) PutF32(w, 0);
    PutBytes(w, "\1\1\1", 3);

    Model model;
    ReadJoints(ReaderOf(w.bytes), model);
    ASSERT_EQ(model.joints.size(), 2u);
    const Joint& j = *model.joints[0];
    EXPECT_EQ(j.index, 0);
    EXPECT_EQ(model.joints[1]->index, 1);
    EXPECT_STREQ(j.name.CStr(), "Hull");
    EXPECT_STREQ(j.parentName.CStr(), "Root");
    const float* got[4] = {j.position, j.rotation, j.scale, j.axis};
    for (int t = 0; t < 4; ++t)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(got[t][k], values[3 * t + k]) << t << "," << k;
    EXPECT_EQ(j.flags[0], 0);
    EXPECT_EQ(j.flags[1], 7);
    EXPECT_EQ(j.flags[2], 255);
    EXPECT_EQ(j.depth, -1);
    EXPECT_EQ(j.parentIndex, -1);
}

TEST(ReadJoints, BadCountsAndShortRecords) {
    struct Row {
        const char* what;
        uint32_t count;
        int recordsWritten;
        size_t cut;  // bytes removed from the end
        size_t expect;
    };
    const Row rows[] = {
        {"count_matches", 3, 3, 0, 3},
        {"count_above_records", 1000000, 3, 0, 3},
        {"count_negative", 0xFFFFFFFFu, 3, 0, 0},
        {"count_zero", 0, 3, 0, 0},
        {"last_record_cut_in_flags", 3, 3, 1, 2},
        {"last_record_cut_in_name", 3, 3, 59, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ByteWriter w;
        PutU32(w, row.count);
        for (int i = 0; i < row.recordsWritten; ++i) {
            PutCounted(w, "joint" + std::to_string(i));
            PutCounted(w, "");
            for (int k = 0; k < 12; ++k) PutF32(w, 1);
            PutBytes(w, "\0\0\0", 3);
        }
        w.bytes.resize(w.bytes.size() - row.cut);
        Model model;
        ReadJoints(ReaderOf(w.bytes), model);
        ASSERT_EQ(model.joints.size(), row.expect);
        for (size_t i = 0; i < row.expect; ++i)
            EXPECT_EQ(model.joints[i]->name.value, "joint" + std::to_string(i));
    }
}

TEST(ReadJoints, EveryTruncationStopsCleanly) {
    Model source = ModelOf({{"Root", ""}, {"Hull", "Root"}, {"Gun", "Hull"}});
    const std::vector<unsigned char> body = HierBody(source);
    ForEachTruncation(body, [&](size_t len, ByteReader r) {
        SCOPED_TRACE(len);
        Model model;
        ReadJoints(r, model);
        ASSERT_LT(model.joints.size(), 3u);
        for (size_t i = 0; i < model.joints.size(); ++i)
            EXPECT_TRUE(NameMatch(model.joints[i]->name, source.joints[i]->name));
        ResolveJoints(model);
        EXPECT_EQ(ModelProblems(model), "");
    });
    Model whole;
    ReadJoints(ReaderOf(body), whole);
    EXPECT_EQ(whole.joints.size(), 3u);
}

TEST(ResolveJoints, OrderDepthsAndParents) {
    struct Expect {
        const char* name;
        int depth;
        int parentIndex;
        int hasChildren;
    };
    struct Row {
        const char* what;
        std::vector<JointSpec> joints;
        std::vector<Expect> sorted;
    };
    const Row rows[] = {
        {"hull_root_gun",
         {{"Hull", "Root"}, {"Root", ""}, {"Gun", "Hull"}},
         {{"Root", 0, -1, 1}, {"Hull", 1, 0, 1}, {"Gun", 2, 1, 0}}},
        {"roots_tie_on_depth_sort_by_name",
         {{"Root", ""}, {"Alpha", ""}},
         {{"Alpha", 0, -1, 0}, {"Root", 0, -1, 0}}},
        {"name_order_ignores_case",
         {{"beta", ""}, {"Alpha", ""}, {"_x", ""}, {"Charlie", ""}},
         {{"_x", 0, -1, 0}, {"Alpha", 0, -1, 0}, {"beta", 0, -1, 0}, {"Charlie", 0, -1, 0}}},
        {"parent_name_in_other_case",
         {{"child", "ROOT"}, {"root", ""}},
         {{"root", 0, -1, 1}, {"child", 1, 0, 0}}},
        {"unknown_parent_is_root",
         {{"B", "nobody"}, {"A", "B"}},
         {{"B", 0, -1, 1}, {"A", 1, 0, 0}}},
        {"self_parent_sorts_first",
         {{"Root", ""}, {"Self", "Self"}},
         {{"Self", -1, -1, 1}, {"Root", 0, -1, 0}}},
        {"two_joint_loop_and_chain_into_it",
         {{"Z", ""}, {"Tail", "A"}, {"B", "A"}, {"A", "B"}, {"Leaf", "Z"}},
         {{"A", -1, -1, 1}, {"B", -1, -1, 1}, {"Tail", -1, -1, 0}, {"Z", 0, -1, 1},
          {"Leaf", 1, 3, 0}}},
        {"equal_names_keep_list_order",
         {{"x", ""}, {"X", ""}, {"x", ""}},
         {{"x", 0, -1, 0}, {"X", 0, -1, 0}, {"x", 0, -1, 0}}},
        {"deep_chain_listed_backwards",
         {{"d", "c"}, {"c", "b"}, {"b", "a"}, {"a", ""}},
         {{"a", 0, -1, 1}, {"b", 1, 0, 1}, {"c", 2, 1, 1}, {"d", 3, 2, 0}}},
        // Two joints named "A": the first in file order (depth 1, under R) is
        // the parent found while depths are computed; after sorting, the
        // shallowest "A" comes first and is the one C hangs from.
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
        ASSERT_EQ(model.joints.size(), row.sorted.size());
        for (size_t i = 0; i < row.sorted.size(); ++i) {
            SCOPED_TRACE(i);
            const Joint& j = *model.joints[i];
            EXPECT_STREQ(j.name.CStr(), row.sorted[i].name);
            EXPECT_EQ(j.index, int(i));
            EXPECT_EQ(j.depth, row.sorted[i].depth);
            EXPECT_EQ(j.parentIndex, row.sorted[i].parentIndex);
            EXPECT_EQ(j.hasChildren, row.sorted[i].hasChildren);
        }
        if (std::string(row.what) == "equal_names_keep_list_order") {
            EXPECT_EQ(model.joints[0].get(), fileOrder[0]);
            EXPECT_EQ(model.joints[1].get(), fileOrder[1]);
            EXPECT_EQ(model.joints[2].get(), fileOrder[2]);
        }
    }
}

TEST(ResolveJoints, WorldMatricesChainParentFirst) {
    // Root at (10, 0, 0) turned a quarter about Z; Arm 1 along its local X;
    // Hand 2 along Arm's X. World positions: Arm at (10, 1, 0), Hand at (10, 3, 0).
    Model model = ModelOf({{"Hand", "Arm"}, {"Arm", "Root"}, {"Root", ""}, {"Loop", "Loop"}});
    Joint& hand = *model.joints[0];
    Joint& arm = *model.joints[1];
    Joint& root = *model.joints[2];
    hand.position[0] = 2;
    arm.position[0] = 1;
    root.position[0] = 10;
    root.rotation[2] = 1.57079637f;
    model.joints[3]->position[0] = 5;
    ResolveJoints(model);
    ASSERT_STREQ(model.joints[0]->name.CStr(), "Loop");
    const float expect[4][3] = {{0, 0, 0}, {10, 0, 0}, {10, 1, 0}, {10, 3, 0}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(model.joints[size_t(i)]->name.CStr());
        const float* m = model.joints[size_t(i)]->worldMatrix.m;
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(m[12 + k], expect[i][k], 1e-6);
    }
    // A joint in a loop keeps the identity world matrix.
    Matrix identity;
    for (int k = 0; k < 16; ++k) EXPECT_EQ(model.joints[0]->worldMatrix.m[k], identity.m[k]);
    // A root's world matrix is its local matrix, bit for bit.
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(model.joints[1]->worldMatrix.m[k], model.joints[1]->localMatrix.m[k]);
}

TEST(ResolveJoints, RunningTwiceGivesTheSameResult) {
    Model model = ModelOf({{"b", "a"}, {"a", ""}, {"A", ""}, {"s", "s"}, {"c", "b"}});
    ResolveJoints(model);
    std::vector<std::string> first;
    std::vector<int> parents;
    for (auto& j : model.joints) {
        first.push_back(j->name.value);
        parents.push_back(j->parentIndex);
    }
    ResolveJoints(model);
    for (size_t i = 0; i < model.joints.size(); ++i) {
        EXPECT_EQ(model.joints[i]->name.value, first[i]);
        EXPECT_EQ(model.joints[i]->parentIndex, parents[i]);
    }
}

TEST(ResolveJoints, EmptyListDoesNothing) {
    Model model;
    ResolveJoints(model);
    EXPECT_TRUE(model.joints.empty());
}

TEST(ResolveJoints, LongChainsAndManyLoopsStayFast) {
    // 20000 joints: a chain listed deepest first (a pass-until-stable
    // resolution would need one pass per level) and a ring of 10000 joints.
    Model model;
    const int n = 10000;
    for (int i = n - 1; i >= 0; --i)
        AddJoint(model, ("c" + std::to_string(i)).c_str(),
                 i ? ("c" + std::to_string(i - 1)).c_str() : "");
    for (int i = 0; i < n; ++i)
        AddJoint(model, ("r" + std::to_string(i)).c_str(), ("r" + std::to_string((i + 1) % n)).c_str());
    ResolveJoints(model);
    ASSERT_EQ(model.joints.size(), size_t(2 * n));
    for (int i = 0; i < n; ++i) EXPECT_EQ(model.joints[size_t(i)]->depth, -1);
    for (int i = 0; i < n; ++i) {
        const Joint& j = *model.joints[size_t(n + i)];
        ASSERT_EQ(j.depth, i);
        ASSERT_EQ(j.name.value, "c" + std::to_string(i));
        ASSERT_EQ(j.parentIndex, i ? n + i - 1 : -1);
    }
}

TEST(FindJoint, HashThenCaseInsensitiveFirstMatch) {
    Model model = ModelOf({{"Hull", ""}, {"GUN", ""}, {"gun", ""}, {"", ""}});
    struct Row {
        const char* query;
        int expect;
    };
    const Row rows[] = {{"Hull", 0}, {"hull", 0}, {"HULL", 0}, {"gun", 1}, {"Gun", 1},
                        {"Hul", -1}, {"Hull ", -1}, {"", 3}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        Joint* want = row.expect < 0 ? nullptr : model.joints[size_t(row.expect)].get();
        EXPECT_EQ(FindJoint(model, row.query), want);
        EXPECT_EQ(FindJoint(model, Core_QStr(row.query)), want);
    }
    Core_QStr nullName;
    nullName.Set(static_cast<const char*>(nullptr));
    EXPECT_EQ(FindJoint(model, nullName), nullptr);
}

TEST(ResolveJoints, MatchesPassUntilStableOnRandomHierarchies) {
    // Oracle: the straightforward resolution (first match from slot 0, then
    // passes until nothing changes), on small random name pools so that
    // duplicates, loops, self-parents and unknown parents all turn up.
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    const char* pool[] = {"a", "B", "c", "A", "b", "d", "", "zz"};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Model model;
        const uint32_t count = 1 + next(12);
        for (uint32_t i = 0; i < count; ++i) AddJoint(model, pool[next(8)], pool[next(8)]);

        std::vector<int> parent(count, -1), depth(count, -1);
        for (uint32_t i = 0; i < count; ++i) {
            for (uint32_t k = 0; k < count; ++k) {
                if (NameMatch(model.joints[k]->name, model.joints[i]->parentName)) {
                    parent[i] = int(k);
                    break;
                }
            }
            if (parent[i] < 0) depth[i] = 0;
        }
        for (bool changed = true; changed;) {
            changed = false;
            for (uint32_t i = 0; i < count; ++i) {
                if (depth[i] < 0 && parent[i] >= 0 && depth[size_t(parent[i])] >= 0) {
                    depth[i] = depth[size_t(parent[i])] + 1;
                    changed = true;
                }
            }
        }
        std::vector<std::pair<const Joint*, int>> expectDepth;
        for (uint32_t i = 0; i < count; ++i) expectDepth.push_back({model.joints[i].get(), depth[i]});

        ResolveJoints(model);
        for (const auto& e : expectDepth) EXPECT_EQ(e.first->depth, e.second);
        for (uint32_t i = 0; i < count; ++i) {
            const Joint& j = *model.joints[i];
            EXPECT_EQ(j.index, int(i));
            if (i > 0) {
                const Joint& prev = *model.joints[i - 1];
                EXPECT_TRUE(prev.depth < j.depth ||
                            (prev.depth == j.depth &&
                             CompareNoCase(prev.name.CStr(), j.name.CStr()) <= 0));
            }
            if (j.depth <= 0) {
                EXPECT_EQ(j.parentIndex, -1);
                continue;
            }
            // The parent is the first joint of the sorted list with that name.
            ASSERT_GE(j.parentIndex, 0);
            ASSERT_LT(j.parentIndex, int(i));
            EXPECT_EQ(FindJoint(model, j.parentName), model.joints[size_t(j.parentIndex)].get());
        }
    }
}
