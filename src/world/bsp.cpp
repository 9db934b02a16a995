#include "world/bsp.h"

std::string CollisionFileName(const std::string& meshFileName) {
  // Names shorter than the cut lose what they have.
  const size_t keep = meshFileName.size() >= 3 ? meshFileName.size() - 3 : 0;
  return meshFileName.substr(0, keep) + "dec";
}

SubsetVisibility DecideSubsetVisibility(const gfxutil::Vector3& eye, const gfxutil::Vector3& center,
                                        float radius, float viewDistance,
                                        const gfxutil::Matrix& viewProjection, int32_t width,
                                        int32_t height) {
  const float distanceSq = gfxutil::Vec3LengthSq(eye - center);
  const float reach = viewDistance + radius;
  if (distanceSq > reach * reach) return kSubsetBeyondView;
  if (distanceSq > radius * radius) {
    // The center as a world position, projected as the camera projects a unit's origin.
    const gfxutil::Vector4 clip = gfxutil::Vec3Transform(center, viewProjection);
    const int32_t halfW = width / 2, halfH = height / 2;
    const float sx = (clip.x / clip.w + 1.0f) * static_cast<float>(halfW);
    const float sy = static_cast<float>(halfH) - static_cast<float>(halfH) * (clip.y / clip.w);
    const float margin = 8.0f * radius + 1280.0f;
    if (sx < -margin || sx > static_cast<float>(width) + margin || sy < -margin ||
        sy > static_cast<float>(height) + margin)
      return kSubsetOffScreen;
  }
  return kSubsetDrawn;
}
