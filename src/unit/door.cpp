#include "unit/door.h"

#include "resource/model.h"
#include "resource/resource_cache.h"

CDoor::CDoor(const gfxutil::Vector4& position) {
  body_.position = position;
  closedX_ = position.x;
  openX_ = position.x - 150.0f;
  ResourceCache<CModel>* cache = ResourceCache<CModel>::Current();
  if (cache) model_ = cache->Find("data/mdl/object/door/door.mdl");
}

CDoor::~CDoor() = default;

void CDoor::Update() {}
void CDoor::Draw() {}
