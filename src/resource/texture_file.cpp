#include "resource/texture_file.h"

#include <vector>

#include "core/graphics.h"
#include "platform/gfxutil/texture_loader.h"
#include "platform/os/files.h"
#include "resource/szdd.h"

namespace {

constexpr uint32_t kColorKey = 0xFF000000;

}  // namespace

gfx::TexturePtr LoadTexture(const char* fileName, uint32_t mipLevels) {
  gfx::CDevice* device = app::GetDevice();
  if (!device || !fileName) return nullptr;
  std::vector<uint8_t> bytes;
  if (IsCompressedName(fileName)) {
    if (LoadCompressedFile(fileName, bytes) == 0) return nullptr;
  } else if (!os::ReadWholeFile(fileName, bytes)) {
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
