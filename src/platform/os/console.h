// What the program is given on its command line, and what it says before any window opens
// (--help, --version, a wrong option, missing data).
#pragma once
#include <string>
#include <vector>

namespace os {

// The arguments in UTF-8, the program's name first. Windows hands main() the ANSI code page's
// rendering of them, so its back end reads the wide command line instead of argv.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Console text (columns of spaces, lines cut at 80) as a box with a proportional font shows it
// well: an indented entry becomes "name: text" on one line, its continuation lines joined to it,
// and a paragraph's lines joined, so that the box wraps them at its own width.
std::string BoxText(const std::string& consoleText);

enum class Stream { kOutput, kError };
// The text on standard output or error. A program started from Windows' shell has neither, so
// there the text also shows in a message box, and the call returns once it is dismissed.
void Tell(Stream stream, const std::string& text);

}  // namespace os
