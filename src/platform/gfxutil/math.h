// Row-vector math as D3DX defines it: v' = v * M, translation in row 3, A * B = "A then B",
// quaternion multiply returns q2 (x) q1. Left-handed view and projection builders.
#pragma once
#include <cmath>
#include <cstdint>

namespace gfxutil {

using Color = uint32_t;  // 0xAARRGGBB

struct Vector2 {
  float x = 0, y = 0;
};

struct Vector3 {
  float x = 0, y = 0, z = 0;
  constexpr Vector3() = default;
  constexpr Vector3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
  Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
  Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
  Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
  Vector3 operator-() const { return {-x, -y, -z}; }
  Vector3& operator+=(const Vector3& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  Vector3& operator-=(const Vector3& o) {
    x -= o.x;
    y -= o.y;
    z -= o.z;
    return *this;
  }
  Vector3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  bool operator==(const Vector3&) const = default;
};

struct Vector4 {
  float x = 0, y = 0, z = 0, w = 0;
  constexpr Vector4() = default;
  constexpr Vector4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
  bool operator==(const Vector4&) const = default;
};

struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;
  constexpr Quaternion() = default;
  constexpr Quaternion(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
  bool operator==(const Quaternion&) const = default;
};

struct Matrix {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  float& operator()(int r, int c) { return m[r][c]; }
  float operator()(int r, int c) const { return m[r][c]; }
  bool operator==(const Matrix&) const = default;
};

Matrix MatrixIdentity();
Matrix MatrixMultiply(const Matrix& a, const Matrix& b);
inline Matrix operator*(const Matrix& a, const Matrix& b) { return MatrixMultiply(a, b); }
Matrix MatrixRotationX(float angle);
Matrix MatrixRotationY(float angle);
Matrix MatrixRotationZ(float angle);
Matrix MatrixScaling(float sx, float sy, float sz);
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixRotationQuaternion(const Quaternion& q);
Matrix MatrixTranspose(const Matrix& a);
// Returns false (and identity) for a singular matrix.
bool MatrixInverse(const Matrix& a, Matrix& out);
Matrix MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf);
Matrix MatrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up);

float Vec3Dot(const Vector3& a, const Vector3& b);
Vector3 Vec3Cross(const Vector3& a, const Vector3& b);
float Vec3Length(const Vector3& a);
float Vec3LengthSq(const Vector3& a);
// A zero vector stays zero.
Vector3 Vec3Normalize(const Vector3& a);
Vector3 Vec3Lerp(const Vector3& a, const Vector3& b, float t);
// (x, y, z, 1) * M, divided by the resulting w.
Vector3 Vec3TransformCoord(const Vector3& v, const Matrix& m);
// (x, y, z, 0) * M.
Vector3 Vec3TransformNormal(const Vector3& v, const Matrix& m);
// (x, y, z, 1) * M, no divide.
Vector4 Vec3Transform(const Vector3& v, const Matrix& m);

float QuaternionDot(const Quaternion& a, const Quaternion& b);
Quaternion QuaternionMultiply(const Quaternion& q1, const Quaternion& q2);
Quaternion QuaternionInverse(const Quaternion& q);
Quaternion QuaternionNormalize(const Quaternion& q);
Quaternion QuaternionLn(const Quaternion& q);
Quaternion QuaternionExp(const Quaternion& q);
Quaternion QuaternionSlerp(const Quaternion& a, const Quaternion& b, float t);
void QuaternionSquadSetup(Quaternion& outA, Quaternion& outB, Quaternion& outC, const Quaternion& q0,
                          const Quaternion& q1, const Quaternion& q2, const Quaternion& q3);
Quaternion QuaternionSquad(const Quaternion& q1, const Quaternion& a, const Quaternion& b,
                           const Quaternion& c, float t);

}  // namespace gfxutil
