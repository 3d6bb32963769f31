#include <gtest/gtest.h>

#include <cstdio>

#include "model/transform.h"

// Expected bit patterns below come from a separate step-by-step float32
// computation (numpy), written as hex floats so no decimal rounding creeps in.

namespace {

void MapPoint(const Matrix& m, const float p[3], float out[3]) {
    for (int c = 0; c < 3; ++c)
        out[c] = p[0] * m.m[c] + p[1] * m.m[4 + c] + p[2] * m.m[8 + c] + m.m[12 + c];
}

std::string F6(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%f", double(v));
    return buf;
}

}  // namespace

TEST(JointLocalMatrix, MapsPointsInScaleRotateTranslateOrder) {
    const float kHalfPi = 1.57079637f;
    struct Row {
        const char* what;
        float position[3], rotation[3], scale[3];
        float point[3];
        float expect[3];
    };
    const Row rows[] = {
        {"quarter_turn_z_then_move", {1, 0, 0}, {0, 0, kHalfPi}, {1, 1, 1}, {1, 0, 0}, {1, 1, 0}},
        {"quarter_turn_x", {0, 0, 0}, {kHalfPi, 0, 0}, {1, 1, 1}, {0, 1, 0}, {0, 0, 1}},
        {"quarter_turn_y", {0, 0, 0}, {0, kHalfPi, 0}, {1, 1, 1}, {1, 0, 0}, {0, 0, -1}},
        // X turns first: (0,1,0) -> (0,0,1), which the Z turn leaves alone.
        // Turning about Z first would give (-1, 0, 0).
        {"x_before_z", {0, 0, 0}, {kHalfPi, 0, kHalfPi}, {1, 1, 1}, {0, 1, 0}, {0, 0, 1}},
        // Scale first: (1,0,0) -> (2,0,0) -> (0,2,0) -> (0,2,5).
        {"scale_before_rotation", {0, 0, 5}, {0, 0, kHalfPi}, {2, 1, 1}, {1, 0, 0}, {0, 2, 5}},
        {"identity", {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {3, -4, 5}, {3, -4, 5}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Matrix m = JointLocalMatrix(row.position, row.rotation, row.scale);
        float got[3];
        MapPoint(m, row.point, got);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], row.expect[k], 1e-6) << k;
    }
}

TEST(JointLocalMatrix, SinglePrecisionStepsBitForBit) {
    const float position[3] = {1.5f, -2, 0.25f};
    const float rotation[3] = {0.3f, -0.4f, 0.5f};
    const float scale[3] = {1, 2, 0.5f};
    const float expect[16] = {0x1.9dda6cp-1f,  0x1.c42d98p-2f,  0x1.8ec3aep-2f, 0,
                              -0x1.1e3602p+0f, 0x1.91016ap+0f,  0x1.16b98ap-1f, 0,
                              -0x1.7a7a18p-4f, -0x1.c034f0p-3f, 0x1.c2854ap-2f, 0,
                              1.5f,            -2.0f,           0.25f,          1};
    Matrix m = JointLocalMatrix(position, rotation, scale);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.m[i], expect[i]) << i;
}

TEST(MatrixToEuler, AnglesAndAlternativeSolution) {
    struct Row {
        const char* what;
        float m[9];
        float expect[3];
    };
    const Row rows[] = {
        {"identity", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 0, 0}},
        {"built_from_0.3_-0.4_0.5",
         {0x1.9dda6cp-1f, 0x1.c42d98p-2f, 0x1.8ec3aep-2f, -0x1.1e3602p-1f, 0x1.91016ap-1f,
          0x1.16b98ap-2f, -0x1.7a7a18p-3f, -0x1.c034f0p-2f, 0x1.c2854ap-1f},
         {0x1.333334p-2f, -0x1.999998p-2f, 0.5f}},
        {"built_from_2.5_0.7_-1.2",
         {0x1.1bcc48p-2f, -0x1.6cfc5cp-1f, -0x1.49d6e6p-1f, -0x1.36c794p-1f, -0x1.4c9e3ep-1f,
          0x1.d4b8f0p-2f, -0x1.7d588ap-1f, 0x1.0e83c2p-2f, -0x1.39ba2ap-1f},
         {2.5f, 0x1.666666p-1f, -0x1.333334p+0f}},
        // Built from (-3, 1.5, -3): the alternative (x + pi, pi - y, z + pi)
        // scores far lower and replaces it.
        {"alternative_scores_lower",
         {-0x1.1ed70ap-4f, -0x1.471ab8p-7f, -0x1.feb7aap-1f, -0x1.6ef800p-12f, 0x1.fff976p-1f,
          -0x1.471ab8p-7f, 0x1.febe36p-1f, -0x1.6ef800p-12f, -0x1.1ed70ap-4f},
         {0x1.21fb60p-3f, 0x1.a43f6ap+0f, 0x1.21fb60p-3f}},
        // A half turn about X: x = atan2(0, -1) = pi, and the alternative
        // (2 pi, pi, pi) scores higher, so the first solution stays.
        {"half_turn_x", {1, 0, 0, 0, -1, 0, 0, 0, -1}, {3.14159274f, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        float got[3];
        MatrixToEuler(row.m, got);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(got[k], row.expect[k]) << k;
    }
}

TEST(Bounds, EmptySinglePointAndStepByStep) {
    struct Step {
        float point[3];
        float centre[3];
        float radius;
        float radiusSq;
    };
    // Later steps from the float32 oracle.
    const Step steps[] = {
        {{0, 0, 0}, {0, 0, 0}, 0, 0},
        {{2, 0, 0}, {1, 0, 0}, 1, 1},
        {{1, 0.5f, 0}, {1, 0, 0}, 1, 1},  // inside: only the count changes
        {{0, 3, 0}, {0x1.50f44cp-1f, 0x1.06918cp+0f, 0}, 0x1.0a62c2p+1f, 0x1.153162p+2f},
        {{-1, -1, 4},
         {0x1.851560p-3f, 0x1.d0a61cp-2f, 0x1.211a8ap+0f},
         0x1.b72428p+1f,
         0x1.78a684p+3f},
    };
    Bounds b;  // nothing added: the box runs from the largest float to minus it
    EXPECT_EQ(F6(b.boxMin[0]), "340282346638528859811704183484516925440.000000");
    EXPECT_EQ(F6(b.boxMax[2]), "-340282346638528859811704183484516925440.000000");
    Bounds one;
    const float p[3] = {1, 2, 3};
    AddPoint(one, p);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(one.boxMin[k], p[k]);
        EXPECT_EQ(one.boxMax[k], p[k]);
        EXPECT_EQ(one.sphereCentre[k], p[k]);
    }
    EXPECT_EQ(one.sphereRadius, 0);
    int n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n);
        AddPoint(b, s.point);
        EXPECT_EQ(b.count, ++n);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(b.sphereCentre[k], s.centre[k]) << k;
        EXPECT_EQ(b.sphereRadius, s.radius);
        EXPECT_EQ(b.sphereRadiusSq, s.radiusSq);
    }
    const float boxMin[3] = {-1, -1, 0}, boxMax[3] = {2, 3, 4};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(b.boxMin[k], boxMin[k]);
        EXPECT_EQ(b.boxMax[k], boxMax[k]);
    }
}
