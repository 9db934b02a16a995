// A terminal, or whatever the program's streams were handed to.
#include <cstdio>

#include "platform/os/console.h"

namespace os {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv && argv[i] ? argv[i] : "");
  return args;
}

void Tell(Stream stream, const std::string& text, const std::string& /*boxText*/,
          const std::string& /*caption*/) {
  std::FILE* to = stream == Stream::kOutput ? stdout : stderr;
  std::fputs(text.c_str(), to);
  std::fflush(to);
}

}  // namespace os
