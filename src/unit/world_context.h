// How a unit reaches its world. The stage world (scene/stage_world.h) owns the world's objects
// and fills this record as it makes them; units, the registry and the camera manager are handed it
// at construction and keep it. Every pointer is non-owning and null where the world has no such
// thing (a picture scene has no player, a test's small world no sound).
#pragma once

class CConfig;
class SoundBank;
class CUnitRegistry;
class CInput;
class CCameraManager;
template <class T>
class ResourceCache;
class CSprite;
class CModel;
class CCollisionModel;
class CParticleFile;
class CCollisionWorld;
class CShadow;
class CPlayer;
class CNPC;
class CCameraMask;

// The spring that bobs one part of the bear's model when it lands.
struct NpcSpring {
  float offset = 0;
  float velocity = 0;
  int landingCounter = 0;
};

// What the design keeps from one stage to the next rather than starting afresh with each world.
// One record for the run, owned by the scene manager.
struct CarriedOver {
  int playerLookMode = 0;  // 0 or 1
  int playerLandingCounter = 0;
  NpcSpring bearSpring;
  float cameraHeightLag = 0;  // the player camera's smoothed height correction, in steps of 0.5
};

struct WorldContext {
  // The run's, lent to every world.
  const CConfig* config = nullptr;  // the display size the projections and visibility use
  SoundBank* sounds = nullptr;
  CarriedOver* carried = nullptr;  // never null where a player, bear or player camera is made

  // The world's own, in the order its load makes them.
  CUnitRegistry* registry = nullptr;
  CInput* input = nullptr;
  CCameraManager* cameras = nullptr;
  ResourceCache<CSprite>* sprites = nullptr;
  ResourceCache<CModel>* models = nullptr;
  ResourceCache<CCollisionModel>* collisionModels = nullptr;
  CCollisionWorld* collisionWorld = nullptr;
  CShadow* shadow = nullptr;
  ResourceCache<CParticleFile>* particles = nullptr;

  // The units other units look for, in a playable stage.
  CPlayer* player = nullptr;
  CNPC* bear = nullptr;
  CCameraMask* cameraMask = nullptr;
};

// The world's configuration, or the defaults where it was lent none.
const CConfig& ConfigOf(const WorldContext& world);
