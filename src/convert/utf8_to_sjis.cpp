// UTF-8 to Shift_JIS, one line at a time.
//
// The decoder is deliberately lenient: continuation bytes are taken as they
// come, overlong forms decode to their value and a stray continuation byte
// is looked up as the code point of its own value. Only the end of the line
// is guarded: a sequence is never allowed to run over the line's LF or its
// terminating NUL.
#include <cstdio>

#include "convert/convert.h"
#include "convert/tables.h"
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

void reportUnmapped(const unsigned char* p, int len, int32_t cp) {
  char text[256];
  switch (len) {
    case 1:
      std::snprintf(text, sizeof text, "%02X=U+?", p[0]);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%02X%02X=U+%04X", p[0], p[1], static_cast<unsigned>(cp));
      break;
    case 3:
      std::snprintf(text, sizeof text, "%02X%02X%02X=U+%04X", p[0], p[1], p[2],
                    static_cast<unsigned>(cp));
      break;
    default:
      std::snprintf(text, sizeof text, "%02X%02X%02X%02X=%04X", p[0], p[1], p[2], p[3],
                    static_cast<unsigned>(cp));
      break;
  }
  errmsg("Error code: %s\n", text);
}

// A sequence cut short by the end of the line: the bytes that are there,
// with no code point.
void reportCutShort(const unsigned char* p, int present) {
  char text[16];
  int n = 0;
  for (int i = 0; i < present; i++) n += std::snprintf(text + n, sizeof text - n, "%02X", p[i]);
  std::snprintf(text + n, sizeof text - n, "=U+?");
  errmsg("Error code: %s\n", text);
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
    reportCutShort(b, present);
    return -1;
  }
  unicode_len = len;
  int32_t cp = decode(b, len);
  int code = searchUnicodeTbl(cp);
  if (code == -1) reportUnmapped(b, len, cp);
  return code;
}

int unitosj(const char* src, char* dst) {
  const auto* in = reinterpret_cast<const unsigned char*>(src);
  auto* out = reinterpret_cast<unsigned char*>(dst);
  while (*in != '\0') {
    if (*in < 0x80) {
      *out++ = *in++;
      continue;
    }
    int code = unicode2sjis(reinterpret_cast<const char*>(in)) & 0xFFFF;
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

}  // namespace kawase
