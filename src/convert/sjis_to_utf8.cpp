// Shift_JIS to UTF-8, one line at a time.
#include <cstring>

#include "convert/ascii_run.h"
#include "convert/convert.h"
#include "convert/dense_tables.h"
#include "strutil/strutil.h"
#include "support/messages.h"

namespace kawase {

namespace {

char utf8Char[4];

// Bytes the character at `p` occupies in the input: one for single-byte
// katakana, otherwise two, except that a first byte right before the line's
// LF or its NUL is taken alone so the line end is never swallowed.
int inputStep(const unsigned char* p) {
  if (isKanaByte(p[0])) return 1;
  return p[1] == '\n' || p[1] == '\0' ? 1 : 2;
}

// Stores the four bytes of a packed UTF-8 value whatever its length (the
// caller's room covers the spare ones) and returns the length. Three bytes,
// the length of every kana and kanji, is tested first: a well-predicted
// branch lets the output run ahead of the table lookups.
inline int storePacked(unsigned char* o, uint32_t packed) {
  o[0] = static_cast<unsigned char>(packed);
  o[1] = static_cast<unsigned char>(packed >> 8);
  o[2] = static_cast<unsigned char>(packed >> 16);
  o[3] = static_cast<unsigned char>(packed >> 24);
  if ((packed & 0xF0) == 0xE0) return 3;
  return packedUtf8Length(packed);
}

}  // namespace

char* sjis2unicode(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  // The dense tables answer what the binary search does, with the UTF-8
  // bytes already made. For a katakana key b[1] may be the NUL; it is still
  // inside the string.
  uint32_t packed =
      isKanaByte(b[0]) ? denseUtf8Single[b[0]] : denseUtf8Rows[denseUtf8Row[b[0]]][b[1]];
  if (packed == 0) {
    reportSjis(b);
    return nullptr;
  }
  unicode_len = packedUtf8Length(packed);
  for (int i = 0; i < 4; i++) utf8Char[i] = static_cast<char>(packed >> 8 * i);
  return utf8Char;
}

int sjtouni(const char* src, char* dst) {
  const auto* in = reinterpret_cast<const unsigned char*>(src);
  char* out = dst;
  while (*in != '\0') {
    if (*in < 0x80) {
      *out++ = static_cast<char>(*in++);
      continue;
    }
    const char* utf8 = sjis2unicode(reinterpret_cast<const char*>(in));
    if (utf8 != nullptr) {
      bcopy(out, utf8, unicode_len);
      out += unicode_len;
    }
    in += inputStep(in);
  }
  *out = '\0';
  return 0;
}

namespace {

// The fast road, built with each way of copying ASCII runs. Every key with
// a code point has a nonzero entry, and a key whose second byte is the
// line's LF (or a NUL) has none, so the lookup alone sends every character
// that sjtouni would report back to it.
template <class Ascii>
const char* sjtouniRoad(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  const auto* e = reinterpret_cast<const unsigned char*>(end);
  auto* o = reinterpret_cast<unsigned char*>(*dst);
  // Two bytes can be read at any p below this.
  const unsigned char* lastTwo = e - p >= 2 ? e - 1 : p;
  while (p < e) {
    uint32_t b0 = *p;
    if (b0 < 0x80) {
      size_t n = Ascii::copyRun(p, e, &o);
      if (n == 0) break;  // a NUL
      p += n;
      continue;
    }
    // Runs of two-byte codes, the bulk of Japanese text, in a loop of their
    // own. Only a lead byte has a row, so row 0 ends a run at ASCII, at a
    // katakana byte and at a byte that starts no code.
    while (p < lastTwo) {
      uint32_t row = denseUtf8Row[p[0]];
      if (row == 0) break;
      uint32_t packed = denseUtf8Rows[row][p[1]];
      if (packed == 0) break;
      o += storePacked(o, packed);
      p += 2;
    }
    if (p == e || *p < 0x80) continue;
    uint32_t packed = 0;
    int step = 1;
    if (isKanaByte(*p)) {
      packed = denseUtf8Single[*p];
    } else if (e - p >= 2) {
      packed = denseUtf8Rows[denseUtf8Row[p[0]]][p[1]];
      step = 2;
    }
    if (packed == 0) break;
    o += storePacked(o, packed);
    p += step;
  }
  *dst = reinterpret_cast<char*>(o);
  return reinterpret_cast<const char*>(p);
}

}  // namespace

// Flattened, so that the SSSE3 copy inlines into the loop that calls it.
[[gnu::flatten]] const char* sjtouniSpanPortable(const char* src, const char* end, char** dst) {
  return sjtouniRoad<AsciiPortable>(src, end, dst);
}

#if defined(KAWASE_X86)
__attribute__((target("ssse3"), flatten)) const char* sjtouniSpanSsse3(const char* src,
                                                                       const char* end,
                                                                       char** dst) {
  return sjtouniRoad<AsciiSsse3>(src, end, dst);
}
#endif

}  // namespace kawase
