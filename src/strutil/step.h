// The three ways the string library steps from one character to the next.
// Private to src/strutil/.
//
// Shift_JIS cannot be scanned backwards and a second byte may look like
// ASCII, so every character-aware scan starts at the first byte and asks one
// of these rules how long the character at hand is. Under every rule a
// high byte just before the NUL is a character of its own, so no scan ever
// steps over a terminator.
#pragma once

#include "strutil/strutil.h"

namespace kawase {

inline unsigned char byteAt(const char* p) {
  return static_cast<unsigned char>(*p);
}

// Character arguments use only their low 8 bits: -127 and 0x81 are one byte.
inline unsigned char lowByte(int c) {
  return static_cast<unsigned char>(c & 0xFF);
}

// Range rule: a lead byte takes the next byte with it, whatever its value.
inline int rangeCharLen(const char* p) {
  return isLeadByte(byteAt(p)) && p[1] != '\0' ? 2 : 1;
}

// Class rule: a lead byte takes the next byte only if that is a trail byte.
inline int classCharLen(const char* p) {
  return isLeadByte(byteAt(p)) && isTrailByte(byteAt(p + 1)) ? 2 : 1;
}

// High-bit rule: any byte from 0x80 that is not single-byte katakana begins
// a two-byte character unless the NUL follows.
inline bool isHighBitFirst(unsigned char b) {
  return b >= 0x80 && !isKanaByte(b);
}
inline int highBitCharLen(const char* p) {
  return isHighBitFirst(byteAt(p)) && p[1] != '\0' ? 2 : 1;
}

}  // namespace kawase
