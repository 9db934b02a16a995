// xinfo FILE: one line per frame, mesh, bone, animation set, animation and the bounding sphere
// of a .x model, for scripts to compare.
#include <cstdio>

#include "platform/gfxutil/x_info.h"
#include "platform/os/files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xinfo FILE\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!os::ReadWholeFile(argv[1], bytes)) {
    std::fprintf(stderr, "xinfo: cannot read %s\n", argv[1]);
    return 1;
  }
  gfxutil::XInfo info;
  std::string error;
  if (!gfxutil::DescribeXFile(bytes.data(), bytes.size(), info, error)) {
    std::fprintf(stderr, "xinfo: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  for (const std::string& line : gfxutil::FormatXInfo(info)) std::printf("%s\n", line.c_str());
  return 0;
}
