#include "unit/npc.h"

#include "effect/particle_file.h"
#include "resource/model.h"
#include "resource/resource_cache.h"

NpcSpring g_npcSpring;

namespace {
CNPC* g_currentNpc = nullptr;

template <class T>
boost::shared_ptr<T> FromCache(const char* path) {
  ResourceCache<T>* cache = ResourceCache<T>::Current();
  return cache ? cache->Find(path) : boost::shared_ptr<T>();
}
}  // namespace

CNPC::CNPC(const gfxutil::Vector4& position, const gfxutil::Vector4& rotation) {
  body_.position = position;
  body_.rotation.y = rotation.y;
  model_ = FromCache<CModel>("data/mdl/kuma/kuma.mdl");
  smoke_ = FromCache<CParticleFile>("data/par/smoke.par");
  blood_ = FromCache<CParticleFile>("data/par/blood.par");
  g_currentNpc = this;
}

CNPC::~CNPC() {
  if (g_currentNpc == this) g_currentNpc = nullptr;
}

CNPC* CNPC::Current() { return g_currentNpc; }

void CNPC::Update() {}
void CNPC::LateUpdate() {}
void CNPC::Draw() {}
void CNPC::DrawSecondPass() {}
