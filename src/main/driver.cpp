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
    "Version: 1.03",
    nullptr,
};

constexpr int kLineBufSize = 256002;
constexpr int kReadLimit = 256000;
constexpr size_t kLongestLine = 255998;  // newline included

// The longest accepted line grows at most threefold (a half-width katakana
// byte becomes three UTF-8 bytes), so every accepted line converts whole.
constexpr int kOutBufSize = 3 * kLineBufSize;

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

  while (streamGets(line, kReadLimit, input) != nullptr) {
    line[kLineBufSize - 1] = '\0';
    if (std::strlen(line) > kLongestLine) {
      errmsg("internal error: too long line found\n");
      Exit(1);
    }
    if (reverse) {
      sjtouni(line, out);
    } else {
      unitosj(line, out);
    }
    long n = static_cast<long>(std::strlen(out));
    if (streamWrite(out, n, sink) < n) writingError(output, sinkName);
  }
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
