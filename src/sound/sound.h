// A positional sound effect: one wave file loaded whole into one 3D buffer. An object whose file or
// buffer failed stays silent, and every operation on it does nothing.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/audio/buffer.h"
#include "sound/wave_file.h"

// The level every effect buffer is given, in hundredths of a decibel (0 = as recorded, the
// design's level; audio::DSBVOLUME_MIN = silent). Buffers loaded later take it too; the bank
// applies a change to the voices it holds (SetEffectsVolume).
int32_t EffectsVolume();
void SetEffectsVolumeLevel(int32_t hundredths);

class CSound {
 public:
  CSound() = default;
  virtual ~CSound() { Release(); }
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;

  // False when the object stays silent (no device, missing file, buffer refused).
  virtual bool Load(const char* path);
  virtual void Release();
  // Resumes where a playing voice was rather than restarting it; loops when the flag is 1.
  virtual void Play(uint8_t loop);

  void SetPosition(float x, float y, float z);
  void SetVelocity(float x, float y, float z);
  void SetDistances(float minimum, float maximum);
  void SetVolume(int32_t hundredths);

  bool IsLoaded() const { return buffer_ != nullptr; }
  audio::CBuffer* Buffer() const { return buffer_.get(); }

 private:
  std::unique_ptr<audio::CBuffer> buffer_;
  CWaveFile wave_;
};
