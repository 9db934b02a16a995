#include "conventions/house_check.h"

#include <algorithm>
#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cctype>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

namespace house {

namespace {

const char* const kTrees[] = {"src", "tests", "bench", "tools", "fuzz"};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

bool Under(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// The lines of a fenced block that follows `marker` in the map.
std::vector<std::string> Block(const std::string& map, const std::string& marker) {
  std::vector<std::string> lines;
  const size_t at = map.find(marker);
  if (at == std::string::npos) return lines;
  const size_t open = map.find("```", at);
  const size_t start = open == std::string::npos ? open : map.find('\n', open);
  const size_t close = start == std::string::npos ? start : map.find("\n```", start);
  // An empty block closes on the line right after its fence.
  if (close == std::string::npos || close == start) return lines;
  std::istringstream in(map.substr(start + 1, close - start - 1));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Splits a command line as a POSIX shell would (quotes and backslashes).
std::vector<std::string> ShellWords(const std::string& command) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  for (size_t i = 0; i < command.size(); ++i) {
    const char c = command[i];
    if (c == '\'') {
      inWord = true;
      for (++i; i < command.size() && command[i] != '\''; ++i) word += command[i];
    } else if (c == '"') {
      inWord = true;
      for (++i; i < command.size() && command[i] != '"'; ++i) {
        if (command[i] == '\\' && i + 1 < command.size() && std::strchr("\"\\$`", command[i + 1])) ++i;
        word += command[i];
      }
    } else if (c == '\\' && i + 1 < command.size()) {
      inWord = true;
      word += command[++i];
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      inWord = true;
      word += c;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// A source as the preprocessor reads its directives: the text with comments and the insides of
// literals blanked (newlines kept), so neither a commented-out include nor a line of a raw string
// counts, and the directives themselves.
struct Directive {
  int line;
  enum Kind { kQuoted, kAngle, kMacro, kDefine } kind;
  std::string name, value;  // include: the name (macro: its name); define: name and value
};
struct Source {
  std::string code;
  std::vector<Directive> directives;
};

std::string Blank(const std::string& text, std::vector<bool>& lineInCode) {
  std::string out = text;
  enum { kCode, kLineComment, kBlockComment, kString, kChar, kRaw } state = kCode;
  std::string rawEnd;
  lineInCode.assign(1, true);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      if (state == kLineComment || state == kString || state == kChar) state = kCode;
      lineInCode.push_back(state == kCode);
      continue;
    }
    switch (state) {
      case kCode:
        if (c == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
          state = text[i + 1] == '/' ? kLineComment : kBlockComment;
          out[i] = out[i + 1] = ' ';
          ++i;
        } else if (c == '"' && i > 0 && text[i - 1] == 'R') {
          const size_t paren = text.find('(', i);
          if (paren == std::string::npos) break;
          rawEnd = ")" + text.substr(i + 1, paren - i - 1) + "\"";
          state = kRaw;
          for (size_t j = i + 1; j <= paren; ++j) out[j] = ' ';
          i = paren;
        } else if (c == '"') {
          state = kString;
        } else if (c == '\'' && !(i > 0 && std::isalnum(static_cast<unsigned char>(text[i - 1])))) {
          state = kChar;
        }
        break;
      case kLineComment:
      case kBlockComment:
        if (state == kBlockComment && c == '*' && i + 1 < text.size() && text[i + 1] == '/') {
          out[i] = out[i + 1] = ' ';
          ++i;
          state = kCode;
        } else {
          out[i] = ' ';
        }
        break;
      case kString:
      case kChar:
        if (c == '\\' && i + 1 < text.size() && text[i + 1] != '\n') {
          out[i] = out[i + 1] = ' ';
          ++i;
        } else if (c == (state == kString ? '"' : '\'')) {
          state = kCode;
        } else {
          out[i] = ' ';
        }
        break;
      case kRaw:
        if (text.compare(i, rawEnd.size(), rawEnd) == 0) {
          i += rawEnd.size() - 1;
          state = kCode;
        } else {
          out[i] = ' ';
        }
        break;
    }
  }
  return out;
}

Source Parse(const std::string& text) {
  Source source;
  std::vector<bool> lineInCode;
  source.code = Blank(text, lineInCode);
  static const std::regex include(R"re(^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>|([A-Za-z_]\w*)))re");
  static const std::regex define(R"(^\s*#\s*define\s+([A-Za-z_]\w*)\b(?!\()\s*(.*)$)");
  std::istringstream lines(text);
  std::string line;
  std::smatch m;
  for (int n = 1; std::getline(lines, line); ++n) {
    if (static_cast<size_t>(n - 1) < lineInCode.size() && !lineInCode[n - 1]) continue;
    if (std::regex_search(line, m, include)) {
      if (m[1].matched) source.directives.push_back({n, Directive::kQuoted, m[1], ""});
      if (m[2].matched) source.directives.push_back({n, Directive::kAngle, m[2], ""});
      if (m[3].matched) source.directives.push_back({n, Directive::kMacro, m[3], ""});
    } else if (std::regex_search(line, m, define)) {
      std::string value = Trim(m[2]);
      const size_t comment = value.find("//");
      if (comment != std::string::npos) value = Trim(value.substr(0, comment));
      source.directives.push_back({n, Directive::kDefine, m[1], value});
    }
  }
  return source;
}

std::string Relative(const fs::path& path, const fs::path& base) {
  return path.lexically_relative(base).generic_string();
}

std::vector<fs::path> SourceFiles(const fs::path& root) {
  std::vector<fs::path> files;
  for (const char* tree : kTrees) {
    if (!fs::is_directory(root / tree)) continue;
    for (auto it = fs::recursive_directory_iterator(root / tree); it != fs::recursive_directory_iterator();
         ++it) {
      if (it->is_directory() && it->path().filename() == "node_modules") {
        it.disable_recursion_pending();
        continue;
      }
      const std::string ext = it->path().extension().string();
      if (it->is_regular_file() && (ext == ".cpp" || ext == ".h"))
        files.push_back(it->path().lexically_normal());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The checker's state for one tree.
class CChecker {
 public:
  CChecker(const fs::path& root, const Map& map) : root_(fs::weakly_canonical(root)), map_(map) {
    for (size_t i = 0; i < map.rooms.size(); ++i)
      for (const std::string& room : map.rooms[i]) layerOf_[room] = static_cast<int>(i);
  }

  void Run(const std::vector<CompileUnit>& units) {
    std::map<fs::path, const CompileUnit*> byFolder;
    for (const CompileUnit& unit : units) {
      const fs::path file = fs::weakly_canonical(unit.file);
      if (Tree(file).empty()) continue;
      byFolder.emplace(file.parent_path(), &unit);
      Walk(unit, file);
    }
    // What no unit reaches is read as the nearest compiled source's folder would read it.
    for (const fs::path& file : SourceFiles(root_)) {
      if (reached_.count(file)) continue;
      CompileUnit unit = NearestUnit(file, byFolder);
      unit.file = file;
      Walk(unit, file);
    }
  }

  std::vector<std::string> Faults() const { return {faults_.begin(), faults_.end()}; }

 private:
  struct Found {
    enum { kNone, kSystem, kOurs } kind = kNone;
    fs::path path;
  };

  std::string Path(const fs::path& p) const { return Relative(p, root_); }
  // "src", "tests", ...: the tree of ours a path lies in, or "".
  std::string Tree(const fs::path& p) const {
    const std::string rel = Path(p);
    for (const char* tree : kTrees)
      if (Under(rel, tree)) return tree;
    return "";
  }

  const Source& Parsed(const fs::path& file) {
    auto it = sources_.find(file);
    if (it == sources_.end()) it = sources_.emplace(file, Parse(ReadText(file))).first;
    return it->second;
  }

  Found Resolve(const CompileUnit& unit, const fs::path& includer, bool quoted, const std::string& name) {
    std::vector<fs::path> dirs;
    if (quoted) {
      dirs.push_back(includer.parent_path());
      dirs.insert(dirs.end(), unit.quoteDirs.begin(), unit.quoteDirs.end());
    }
    dirs.insert(dirs.end(), unit.angleDirs.begin(), unit.angleDirs.end());
    if (quoted) {
      // GCC's own last folders, where a quoted include of a library header ends up.
      dirs.push_back("/usr/local/include");
      dirs.push_back("/usr/include");
    }
    for (const fs::path& dir : dirs) {
      const fs::path candidate = (dir / name).lexically_normal();
      auto cached = exists_.find(candidate);
      if (cached == exists_.end()) cached = exists_.emplace(candidate, fs::is_regular_file(candidate)).first;
      if (!cached->second) continue;
      const fs::path path = fs::weakly_canonical(candidate);
      const bool ours = Path(path).rfind("..", 0) != 0;
      return {ours ? Found::kOurs : Found::kSystem, path};
    }
    return {};
  }

  // The value NAME stands for at `line` of `file`: a definition on the command line, in the file
  // before that line, or in what the file included before it.
  std::string MacroValue(const CompileUnit& unit, const fs::path& file, int line, const std::string& name) {
    const auto given = unit.macros.find(name);
    if (given != unit.macros.end()) return given->second;
    std::set<fs::path> seen;
    int budget = 400;  // files to look through
    std::function<std::string(const fs::path&, int)> search = [&](const fs::path& f,
                                                                  int before) -> std::string {
      if (!seen.insert(f).second || --budget < 0) return "";
      std::string value;
      for (const Directive& d : Parsed(f).directives) {
        if (d.line >= before) break;
        if (d.kind == Directive::kDefine && d.name == name) {
          value = d.value;
        } else if (value.empty() && (d.kind == Directive::kQuoted || d.kind == Directive::kAngle)) {
          const Found found = Resolve(unit, f, d.kind == Directive::kQuoted, d.name);
          if (found.kind != Found::kNone) value = search(found.path, 1 << 30);
        }
      }
      return value;
    };
    return search(file, line);
  }

  // The include a macro include names, as "quoted" or "angle" and the name; empty when unknown.
  bool MacroInclude(const CompileUnit& unit, const fs::path& file, int line, std::string name, bool& quoted,
                    std::string& target) {
    for (int depth = 0; depth < 8; ++depth) {
      const std::string value = Trim(MacroValue(unit, file, line, name));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '<')) {
        quoted = value.front() == '"';
        if (value.back() != (quoted ? '"' : '>')) return false;
        target = value.substr(1, value.size() - 2);
        return true;
      }
      if (value.empty() || !(std::isalpha(static_cast<unsigned char>(value[0])) || value[0] == '_'))
        return false;
      name = value;
    }
    return false;
  }

  std::string RoomOf(const std::string& pathInSrc) const {
    std::string best;
    for (const auto& [room, layer] : layerOf_) {
      const bool holds =
          pathInSrc == room || Under(pathInSrc, room) ||
          (pathInSrc.rfind(room + ".", 0) == 0 && pathInSrc.find('/', room.size()) == std::string::npos);
      if (holds && room.size() > best.size()) best = room;
    }
    return best;
  }

  // The map's place of a file outside src/: its folder and the room it includes down from.
  std::pair<std::string, std::string> PlaceOf(const std::string& path) const {
    std::pair<std::string, std::string> best;
    for (const auto& [folder, room] : map_.places)
      if (Under(path, folder) && folder.size() > best.first.size()) best = {folder, room};
    return best;
  }

  bool Support(const fs::path& file) const { return PlaceOf(Path(file)).second == "support"; }

  // Whether a file in room `room` may include one in `target` (both rooms of src/).
  bool Downhill(const std::string& room, const std::string& target) const {
    return !target.empty() && (target == room || layerOf_.at(target) > layerOf_.at(room));
  }

  // Checks one include under the rule of `owner` (the file itself, or for a support header the
  // file that included it); "" when it keeps the rule.
  std::string Breach(const fs::path& owner, const fs::path& target) const {
    const std::string from = Path(owner), to = Path(target);
    const std::string targetRoom = Tree(target) == "src" ? RoomOf(to.substr(4)) : "";
    const std::string targetPlace = Tree(target) == "src" ? (targetRoom.empty() ? "no room" : targetRoom)
                                    : PlaceOf(to).first.empty() ? "no place"
                                                                : PlaceOf(to).first;
    const std::string targetName = to + " (" + targetPlace + ")";
    if (Tree(owner) == "src") {
      const std::string room = RoomOf(from.substr(4));
      if (room.empty()) return from + " is in no room of the map";
      if (Downhill(room, targetRoom)) return "";
      return from + " (" + room + ") includes " + targetName;
    }
    const auto [folder, room] = PlaceOf(from);
    if (folder.empty()) return from + " is in no place of the map";
    if (Under(to, folder) || Support(target) || room == "top") return "";
    if (layerOf_.count(room) == 0) return from + " has the place " + room + ", which is no room of the map";
    if (Downhill(room, targetRoom)) return "";
    return from + " (" + folder + ": " + room + " and below) includes " + targetName;
  }

  void Walk(const CompileUnit& unit, const fs::path& file) {
    std::set<std::pair<fs::path, fs::path>> seen;
    Visit(unit, file, Support(file) ? fs::path() : file, seen);
  }

  // `owner`: whose rule the includes of `file` keep (empty: a support source's own, unchecked).
  void Visit(const CompileUnit& unit, const fs::path& file, const fs::path& owner,
             std::set<std::pair<fs::path, fs::path>>& seen) {
    if (!seen.insert({file, owner}).second) return;
    reached_.insert(file);
    const std::string where = Path(file);
    for (const Directive& d : Parsed(file).directives) {
      if (d.kind == Directive::kDefine) continue;
      bool quoted = d.kind == Directive::kQuoted;
      std::string name = d.name;
      const std::string spelled = d.kind == Directive::kMacro ? d.name
                                  : quoted                    ? '"' + d.name + '"'
                                                              : '<' + d.name + '>';
      if (d.kind == Directive::kMacro && !MacroInclude(unit, file, d.line, d.name, quoted, name)) {
        faults_.insert(where + ":" + std::to_string(d.line) + ": #include " + spelled + " names no include");
        continue;
      }
      const Found found = Resolve(unit, file, quoted, name);
      if (found.kind == Found::kNone && (quoted || d.kind == Directive::kMacro)) {
        faults_.insert(where + ":" + std::to_string(d.line) + ": #include " + spelled +
                       " resolves to nothing");
        continue;
      }
      if (found.kind != Found::kOurs) continue;
      if (Tree(found.path).empty()) {
        faults_.insert(where + " includes " + Path(found.path) + ", outside the map's trees");
        continue;
      }
      if (!owner.empty()) {
        const std::string breach = Breach(owner, found.path);
        if (!breach.empty())
          faults_.insert(breach + (owner == file ? "" : " through " + where) + " (line " +
                         std::to_string(d.line) +
                         (d.kind == Directive::kMacro ? ", #include " + spelled : "") + ")");
      }
      Visit(unit, found.path, Support(found.path) ? owner : found.path, seen);
    }
  }

  CompileUnit NearestUnit(const fs::path& file,
                          const std::map<fs::path, const CompileUnit*>& byFolder) const {
    for (fs::path dir = file.parent_path(); dir != root_ && dir.has_relative_path();
         dir = dir.parent_path()) {
      const auto it = byFolder.find(dir);
      if (it != byFolder.end()) return *it->second;
    }
    CompileUnit unit;  // nothing compiled near it: the tests' folders, then src/
    if (Tree(file) != "src") unit.angleDirs.push_back(root_ / "tests");
    unit.angleDirs.push_back(root_ / "src");
    return unit;
  }

  fs::path root_;
  const Map& map_;
  std::map<std::string, int> layerOf_;
  std::map<fs::path, Source> sources_;
  std::map<fs::path, bool> exists_;
  std::set<fs::path> reached_;
  std::set<std::string> faults_;
};

}  // namespace

Map ReadMap(const std::string& text) {
  Map map;
  // Rooms are separated by one space; two or more begin the description.
  for (const std::string& line : Block(text, "<!-- room order")) {
    const std::vector<std::string> layer = Words(line.substr(0, line.find("  ")));
    if (!layer.empty()) map.rooms.push_back(layer);
  }
  // Folders, two spaces, the room (or top, support), two spaces, a description.
  for (const std::string& line : Block(text, "<!-- places")) {
    const size_t gap = line.find("  ");
    if (gap == std::string::npos) continue;
    const std::vector<std::string> room = Words(line.substr(gap));
    if (room.empty()) continue;
    for (const std::string& folder : Words(line.substr(0, gap))) map.places[folder] = room[0];
  }
  for (const std::string& line : Block(text, "<!-- exported globals")) {
    const std::vector<std::string> words = Words(line);
    if (words.size() >= 2) map.globals.insert(words[0] + " " + words[1]);
  }
  return map;
}

std::vector<CompileUnit> ReadCompileCommands(const fs::path& json) {
  std::vector<CompileUnit> units;
  boost::property_tree::ptree tree;
  try {
    boost::property_tree::read_json(json.string(), tree);
  } catch (const boost::property_tree::json_parser_error&) {
    return units;
  }
  for (const auto& [key, entry] : tree) {
    const fs::path directory = entry.get<std::string>("directory", "");
    std::vector<std::string> words;
    if (const auto arguments = entry.get_child_optional("arguments")) {
      for (const auto& [k, word] : *arguments) words.push_back(word.get_value<std::string>());
    } else {
      words = ShellWords(entry.get<std::string>("command", ""));
    }
    CompileUnit unit;
    unit.file = (directory / entry.get<std::string>("file", "")).lexically_normal();
    std::vector<fs::path> system, after;
    for (size_t i = 0; i < words.size(); ++i) {
      const std::string& w = words[i];
      for (const std::string flag : {"-iquote", "-isystem", "-idirafter", "-I", "-D"}) {
        if (w.rfind(flag, 0) != 0) continue;
        std::string value =
            w.size() > flag.size() ? w.substr(flag.size()) : (i + 1 < words.size() ? words[++i] : "");
        if (flag == "-D") {
          const size_t eq = value.find('=');
          unit.macros[value.substr(0, eq)] = eq == std::string::npos ? "1" : value.substr(eq + 1);
        } else {
          const fs::path dir = (directory / value).lexically_normal();
          (flag == "-iquote"    ? unit.quoteDirs
           : flag == "-I"       ? unit.angleDirs
           : flag == "-isystem" ? system
                                : after)
              .push_back(dir);
        }
        break;
      }
    }
    unit.angleDirs.insert(unit.angleDirs.end(), system.begin(), system.end());
    unit.angleDirs.insert(unit.angleDirs.end(), after.begin(), after.end());
    units.push_back(std::move(unit));
  }
  return units;
}

std::vector<std::string> IncludeFaults(const fs::path& root, const Map& map,
                                       const std::vector<CompileUnit>& units) {
  CChecker checker(root, map);
  checker.Run(units);
  return checker.Faults();
}

std::vector<std::string> GlobalFaults(const fs::path& root, const Map& map) {
  // A declaration after `extern` up to its end; "C" blocks and templates are not variables.
  static const std::regex declaration(R"(\bextern\s+(?!"|template\b)([^;{}]*);)");
  static const std::regex immutable(R"(^(const|constexpr)\b|\*\s*const\s+\w+\s*(\[[^\]]*\])?\s*$)");
  static const std::regex function(R"(^[^(]*\((?!\s*[*&]))");
  static const std::regex name(R"(\(\s*[*&]\s*(\w+)\s*\)|(\w+)\s*(\[[^\]]*\])?\s*$)");
  std::vector<std::string> faults;
  std::set<std::string> declared;
  const fs::path base = fs::weakly_canonical(root);
  for (const fs::path& file : SourceFiles(base)) {
    if (file.extension() != ".h") continue;
    std::vector<bool> lineInCode;
    const std::string code = Blank(ReadText(file), lineInCode);
    const std::string header = Relative(file, base);
    for (std::sregex_iterator it(code.begin(), code.end(), declaration), end; it != end; ++it) {
      const std::string decl = Trim(std::regex_replace(std::string((*it)[1]), std::regex(R"(\s+)"), " "));
      std::smatch m;
      if (std::regex_search(decl, immutable) || std::regex_search(decl, function) ||
          !std::regex_search(decl, m, name))
        continue;
      const std::string global = m[1].matched ? m[1] : m[2];
      const std::string entry = header + " " + global;
      declared.insert(entry);
      if (!map.globals.count(entry))
        faults.push_back(header + " declares the mutable global " + global + ", which the map does not list");
    }
  }
  for (const std::string& entry : map.globals)
    if (!declared.count(entry)) faults.push_back("the map lists " + entry + ", which no header declares");
  return faults;
}

}  // namespace house
