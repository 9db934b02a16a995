#include "sound/sound_device.h"

#include <memory>

#include "platform/os/message_box.h"

namespace {
std::unique_ptr<audio::CDevice> g_device;
std::unique_ptr<audio::CBuffer> g_primary;
audio::CListener* g_listener = nullptr;  // belongs to the primary buffer

bool Report(const char* text) {
  os::MessageBox(text, "Error");
  return false;
}
}  // namespace

bool InitSound() {
  if (audio::Failed(audio::CDevice::Create(&g_device)))
    return Report("IDirectSound8インターフェイスの取得に失敗");
  if (audio::Failed(g_device->SetCooperativeLevel(audio::DSSCL_PRIORITY))) {
    g_device.reset();
    return Report("協調レベルの設定に失敗");
  }
  audio::BufferDesc desc;
  desc.flags = audio::DSBCAPS_PRIMARYBUFFER | audio::DSBCAPS_CTRL3D | audio::DSBCAPS_MUTE3DATMAXDISTANCE;
  if (audio::Failed(g_device->CreateSoundBuffer(desc, &g_primary)))
    return Report("プライマリ・バッファの作成に失敗");
  g_listener = g_primary->GetListener();
  if (!g_listener) return Report("リスナーの作成に失敗");
  g_listener->SetPosition(0, 0, 0);
  g_listener->SetVelocity(0, 0, 0);
  g_listener->SetOrientation(0, 0, 1, 0, 1, 0);
  g_listener->SetRolloffFactor(1.0f);
  g_listener->SetDopplerFactor(1.0f);
  return true;
}

void UpdateListener(const gfxutil::Vector3& eye, const gfxutil::Matrix& view) {
  if (!g_listener) return;
  g_listener->SetPosition(eye.x, eye.y, eye.z);
  // The camera circles the player: a listener left facing +z would swap left and right whenever
  // the camera looks the other way. The view's second and third columns are the camera's up and
  // forward axes in the world.
  const auto& m = view.m;
  g_listener->SetOrientation(m[0][2], m[1][2], m[2][2], m[0][1], m[1][1], m[2][1]);
}

bool ShutdownSound() {
  g_listener = nullptr;
  g_primary.reset();
  g_device.reset();
  return true;
}

void PauseSound(bool paused) {
  if (g_device) audio::HoldOutput(paused);
}

audio::CDevice* GetSoundDevice() { return g_device.get(); }
audio::CListener* GetSoundListener() { return g_listener; }
