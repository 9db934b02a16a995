#include "platform/gfxutil/math.h"

namespace gfxutil {

Matrix MatrixIdentity() { return Matrix{}; }

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] =
          a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
  return r;
}

Matrix MatrixRotationX(float angle) {
  Matrix r;
  const float c = std::cos(angle), s = std::sin(angle);
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

Matrix MatrixRotationY(float angle) {
  Matrix r;
  const float c = std::cos(angle), s = std::sin(angle);
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

Matrix MatrixRotationZ(float angle) {
  Matrix r;
  const float c = std::cos(angle), s = std::sin(angle);
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Matrix MatrixScaling(float sx, float sy, float sz) {
  Matrix r;
  r.m[0][0] = sx;
  r.m[1][1] = sy;
  r.m[2][2] = sz;
  return r;
}

Matrix MatrixTranslation(float x, float y, float z) {
  Matrix r;
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix MatrixRotationQuaternion(const Quaternion& q) {
  Matrix r;
  const float x = q.x, y = q.y, z = q.z, w = q.w;
  r.m[0][0] = 1 - 2 * (y * y + z * z);
  r.m[0][1] = 2 * (x * y + z * w);
  r.m[0][2] = 2 * (x * z - y * w);
  r.m[1][0] = 2 * (x * y - z * w);
  r.m[1][1] = 1 - 2 * (x * x + z * z);
  r.m[1][2] = 2 * (y * z + x * w);
  r.m[2][0] = 2 * (x * z + y * w);
  r.m[2][1] = 2 * (y * z - x * w);
  r.m[2][2] = 1 - 2 * (x * x + y * y);
  return r;
}

Matrix MatrixTranspose(const Matrix& a) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = a.m[j][i];
  return r;
}

bool MatrixInverse(const Matrix& a, Matrix& out) {
  // Gauss-Jordan with partial pivoting, in double for stability.
  double t[4][8];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      t[i][j] = a.m[i][j];
      t[i][j + 4] = (i == j) ? 1.0 : 0.0;
    }
  for (int c = 0; c < 4; ++c) {
    int p = c;
    for (int r = c + 1; r < 4; ++r)
      if (std::fabs(t[r][c]) > std::fabs(t[p][c])) p = r;
    if (std::fabs(t[p][c]) < 1e-12) {
      out = Matrix{};
      return false;
    }
    if (p != c)
      for (int j = 0; j < 8; ++j) std::swap(t[p][j], t[c][j]);
    const double inv = 1.0 / t[c][c];
    for (int j = 0; j < 8; ++j) t[c][j] *= inv;
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double f = t[r][c];
      if (f != 0.0)
        for (int j = 0; j < 8; ++j) t[r][j] -= f * t[c][j];
    }
  }
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) out.m[i][j] = static_cast<float>(t[i][j + 4]);
  return true;
}

Matrix MatrixPerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
  Matrix r;
  const float ys = 1.0f / std::tan(fovy / 2);
  const float xs = ys / aspect;
  r.m[0][0] = xs;
  r.m[1][1] = ys;
  r.m[2][2] = zf / (zf - zn);
  r.m[2][3] = 1;
  r.m[3][2] = -zn * zf / (zf - zn);
  r.m[3][3] = 0;
  return r;
}

Matrix MatrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up) {
  const Vector3 z = Vec3Normalize(at - eye);
  const Vector3 x = Vec3Normalize(Vec3Cross(up, z));
  const Vector3 y = Vec3Cross(z, x);
  Matrix r;
  r.m[0][0] = x.x;
  r.m[0][1] = y.x;
  r.m[0][2] = z.x;
  r.m[0][3] = 0;
  r.m[1][0] = x.y;
  r.m[1][1] = y.y;
  r.m[1][2] = z.y;
  r.m[1][3] = 0;
  r.m[2][0] = x.z;
  r.m[2][1] = y.z;
  r.m[2][2] = z.z;
  r.m[2][3] = 0;
  r.m[3][0] = -Vec3Dot(x, eye);
  r.m[3][1] = -Vec3Dot(y, eye);
  r.m[3][2] = -Vec3Dot(z, eye);
  r.m[3][3] = 1;
  return r;
}

float Vec3Dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 Vec3Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float Vec3LengthSq(const Vector3& a) { return Vec3Dot(a, a); }
float Vec3Length(const Vector3& a) { return std::sqrt(Vec3Dot(a, a)); }
Vector3 Vec3Normalize(const Vector3& a) {
  const float l = Vec3Length(a);
  if (l == 0.0f) return {0, 0, 0};
  return a * (1.0f / l);
}
Vector3 Vec3Lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }

Vector4 Vec3Transform(const Vector3& v, const Matrix& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2],
          v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + m.m[3][3]};
}

