// Animation curves evaluated at any time, for formats that take sampled keys
// and for reading such keys back.
#pragma once

#include <vector>

#include "model/model.h"

// The curve's value at time t: the first key's value before it, the last
// key's after it, and between two keys a straight line or, when the earlier
// key is a Bézier key, the cubic through the keys and their tangent handles
// (stored as offsets from their key: in time, then in value). 0 without keys.
double CurveValue(const AnimationCurve& curve, double t);

// Times from start to end: every frame (scene/conventions.h), every key time of the curves inside
// the range, and end itself; sorted, without repeats. Just start when end is
// not after start.
std::vector<double> SampleTimes(const std::vector<const AnimationCurve*>& curves, double start, double end);

// A node's Euler angles (in the order scene/conventions.h states) as a
// quaternion x, y, z, w.
void EulerToQuaternion(double x, double y, double z, double q[4]);
