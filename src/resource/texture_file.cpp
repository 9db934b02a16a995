#include "resource/texture_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "core/graphics.h"
#include "platform/gfxutil/texture_loader.h"
#include "platform/os/files.h"
#include "resource/szdd.h"

namespace {

constexpr uint32_t kColorKey = 0xFF000000;

// A directory opens like a file here but has no length to read (its end is reported far out).
bool IsRegularFile(FILE* f) {
  struct stat st;
  return fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(os::OpenFile(fileName, "rb"), &std::fclose);
  if (!f || !IsRegularFile(f.get()) || std::fseek(f.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(f.get());
  if (size <= 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return false;
  bytes.resize(static_cast<size_t>(size));
  return std::fread(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

}  // namespace

gfx::TexturePtr LoadTexture(const char* fileName, uint32_t mipLevels) {
  gfx::CDevice* device = app::GetDevice();
  if (!device || !fileName) return nullptr;
  {
    std::unique_ptr<FILE, int (*)(FILE*)> probe(os::OpenFile(fileName, "rb"), &std::fclose);
    if (!probe || !IsRegularFile(probe.get())) return nullptr;
  }
  std::vector<uint8_t> bytes;
  if (IsCompressedName(fileName)) {
    if (LoadCompressedFile(fileName, bytes) == 0) return nullptr;
  } else if (!ReadWholeFile(fileName, bytes)) {
    return nullptr;
  }
  std::vector<gfxutil::Image> levels;
  if (!gfxutil::BuildTextureLevels(bytes.data(), bytes.size(), gfxutil::D3DX_DEFAULT, gfxutil::D3DX_DEFAULT,
                                   mipLevels, kColorKey, levels))
    return nullptr;
  // The file is decoded: its bytes need not wait for the upload.
  std::vector<uint8_t>().swap(bytes);
  return gfxutil::CreateTextureFromLevels(*device, std::move(levels));
}
