#include "sound/sound_bank.h"

#include <cstdio>

namespace {
const char* const kFiles[SoundBank::kUsedEffects] = {
    "SE001.wav", "SE002.wav", "SE003.wav", "SE004.wav", "SE005.wav", "SE006.wav", "SE007.wav",
    "SE008.wav", "SE009.wav", "SE010.wav", "SE011.wav", "SE012.wav", "SE013.wav", "SE014.wav",
    "SE015.wav", "SE016.wav", "SE017.wav", "SE018.wav", "SE019.wav", "SE020.wav", "SE021.wav",
    "SE022.wav", "SE023.wav", "SE024.wav", "SE025.wav"};

bool Valid(int n) { return n >= 0 && n < SoundBank::kEffects; }
}  // namespace

SoundBank::SoundBank() {
  for (int n = 0; n < kUsedEffects; ++n) {
    char path[64];
    std::snprintf(path, sizeof path, "data/wav/%s", kFiles[n]);
    for (int v = 0; v < 2; ++v) {
      CSound& voice = voices_[v][n];
      voice.Load(path);
      voice.SetDistances(0.0f, 0.0f);
      voice.SetPosition(0, 0, 0);
      voice.SetVelocity(0, 0, 0);
    }
    lastVoice_[n] = 0;
  }
}

SoundBank::~SoundBank() {
  for (int n = 0; n < kEffects; ++n)
    for (int v = 0; v < 2; ++v) voices_[v][n].Release();
}

int SoundBank::ChooseVoice(int n) {
  const int v = (lastVoice_[n] + 1) % 2;
  lastVoice_[n] = static_cast<uint8_t>(v);
  return v;
}

void SoundBank::PlaySEAt(const gfxutil::Vector4& position, float velocityX, float velocityY, float velocityZ,
                         int n) {
  if (!Valid(n)) return;
  CSound& voice = voices_[ChooseVoice(n)][n];
  voice.SetDistances(1.0f, 10.0f);
  voice.SetPosition(position.x, position.y, position.z);
  voice.SetVelocity(velocityX, velocityY, velocityZ);
  voice.Play(0);
}

void SoundBank::PlaySE2D(int n) {
  if (!Valid(n)) return;
  CSound& voice = voices_[ChooseVoice(n)][n];
  voice.SetDistances(0.0f, 0.0f);
  voice.SetPosition(0, 0, 0);
  voice.Play(0);
}

void SetEffectsVolume(SoundBank* bank, int32_t hundredths) {
  SetEffectsVolumeLevel(hundredths);
  if (!bank) return;
  for (int n = 0; n < SoundBank::kEffects; ++n)
    for (int v = 0; v < 2; ++v) bank->Voice(n, v).SetVolume(hundredths);
}
