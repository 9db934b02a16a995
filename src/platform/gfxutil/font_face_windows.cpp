// Windows has no fontconfig: the face shipped beside the program first, then the requested face
// name among the fonts Windows has registered (by any of the names in the font, the Japanese ones
// included), then the first Japanese-capable face among them.
// Without GDI's DrawText flags, whose names the font room's own enumeration uses.
#define NODRAWTEXT
#define WIN32_LEAN_AND_MEAN
#include <ft2build.h>
#include <windows.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <string>
#include <vector>

#include "platform/gfxutil/font_face.h"
#include "platform/os/user_dirs.h"

namespace gfxutil {
namespace {

constexpr const char* kShippedFace = "fonts/ipag.ttf";

std::string Utf8(const std::wstring& w) {
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool Exists(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  return w;
}

// The path in the ANSI code page, when it spells every letter.
bool Ansi(const std::wstring& path, std::string& out) {
  if (path.empty()) return false;
  char ansi[MAX_PATH * 2];
  BOOL lossy = FALSE;
  if (WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy) <= 0 || lossy)
    return false;
  out = ansi;
  return true;
}

std::wstring ShortName(const std::wstring& path) {
  const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring s(n, L'\0');
  const DWORD got = GetShortPathNameW(path.c_str(), s.data(), n);
  if (got == 0 || got >= n) return {};
  s.resize(got);
  return s;
}

// The face's family names as the font's name table spells them (Windows platform, UTF-16BE).
bool HasFamilyName(FT_Face face, const std::string& wanted) {
  if (face->family_name && wanted == face->family_name) return true;
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
    if (name.platform_id != TT_PLATFORM_MICROSOFT || name.encoding_id != TT_MS_ID_UNICODE_CS) continue;
    if (name.name_id != TT_NAME_ID_FONT_FAMILY && name.name_id != TT_NAME_ID_TYPOGRAPHIC_FAMILY) continue;
    std::wstring w;
    for (FT_UInt k = 0; k + 1 < name.string_len; k += 2)
      w.push_back(static_cast<wchar_t>((name.string[k] << 8) | name.string[k + 1]));
    if (Utf8(w) == wanted) return true;
  }
  return false;
}

bool IsJapanese(FT_Face face) {
  return FT_Get_Char_Index(face, 0x3042) != 0 && FT_Get_Char_Index(face, 0x6F22) != 0;  // あ 漢
}

struct Library {
  FT_Library lib = nullptr;
  Library() {
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
  }
  ~Library() {
    if (lib) FT_Done_FreeType(lib);
  }
};

// The font files Windows has registered, for the machine and for the user (a per-user install
// lives outside the Fonts folder): a plain file name is in the Fonts folder, else a full path.
std::vector<std::wstring> RegisteredFontFiles() {
  std::vector<std::wstring> files;
  wchar_t windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring folder = n > 0 && n < MAX_PATH ? std::wstring(windows) + L"\\Fonts\\" : std::wstring();
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    HKEY key;
    if (RegOpenKeyExW(root, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      continue;
    for (DWORD i = 0;; ++i) {
      wchar_t name[512], data[MAX_PATH * 2];
      DWORD nameLength = 512, dataBytes = sizeof data - sizeof(wchar_t), type = 0;
      const LONG r =
          RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataBytes);
      if (r == ERROR_NO_MORE_ITEMS) break;
      if (r != ERROR_SUCCESS || type != REG_SZ) continue;
      data[dataBytes / sizeof(wchar_t)] = L'\0';
      std::wstring file = data;
      const size_t dot = file.find_last_of(L'.');
      if (file.empty() || dot == std::wstring::npos) continue;
      std::wstring ext = file.substr(dot);
      for (wchar_t& c : ext) c = static_cast<wchar_t>(towlower(c));
      if (ext != L".ttf" && ext != L".ttc" && ext != L".otf") continue;
      const bool full = file.find(L':') != std::wstring::npos || file[0] == L'\\';
      files.push_back(full ? file : folder + file);
    }
    RegCloseKey(key);
  }
  return files;
}

bool SearchSystemFonts(const FontDesc& desc, FaceChoice& out) {
  Library ft;
  if (!ft.lib) return false;
  FaceChoice fallback;
  bool haveFallback = false;
  for (const std::wstring& wpath : RegisteredFontFiles()) {
    // FreeType opens narrow paths through the ANSI code page.
    std::string ansi;
    if (!Ansi(wpath, ansi) && !Ansi(ShortName(wpath), ansi)) continue;
    FT_Long faces = 1;
    for (FT_Long index = 0; index < faces; ++index) {
      FT_Face face = nullptr;
      if (FT_New_Face(ft.lib, ansi.c_str(), index, &face) != 0) break;
      faces = face->num_faces;
      const bool usable = desc.charSet != 128 || IsJapanese(face);
      const FaceChoice choice{ansi, face->family_name ? face->family_name : "", static_cast<int>(index)};
      const bool named = usable && !desc.faceName.empty() && HasFamilyName(face, desc.faceName);
      FT_Done_Face(face);
      if (named) {
        out = choice;
        return true;
      }
      if (usable && desc.charSet == 128 && !haveFallback) {
        fallback = choice;
        haveFallback = true;
      }
    }
  }
  if (!haveFallback) return false;
  out = fallback;
  return true;
}

}  // namespace

bool ChooseFace(const FontDesc& desc, FaceChoice& out) {
  // Beside the program, in the ANSI form FreeType opens. A folder name that code page cannot
  // spell (a player named in Japanese) goes by its short name; where the volume keeps none, by
  // the name in the working folder, which is the program's own unless --data moved it.
  std::string folder = os::ProgramDir();
  if (!folder.empty() && folder.back() != '/') folder += '/';  // a drive's root ends in one already
  const std::wstring shipped = Wide(folder + kShippedFace);
  if (Exists(shipped)) {
    std::string ansi;
    if (Ansi(shipped, ansi) || Ansi(ShortName(shipped), ansi)) {
      out = {ansi, "IPAGothic", 0};
      return true;
    }
    if (Exists(Wide(kShippedFace))) {
      out = {kShippedFace, "IPAGothic", 0};
      return true;
    }
  }
  return SearchSystemFonts(desc, out);
}

}  // namespace gfxutil
