#include "scene/curves.h"

#include <algorithm>
#include <cmath>

#include "scene/conventions.h"

namespace {

double Cubic(double p0, double p1, double p2, double p3, double s) {
    const double r = 1 - s;
    return r * r * r * p0 + 3 * r * r * s * p1 + 3 * r * s * s * p2 + s * s * s * p3;
}

}  // namespace

double CurveValue(const AnimationCurve& curve, double t) {
    const std::vector<CurveKey>& keys = curve.keys;
    if (keys.empty()) return 0;
    if (!(t > keys.front().time)) return keys.front().value;
    if (!(t < keys.back().time)) return keys.back().value;
    // The last key at or before t (times are in order as stored).
    const auto after = std::upper_bound(keys.begin(), keys.end(), t,
                                        [](double time, const CurveKey& key) { return time < key.time; });
    const CurveKey& a = *(after - 1);
    const CurveKey& b = *after;
    const double span = b.time - a.time;
    if (!(span > 0)) return b.value;
    if (a.interpolation == 0 || !HasTangents(curve)) return a.value + (b.value - a.value) * (t - a.time) / span;
    // Handles kept inside the segment, so time runs one way along the cubic.
    const double x1 = std::clamp(a.time + double(a.outTangentX), a.time, b.time);
    const double x2 = std::clamp(b.time + double(b.inTangentX), a.time, b.time);
    const double y1 = a.value + double(a.outTangentY);
    const double y2 = b.value + double(b.inTangentY);
    double lo = 0, hi = 1;
    for (int i = 0; i < 48; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (Cubic(a.time, x1, x2, b.time, mid) < t) lo = mid;
        else hi = mid;
    }
    return Cubic(a.value, y1, y2, b.value, 0.5 * (lo + hi));
}

std::vector<double> SampleTimes(const std::vector<const AnimationCurve*>& curves, double start, double end) {
    std::vector<double> times{start};
    if (!(end > start)) return times;
    const double frame = kFrameSeconds;
    for (long i = 1;; ++i) {
        const double t = start + double(i) * frame;
        if (!(t < end) || i > 100000) break;
        times.push_back(t);
    }
    for (const AnimationCurve* curve : curves)
        for (const CurveKey& key : curve->keys)
            if (key.time > start && key.time < end) times.push_back(key.time);
    times.push_back(end);
    std::sort(times.begin(), times.end());
    // Times closer than a microsecond are one sample.
    std::vector<double> out;
    for (double t : times)
        if (out.empty() || t - out.back() > 1e-6) out.push_back(t);
    return out;
}

void EulerToQuaternion(double x, double y, double z, double q[4]) {
    const double cx = std::cos(x / 2), sx = std::sin(x / 2);
    const double cy = std::cos(y / 2), sy = std::sin(y / 2);
    const double cz = std::cos(z / 2), sz = std::sin(z / 2);
    // qz * qy * qx
    q[0] = cz * cy * sx - sz * sy * cx;
    q[1] = cz * sy * cx + sz * cy * sx;
    q[2] = sz * cy * cx - cz * sy * sx;
    q[3] = cz * cy * cx + sz * sy * sx;
}
