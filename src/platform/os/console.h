// What the program is given on its command line, and what it says before any window opens
// (--help, --version, a wrong option, missing data).
#pragma once
#include <string>
#include <vector>

namespace os {

// The arguments in UTF-8, the program's name first. Windows hands main() the ANSI code page's
// rendering of them, so its back end reads the wide command line instead of argv.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

enum class Stream { kOutput, kError };
// What the program says before any window opens, in the two forms its caller wrote: `text` for
// standard output or error, and `boxText` under `caption` for a message box. A program started
// from Windows' shell has neither stream, so there the box shows too, and the call returns once it
// is dismissed; elsewhere the box text is not used.
void Tell(Stream stream, const std::string& text, const std::string& boxText, const std::string& caption);

}  // namespace os
