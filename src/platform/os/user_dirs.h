// Where a player's own files belong (the XDG base and user directories, or Windows' known
// folders) and where the running program was installed. Nothing is created here.
#pragma once
#include <string>

namespace os {

// $XDG_CONFIG_HOME, else ~/.config; "" when neither is known. Relative values are ignored, as
// the base-directory rules ask.
std::string ConfigHome();
// $XDG_STATE_HOME, else ~/.local/state; "" when neither is known.
std::string StateHome();
// $XDG_CACHE_HOME, else ~/.cache; "" when neither is known.
std::string CacheHome();
// The user's pictures folder: $XDG_PICTURES_DIR, else the XDG_PICTURES_DIR line of
// user-dirs.dirs in the config home; "" when none is set or it is the home folder itself
// (which is how a disabled user folder is written).
std::string PicturesDir();
// The folder of the running executable (no trailing slash, but for a drive's root: "E:/"); ""
// when it cannot be read.
std::string ProgramDir();

// Which folder decides whether a copy is a game folder (one that keeps every file of the game
// beside it) or an installed one (the player's files in the player's folders). False: the
// working folder, a game folder when it holds data/ or TORIDEN.ini (the desktop). True: the
// program's own folder, a game folder when it holds TORIDEN.ini, as the zip does and the
// installer does not; its data/ is always beside the program (Windows).
bool ProgramFolderDecides();
// The game's folder inside the player's folders, named as the system's programs name theirs.
std::string OwnFolderName();

// The working folder, in the form ProgramDir gives it ("" when unreadable).
std::string WorkingDir();
// False when the folder could not be entered.
bool ChangeWorkingDir(const std::string& dir);

}  // namespace os
