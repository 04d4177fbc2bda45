// Byte forms of code points and Shift_JIS codes, written plainly so that
// tests do not lean on the converters' own bit handling.
#pragma once

#include <cstdint>
#include <string>

namespace kawase::test {

// A plain UTF-8 encoder, independent of the converter's bit tests.
inline std::string utf8(int32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 + cp / 64);
    s += static_cast<char>(0x80 + cp % 64);
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 + cp / 4096);
    s += static_cast<char>(0x80 + cp / 64 % 64);
    s += static_cast<char>(0x80 + cp % 64);
  } else {
    s += static_cast<char>(0xF0 + cp / 262144);
    s += static_cast<char>(0x80 + cp / 4096 % 64);
    s += static_cast<char>(0x80 + cp / 64 % 64);
    s += static_cast<char>(0x80 + cp % 64);
  }
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
