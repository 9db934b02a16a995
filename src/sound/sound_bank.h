// The numbered sound effects, loaded once into two voices each. The voices take turns, so an
// effect triggered again while it still sounds does not cut itself off. The scene manager owns
// the run's bank and lends it to the worlds.
#pragma once
#include <cstdint>

#include "platform/gfxutil/math.h"
#include "sound/sound.h"

class SoundBank {
 public:
  static constexpr int kEffects = 128;
  static constexpr int kUsedEffects = 25;

  SoundBank();
  ~SoundBank();
  SoundBank(const SoundBank&) = delete;
  SoundBank& operator=(const SoundBank&) = delete;

  // Effect n at a unit: its body's position and velocity, full level within 1 unit, quieter out
  // to 10. Any record with the unit body's position and velocity fields will do: the sound room
  // needs where the sound is, not what made it.
  template <class Body>
  void PlaySE(const Body& body, int n) {
    PlaySEAt(body.position, body.velocityX, body.velocityY, body.velocityZ, n);
  }
  void PlaySEAt(const gfxutil::Vector4& position, float velocityX, float velocityY, float velocityZ, int n);
  // Effect n at the origin without distance attenuation (screens without a world).
  void PlaySE2D(int n);

  CSound& Voice(int n, int v) { return voices_[v][n]; }
  int LastVoice(int n) const { return lastVoice_[n]; }

 private:
  int ChooseVoice(int n);

  CSound voices_[2][kEffects];
  uint8_t lastVoice_[kEffects] = {};
};

// Sets the effects' level (hundredths of a decibel, see EffectsVolume) on every voice of `bank`
// (when there is one) at once and on every effect loaded later. Each effect keeps its own 3D
// position and falloff.
void SetEffectsVolume(SoundBank* bank, int32_t hundredths);
