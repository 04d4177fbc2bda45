// Character scanning and byte moves.
#include <cstddef>

#include "strutil/step.h"
#include "strutil/strutil.h"

namespace kawase {

// ---- Character-aware searches ----

// The byte is compared before the step, so c can match the first byte of a
// two-byte character but never its second; c = 0 never matches because the
// NUL ends the scan first.
char* Strchr(const char* s, int c) {
  const unsigned char want = lowByte(c);
  for (const char* p = s; *p != '\0'; p += rangeCharLen(p))
    if (byteAt(p) == want) return const_cast<char*>(p);
  return nullptr;
}

char* Strrchr(const char* s, int c) {
  const unsigned char want = lowByte(c);
  const char* found = nullptr;
  for (const char* p = s; *p != '\0'; p += rangeCharLen(p))
    if (byteAt(p) == want) found = p;
  return const_cast<char*>(found);
}

// Shift_JIS cannot be stepped backwards, so walk forward from the start and
// keep the last character start seen before `end`.
char* get_prech(const char* s, const char* end) {
  const char* last = nullptr;
  for (const char* p = s; p < end && *p != '\0'; p += rangeCharLen(p)) last = p;
  return const_cast<char*>(last);
}

// The step is decided on the byte as stored, so a `to` that is a lead byte
// makes the following byte its second byte.
char* ChgChr(char* s, int from, int to) {
  const unsigned char want = lowByte(from);
  const char put = static_cast<char>(lowByte(to));
  for (char* p = s; *p != '\0'; p += rangeCharLen(p))
    if (byteAt(p) == want) *p = put;
  return s;
}

char* index2(const char* s, const char* set) {
  for (const char* p = s; *p != '\0'; p++) {
    if (rangeCharLen(p) == 2) {
      p++;  // a two-byte character is never tested
      continue;
    }
    for (const char* q = set; *q != '\0'; q++)
      if (*q == *p) return const_cast<char*>(p);
  }
  return nullptr;
}

// Bytes of `p` and `pat` agree up to the end of `pat` (both stop at a NUL).
static bool matchesAt(const char* p, const char* pat) {
  for (; *pat != '\0'; p++, pat++)
    if (*p != *pat) return false;
  return true;
}

char* serstr(const char* s, const char* pat) {
  if (*pat == '\0') return nullptr;
  for (const char* p = s; *p != '\0'; p += classCharLen(p))
    if (*p == *pat && matchesAt(p, pat)) return const_cast<char*>(p);
  return nullptr;
}

// ---- Plain byte searches ----

char* index(const char* s, int c) {
  const unsigned char want = lowByte(c);
  for (const char* p = s; *p != '\0'; p++)
    if (byteAt(p) == want) return const_cast<char*>(p);
  return nullptr;
}

char* rindex(const char* s, int c) {
  const unsigned char want = lowByte(c);
  const char* p = s;
  while (*p != '\0') p++;
  while (p > s) {
    p--;
    if (byteAt(p) == want) return const_cast<char*>(p);
  }
  return nullptr;
}

// The match must lie wholly inside `s`; an empty `t` matches at the first
// byte of a non-empty `s`.
char* index1(const char* s, const char* t) {
  for (const char* p = s; *p != '\0'; p++)
    if (matchesAt(p, t)) return const_cast<char*>(p);
  return nullptr;
}

char* srch_wild(const char* s) {
  for (const char* p = s; *p != '\0'; p++)
    if (*p == '*' || *p == '?') return const_cast<char*>(p);
  return nullptr;
}

// ---- Byte moves ----

// First byte first: safe for a move to a lower address in one buffer.
int bcopy(char* dst, const char* src, int n) {
  for (; n > 0; n--) *dst++ = *src++;
  return 0;
}

// Last byte first: safe for a move to a higher address in one buffer. A
// negative count is a caller's mistake; it moves nothing, as in bcopy and
// clear, rather than running off the start of the buffers.
int bakmov(const char* src, char* dst, int n) {
  for (; n > 0; n--) dst[n - 1] = src[n - 1];
  return 0;
}

void clear(char* p, int c, int n) {
  const char fill = static_cast<char>(lowByte(c));
  for (; n > 0; n--) *p++ = fill;
}

int insChar(char* s, int c) {
  std::size_t len = 0;
  while (s[len] != '\0') len++;
  for (std::size_t i = len + 1; i > 0; i--) s[i] = s[i - 1];  // NUL included
  s[0] = static_cast<char>(lowByte(c));
  return 0;
}

}  // namespace kawase
