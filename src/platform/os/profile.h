// The private-profile (INI) reader with the semantics of GetPrivateProfileStringA: section
// and key names match case-insensitively, blanks around names and values are dropped, one
// pair of surrounding quotes is removed, the first match wins (a line holding the key's name
// alone, without '=', is a match with no value: the default) and only the first section of a
// name is searched. Files saved with a UTF-8 or UTF-16 (either byte order) byte-order mark, with
// CR, LF or CRLF line ends and with a trailing Ctrl-Z read alike.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace os {

// Copies the value (or the default) into buffer, truncated to size - 1 characters and
// terminated; returns the number of characters copied. The file is looked up as given,
// relative to the working directory.
size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                               size_t size, const char* fileName);

// The same lookup over text already in memory (the reader's core, shared with tests and fuzzing).
bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string& value);

// One value to write: KEY=value in [section].
struct ProfileValue {
  std::string section, key, value;
};

// The file's text with each value set: where the key is (its first line in the first section of
// that name, the one the reader takes, names compared as the reader compares them) only what
// follows the '=' changes, and a line of the name alone gets its '=' and the value; a missing key
// goes after the section's last line, a missing section at the end. Every other byte stays as it was: the
// comments, the other keys and sections, the line ends, and the encoding (UTF-8 with or without a
// byte-order mark, or UTF-16 either way round with one).
std::string EditProfileText(const std::string& raw, const std::vector<ProfileValue>& values);

// EditProfileText on the file, through os::RewriteFile: the old file stays whole if anything
// fails (then `error` says why and false is returned), a symbolic link is written through, a
// read-only file is left alone. A file that is not there yet is made; where nothing would change,
// nothing is written.
bool WriteProfileValues(const std::string& fileName, const std::vector<ProfileValue>& values,
                        std::string& error);

}  // namespace os
