// The plain line-oriented text format of scene scripts and particle files: lines up to "#EOF",
// handed out in named sections closed by "#end". No trimming, no comments: a line is what it is.
#pragma once
#include <list>
#include <map>
#include <string>

class CScriptFile {
 public:
  // Loads the whole file. A missing file is logged ("Not Found %s") and reported by Loaded();
  // the caller decides what that means (a missing scene script ends the game).
  explicit CScriptFile(const std::string& fileName);
  // From text already in memory (tests, fuzzing).
  static CScriptFile FromText(const std::string& text);

  bool Loaded() const { return loaded_; }
  int LineCount() const { return lineCount_; }
  // The entries of the first section whose header line equals name; empty if there is none,
  // up to the end of the lines when "#end" is missing.
  std::list<std::string> GetSection(const std::string& name) const;

 private:
  CScriptFile() = default;
  void ReadLines(std::istream& in);

  std::map<int, std::string> lines_;
  int lineCount_ = 0;
  bool loaded_ = false;
};
