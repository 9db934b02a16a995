// What a message box shows of the console text (--help on Windows, where the program has no
// console): the box's proportional font cannot keep columns of spaces, so entries become
// "name: text" lines and cut lines are joined for the box to wrap.
#include <gtest/gtest.h>

#include "app/launch.h"

namespace {

TEST(BoxText, EntriesBecomeNamedLinesAndCutParagraphsAreJoined) {
  const std::string console =
      "Usage: BRIMMEL.exe [OPTION]...\n"
      "Play it.\n"
      "\n"
      "      --size WxH      draw at W x H pixels,\n"
      "      --help          show this help\n"
      "Where things come from:\n"
      "  settings     --config FILE; TORIDEN.ini beside\n"
      "               BRIMMEL.exe in a portable copy\n"
      "  data         --data DIR\n"
      "A portable copy is one whose folder holds TORIDEN.ini.\n"
      "The setup program puts none there: an installed copy writes only to the\n"
      "player's own folders.\n"
      "\n"
      "brimmel: unknown option '--x'\n"
      "Usage: BRIMMEL.exe [--windowed]\n"
      "Try 'BRIMMEL.exe --help' for more information.\n";
  EXPECT_EQ(app::BoxText(console),
            "Usage: BRIMMEL.exe [OPTION]...\n"
            "Play it.\n"
            "\n"
            "--size WxH: draw at W x H pixels,\n"
            "--help: show this help\n"
            "Where things come from:\n"
            "settings: --config FILE; TORIDEN.ini beside BRIMMEL.exe in a portable copy\n"
            "data: --data DIR\n"
            "A portable copy is one whose folder holds TORIDEN.ini.\n"
            "The setup program puts none there: an installed copy writes only to the player's own folders.\n"
            "\n"
            "brimmel: unknown option '--x'\n"
            "Usage: BRIMMEL.exe [--windowed]\n"
            "Try 'BRIMMEL.exe --help' for more information.");
  EXPECT_EQ(app::BoxText("brimmel 1.0.0\n"), "brimmel 1.0.0");
}

}  // namespace
