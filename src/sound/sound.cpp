#include "sound/sound.h"

#include "core/log.h"
#include "platform/os/message_box.h"
#include "sound/sound_device.h"

namespace {
int32_t g_effectsVolume = 0;
}  // namespace

int32_t EffectsVolume() { return g_effectsVolume; }
void SetEffectsVolumeLevel(int32_t hundredths) { g_effectsVolume = hundredths; }

bool CSound::Load(const char* path) {
  Release();
  audio::CDevice* device = GetSoundDevice();
  if (!device) return false;
  if (wave_.Open(path) != 0) {
    Log("NOT FOUND %s (%s)\n", path ? path : "", wave_.FailureReason());
    return false;
  }
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_CTRL3D | audio::DSBCAPS_GLOBALFOCUS | audio::DSBCAPS_GETCURRENTPOSITION2 |
               audio::DSBCAPS_LOCDEFER;
  desc.bufferBytes = wave_.GetSize();
  desc.format = wave_.GetFormat();
  desc.algorithm = audio::Algorithm3D::kHrtfFull;
  if (audio::Failed(device->CreateSoundBuffer(desc, &buffer_))) {
    os::MessageBox("バッファの作成に失敗", "Error");
    wave_.Close();
    return false;
  }

  void* region1 = nullptr;
  void* region2 = nullptr;
  uint32_t bytes1 = 0, bytes2 = 0;
  audio::Result locked = buffer_->Lock(0, desc.bufferBytes, &region1, &bytes1, &region2, &bytes2, 0);
  if (locked == audio::DSERR_BUFFERLOST) {
    buffer_->Restore();
    locked = buffer_->Lock(0, desc.bufferBytes, &region1, &bytes1, &region2, &bytes2, 0);
  }
  if (audio::Succeeded(locked)) {
    wave_.Read(region1, bytes1);
    if (region2) wave_.Read(region2, bytes2);
    buffer_->Unlock(region1, bytes1, region2, bytes2);
  }

  SetPosition(0, 0, 0);
  SetVelocity(0, 0, 0);
  SetDistances(0.0f, 0.0f);
  buffer_->SetVolume(g_effectsVolume);
  return true;
}

void CSound::Release() {
  if (buffer_) buffer_->Stop();
  buffer_.reset();
  wave_.Close();
}

void CSound::Play(uint8_t loop) {
  if (!buffer_) return;
  uint32_t status = 0;
  buffer_->GetStatus(&status);
  // Stopping keeps the position, so the play below carries on from there.
  if (status & audio::DSBSTATUS_PLAYING) buffer_->Stop();
  buffer_->Play(loop == 1 ? static_cast<uint32_t>(audio::DSBPLAY_LOOPING) : 0u);
}

void CSound::SetPosition(float x, float y, float z) {
  if (buffer_) buffer_->SetPosition(x, y, z);
}

void CSound::SetVelocity(float x, float y, float z) {
  if (buffer_) buffer_->SetVelocity(x, y, z);
}

void CSound::SetDistances(float minimum, float maximum) {
  if (!buffer_) return;
  buffer_->SetMinDistance(minimum);
  buffer_->SetMaxDistance(maximum);
}

void CSound::SetVolume(int32_t hundredths) {
  if (buffer_) buffer_->SetVolume(hundredths);
}