Vector3 Vec3TransformCoord(const Vector3& v, const Matrix& m) {
  const Vector4 r = Vec3Transform(v, m);
  const float inv = r.w != 0.0f ? 1.0f / r.w : 0.0f;
  return {r.x * inv, r.y * inv, r.z * inv};
}

Vector3 Vec3TransformNormal(const Vector3& v, const Matrix& m) {
  return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
          v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
          v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

float QuaternionDot(const Quaternion& a, const Quaternion& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

Quaternion QuaternionMultiply(const Quaternion& q1, const Quaternion& q2) {
  Quaternion r;
  r.w = q1.w * q2.w - q1.x * q2.x - q1.y * q2.y - q1.z * q2.z;
  r.x = q2.w * q1.x + q2.x * q1.w + q2.y * q1.z - q2.z * q1.y;
  r.y = q2.w * q1.y - q2.x * q1.z + q2.y * q1.w + q2.z * q1.x;
  r.z = q2.w * q1.z + q2.x * q1.y - q2.y * q1.x + q2.z * q1.w;
  return r;
}

Quaternion QuaternionInverse(const Quaternion& q) {
  const float n = QuaternionDot(q, q);
  if (n == 0.0f) return {0, 0, 0, 0};
  return {-q.x / n, -q.y / n, -q.z / n, q.w / n};
}

Quaternion QuaternionNormalize(const Quaternion& q) {
  const float l = std::sqrt(QuaternionDot(q, q));
  if (l == 0.0f) return q;
  return {q.x / l, q.y / l, q.z / l, q.w / l};
}

Quaternion QuaternionLn(const Quaternion& q) {
  float s = 1.0f;
  if (!(q.w >= 1.0f || q.w == -1.0f)) {
    const float d = std::sqrt(1.0f - q.w * q.w);
    s = d > 0.0f ? std::acos(q.w) / d : 1.0f;
  }
  return {s * q.x, s * q.y, s * q.z, 0};
}

Quaternion QuaternionExp(const Quaternion& q) {
  const float theta = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (theta == 0.0f) return {0, 0, 0, 1};
  const float s = std::sin(theta) / theta;
  return {s * q.x, s * q.y, s * q.z, std::cos(theta)};
}

Quaternion QuaternionSlerp(const Quaternion& a, const Quaternion& b, float t) {
  float k0 = 1.0f - t, k1 = t;
  float d = QuaternionDot(a, b);
  if (d < 0) {
    k1 = -t;
    d = -d;
  }
  if (1.0f - d > 0.001f) {
    const float theta = std::acos(d);
    const float st = std::sin(theta);
    k0 = std::sin(k0 * theta) / st;
    k1 = std::sin(k1 * theta) / st;
  }
  return {k0 * a.x + k1 * b.x, k0 * a.y + k1 * b.y, k0 * a.z + k1 * b.z, k0 * a.w + k1 * b.w};
}

namespace {
Quaternion Neg(const Quaternion& q) { return {-q.x, -q.y, -q.z, -q.w}; }
Quaternion Add(const Quaternion& a, const Quaternion& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}
Quaternion Scale(const Quaternion& q, float s) { return {q.x * s, q.y * s, q.z * s, q.w * s}; }
}  // namespace

void QuaternionSquadSetup(Quaternion& outA, Quaternion& outB, Quaternion& outC, const Quaternion& Q0,
                          const Quaternion& Q1, const Quaternion& Q2, const Quaternion& Q3) {
  const Quaternion q0 = QuaternionDot(Q0, Q1) < 0 ? Neg(Q0) : Q0;
  const Quaternion q2 = QuaternionDot(Q1, Q2) < 0 ? Neg(Q2) : Q2;
  const Quaternion q3 = QuaternionDot(q2, Q3) < 0 ? Neg(Q3) : Q3;
  const Quaternion inv1 = QuaternionInverse(Q1);
  const Quaternion inv2 = QuaternionInverse(q2);
  outA = QuaternionMultiply(Q1, QuaternionExp(Scale(Add(QuaternionLn(QuaternionMultiply(inv1, q0)),
                                                        QuaternionLn(QuaternionMultiply(inv1, q2))),
                                                    -0.25f)));
  outB = QuaternionMultiply(q2, QuaternionExp(Scale(Add(QuaternionLn(QuaternionMultiply(inv2, Q1)),
                                                        QuaternionLn(QuaternionMultiply(inv2, q3))),
                                                    -0.25f)));
  outC = q2;
}

Quaternion QuaternionSquad(const Quaternion& q1, const Quaternion& a, const Quaternion& b,
                           const Quaternion& c, float t) {
  return QuaternionSlerp(QuaternionSlerp(q1, c, t), QuaternionSlerp(a, b, t), 2 * t * (1 - t));
}

}  // namespace gfxutil
