#include "platform/gfx/gl_program_store.h"

#include <SDL.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "platform/gfx/gl_backend.h"
#include "platform/os/files.h"

namespace gfx {
namespace {

constexpr char kMagic[4] = {'B', 'G', 'L', 'P'};
constexpr uint32_t kVersion = 1;
// Far above any program's binary: a larger size field means a damaged file.
constexpr uint32_t kMaxBinary = 16u << 20;

struct Header {
  char magic[4];
  uint32_t version;
  uint32_t format;
  uint32_t size;
  uint64_t key;
  uint64_t check;  // of the binary
};

uint64_t Fnv(uint64_t h, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}
constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

}  // namespace

CProgramStore::CProgramStore(std::string folder) : folder_(std::move(folder)) {
  usable_ = !folder_.empty() && backend::ProgramBinaries();
}

uint64_t CProgramStore::Key(const char* const* parts, size_t count) {
  uint64_t h = kFnvStart;
  // The driver's name and version, so that another driver never reads this one's binaries.
  for (GLenum name : {GL_VENDOR, GL_RENDERER, GL_VERSION}) {
    const char* s = reinterpret_cast<const char*>(glGetString(name));
    if (s) h = Fnv(h, s, std::strlen(s) + 1);
  }
  for (size_t i = 0; i < count; ++i) h = Fnv(h, parts[i], std::strlen(parts[i]) + 1);
  return h;
}

std::string CProgramStore::Path(uint64_t key) const {
  char name[32];
  std::snprintf(name, sizeof name, "/%016" PRIx64 ".glprog", key);
  return folder_ + name;
}

bool CProgramStore::Load(uint64_t key, GLuint program) const {
  if (!usable_) return false;
  const std::string path = Path(key);
  FILE* f = os::OpenFile(path, "rb");
  if (!f) return false;
  Header h{};
  std::vector<uint8_t> data;
  bool ok = std::fread(&h, sizeof h, 1, f) == 1 && std::memcmp(h.magic, kMagic, 4) == 0 &&
            h.version == kVersion && h.key == key && h.size > 0 && h.size <= kMaxBinary;
  if (ok) {
    data.resize(h.size);
    ok = std::fread(data.data(), 1, data.size(), f) == data.size() && std::fgetc(f) == EOF &&
         Fnv(kFnvStart, data.data(), data.size()) == h.check;
  }
  std::fclose(f);
  if (ok) ok = backend::UseProgramBinary(program, h.format, data.data(), data.size());
  if (!ok)
    SDL_Log("gfx: saved shader program %s is damaged or out of date; compiling it again", path.c_str());
  return ok;
}

void CProgramStore::Prepare(GLuint program) const {
  if (usable_) backend::KeepProgramBinary(program);
}

void CProgramStore::Save(uint64_t key, GLuint program) const {
  if (!usable_) return;
  Header h{};
  std::memcpy(h.magic, kMagic, 4);
  h.version = kVersion;
  h.key = key;
  std::vector<uint8_t> data;
  if (!backend::GetProgramBinary(program, data, h.format) || data.size() > kMaxBinary) return;
  h.size = static_cast<uint32_t>(data.size());
  h.check = Fnv(kFnvStart, data.data(), data.size());
  std::error_code ec;
  std::filesystem::create_directories(os::PathFromUtf8(folder_), ec);
  // Written aside and renamed, so that another process starting meanwhile reads a whole file or none.
  const std::string path = Path(key);
  char suffix[32];
  const uint64_t unique = SDL_GetPerformanceCounter() ^
                          std::hash<std::thread::id>()(std::this_thread::get_id()) ^
                          reinterpret_cast<uintptr_t>(&h);
  std::snprintf(suffix, sizeof suffix, ".%" PRIx64 ".part", unique);
  const std::string part = path + suffix;
  FILE* f = os::OpenFile(part, "wb");
  if (!f) return;
  const bool written =
      std::fwrite(&h, sizeof h, 1, f) == 1 && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    std::filesystem::remove(os::PathFromUtf8(part), ec);
    return;
  }
  std::filesystem::rename(os::PathFromUtf8(part), os::PathFromUtf8(path), ec);
  if (ec) std::filesystem::remove(os::PathFromUtf8(part), ec);
}

}  // namespace gfx
