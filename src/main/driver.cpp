// The conversion driver: reads the command line, settles the input and the
// output (asking before an existing file is replaced) and converts line by
// line. Every failure ends the run with one message and status 1.
#include "main/driver.h"

#include <cstring>

#include "convert/convert.h"
#include "platform/files.h"
#include "platform/textstream.h"
#include "support/diskspace.h"
#include "support/messages.h"

namespace kawase {

namespace {

// Shift_JIS text.
const char* const usage[] = {
    "UNICODE\x82\xA9\x82\xE7S-"
    "JIS\x82\xD6\x82\xCC\x95\xCF\x8A\xB7\x82\xDC\x82\xBD\x82\xCD\x82\xB1\x82\xCC\x8Bt\x95\xCF\x8A"
    "\xB7\x82\xF0\x8Ds\x82\xA2\x82\xDC\x82\xB7\x81"
    "B",
    " ",
    "Usage: kawase [-v] <file> [-o <outputfile>]",
    " ",
    "Parameter:",
    "   -v                "
    "SJIS\x82\xA9\x82\xE7UNICODE\x82\xD6\x82\xCC\x95\xCF\x8A\xB7\x82\xF0\x82\xB5\x82\xDC\x82\xB7"
    "\x81"
    "B",
    "   <file>            \x93\xFC\x97\xCD\x83t\x83@\x83"
    "C\x83\x8B",
    "   -o <outputfile>   <outputfile>\x82\xC9\x8Fo\x97\xCD\x82\xB5\x82\xDC\x82\xB7\x81"
    "B",
    " ",
    "Version: " KAWASE_VERSION,
    nullptr,
};

constexpr int kLineBufSize = 256002;
constexpr int kReadLimit = 256000;
constexpr size_t kLongestLine = 255998;  // newline included

// The most one line read takes: a longer line arrives in pieces of this
// size, each taken as a line of its own.
constexpr long kLinePiece = kReadLimit - 1;

// The longest accepted line grows at most threefold (a half-width katakana
// byte becomes three UTF-8 bytes), so every accepted line converts whole.
constexpr int kOutBufSize = 3 * kLineBufSize;

// The window onto the input fills this many bytes at a time, and converted
// lines gather in the output buffer up to about kOutBatch bytes before they
// are handed to the output stream in one piece.
constexpr long kReadBlock = 64 * 1024;
constexpr long kOutBatch = 64 * 1024;

// Static: too large for the stack of a Windows console program.
char line[kLineBufSize];
char out[kOutBufSize];

const char* const kStdoutName = "stdout";

[[noreturn]] void printUsage() {
  Stream* so = stdStream(kStdout);
  for (int i = 0; usage[i] != nullptr; i++) {
    streamPuts(usage[i], so);
    streamPuts("\n", so);
  }
  if (streamFlush(so) != 0) {
    errmsg("%s: writing error\n", kStdoutName);
    Exit(1);
  }
  Exit(0);
}

[[noreturn]] void printUsageLine() {
  Stream* se = stdStream(kStderr);
  streamPuts(usage[2], se);
  streamPuts("\n", se);
  Exit(1);
}

// Asks before an existing output is replaced. Only the first byte of the
// answer decides; the rest of an overlong answer line is read and dropped,
// never stored past the buffer. No answer at all is a refusal.
bool confirmOverwrite(const char* name) {
  errmsg("%s: file exists, overwrite? (y/n) ", name);
  Stream* in = stdStream(kStdin);
  if (streamGets(line, kReadLimit, in) == nullptr) return false;
  char answer = line[0];
  char rest[512];
  for (const char* got = line; std::strchr(got, '\n') == nullptr;) {
    got = streamGets(rest, sizeof rest, in);
    if (got == nullptr) break;
  }
  return answer == 'y' || answer == 'Y';
}

Stream* openOutput(const char* inName, const char* outName) {
  // Writing over the input would truncate it before a line is read.
  if (sameFile(inName, outName)) {
    errmsg("%s: output file is the input file\n", outName);
    Exit(1);
  }
  // Any entry of that name counts, readable or not: it is only replaced
  // after a yes.
  if (pathExists(outName) && !confirmOverwrite(outName)) Exit(1);
  Stream* output = streamOpen(outName, "w");
  if (output == nullptr) {
    errmsg("%s: cannot create\n", outName);
    Exit(1);
  }
  return output;
}

[[noreturn]] void writingError(Stream* output, const char* outName) {
  errmsg("%s: writing error\n", outName);
  if (output != nullptr) Fclose(output, outName);
  Exit(1);
}

// Where the converted text goes, and what a failed write reports.
struct Sink {
  Stream* stream;
  Stream* output;  // the "-o" file, or null for standard output
  const char* name;
};

void writeOut(const char* text, long n, const Sink& sink) {
  if (n > 0 && streamWrite(text, n, sink.stream) < n) writingError(sink.output, sink.name);
}

// One line through the full converter, as it was read: the line is cut at
// its first NUL, checked for length and written at once.
void convertLineFully(char* text, long n, bool reverse, const Sink& sink) {
  char saved = text[n];
  text[n] = '\0';
  if (std::strlen(text) > kLongestLine) {
    errmsg("internal error: too long line found\n");
    Exit(1);
  }
  if (reverse) {
    sjtouni(text, out);
  } else {
    unitosj(text, out);
  }
  text[n] = saved;
  writeOut(out, static_cast<long>(std::strlen(out)), sink);
}

using FastRoad = const char* (*)(const char*, const char*, char**);

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

// The line loop. The line buffer serves as a window onto the input: it is
// filled a block at a time and cut into lines in place, each line ending
// after its LF or after kLinePiece bytes, as a line read would end it. The
// whole lines in the window go the fast road together, and their output
// waits in the output buffer. A line that the fast road stops in goes
// through the full converter on its own, as every line used to, after what
// waits has been written: output of earlier lines always leaves before a
// message about a later one.
//
// Reading a block at a time means input from a pipe is converted when a
// block is full or the input ends, not line by line as it arrives.
void convertInput(Stream* input, bool reverse, const Sink& sink) {
  FastRoad fast = reverse ? sjtouniFast : unitosjFast;
  long head = 0;  // the window is line[head, tail)
  long tail = 0;
  bool ended = false;
  char* pending = out;  // out[0, pending) waits to be written
  auto flush = [&pending, &sink] {
    writeOut(out, static_cast<long>(pending - out), sink);
    pending = out;
  };
  for (;;) {
    char* text = line + head;
    long avail = tail - head;
    long whole = static_cast<long>(afterLastLf(text, avail) - text);
    if (whole == 0 && !ended && avail < kLinePiece) {
      // No whole line left: what waits goes out before the read, which may
      // block; the partial line moves to the front and the window fills.
      flush();
      std::memmove(line, text, static_cast<size_t>(avail));
      head = 0;
      tail = avail;
      long want = kLinePiece - tail < kReadBlock ? kLinePiece - tail : kReadBlock;
      long got = streamRead(line + tail, want, input);
      ended = got < want;
      tail += got;
      continue;
    }
    if (avail == 0) break;

    // A span to try on the fast road: the whole lines, or the one piece of
    // a line that the window holds. Only a lone line can be too long.
    long n = whole > 0 ? whole : avail;
    if (static_cast<size_t>(n) > kLongestLine) n = firstLineLength(text, n);
    if (out + kOutBufSize - pending < 3 * n + 1) flush();
    if (static_cast<size_t>(n) <= kLongestLine) {
      char* o = pending;
      const char* stop = fast(text, text + n, &o);
      if (stop == text + n) {
        pending = o;
        head += n;
        if (pending - out >= kOutBatch) flush();
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
    flush();
    convertLineFully(text, len, reverse, sink);
    head += len;
  }
  flush();
}

}  // namespace

void kawaseMain(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "-usage") == 0) printUsage();
  if (argc < 2) printUsageLine();

