// A node's scale, which the scene has no place for: the readers keep it as
// the linear map of the node's frame and bake it into what lies in that
// frame (its mesh's vertices and normals, its children's places).
#pragma once

#include <algorithm>
#include <cmath>

// A 3 x 3 linear map, row by row, acting on column vectors.
struct Frame {
    double m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

    static Frame Uniform(double s) {
        Frame f;
        f.m[0] = f.m[4] = f.m[8] = s;
        return f;
    }
    // True with the factor when the map is one scale on every axis.
    bool IsUniform(double& s) const {
        s = m[0];
        return m[1] == 0 && m[2] == 0 && m[3] == 0 && m[5] == 0 && m[6] == 0 && m[7] == 0 && m[4] == s && m[8] == s;
    }
    bool operator==(const Frame& o) const { return std::equal(m, m + 9, o.m); }
    bool operator!=(const Frame& o) const { return !(*this == o); }
    Frame operator*(const Frame& o) const {
        Frame out;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                out.m[r * 3 + c] = m[r * 3] * o.m[c] + m[r * 3 + 1] * o.m[3 + c] + m[r * 3 + 2] * o.m[6 + c];
        return out;
    }
    Frame Transposed() const {
        Frame out;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) out.m[r * 3 + c] = m[c * 3 + r];
        return out;
    }
    void Apply(const double in[3], double out[3]) const {
        for (int r = 0; r < 3; ++r) out[r] = m[r * 3] * in[0] + m[r * 3 + 1] * in[1] + m[r * 3 + 2] * in[2];
    }
    double Determinant() const {
        return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
               m[2] * (m[3] * m[7] - m[4] * m[6]);
    }
    // The map normals take (the transposed inverse, up to a positive factor).
    Frame Cofactors() const {
        Frame out;
        const double sign = Determinant() < 0 ? -1 : 1;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
                out.m[r * 3 + c] = sign * (m[r1 * 3 + c1] * m[r2 * 3 + c2] - m[r1 * 3 + c2] * m[r2 * 3 + c1]);
            }
        return out;
    }
    // Entries within a float text's rounding of 0 or 1 made exact, so a
    // map without scale is the identity.
    void Snap() {
        for (double& v : m) {
            if (std::fabs(v) < 1e-5) v = 0;
            else if (std::fabs(v - 1) < 1e-5) v = 1;
            else if (std::fabs(v + 1) < 1e-5) v = -1;
        }
    }
};

// The rotation part of a linear map: its columns made orthonormal in
// order (a mirrored map keeps its mirror out of the rotation).
Frame RotationOf(const Frame& l);
