#include "model/transform.h"

#include <algorithm>
#include <cmath>

// Every step below is done in float, in the order written, with no fused
// multiply-add: the node output prints these numbers with "%f", and a
// different rounding path would change the last printed digit.

Matrix IdentityMatrix() { return Matrix(); }

Matrix MultiplyMatrix(const Matrix& a, const Matrix& b) {
    Matrix out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float sum = a.m[4 * r + 0] * b.m[0 + c];
            sum = sum + a.m[4 * r + 1] * b.m[4 + c];
            sum = sum + a.m[4 * r + 2] * b.m[8 + c];
            sum = sum + a.m[4 * r + 3] * b.m[12 + c];
            out.m[4 * r + c] = sum;
        }
    }
    return out;
}

static void CosSin(float angle, float& c, float& s) {
    // The trigonometry runs in double from the float angle and is stored as
    // float, so cos(pi/2) comes out as the float of a tiny double, not 0.
    c = float(std::cos(double(angle)));
    s = float(std::sin(double(angle)));
}

Matrix JointLocalMatrix(const float position[3], const float rotation[3], const float scale[3]) {
    float cx, sx, cy, sy, cz, sz;
    CosSin(rotation[0], cx, sx);
    CosSin(rotation[1], cy, sy);
    CosSin(rotation[2], cz, sz);

    Matrix rx;
    rx.m[5] = cx;
    rx.m[6] = sx;
    rx.m[9] = -sx;
    rx.m[10] = cx;

    Matrix ry;
    ry.m[0] = cy;
    ry.m[2] = -sy;
    ry.m[8] = sy;
    ry.m[10] = cy;

    Matrix rz;
    rz.m[0] = cz;
    rz.m[1] = sz;
    rz.m[4] = -sz;
    rz.m[5] = cz;

    Matrix s;
    s.m[0] = scale[0];
    s.m[5] = scale[1];
    s.m[10] = scale[2];

    Matrix t;
    t.m[12] = position[0];
    t.m[13] = position[1];
    t.m[14] = position[2];

    Matrix r = MultiplyMatrix(MultiplyMatrix(rx, ry), rz);
    return MultiplyMatrix(MultiplyMatrix(s, r), t);
}

