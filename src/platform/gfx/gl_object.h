// Owning handle for one OpenGL object name; deletes it only while its context still exists.
#pragma once
#include <memory>
#include <utility>

#include "platform/gfx/gl_api.h"

namespace gfx {

// Shared by a device and everything it created: alive turns false once the context is gone,
// so late releases of textures and buffers do not call into a dead context. The bindings are
// the device's cache of what is bound, kept right when a resource binds itself to upload.
struct GlShared {
  bool alive = true;
  GLuint texture = 0;   // on unit 0
  GLuint texture1 = 0;  // on unit 1 (gathered draws)
  GLuint arrayBuffer = 0;
  GLuint elementBuffer = 0;  // of the device's vertex array
  GLuint attribBuffer = 0;   // the vertex attributes point into this one
  // Draws the device has gathered but not sent yet; a texture upload sends them first.
  bool pendingDraws = false;
  void (*flushPending)(void* owner) = nullptr;
  void* flushOwner = nullptr;
};
using ContextToken = std::shared_ptr<GlShared>;

enum class GlKind {
  Buffer,
  Texture,
  Renderbuffer,
  Framebuffer,
  VertexArray,
  Sampler,
  Program,
  Shader,
  Query
};

class GlObject {
 public:
  GlObject() = default;
  GlObject(GlKind kind, GLuint id, ContextToken token) : kind_(kind), id_(id), token_(std::move(token)) {}
  GlObject(GlObject&& o) noexcept { *this = std::move(o); }
  GlObject& operator=(GlObject&& o) noexcept {
    if (this != &o) {
      Release();
      kind_ = o.kind_;
      id_ = std::exchange(o.id_, 0);
      token_ = std::move(o.token_);
    }
    return *this;
  }
  GlObject(const GlObject&) = delete;
  GlObject& operator=(const GlObject&) = delete;
  ~GlObject() { Release(); }

  GLuint Id() const { return id_; }
  explicit operator bool() const { return id_ != 0; }

  void Release() {
    if (id_ != 0 && token_ && token_->alive) {
      switch (kind_) {
        case GlKind::Buffer:
          // GL unbinds a deleted buffer everywhere in this context; the caches follow, so a
          // later buffer given the same name is bound afresh.
          glDeleteBuffers(1, &id_);
          if (token_->arrayBuffer == id_) token_->arrayBuffer = 0;
          if (token_->elementBuffer == id_) token_->elementBuffer = 0;
          if (token_->attribBuffer == id_) token_->attribBuffer = 0;
          break;
        case GlKind::Texture:
          glDeleteTextures(1, &id_);
          if (token_->texture == id_) token_->texture = 0;
          if (token_->texture1 == id_) token_->texture1 = 0;
          break;
        case GlKind::Renderbuffer:
          glDeleteRenderbuffers(1, &id_);
          break;
        case GlKind::Framebuffer:
          glDeleteFramebuffers(1, &id_);
          break;
        case GlKind::VertexArray:
          glDeleteVertexArrays(1, &id_);
          break;
        case GlKind::Sampler:
          glDeleteSamplers(1, &id_);
          break;
        case GlKind::Program:
          glDeleteProgram(id_);
          break;
        case GlKind::Shader:
          glDeleteShader(id_);
          break;
        case GlKind::Query:
          glDeleteQueries(1, &id_);
          break;
      }
    }
    id_ = 0;
  }

  static GlObject Make(GlKind kind, const ContextToken& token) {
    GLuint id = 0;
    switch (kind) {
      case GlKind::Buffer:
        glGenBuffers(1, &id);
        break;
      case GlKind::Texture:
        glGenTextures(1, &id);
        break;
      case GlKind::Renderbuffer:
        glGenRenderbuffers(1, &id);
        break;
      case GlKind::Framebuffer:
        glGenFramebuffers(1, &id);
        break;
      case GlKind::VertexArray:
        glGenVertexArrays(1, &id);
        break;
      case GlKind::Sampler:
        glGenSamplers(1, &id);
        break;
      case GlKind::Program:
        id = glCreateProgram();
        break;
      case GlKind::Query:
        glGenQueries(1, &id);
        break;
      case GlKind::Shader:
        break;  // shaders need a stage: use MakeShader
    }
    return GlObject(kind, id, token);
  }
  static GlObject MakeShader(GLenum stage, const ContextToken& token) {
    return GlObject(GlKind::Shader, glCreateShader(stage), token);
  }

 private:
  GlKind kind_ = GlKind::Buffer;
  GLuint id_ = 0;
  ContextToken token_;
};

}  // namespace gfx
