// The shared, animated model of a unit class: one loaded frame tree, posed at a motion frame
// (160 ticks per frame) and drawn at the world matrix set just before. The matrices a draw
// sends to the device are recorded so that units can find where parts of the model ended up.
#pragma once
#include <optional>
#include <string>

#include "platform/gfxutil/math.h"
#include "resource/model_hierarchy.h"

class CModel {
 public:
  static constexpr float kTicksPerFrame = 160.0f;

  explicit CModel(const std::string& path);
  ~CModel();
  CModel(const CModel&) = delete;
  CModel& operator=(const CModel&) = delete;

  void SetMatrix(const gfxutil::Matrix& matrix) { world_ = matrix; }
  // With a motion frame the model is posed at frame x 160 ticks first; without one it draws in
  // whatever pose the last posed draw left.
  void Draw(std::optional<float> motionFrame);
  // Identity for an index outside the record.
  gfxutil::Matrix GetRecordedMatrix(int index) const;
  // Indices outside 0..63 are ignored.
  void SetBoneAdjust(int index, const gfxutil::Matrix& matrix);

  ModelHierarchy& Hierarchy() { return hierarchy_; }
  const ModelHierarchy& Hierarchy() const { return hierarchy_; }

 private:
  gfxutil::Matrix world_;
  ModelHierarchy hierarchy_;
};
