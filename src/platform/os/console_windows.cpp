// Windows: the wide command line, and a message box for a program that has no console (a
// double-click or a shortcut); the streams get the text too when a caller redirected them.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/os/console.h"

namespace os {
namespace {

std::string Utf8(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.pop_back();
  return s;
}

std::wstring Wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  w.pop_back();
  return w;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  if (wide) {
    for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return args;
  }
  for (int i = 0; i < argc; ++i) args.emplace_back(argv && argv[i] ? argv[i] : "");
  return args;
}

void Tell(Stream stream, const std::string& text, const std::string& boxText, const std::string& caption) {
  const HANDLE out = GetStdHandle(stream == Stream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  const UINT icon = stream == Stream::kOutput ? MB_ICONINFORMATION : MB_ICONERROR;
  MessageBoxW(nullptr, Wide(boxText).c_str(), Wide(caption).c_str(), MB_OK | icon | MB_SETFOREGROUND);
}

}  // namespace os
