// Packs files into the game's compressed form ("name_enc") and expands them again.
//   szddpack pack <input> <output>
//   szddpack unpack <input> <output>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/os/files.h"
#include "resource/szdd.h"

namespace {

bool WriteFile(const char* path, const std::vector<uint8_t>& bytes) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path, "wb"), &std::fclose);
  if (!f) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return false;
  return std::fflush(f.get()) == 0;
}

int Usage() {
  std::fprintf(stderr, "usage: szddpack pack|unpack <input> <output>\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Usage();
  const bool pack = std::strcmp(argv[1], "pack") == 0;
  if (!pack && std::strcmp(argv[1], "unpack") != 0) return Usage();
  std::vector<uint8_t> in;
  if (!os::ReadWholeFile(argv[2], in)) {
    std::fprintf(stderr, "szddpack: cannot read %s\n", argv[2]);
    return 1;
  }
  if (pack && in.size() > 0xFFFFFFFFull) {
    std::fprintf(stderr, "szddpack: %s is too large\n", argv[2]);
    return 1;
  }
  std::vector<uint8_t> out;
  if (pack) {
    out = CompressSzdd(in.data(), in.size());
  } else if (!ExpandSzdd(in.data(), in.size(), out)) {
    std::fprintf(stderr, "szddpack: %s has an implausible size field\n", argv[2]);
    return 1;
  }
  if (!WriteFile(argv[3], out)) {
    std::fprintf(stderr, "szddpack: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
