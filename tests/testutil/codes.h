// Byte forms of code points and Shift_JIS codes, written plainly so that
// tests do not lean on the converters' own bit handling.
#pragma once

#include <cstdint>
#include <string>

namespace kawase::test {

// A plain UTF-8 encoder, independent of the converter's bit tests: six
// bits a trail byte, the lead byte marked with the length.
inline std::string utf8(int32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  std::string s(static_cast<size_t>(n), '\0');
  for (int i = n - 1; i > 0; i--, cp /= 64)
    s[static_cast<size_t>(i)] = static_cast<char>(0x80 + cp % 64);
  s[0] = static_cast<char>(0x100 - (0x100 >> n) + cp);
  return s;
}

// One byte for a single-byte code, lead then trail for a two-byte one.
inline std::string sjisBytes(int32_t code) {
  std::string s;
  if (code >= 0x100) s += static_cast<char>(code >> 8);
  s += static_cast<char>(code & 0xFF);
  return s;
}

}  // namespace kawase::test