void MatrixToEuler(const float m[9], float out[3]) {
    const float kPi = 3.14159274f;
    float x = float(std::atan2(double(m[5]), double(m[8])));
    // A scaled matrix can hold a sine past 1: taken as 1, not as a NaN.
    float y = float(-std::asin(std::max(-1.0, std::min(1.0, double(m[2])))));
    float z = float(std::atan2(double(m[1]), double(m[0])));
    // Turned a quarter about Y, the turns about X and Z share one axis (the
    // entries above hold nothing of them): all of it is taken about X.
    if (std::hypot(double(m[0]), double(m[1])) < 1e-6) {
        x = float(m[2] < 0 ? std::atan2(double(m[3]), double(m[4])) : std::atan2(-double(m[3]), double(m[4])));
        z = 0;
    }

    float ax = x + kPi;
    float ay = kPi - y;
    float az = z + kPi;

    float score = std::fabs(x) + std::fabs(y) + std::fabs(z);
    float altScore = std::fabs(ax) + std::fabs(ay) + std::fabs(az);
    if (altScore < score) {
        x = ax;
        y = ay;
        z = az;
    }
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void NearestEuler(float angles[3], const float previous[3]) {
    const double kPi = 3.14159265358979323846, kTurn = 2 * kPi;
    const double forms[2][3] = {{angles[0], angles[1], angles[2]},
                                {angles[0] + kPi, kPi - angles[1], angles[2] + kPi}};
    double best[3] = {0, 0, 0}, bestDistance = 0;
    for (int f = 0; f < 2; ++f) {
        double turned[3], distance = 0;
        for (int i = 0; i < 3; ++i) {
            turned[i] = forms[f][i] - kTurn * std::round((forms[f][i] - previous[i]) / kTurn);
            distance += std::fabs(turned[i] - previous[i]);
        }
        if (f == 0 || distance < bestDistance) {
            std::copy(turned, turned + 3, best);
            bestDistance = distance;
        }
    }
    // Turned a quarter about Y, the turns about X and Z share one axis: only
    // x - z (y = +90 degrees) or x + z (y = -90 degrees) counts, and the
    // pair is moved to lie nearest the last key's.
    if (std::fabs(std::cos(best[1])) < 1e-3) {
        const double side = std::sin(best[1]) > 0 ? 1 : -1;
        const double shift = ((previous[0] - best[0]) + side * (previous[2] - best[2])) / 2;
        best[0] += shift;
        best[2] += side * shift;
    }
    for (int i = 0; i < 3; ++i) angles[i] = float(best[i]);
}

void MatrixToEuler(const Matrix& matrix, float out[3]) {
    const float m[9] = {matrix.m[0], matrix.m[1], matrix.m[2],  matrix.m[4], matrix.m[5],
                        matrix.m[6], matrix.m[8], matrix.m[9], matrix.m[10]};
    MatrixToEuler(m, out);
}

void AddPoint(Bounds& b, const float q[3]) {
    for (int i = 0; i < 3; ++i) {
        if (b.boxMin[i] > q[i]) b.boxMin[i] = q[i];
        if (q[i] > b.boxMax[i]) b.boxMax[i] = q[i];
    }
    if (b.count < 1) {
        b.sphereCentre[0] = q[0];
        b.sphereCentre[1] = q[1];
        b.sphereCentre[2] = q[2];
        b.sphereRadius = 0;
        b.sphereRadiusSq = 0;
    } else {
        float dx = q[0] - b.sphereCentre[0];
        float dy = q[1] - b.sphereCentre[1];
        float dz = q[2] - b.sphereCentre[2];
        float dist2 = dy * dy + dx * dx + dz * dz;
        if (dist2 > b.sphereRadiusSq) {
            float dist = dist2 > 0 ? std::sqrt(dist2) : 0.0f;
            float inv = dist != 0 ? 1.0f / dist : 0.0f;
            // Grow just enough towards q: the far side of the old sphere stays
            // on the new one.
            float half = (dist - b.sphereRadius) * 0.5f;
            float radius = half + b.sphereRadius;
            b.sphereCentre[0] = inv * dx * half + b.sphereCentre[0];
            b.sphereCentre[1] = inv * dy * half + b.sphereCentre[1];
            b.sphereCentre[2] = inv * dz * half + b.sphereCentre[2];
            b.sphereRadius = radius;
            b.sphereRadiusSq = radius * radius;
        }
    }
    // Saturate rather than wrap: a count is only ever compared with 1.
    if (b.count < INT32_MAX) ++b.count;
}

void AddMeshToBounds(const Mesh& mesh, Bounds& b, const Matrix* matrix) {
    for (const MeshPart& part : mesh.parts) {
        if (!(part.format & kFormatPosition)) continue;
        if (part.stride < 3 || part.vertexCount <= 0) continue;
        const size_t stride = size_t(part.stride);
        // The reader keeps vertices.size() == vertexCount * stride; the bound is
        // checked anyway so a hand-built part cannot make this read past it.
        size_t count = size_t(part.vertexCount);
        if (count > part.vertices.size() / stride) count = part.vertices.size() / stride;
        const float* v = part.vertices.data();
        for (size_t i = 0; i < count; ++i, v += stride) {
            float p[3];
            if (matrix) {
                const float* m = matrix->m;
                p[0] = v[0] * m[0] + v[1] * m[4] + v[2] * m[8] + m[12];
                p[1] = v[0] * m[1] + v[1] * m[5] + v[2] * m[9] + m[13];
                p[2] = v[0] * m[2] + v[1] * m[6] + v[2] * m[10] + m[14];
            } else {
                p[0] = v[0];
                p[1] = v[1];
                p[2] = v[2];
            }
            AddPoint(b, p);
        }
    }
}
