// Fades to and from black over the whole screen, 5 alpha steps per frame (51 frames a fade).
// The fade-out performs the scene switch on the frame the screen becomes fully black.
#pragma once

class CSceneManager;

class CScreenFader {
 public:
  enum { kFadeIn = 0, kFadeOut = 1 };
  static constexpr int kStep = 5;

  // The fade-out switches `manager`'s scenes.
  explicit CScreenFader(CSceneManager& manager) : manager_(manager) {}

  // A start while that fade is active is ignored; other indices do nothing.
  void Start(int index);
  // Advances and draws the fade-in, then the fade-out (which may switch scenes).
  void Draw();

  bool Active(int index) const;
  int Alpha(int index) const;

 private:
  struct Fade {
    bool active = false;
    int alpha = 0;
  };
  void DrawBlack(int alpha);
  CSceneManager& manager_;
  Fade in_, out_;
};