  bool reverse = std::strcmp(argv[1], "-v") == 0;
  int fileIndex = reverse ? 2 : 1;
  // "-v" alone names no input file.
  if (fileIndex >= argc) printUsageLine();
  const char* inName = argv[fileIndex];

  Stream* input = streamOpen(inName, "r");
  if (input == nullptr) {
    errmsg("%s: not found\n", inName);
    Exit(1);
  }

  const char* outName = nullptr;
  if (argc - fileIndex - 1 >= 2 && std::strcmp(argv[fileIndex + 1], "-o") == 0)
    outName = argv[fileIndex + 2];
  Stream* output = outName != nullptr ? openOutput(inName, outName) : nullptr;
  Stream* sink = output != nullptr ? output : stdStream(kStdout);
  const char* sinkName = output != nullptr ? outName : kStdoutName;

  convertInput(input, reverse, {sink, output, sinkName});
  // A read error is not the end of the input.
  if (streamError(input)) {
    errmsg("%s: reading error\n", inName);
    Exit(1);
  }
  streamClose(input);

  if (output != nullptr) {
    if (Fclose(output, outName) != 0) {
      errmsg("%s: writing error\n", outName);
      Exit(1);
    }
  } else if (streamFlush(sink) != 0) {
    writingError(nullptr, kStdoutName);
  }
  Exit(0);
}

}  // namespace kawase
