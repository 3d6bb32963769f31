// The conventions every part of the converter shares, stated once: time,
// units, angles, the names of the composed maps, the curve flag that says
// keys carry tangents, and what becomes of a triangle with a corner out of
// range. The model readers, the scene build and both encoders take them from
// here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model.h"

// The game animates at 30 frames per second; one frame is also the shortest
// scene length (a model without animations still spans one frame).
constexpr double kFramesPerSecond = 30.0;
constexpr double kFrameSeconds = 1.0 / kFramesPerSecond;

// One model unit is a centimetre.
constexpr double kMetresPerUnit = 0.01;

// A glTF mesh with at most this many distinct normals lists them in its
// extras, for the reader to give back normals a modelling package moved
// slightly (within kNormalSnap in each component).
constexpr size_t kCarriedNormals = 4096;
constexpr float kNormalSnap = 1e-3f;

// Angles are stored in radians. Degrees are written with the single
// precision factor the game's own tools use (the float nearest 180 / pi), so
// a node's angle and a curve's value for the same angle print alike.
constexpr float kDegreesPerRadian = 57.2957763671875f;
inline float ToDegrees(float radians) { return radians * kDegreesPerRadian; }

// Rotation order of a node's Euler angles (x, y, z): a point is turned about
// the parent's X axis first, then about Y, then about Z, that is the matrix
// Rz * Ry * Rx applied to column vectors (the DAE lists rotateZ, rotateY,
// rotateX in that order; the glTF quaternion is qz * qy * qx).

// The output names of the composed maps a material can carry.
constexpr char kMapDiffuse[] = "DIFF";
constexpr char kMapGlow[] = "GLOW";
constexpr char kMapSpecular[] = "SPEC";
constexpr char kMapNormal[] = "NORM";
constexpr char kMapTeam[] = "TEAM";

// Keys of a curve carry tangents and interpolation words when bit 0 of its
// flags is set (model.h: kCurveTangents).
inline bool HasTangents(const AnimationCurve& curve) { return (curve.flags & kCurveTangents) != 0; }

// A triangle is written only when all three corners name a vertex of its
// mesh; one with a corner out of range (only a damaged or hand-made model has
// one) is left out whole and not counted, in every format alike.
inline bool TriangleInRange(uint32_t a, uint32_t b, uint32_t c, size_t vertexCount) {
    return a < vertexCount && b < vertexCount && c < vertexCount;
}
