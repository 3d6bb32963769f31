#include "model/transform.h"

Matrix IdentityMatrix() { return Matrix(); }
Matrix MultiplyMatrix(const Matrix& a, const Matrix&) { return a; }
Matrix JointLocalMatrix(const float*, const float*, const float*) { return Matrix(); }
void MatrixToEuler(const float*, float out[3]) { out[0] = out[1] = out[2] = 0; }
void MatrixToEuler(const Matrix&, float out[3]) { out[0] = out[1] = out[2] = 0; }
void AddPoint(Bounds&, const float*) {}
void AddMeshToBounds(const Mesh&, Bounds&, const Matrix*) {}
