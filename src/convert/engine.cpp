// The line loop. The line buffer serves as a window onto the input: it is
// filled as the input arrives, a read at a time, and cut into lines in
// place, each line ending after its LF or after kLinePiece bytes, as a line
// read would end it. After each read the whole lines in the window go the
// fast road together, and their output waits in the output buffer until
// the next read, which may block: a pipe or a terminal is converted line
// by line as it arrives, a file a large block at a time. A line that the
// fast road stops in goes through the full converter on its own, onto the
// output that waits. Where standard error may be the output's own file,
// the output of earlier lines leaves before the reports about a later one;
// into two destinations, the reports of a batch leave together before the
// batch's output.
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

// The end of the last line in [from, to) that ends in an LF; `from`
// itself when there is none. Only ever asked of bytes that hold no more
// than one line, or of bytes just read: every byte is asked about once.
template <class Byte>
Byte* afterLastLf(Byte* from, Byte* to) {
  for (Byte* p = to; p > from; p--)
    if (p[-1] == '\n') return p;
  return from;
}

// The length of the first line in text[0, n), LF included; n when it has
// no LF there.
long firstLineLength(const char* text, long n) {
  auto* lf = static_cast<const char*>(std::memchr(text, '\n', static_cast<size_t>(n)));
  return lf != nullptr ? static_cast<long>(lf + 1 - text) : n;
}

// The window onto the input and the converted output that waits.
struct Engine {
  Stream* input;
  Stream* output;
  // Standard error and the output: one file or terminal (1), two (0), or
  // not known (-1), when they may be one.
  int sameFile;
  bool reverse;
  FastRoad fast;
  long head = 0;      // the window is line[head, tail)
  long wholeEnd = 0;  // line[head, wholeEnd) holds whole lines
  long tail = 0;
  bool ended = false;   // the input has ended: no more reads
  bool atStart = true;  // nothing of the input has been taken yet
  char* pending = out;  // out[0, pending) waits to be written, its LFs as CR LF

  // Into two destinations, the reports held for the batch go out first.
  bool flush() {
    if (sameFile == 0) errmsgSend();
    long n = static_cast<long>(pending - out);
    pending = out;
    return n == 0 || streamWriteRaw(out, n, output) == n;
  }

  EngineResult read();
  EngineResult convertSpan(long n);
  EngineResult convertLine(char* text, long n);
};

// One line through the full converter, as it was read: cut at its first
// NUL, checked for length, and converted onto the output that waits, its
// LF as CR LF. Where standard error is the output's own file, the line's
// reports go into the output after the lines before it and before its own
// output; where it may be, they go to standard error after the output of
// the lines before has left; elsewhere they wait with the batch's, which go
// out before it.
EngineResult Engine::convertLine(char* text, long n) {
  char saved = text[n];
  text[n] = '\0';
  if (static_cast<long>(std::strlen(text)) > kLongestLine) return EngineResult::kLineTooLong;
  if (sameFile != 0) {
    if (!flush()) return EngineResult::kWriteFailed;
    if (sameFile == 1) {
      errmsgHold(output);
    } else {
      errmsgHold(stdStream(kStderr), output);
    }
  }
  if (reverse) {
    sjtouni(text, pending);
  } else {
    unitosj(text, pending);
  }
  if (sameFile != 0) errmsgRelease();
  text[n] = saved;
  char* end = pending + std::strlen(pending);
  // Only a line's last byte can be its LF.
  if (end > pending && end[-1] == '\n') {
    end[-1] = '\r';
    *end++ = '\n';
  }
  pending = end;
  return EngineResult::kDone;
}

// What waits goes out before the read, which may block; the partial line
// moves to the front and the window takes what the input gives next.
EngineResult Engine::read() {
  if (!flush()) return EngineResult::kWriteFailed;
  std::memmove(line, line + head, static_cast<size_t>(tail - head));
  tail -= head;
  head = wholeEnd = 0;
  long want = kLinePiece - tail < kReadBlock ? kLinePiece - tail : kReadBlock;
  long got = streamReadSome(line + tail, want, input);
  if (got == 0) {
    // A failed read is not the end of the input: the unfinished line it
    // cut is neither converted nor written.
    if (streamError(input) != 0) return EngineResult::kReadFailed;
    ended = true;
    return EngineResult::kDone;
  }
  wholeEnd = static_cast<long>(afterLastLf(line + tail, line + tail + got) - line);
  if (wholeEnd == tail) wholeEnd = 0;
  tail += got;
  if (atStart && !reverse) {
    // The mark may arrive a byte at a time: wait for all three, or for
    // what cannot be one.
    long seen = tail < 3 ? tail : 3;
    if (std::memcmp(line, kUtf8Bom, static_cast<size_t>(seen)) != 0) {
      atStart = false;
    } else if (seen == 3) {
      head = 3;
      if (wholeEnd < head) wholeEnd = head;
      atStart = false;
    }
  } else {
    atStart = false;
  }
  return EngineResult::kDone;
}

// Converts line[head, head + n): whole lines, or one line without its LF
// (the last of the input, or a piece of a long one).
EngineResult Engine::convertSpan(long n) {
  char* text = line + head;
  // Only a lone line can be too long.
  if (n > kLongestLine) n = firstLineLength(text, n);
  if (out + kOutBufSize - pending < 3 * n + 2 && !flush()) return EngineResult::kWriteFailed;
  if (fast != nullptr && n <= kLongestLine) {
    char* o = pending;
    const char* stop = fast(text, text + n, &o);
    if (stop == text + n) {
      pending = o;
      head += n;
      if (pending - out >= kOutBatch && !flush()) return EngineResult::kWriteFailed;
      return EngineResult::kDone;
    }
    // The lines before the one that holds the stop converted cleanly; an
    // LF in the output comes only from an LF in the input, so their output
    // ends after the last LF written.
    long done = static_cast<long>(afterLastLf<const char>(text, stop) - text);
    if (done > 0) {
      pending = afterLastLf(pending, o);
      n -= done;
      head += done;
      text += done;
    }
  }
  // The first line of the span goes through the full converter.
  long len = firstLineLength(text, n);
  EngineResult result = convertLine(text, len);
  head += len;
  if (result == EngineResult::kDone && pending - out >= kOutBatch && !flush())
    return EngineResult::kWriteFailed;
  return result;
}

}  // namespace

EngineResult convertStream(Stream* input, Stream* output, bool reverse, const Kernels* fast) {
  int sameFile = streamSameFile(output, stdStream(kStderr));
  FastRoad road = fast == nullptr ? nullptr : reverse ? fast->sjtouniSpan : fast->unitosjSpan;
  Engine e{input, output, sameFile, reverse, road};
  // Into two destinations, the reports of a batch go out together, in one
  // write before the batch's output.
  if (sameFile == 0) errmsgHold(stdStream(kStderr));
  EngineResult result = EngineResult::kDone;
  while (result == EngineResult::kDone) {
    if (e.wholeEnd > e.head) {
      result = e.convertSpan(e.wholeEnd - e.head);
    } else if (e.tail - e.head >= kLinePiece || (e.ended && e.tail > e.head)) {
      long n = e.tail - e.head < kLinePiece ? e.tail - e.head : kLinePiece;
      result = e.convertSpan(n);
      if (e.wholeEnd < e.head) e.wholeEnd = e.head;
    } else if (e.ended) {
      if (!e.flush()) result = EngineResult::kWriteFailed;
      break;
    } else {
      result = e.read();
    }
  }
  if (sameFile == 0) errmsgRelease();
  return result;
}

}  // namespace kawase
