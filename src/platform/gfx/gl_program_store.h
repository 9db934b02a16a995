// Linked shader programs kept on disk as the driver's binaries, one file per program source and
// driver, so a later start links them without running the GLSL compiler (which, once run, keeps
// megabytes of built-in functions for the life of the process). Anything unreadable, damaged or
// refused by the driver is simply compiled again and saved anew.
#pragma once
#include <cstdint>
#include <string>

#include "platform/gfx/gl_api.h"

namespace gfx {

class CProgramStore {
 public:
  // folder "" keeps nothing.
  explicit CProgramStore(std::string folder);

  // A name for a program's sources on this driver.
  static uint64_t Key(const char* const* parts, size_t count);
  // Links `program` from the saved binary; false when there is none or it was refused.
  bool Load(uint64_t key, GLuint program) const;
  // Before linking a program to be saved.
  void Prepare(GLuint program) const;
  // Saves a linked program (a failure to write only costs a compile next time).
  void Save(uint64_t key, GLuint program) const;

 private:
  std::string Path(uint64_t key) const;

  std::string folder_;
  bool usable_ = false;
};

}  // namespace gfx
