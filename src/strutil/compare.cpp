// String comparison and case folding.
#include <cstddef>

#include "strutil/step.h"
#include "strutil/strutil.h"

namespace kawase {

namespace {

// Letters compare without case: A to Z sort as a to z, which puts "[" to
// "`" before every letter and "{" to DEL after them.
inline unsigned char foldAscii(unsigned char b) {
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

inline int sign(unsigned char x, unsigned char y) {
  return x < y ? -1 : 1;
}

std::size_t byteLength(const char* s) {
  std::size_t len = 0;
  while (s[len] != '\0') len++;
  return len;
}

// Length of a directory name without one trailing backslash. The backslash
// must be a character of its own by the range rule: a name ending in a
// two-byte character whose second byte is 0x5C keeps that byte, because
// dropping it would cut the character in half and make the name differ from
// the same name written with its trailing separator.
int dirNameLength(const char* s) {
  const int len = static_cast<int>(byteLength(s));
  const char* last = get_prech(s, s + len);
  if (last != nullptr && last == s + len - 1 && *last == '\\') return len - 1;
  return len;
}

// Backslashes at character starts; a 0x5C second byte is not a separator.
int countSeparators(const char* s) {
  int count = 0;
  for (const char* p = s; *p != '\0'; p += rangeCharLen(p))
    if (*p == '\\') count++;
  return count;
}

// Walks one string changing ASCII bytes with `change`; high bytes are
// stepped by the high-bit rule so a second byte is never changed.
template <typename Change>
void foldInPlace(char* s, Change change) {
  for (char* p = s; *p != '\0';) {
    const unsigned char b = byteAt(p);
    if (b >= 0x80) {
      p += highBitCharLen(p);
      continue;
    }
    *p++ = static_cast<char>(change(b));
  }
}

}  // namespace

int StrnCmp(const char* a, const char* b, int n) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  auto advance = [&] {
    p++;
    q++;
    if (n > 0) n--;  // a negative budget means no limit and never changes
  };

  while (n != 0 && *p != 0 && *q != 0) {
    if (*p < 0x80) {
      if (*q >= 0x80) return -1;
      const unsigned char fa = foldAscii(*p), fb = foldAscii(*q);
      if (fa != fb) {
        if (*p == '\\') return -1;
        if (*q == '\\') return 1;
        return sign(fa, fb);
      }
      advance();
      continue;
    }
    const bool kanaA = isKanaByte(*p), kanaB = isKanaByte(*q);
    if (kanaA != kanaB) {
      if (kanaA) return *q >= 0x80 ? -1 : 1;
      return 1;
    }
    if (*p != *q) return sign(*p, *q);
    advance();
    if (kanaA) continue;
    // A two-byte character: its second byte is compared even when the first
    // used up the budget, so the character is never split.
    if (*p == 0 && *q == 0) return 0;
    if (*p != *q) return sign(*p, *q);
    advance();
  }
  if (n == 0) return 0;
  if (*p != 0) return 1;
  if (*q != 0) return -1;
  return 0;
}

int StrCmp(const char* a, const char* b) {
  return StrnCmp(a, b, -1);
}

// An equality test: names of different length give 1, never -1.
int DirCmp(const char* a, const char* b) {
  const int la = dirNameLength(a);
  const int lb = dirNameLength(b);
  if (la != lb) return 1;
  return StrnCmp(a, b, la);
}

int comp_file(const void* pa, const void* pb) {
  const char* a = **static_cast<const char* const* const*>(pa);
  const char* b = **static_cast<const char* const* const*>(pb);
  const int da = countSeparators(a);
  const int db = countSeparators(b);
  if (da < db) return -1;
  if (da > db) return 1;
  return StrCmp(a, b);
}

int to_upper(char* s) {
  foldInPlace(s, [](unsigned char b) { return b >= 'a' && b <= 'z' ? b - ('a' - 'A') : b; });
  return 0;
}

int to_lower(char* s) {
  foldInPlace(s, [](unsigned char b) { return b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b; });
  return 0;
}

// Only the first 1,023 bytes of each string take part: they are copied into
// fixed buffers so the caller's strings stay untouched and nothing is
// allocated.
int strcasecmp(const char* a, const char* b) {
  constexpr int kCopySize = 1024;
  char copyA[kCopySize] = {};
  char copyB[kCopySize] = {};
  for (int i = 0; i < kCopySize - 1 && a[i] != '\0'; i++) copyA[i] = a[i];
  for (int i = 0; i < kCopySize - 1 && b[i] != '\0'; i++) copyB[i] = b[i];
  to_lower(copyA);
  to_lower(copyB);

  const unsigned char* p = reinterpret_cast<const unsigned char*>(copyA);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(copyB);
  while (*p != 0 && *p == *q) {
    p++;
    q++;
  }
  return *p - *q;
}

}  // namespace kawase
