// UTF-8 to Shift_JIS, one line at a time.
//
// The decoder is deliberately lenient: continuation bytes are taken as they
// come, overlong forms decode to their value and a stray continuation byte
// is looked up as the code point of its own value. Only the end of the line
// is guarded: a sequence is never allowed to run over the line's LF or its
// terminating NUL.
#include <cstring>

#include "convert/ascii_run.h"
#include "convert/convert.h"
#include "convert/dense_tables.h"
#include "support/messages.h"

namespace kawase {

int32_t unicode_len = 0;

namespace {

// Bytes a sequence takes by its first byte; a stray continuation byte (or
// ASCII, which the line converter never hands over) takes one.
int sequenceLength(const char* p) {
  int len = unicodeKanji(p);
  return len == 0 ? 1 : len;
}

int32_t decode(const unsigned char* p, int len) {
  switch (len) {
    case 2:
      return (p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    case 3:
      return (p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    case 4:
      return (p[0] & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F);
    default:
      return p[0];
  }
}

// How many bytes of a `len`-byte sequence are present before an LF or the
// NUL; `len` when the whole sequence is there.
int bytesPresent(const unsigned char* p, int len) {
  for (int i = 1; i < len; i++)
    if (p[i] == '\n' || p[i] == '\0') return i;
  return len;
}

// The code of a whole sequence of `len` bytes at p that decodes to cp, or
// -1 after its report when it has none. A longer form of a control
// character (C0 8A for LF, E0 80 9A for Ctrl-Z) would write a byte that
// breaks the output's lines or ends it for a text-mode reader: it has no
// counterpart. The dense table answers what the binary search does, in two
// loads.
int lookUp(const unsigned char* p, int len, int32_t cp) {
  uint32_t dense = denseSjisOf(static_cast<uint32_t>(cp));
  int code = (len >= 2 && cp < 0x20) || dense == 0xFFFF ? -1 : static_cast<int>(dense);
  if (code == -1) reportUtf8(p, len, len == 1 ? -1 : cp);
  return code;
}

}  // namespace

int unicodeKanji(const char* p) {
  switch (static_cast<unsigned char>(*p) >> 4) {
    case 0xC:
    case 0xD:
      return 2;
    case 0xE:
      return 3;
    case 0xF:
      return 4;
    default:
      return 0;
  }
}

int unicode2sjis(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  unicode_len = 0;
  int len = sequenceLength(p);
  int present = bytesPresent(b, len);
  if (present < len) {
    unicode_len = present;
    reportUtf8(b, present, -1);
    return -1;
  }
  unicode_len = len;
  return lookUp(b, len, decode(b, len));
}

inline int32_t decodeWellFormed(const unsigned char* p, const unsigned char* e, int* len);

int unitosj(const char* src, char* dst) {
  const auto* in = reinterpret_cast<const unsigned char*>(src);
  const auto* end = in + std::strlen(src);
  auto* out = reinterpret_cast<unsigned char*>(dst);
  while (*in != '\0') {
    if (*in < 0x80) {
      *out++ = *in++;
      continue;
    }
    // A well-formed sequence, which nearly every one is, decodes here as
    // unicode2sjis would decode it, without its checks for the rest.
    int len;
    int32_t cp = decodeWellFormed(in, end, &len);
    if (cp >= 0) unicode_len = len;
    int code =
        (cp >= 0 ? lookUp(in, len, cp) : unicode2sjis(reinterpret_cast<const char*>(in))) & 0xFFFF;
    if (code == 0xFFFF) {
      *out++ = '?';
      *out++ = '?';
    } else if (code >> 8 == 0) {
      *out++ = static_cast<unsigned char>(code);
    } else {
      *out++ = static_cast<unsigned char>(code >> 8);
      *out++ = static_cast<unsigned char>(code & 0xFF);
    }
    in += unicode_len;
  }
  *out = '\0';
  return 0;
}

// The first four bytes at p, first byte lowest.
inline uint32_t load4(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The code of the three-byte sequence in the low bytes of w (first byte
// lowest), its continuation bytes known to be 10xxxxxx. The code point's
// block and place in it come straight from the bytes: a block holds the 64
// code points that differ in the last byte only.
inline uint32_t sjisOfThreeBytes(uint32_t w) {
  static_assert(kDenseBlockBits == 6);
  uint32_t block = denseSjisIndex[(w & 0x0F) << 6 | (w >> 8 & 0x3F)];
  return denseSjisBlocks[block][w >> 16 & 0x3F];
}

// Neither a single-byte code nor none (0xFFFF).
inline bool isTwoByteCode(uint32_t code) {
  return code - 0x100 < 0xFFFF - 0x100;
}

// The code point of the sequence at p, whose first byte is 0x80 or above,
// and in *len its length, which the first byte gives (a stray continuation
// byte stands alone). -1 when a continuation byte is not 10xxxxxx or the
// sequence runs past e: such lenient forms are rare and unitosj decodes
// them, and the check also keeps a sequence from running over the line's LF.
inline int32_t decodeWellFormed(const unsigned char* p, const unsigned char* e, int* len) {
  if (e - p >= 4) {
    uint32_t w = load4(p);
    if ((w & 0xC0C0F0) == 0x8080E0) {
      *len = 3;
      return static_cast<int32_t>((w & 0x0F) << 12 | (w >> 2 & 0xFC0) | (w >> 16 & 0x3F));
    }
    if ((w & 0xC0E0) == 0x80C0) {
      *len = 2;
      return static_cast<int32_t>((w & 0x1F) << 6 | (w >> 8 & 0x3F));
    }
    if ((w & 0xC0C0C0F0) == 0x808080F0) {
      *len = 4;
      return static_cast<int32_t>((w & 0x07) << 18 | (w << 4 & 0x3F000) | (w >> 10 & 0xFC0) |
                                  (w >> 24 & 0x3F));
    }
  }
  *len = sequenceLength(reinterpret_cast<const char*>(p));
  if (e - p < *len) return -1;
  for (int i = 1; i < *len; i++)
    if ((p[i] & 0xC0) != 0x80) return -1;
  return decode(p, *len);
}

namespace {

// The fast road, built with each way of copying ASCII runs. A control
// character in a longer form goes back to unitosj, which reports it.
template <class Ascii>
const char* unitosjRoad(const char* src, const char* end, char** dst) {
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  const auto* e = reinterpret_cast<const unsigned char*>(end);
  auto* o = reinterpret_cast<unsigned char*>(*dst);
  // Four bytes can be loaded at any p below this.
  const unsigned char* lastFour = e - p >= 4 ? e - 3 : p;
  while (p < e) {
    uint32_t b0 = *p;
    if (b0 < 0x80) {
      size_t n = Ascii::copyRun(p, e, &o);
      if (n == 0) break;  // a NUL
      p += n;
      continue;
    }
    // Runs of three-byte sequences with two-byte codes, the bulk of
    // Japanese text, in a loop of their own; anything else in one falls
    // through to the general step below.
    while (p < lastFour) {
      uint32_t w = load4(p);
      if ((w & 0xC0C0F0) != 0x8080E0) break;
      uint32_t code = sjisOfThreeBytes(w);
      if (!isTwoByteCode(code)) break;
      o[0] = static_cast<unsigned char>(code >> 8);
      o[1] = static_cast<unsigned char>(code);
      o += 2;
      p += 3;
    }
    if (p == e || *p < 0x80) continue;
    int len;
    int32_t cp = decodeWellFormed(p, e, &len);
    if (cp < 0) break;
    uint32_t code = denseSjisOf(static_cast<uint32_t>(cp));
    if (code == 0xFFFF || cp < 0x20) break;
    if (code < 0x100) {
      *o++ = static_cast<unsigned char>(code);
    } else {
      o[0] = static_cast<unsigned char>(code >> 8);
      o[1] = static_cast<unsigned char>(code);
      o += 2;
    }
    p += len;
  }
  *dst = reinterpret_cast<char*>(o);
  return reinterpret_cast<const char*>(p);
}

}  // namespace

// Flattened, so that the SSSE3 copy inlines into the loop that calls it.
[[gnu::flatten]] const char* unitosjSpanPortable(const char* src, const char* end, char** dst) {
  return unitosjRoad<AsciiPortable>(src, end, dst);
}

#if defined(KAWASE_X86)
__attribute__((target("ssse3"), flatten)) const char* unitosjSpanSsse3(const char* src,
                                                                       const char* end,
                                                                       char** dst) {
  return unitosjRoad<AsciiSsse3>(src, end, dst);
}
#endif

}  // namespace kawase
