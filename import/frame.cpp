#include "import/frame.h"

Frame RotationOf(const Frame& l) {
    double c[3][3];
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) c[k][r] = l.m[r * 3 + k];
    for (int k = 0; k < 3; ++k) {
        for (int j = 0; j < k; ++j) {
            const double d = c[k][0] * c[j][0] + c[k][1] * c[j][1] + c[k][2] * c[j][2];
            for (int r = 0; r < 3; ++r) c[k][r] -= d * c[j][r];
        }
        const double n = std::sqrt(c[k][0] * c[k][0] + c[k][1] * c[k][1] + c[k][2] * c[k][2]);
        if (!(n > 1e-12) || !std::isfinite(n)) return Frame();
        for (int r = 0; r < 3; ++r) c[k][r] /= n;
    }
    Frame out;
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) out.m[r * 3 + k] = c[k][r];
    if (out.Determinant() < 0)
        for (int r = 0; r < 3; ++r) out.m[r * 3 + 2] = -out.m[r * 3 + 2];
    return out;
}

