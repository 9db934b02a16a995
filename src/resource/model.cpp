#include "resource/model.h"

#include "core/log.h"

CModel::CModel(const std::string& path) {
  // Logged like a missing mesh: the model then draws nothing, and the log says why.
  hierarchy_.LoadHierarchy(path);
  if (!hierarchy_.Root()) Log("Not Found %s", path.c_str());
}

CModel::~CModel() = default;

void CModel::Draw(std::optional<float> motionFrame) {
  if (motionFrame) hierarchy_.SetTime(*motionFrame * kTicksPerFrame);
  ModelRoot* root = hierarchy_.Root();
  if (!root) return;
  hierarchy_.recordCount = 0;
  hierarchy_.UpdateFrames(root->frame, world_);
  hierarchy_.DrawFrames(root->frame);
}

gfxutil::Matrix CModel::GetRecordedMatrix(int index) const {
  if (index < 0 || index >= ModelHierarchy::kRecordSlots) return gfxutil::Matrix();
  return hierarchy_.record[index];
}

void CModel::SetBoneAdjust(int index, const gfxutil::Matrix& matrix) {
  if (index < 0 || index >= ModelHierarchy::kRecordSlots) return;
  hierarchy_.boneAdjust[index] = matrix;
}
