// The game's log: printf-style lines to the debug output and to "profile.txt", flushed per
// message so a crash loses nothing. Silent until the log file is open.
#pragma once

namespace app {

// Truncates and opens the log file; returns false (logging stays off) when it cannot.
bool OpenLog(const char* path = "profile.txt");
void CloseLog();
bool LogIsOpen();

}  // namespace app

// Used by every room of the game to report missing files and device errors.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
