// A positional sound effect: one wave file loaded whole into one 3D buffer. An object whose file or
// buffer failed stays silent, and every operation on it does nothing.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/audio/buffer.h"
#include "sound/wave_file.h"

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

  bool IsLoaded() const { return buffer_ != nullptr; }
  audio::CBuffer* Buffer() const { return buffer_.get(); }

 private:
  std::unique_ptr<audio::CBuffer> buffer_;
  CWaveFile wave_;
};
