// The Shift_JIS-aware string and path library.
#pragma once

namespace kawase {

// Byte classes of code page 932; fixed, independent of the locale.
inline bool isLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool isTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
inline bool isKanaByte(unsigned char b) {
  return b >= 0xA1 && b <= 0xDF;
}

// Character scanning and byte moves.
char* Strchr(const char* s, int c);
int bcopy(char* dst, const char* src, int n);

}  // namespace kawase
