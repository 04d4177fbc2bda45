// The converters' reports, made with word operations rather than the
// formatter, straight into the messages held.
#include "support/reports.h"

#include <cstring>

#include "support/messages.h"

namespace kawase {

namespace {

// Upper-case hexadecimal digits of the four bytes in w, two for each, the
// lowest byte's first, packed from the low byte up: all in a few word
// operations, as a flood of unmapped characters makes one report each.
uint64_t hexDigits(uint32_t w) {
  uint64_t x = w;
  x = (x | x << 16) & 0x0000FFFF0000FFFF;
  x = (x | x << 8) & 0x00FF00FF00FF00FF;  // byte i at 2i
  uint64_t nibbles = (x >> 4 & 0x0F0F0F0F0F0F0F0F) | (x & 0x0F0F0F0F0F0F0F0F) << 8;
  uint64_t letters = (nibbles + 0x0606060606060606) >> 4 & 0x0101010101010101;
  return nibbles + 0x3030303030303030 + letters * 7;
}

// Stores the eight bytes of v at `to`, lowest first; returns to + n.
char* put8(char* to, uint64_t v, int n) {
  for (int i = 0; i < 8; i++) to[i] = static_cast<char>(v >> 8 * i);
  return to + n;
}

// "%02X" of each of the n bytes at p (n at most 4; 8 bytes of room).
char* putBytes(char* to, const unsigned char* p, int n) {
  uint32_t w = 0;
  for (int i = 0; i < n; i++) w |= static_cast<uint32_t>(p[i]) << 8 * i;
  return put8(to, hexDigits(w), 2 * n);
}

// As "%04X" writes it: at least four digits (8 bytes of room).
char* putCodePoint(char* to, uint32_t v) {
  int digits = 4;
  while (digits < 8 && v >> 4 * digits != 0) digits++;
  uint32_t bigEndian = (v >> 24) | (v >> 8 & 0xFF00) | (v << 8 & 0xFF0000) | v << 24;
  return put8(to, hexDigits(bigEndian) >> 8 * (8 - digits), digits);
}

// Every line end of a report, its own and one among the bytes it shows, is
// written here, as the text stream writes one.
char* putLineEnd(char* to) {
  to[0] = '\r';
  to[1] = '\n';
  return to + 2;
}

constexpr char kReport[] = "Error code: ";
constexpr int kReportLen = sizeof kReport - 1;

}  // namespace

namespace {

// The report of a sequence is the same every time: a file that is not
// Shift_JIS text repeats the same few characters, so the last report made
// for each of a few hundred sequences is kept and copied.
struct Made {
  uint32_t key;  // the sequence's bytes and, in the top byte's place, its length
  int n;         // 0: nothing kept
  char text[48];
};
Made made[256];

int makeUtf8(char* t, const unsigned char* p, int n, int32_t cp) {
  char* start = t;
  std::memcpy(t, kReport, kReportLen);
  t = putBytes(t + kReportLen, p, n);
  *t++ = '=';
  if (n < 4) {
    *t++ = 'U';
    *t++ = '+';
  }
  if (cp < 0) {
    *t++ = '?';
  } else {
    t = putCodePoint(t, static_cast<uint32_t>(cp));
  }
  return static_cast<int>(putLineEnd(t) - start);
}

}  // namespace

void reportUtf8(const unsigned char* p, int n, int32_t cp) {
  char* t = errmsgRoom(sizeof made[0].text);  // the longest, and 8 bytes for a last put8
  // A sequence of four bytes is told apart by its bytes alone; a shorter
  // one by its length too, and by whether it has a code point.
  uint32_t key = 0;
  for (int i = 0; i < n; i++) key |= static_cast<uint32_t>(p[i]) << 8 * i;
  if (n < 4) key |= static_cast<uint32_t>(n << 1 | (cp < 0)) << 24;
  Made& m = made[(key * 0x9E3779B1u) >> 24];
  if (m.n == 0 || m.key != key) {
    m.key = key;
    m.n = makeUtf8(m.text, p, n, cp);
  }
  std::memcpy(t, m.text, sizeof m.text);
  errmsgMade(t + m.n);
}

void reportSjis(const unsigned char* key) {
  char* t = errmsgRoom(kReportLen + 8 + 6 + 64 + 1 + 2);
  std::memcpy(t, kReport, kReportLen);
  t = putBytes(t + kReportLen, key, 1);
  *t++ = '[';
  t = putBytes(t, key + 1, 1);
  std::memcpy(t, "] ... ", 6);
  t += 6;
  for (int i = 0; i < 64 && key[i] != '\0'; i++) {
    if (key[i] == '\n') {
      t = putLineEnd(t);
    } else {
      *t++ = static_cast<char>(key[i]);
    }
  }
  errmsgMade(putLineEnd(t));
}

}  // namespace kawase
