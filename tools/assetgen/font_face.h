// Lettering for the generated pictures: the IPA Gothic face (found through fontconfig) rendered
// by FreeType straight into a canvas.
#pragma once
#include <memory>
#include <string>

#include "canvas.h"

namespace assetgen {

class CFontFace {
 public:
  // The proportional IPA Gothic face, else the fixed-pitch one; nullptr if neither is installed.
  static std::unique_ptr<CFontFace> Open();
  ~CFontFace();
  CFontFace(const CFontFace&) = delete;
  CFontFace& operator=(const CFontFace&) = delete;

  // Width in pixels of UTF-8 text at `pixelSize`, with `spacing` extra pixels between letters.
  float Measure(const std::string& text, int pixelSize, float spacing = 0.0f);
  // Draws text with its baseline at y, starting at x. `embolden` thickens the strokes by that many
  // pixels.
  void Draw(CCanvas& canvas, const std::string& text, float x, float y, int pixelSize, const CColor& colour,
            float spacing = 0.0f, float embolden = 0.0f);
  // Centred on cx.
  void DrawCentred(CCanvas& canvas, const std::string& text, float cx, float y, int pixelSize,
                   const CColor& colour, float spacing = 0.0f, float embolden = 0.0f);
  const std::string& Path() const { return path_; }

 private:
  struct Impl;
  CFontFace();
  std::unique_ptr<Impl> impl_;
  std::string path_;
};

}  // namespace assetgen
