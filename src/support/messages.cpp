// Message output and its small formatter.
//
// The formatter knows five conversions and nothing else (no flags, widths
// or length modifiers); callers that need more format into a buffer of
// their own and pass the result through "%s".
#include "support/messages.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/textstream.h"
#include "strutil/strutil.h"

namespace kawase {

Stream* errfp = nullptr;
Stream* const kErrfpStdout = reinterpret_cast<Stream*>(~uintptr_t{0});
int errmsgWrite_flg = 0;
int errmsg_output_flg = 0;

namespace {

constexpr int kErrbufSize = 1280;
constexpr int kTextLimit = 1024;
constexpr int kStringCut = 768;

char errbuf[kErrbufSize];
Stream* errlogfp = nullptr;

// Appends up to n bytes, never past the end of errbuf.
void append(int* len, const char* bytes, int n) {
  int room = kErrbufSize - 1 - *len;
  if (n > room) n = room;
  if (n <= 0) return;
  std::memcpy(errbuf + *len, bytes, static_cast<size_t>(n));
  *len += n;
}

void appendString(int* len, const char* s) {
  if (s == nullptr) s = "(null)";
  int n = static_cast<int>(std::strlen(s));
  if (*len + n > kTextLimit) {
    // A string that does not fit is cut so the text holds 768 bytes. Past
    // 768 bytes already held nothing more is appended.
    n = kStringCut - *len;
  }
  append(len, s, n);
}

// Appends one conversion; `conv` is the byte after the "%".
void appendConversion(int* len, char conv, va_list* args) {
  char tmp[512];
  int n = 0;
  switch (conv) {
    case 'c': {
      char c = static_cast<char>(va_arg(*args, int));
      append(len, &c, 1);
      return;
    }
    case 'd':
      n = std::snprintf(tmp, sizeof tmp, "%d", va_arg(*args, int));
      break;
    case 'x':
      n = std::snprintf(tmp, sizeof tmp, "%x", va_arg(*args, unsigned int));
      break;
    case 'f':
      // The largest double takes 316 bytes in fixed notation; one begun
      // near the limit is cut at the end of errbuf.
      n = std::snprintf(tmp, sizeof tmp, "%f", va_arg(*args, double));
      break;
    case 's':
      appendString(len, va_arg(*args, const char*));
      return;
    default:
      n = std::snprintf(tmp, sizeof tmp, "%%%c", conv);
      break;
  }
  if (n > static_cast<int>(sizeof tmp) - 1) n = static_cast<int>(sizeof tmp) - 1;
  append(len, tmp, n);
}

const char* messageText(const char* fmt, va_list args) {
  return Strchr(fmt, '%') != nullptr ? err_edit(fmt, args) : fmt;
}

// Messages bound for standard error wait here in their written form, each
// line end CR LF: while a hold lasts (errmsgHold), and each report made in
// place (reportRoom) until it is whole. A file full of unmapped characters
// gives a message for each, and one write for many of them is what keeps
// such a file from costing a system call per character.
constexpr long kHeldSize = 256 * 1024;
char held[kHeldSize];
long heldLen = 0;
Stream* holdTo = nullptr;     // where held text goes while a hold lasts
Stream* holdAfter = nullptr;  // flushed before it goes

void sendHeld() {
  if (heldLen == 0) return;
  if (holdAfter != nullptr) streamFlush(holdAfter);
  streamWriteRaw(held, heldLen, holdTo != nullptr ? holdTo : stdStream(kStderr));
  heldLen = 0;
}

// Standard error gets text at once, unless a hold keeps it: each LF goes
// in as CR LF, and text too large to hold goes straight to its stream,
// after what is held.
void toStderr(const char* text, long n) {
  if (heldLen + 2 * n > kHeldSize) sendHeld();
  if (2 * n > kHeldSize) {
    if (holdAfter != nullptr) streamFlush(holdAfter);
    streamWrite(text, n, holdTo != nullptr ? holdTo : stdStream(kStderr));
    return;
  }
  for (long i = 0; i < n; i++) {
    if (text[i] == '\n') held[heldLen++] = '\r';
    held[heldLen++] = text[i];
  }
  if (holdTo == nullptr) sendHeld();
}

// Where errmsg writes: standard output when errfp says so, else standard
// error (held back while a hold lasts).
void writeMessage(const char* text, long n) {
  if (errfp == kErrfpStdout) {
    streamWrite(text, n, stdStream(kStdout));
  } else {
    toStderr(text, n);
  }
  errmsg_output_flg = 1;
}

}  // namespace

char* err_edit(const char* fmt, va_list args) {
  va_list ap;
  va_copy(ap, args);
  int len = 0;
  const char* f = fmt;
  while (len < kTextLimit && *f != '\0') {
    if (f[0] == '\\' && f[1] != '\0') {
      append(&len, f + 1, 1);
      f += 2;
    } else if (f[0] != '%') {
      // A run of ordinary bytes in one copy, cut where the limit would stop
      // them one at a time.
      long run = 1 + static_cast<long>(std::strcspn(f + 1, "%\\"));
      int n = run < kTextLimit - len ? static_cast<int>(run) : kTextLimit - len;
      append(&len, f, n);
      f += n;
    } else if (f[1] == '\0') {
      // A lone "%" at the very end has no conversion byte: keep it as it is
      // and never look past the terminator.
      append(&len, f, 1);
      f++;
    } else {
      appendConversion(&len, f[1], &ap);
      f += 2;
    }
  }
  va_end(ap);
  errbuf[len] = '\0';
  return errbuf;
}

void errmsg(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char* text = messageText(fmt, args);
  va_end(args);
  auto n = static_cast<long>(std::strlen(text));
  // The formatter's limit may cut a message short of its line end; a
  // message that has one still ends its line, so that the next message or
  // the shell's prompt starts a line of its own. errbuf always has a byte
  // to spare beyond the limit.
  size_t f = std::strlen(fmt);
  if (text == errbuf && f > 0 && fmt[f - 1] == '\n' && (n == 0 || text[n - 1] != '\n'))
    errbuf[n++] = '\n';
  writeMessage(text, n);
}

void errmsgHold(Stream* to, Stream* after) {
  sendHeld();
  holdTo = to;
  holdAfter = after;
}

void errmsgSend() {
  sendHeld();
}

void errmsgRelease() {
  sendHeld();
  holdTo = nullptr;
  holdAfter = nullptr;
}

void errmsg1(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const char* text = messageText(fmt, args);
  va_end(args);
  if (errfp == kErrfpStdout) {
    streamPuts(text, stdStream(kStdout));
  } else if (errfp == nullptr) {
    toStderr(text, static_cast<long>(std::strlen(text)));
  } else {
    streamPuts(text, errfp);
  }
}

int errmsgf(const char* fmt, ...) {
  if (errmsgWrite_flg == 0) return 0;
  if (std::strcmp(fmt, "end") == 0) {
    if (errlogfp == nullptr) return -1;
    int result = streamClose(errlogfp);
    errlogfp = nullptr;
    return result;
  }
  va_list args;
  va_start(args, fmt);
  const char* text = messageText(fmt, args);
  va_end(args);
  if (errlogfp == nullptr) {
    errlogfp = streamOpen("message.log", "w");
    // A log that cannot be opened cannot be written: report it to the caller.
    if (errlogfp == nullptr) return -1;
  }
  if (streamPuts(text, errlogfp) != 0 || streamPuts("\n", errlogfp) != 0) return -1;
  return '\n';
}

// The converters' reports.

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

// Room among the messages held for a report of up to n bytes, made in
// place; reportMade takes its end. It goes out as errmsg's text would: at
// once, or with what is held while a hold lasts.
char* reportRoom(long n) {
  if (heldLen + n > kHeldSize) sendHeld();
  return held + heldLen;
}

void reportMade(const char* end) {
  heldLen = static_cast<long>(end - held);
  if (holdTo == nullptr) sendHeld();
  errmsg_output_flg = 1;
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
  char* t = reportRoom(sizeof made[0].text);  // the longest, and 8 bytes for a last put8
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
  reportMade(t + m.n);
}

void reportSjis(const unsigned char* key) {
  char* t = reportRoom(kReportLen + 8 + 6 + 64 + 1 + 2);
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
  reportMade(putLineEnd(t));
}

}  // namespace kawase
