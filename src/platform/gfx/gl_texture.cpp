#include "platform/gfx/gl_texture.h"

#include <algorithm>

namespace gfx {

namespace {
uint32_t FullChain(uint32_t w, uint32_t h) {
  uint32_t n = 1;
  while (w > 1 || h > 1) {
    w = std::max(1u, w >> 1);
    h = std::max(1u, h >> 1);
    ++n;
  }
  return n;
}
}  // namespace

CGlTexture::CGlTexture(uint32_t width, uint32_t height, uint32_t levels, const ContextToken& token)
    : width_(width), height_(height), token_(token) {
  const uint32_t full = FullChain(width, height);
  levels_ = (levels == 0 || levels > full) ? full : levels;
  if (width == 0 || height == 0 || !token_ || !token_->alive) {
    levels_ = 0;
    return;
  }
  texture_ = GlObject::Make(GlKind::Texture, token_);
  glBindTexture(GL_TEXTURE_2D, texture_.Id());
  token_->texture = texture_.Id();
  for (uint32_t l = 0; l < levels_; ++l) {
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(l), GL_RGBA8,
                 static_cast<GLsizei>(std::max(1u, width >> l)),
                 static_cast<GLsizei>(std::max(1u, height >> l)), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels_ - 1));
}

void CGlTexture::SetBaseLevel(uint32_t level) {
  if (level == baseLevel_ || !texture_ || !token_->alive) return;
  glBindTexture(GL_TEXTURE_2D, texture_.Id());
  token_->texture = texture_.Id();
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, static_cast<GLint>(level));
  baseLevel_ = level;
}

bool CGlTexture::SetLevel(uint32_t level, const uint32_t* argb) {
  if (!argb || level >= levels_ || !texture_ || !token_->alive) return false;
  if (token_->pendingDraws && token_->flushPending) token_->flushPending(token_->flushOwner);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, texture_.Id());
  token_->texture = texture_.Id();
  // 0xAARRGGBB words are B, G, R, A bytes in memory.
  glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0,
                  static_cast<GLsizei>(std::max(1u, width_ >> level)),
                  static_cast<GLsizei>(std::max(1u, height_ >> level)), GL_BGRA, GL_UNSIGNED_BYTE, argb);
  return true;
}

}  // namespace gfx
