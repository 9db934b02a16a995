// Text to and from floating point: std::from_chars/to_chars where the standard library has them.
// The browser toolchain's libc++ lacks the floating-point overloads; the C library stands in
// there, with from_chars' rules (no blanks, no '+', no hex) and a shortest round-trip output.
#pragma once
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace xfile {

#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
inline std::from_chars_result RealFromChars(const char* b, const char* e, double& v) {
  return std::from_chars(b, e, v);
}
template <typename T>
inline std::to_chars_result RealToChars(char* b, char* e, T v) {
  return std::to_chars(b, e, v);
}
#else
inline std::from_chars_result RealFromChars(const char* b, const char* e, double& v) {
  char text[72];
  size_t n = static_cast<size_t>(e - b);
  if (n > sizeof text - 1) n = sizeof text - 1;
  std::memcpy(text, b, n);
  text[n] = '\0';
  const char* digits = text[0] == '-' ? text + 1 : text;
  // strtod would also take these; from_chars does not (and reads "0x1" as 0 followed by "x1").
  if (n == 0 || *digits == '\0' || *digits == '+' || *digits == ' ' || (*digits >= '\t' && *digits <= '\r') ||
      *digits == '-')
    return {b, std::errc::invalid_argument};
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) text[digits - text + 1] = '\0';
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(text, &end);
  if (end == text) return {b, std::errc::invalid_argument};
  if (errno == ERANGE) return {b + (end - text), std::errc::result_out_of_range};
  v = parsed;
  return {b + (end - text), std::errc()};
}
template <typename T>
inline std::to_chars_result RealToChars(char* b, char* e, T v) {
  // The fewest significant digits that read back as the same value.
  char text[40];
  int length = 0;
  for (int precision = 1; precision <= 17; ++precision) {
    length = std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(v));
    if (static_cast<T>(std::strtod(text, nullptr)) == v || v != v) break;
  }
  if (length < 0 || length > e - b) return {e, std::errc::value_too_large};
  std::memcpy(b, text, static_cast<size_t>(length));
  return {b + length, std::errc()};
}
#endif

}  // namespace xfile
