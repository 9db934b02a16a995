// The game's log: printf-style lines to the debug output and to "profile.txt", flushed per
// message so a crash loses nothing. Silent until the log file is open.
#pragma once
#include <string>

namespace app {

// Truncates and opens the log file; returns false (logging stays off) when it cannot.
bool OpenLog(const char* path = "profile.txt");
// Where the graphics start-up opens the log ("profile.txt" unless set; "" keeps none).
void SetLogPath(const std::string& path);
const std::string& LogPath();
void CloseLog();
bool LogIsOpen();

}  // namespace app

// Used by every room of the game to report missing files and device errors.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
