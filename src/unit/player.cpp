#include "unit/player.h"

#include "effect/particle_file.h"
#include "resource/model.h"
#include "resource/resource_cache.h"

int g_playerLookMode = 0;
int g_playerLandingCounter = 0;

namespace {
CPlayer* g_currentPlayer = nullptr;

template <class T>
boost::shared_ptr<T> FromCache(const char* path) {
  ResourceCache<T>* cache = ResourceCache<T>::Current();
  return cache ? cache->Find(path) : boost::shared_ptr<T>();
}
}  // namespace

CPlayer::CPlayer(const gfxutil::Vector4& position, const gfxutil::Vector4& rotation) {
  body_.position = position;
  body_.rotation.y = rotation.y;
  bodyModel_ = FromCache<CModel>("data/mdl/player/player.mdl");
  headModel_ = FromCache<CModel>("data/mdl/player/head.mdl");
  smoke_ = FromCache<CParticleFile>("data/par/smoke.par");
  blood_ = FromCache<CParticleFile>("data/par/blood.par");
  g_currentPlayer = this;
}

CPlayer::~CPlayer() {
  if (g_currentPlayer == this) g_currentPlayer = nullptr;
}

CPlayer* CPlayer::Current() { return g_currentPlayer; }

void CPlayer::ReadInput() {}
void CPlayer::Update() {}
void CPlayer::LateUpdate() {}
void CPlayer::Draw() {}
void CPlayer::DrawSecondPass() {}
void CPlayer::DrawScreen() {}
