// The private-profile (INI) reader with the semantics of GetPrivateProfileStringA: section
// and key names match case-insensitively, blanks around names and values are dropped, one
// pair of surrounding quotes is removed, the first match wins and only the first section of a
// name is searched. Files saved with a UTF-8 or UTF-16 (either byte order) byte-order mark, with
// CR, LF or CRLF line ends and with a trailing Ctrl-Z read alike.
#pragma once
#include <cstddef>
#include <string>

namespace os {

// Copies the value (or the default) into buffer, truncated to size - 1 characters and
// terminated; returns the number of characters copied. The file is looked up as given,
// relative to the working directory.
size_t GetPrivateProfileString(const char* section, const char* key, const char* defaultText, char* buffer,
                               size_t size, const char* fileName);

// The same lookup over text already in memory (the reader's core, shared with tests and fuzzing).
bool FindProfileValue(const std::string& text, const std::string& section, const std::string& key,
                      std::string& value);

}  // namespace os
