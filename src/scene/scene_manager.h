// Holds one instance of every scene for the whole run, the current and next scene, the
// sound-effect bank and the screen fader. Scenes change only through the fader: a scene names
// the next one and starts the fade-out; the switch happens when the screen is fully black.
#pragma once
#include <memory>

class CScene;
class CScreenFader;
class SoundBank;

class CSceneManager {
 public:
  CSceneManager();
  ~CSceneManager();
  CSceneManager(const CSceneManager&) = delete;
  CSceneManager& operator=(const CSceneManager&) = delete;

  void SetNextScene(CScene* scene) { next_ = scene; }
  CScene* GetNextScene() const { return next_; }
  CScene* GetCurrentScene() const { return current_; }
  // Leaves the current scene (if any) and enters the next one.
  void Switch();
  void Frame();
  // Names the target and starts the fade-out (ignored while a fade-out runs).
  void RequestScene(CScene* scene);

  CScreenFader& Fader() { return *fader_; }

 private:
  CScene* current_ = nullptr;
  CScene* next_ = nullptr;
  std::unique_ptr<SoundBank> soundBank_;
  std::unique_ptr<CScreenFader> fader_;
};

extern CSceneManager* g_sceneManager;
