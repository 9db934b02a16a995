// The one whole-file reader every loader goes through: all of a regular file or nothing.
#include "platform/os/files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace {

TEST(ReadWholeFile, ReadsEveryByteOfARegularFileWhateverItsName) {
  CScratchGameDir dir("files_read_whole");
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919) % 251);
  // Names the C library's narrow calls would take in the wrong code page on Windows.
  const std::string name = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.bin";
  dir.Write(name, bytes);
  std::vector<uint8_t> out{1, 2, 3};
  ASSERT_TRUE(os::ReadWholeFile(name, out));
  EXPECT_EQ(std::string(out.begin(), out.end()), bytes);

  dir.Write("empty.bin", "");
  out = {1, 2, 3};
  EXPECT_TRUE(os::ReadWholeFile("empty.bin", out));
  EXPECT_TRUE(out.empty());
}

TEST(ReadWholeFile, AFolderOrAMissingFileGivesNothing) {
  CScratchGameDir dir("files_read_refused");
  dir.Write("data/inside.txt", "x");
  for (const char* path : {"data", "no-such-file.bin", ""}) {
    std::vector<uint8_t> out{9, 9};
    EXPECT_FALSE(os::ReadWholeFile(path, out)) << path;
    EXPECT_TRUE(out.empty()) << path;
  }
}

}  // namespace
