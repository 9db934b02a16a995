#include "unit/leaf.h"

#include "resource/model.h"
#include "resource/resource_cache.h"

const char* const g_leafModelPaths[6] = {
    "data/mdl/object/leaf/leaf00.mdl", "data/mdl/object/leaf/leaf01.mdl", "data/mdl/object/leaf/leaf02.mdl",
    "data/mdl/object/leaf/leaf03.mdl", "data/mdl/object/leaf/leaf04.mdl", "data/mdl/object/leaf/leaf05.mdl",
};

CLeaf::CLeaf(const gfxutil::Vector4& position, const gfxutil::Vector4&, int leafIndex) {
  body_.position = position;
  groundHeight_ = position.y;
  ResourceCache<CModel>* cache = ResourceCache<CModel>::Current();
  if (cache && leafIndex >= 0 && leafIndex < 6) model_ = cache->Find(g_leafModelPaths[leafIndex]);
}

CLeaf::~CLeaf() = default;

void CLeaf::Update() {}
void CLeaf::Draw() {}
