// Matrices (row-major, row vectors), Euler angles back from rotations, and the
// box-and-sphere accumulator, all in the single-precision steps the node output
// relies on (it prints their results with "%f").
#pragma once

#include "model/model.h"

Matrix IdentityMatrix();
Matrix MultiplyMatrix(const Matrix& a, const Matrix& b);  // a x b
Matrix JointLocalMatrix(const float position[3], const float rotation[3], const float scale[3]);

// m holds the 3 x 3 rotation row by row (m0..m8); out gets x, y, z in radians.
void MatrixToEuler(const float m[9], float out[3]);
// The same for the upper-left 3 x 3 of a 4 x 4 matrix.
void MatrixToEuler(const Matrix& matrix, float out[3]);
// Angles of the same rotation as `angles`, chosen nearest `previous` (the
// other Euler form of the rotation, and whole turns, weighed): the keys of a
// curve made from rotations turn on without flips between them.
void NearestEuler(float angles[3], const float previous[3]);

void AddPoint(Bounds& b, const float q[3]);
// Adds every vertex position of the mesh's parts that have positions,
// transformed by matrix when one is given.
void AddMeshToBounds(const Mesh& mesh, Bounds& b, const Matrix* matrix);
