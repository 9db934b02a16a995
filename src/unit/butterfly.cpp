#include "unit/butterfly.h"

#include "resource/model.h"
#include "resource/resource_cache.h"

CButterfly::CButterfly(const gfxutil::Vector4& position) {
  body_.position = position;
  ResourceCache<CModel>* cache = ResourceCache<CModel>::Current();
  if (cache) model_ = cache->Find("data/mdl/creature/butterfly/butterfly.mdl");
}

CButterfly::~CButterfly() = default;

void CButterfly::Update() {}
void CButterfly::Draw() {}
