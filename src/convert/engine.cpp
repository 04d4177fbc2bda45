// The line loop. The line buffer serves as a window onto the input: it is
// filled a block at a time and cut into lines in place, each line ending
// after its LF or after kLinePiece bytes, as a line read would end it. The
// whole lines in the window go the fast road together, and their output
// waits in the output buffer. A line that the fast road stops in goes
// through the full converter on its own, after what waits has been written:
// output of earlier lines always leaves before a message about a later one.
//
// Reading a block at a time means input from a pipe is converted when a
// block is full or the input ends, not line by line as it arrives.
#include "convert/engine.h"

#include <cstring>

#include "convert/convert.h"
#include "platform/textstream.h"
#include "support/messages.h"

namespace kawase {

namespace {

constexpr long kLineBufSize = 256002;
constexpr long kReadLimit = 256000;
constexpr long kLongestLine = 255998;  // newline included

// The most one line read takes: a longer line arrives in pieces of this
// size, each taken as a line of its own.
constexpr long kLinePiece = kReadLimit - 1;

// The longest accepted line grows at most threefold (a half-width katakana
// byte becomes three UTF-8 bytes), so every accepted line converts whole.
constexpr long kOutBufSize = 3 * kLineBufSize;

// The window onto the input fills this many bytes at a time, and converted
// lines gather in the output buffer up to about kOutBatch bytes before they
// are handed to the output stream in one piece. Twice the stream's buffer:
// the stream then writes most of a batch out from here without copying it.
constexpr long kReadBlock = 128 * 1024;
constexpr long kOutBatch = 128 * 1024;

// Static: too large for the stack of a Windows console program.
char line[kLineBufSize];
char out[kOutBufSize];

// Editors on Windows often begin a UTF-8 file with the encoding of U+FEFF.
// It marks the encoding and is not text; Shift_JIS has no such mark, so at
// the very start of the input it is dropped. Anywhere else it is a
// character like any other.
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

using FastRoad = const char* (*)(const char*, const char*, char**);

bool writeOut(const char* text, long n, Stream* output) {
  return n == 0 || streamWrite(text, n, output) == n;
}

// One line through the full converter, as it was read: the line is cut at
// its first NUL, checked for length and written at once. Its reports are
// held and go out together before its output, to `reports`: standard error,
// or the output itself when the two are one file, so that the file holds
// them in order. Standard error elsewhere gets them only after the output
// of the lines before has left.
EngineResult convertLineFully(char* text, long n, bool reverse, Stream* output, Stream* reports) {
  char saved = text[n];
  text[n] = '\0';
  if (static_cast<long>(std::strlen(text)) > kLongestLine) return EngineResult::kLineTooLong;
  errmsgHold(reports, reports == output ? nullptr : output);
  if (reverse) {
    sjtouni(text, out);
  } else {
    unitosj(text, out);
  }
  errmsgRelease();
  text[n] = saved;
  bool written = writeOut(out, static_cast<long>(std::strlen(out)), output);
  return written ? EngineResult::kDone : EngineResult::kWriteFailed;
}

// The end of the last whole line in text[0, n), LF included; text itself
// when there is none.
char* afterLastLf(char* text, long n) {
  for (char* p = text + n; p > text; p--)
    if (p[-1] == '\n') return p;
  return text;
}

// The length of the first line in text[0, n), LF included; n when it has
// no LF there.
long firstLineLength(const char* text, long n) {
  auto* lf = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(n)));
  return lf != nullptr ? static_cast<long>(lf + 1 - text) : n;
}

}  // namespace

EngineResult convertStream(Stream* input, Stream* output, bool reverse, bool fastRoad) {
  FastRoad fast = !fastRoad ? nullptr : reverse ? sjtouniFast : unitosjFast;
  long head = 0;  // the window is line[head, tail)
  long tail = 0;
  bool ended = false;
  bool first = true;
  char* pending = out;  // out[0, pending) waits to be written
  Stream* reports = stdStream(kStderr);
  if (streamSameFile(output, reports)) reports = output;
  // The fast road has written its LFs as CR LF already.
  auto flush = [&pending, output] {
    long n = static_cast<long>(pending - out);
    pending = out;
    return n == 0 || streamWriteRaw(out, n, output) == n;
  };
  for (;;) {
    char* text = line + head;
    long avail = tail - head;
    long whole = static_cast<long>(afterLastLf(text, avail) - text);
    if (whole == 0 && !ended && avail < kLinePiece) {
      // No whole line left: what waits goes out before the read, which may
      // block; the partial line moves to the front and the window fills.
      if (!flush()) return EngineResult::kWriteFailed;
      std::memmove(line, text, static_cast<size_t>(avail));
      head = 0;
      tail = avail;
      long want = kLinePiece - tail < kReadBlock ? kLinePiece - tail : kReadBlock;
      long got = streamRead(line + tail, want, input);
      ended = got < want;
      tail += got;
      if (first && !reverse && tail >= 3 && std::memcmp(line, kUtf8Bom, 3) == 0) head = 3;
      first = false;
      continue;
    }
    if (avail == 0) break;

    // A span to try on the fast road: the whole lines, or the one piece of
    // a line that the window holds. Only a lone line can be too long.
    long n = whole > 0 ? whole : avail;
    if (n > kLongestLine) n = firstLineLength(text, n);
    if (out + kOutBufSize - pending < 3 * n + 1 && !flush()) return EngineResult::kWriteFailed;
    if (fast != nullptr && n <= kLongestLine) {
      char* o = pending;
      const char* stop = fast(text, text + n, &o);
      if (stop == text + n) {
        pending = o;
        head += n;
        if (pending - out >= kOutBatch && !flush()) return EngineResult::kWriteFailed;
        continue;
      }
      // The lines before the one that holds the stop convert cleanly: once
      // more, up to its start, to know where their output ends.
      char* lineStart = afterLastLf(text, static_cast<long>(stop - text));
      if (lineStart > text) {
        o = pending;
        fast(text, lineStart, &o);
        pending = o;
        n -= static_cast<long>(lineStart - text);
        head += static_cast<long>(lineStart - text);
        text = lineStart;
      }
    }
    // The first line of the span goes through the full converter.
    long len = firstLineLength(text, n);
    if (!flush()) return EngineResult::kWriteFailed;
    EngineResult result = convertLineFully(text, len, reverse, output, reports);
    if (result != EngineResult::kDone) return result;
    head += len;
  }
  return flush() ? EngineResult::kDone : EngineResult::kWriteFailed;
}

}  // namespace kawase
