// The conversion driver: reads the command line, settles the input and the
// output (asking before an existing file is replaced) and converts line by
// line. Every failure ends the run with one message and status 1, with
// every stream it opened closed.
#include "main/driver.h"

#include <cstring>

#include "convert/engine.h"
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

const char* const kStdoutName = "stdout";

int printUsage() {
  Stream* so = stdStream(kStdout);
  for (int i = 0; usage[i] != nullptr; i++) {
    streamPuts(usage[i], so);
    streamPuts("\n", so);
  }
  if (streamFlush(so) != 0) {
    errmsg("%s: writing error\n", kStdoutName);
    return 1;
  }
  return 0;
}

int printUsageLine() {
  Stream* se = stdStream(kStderr);
  streamPuts(usage[2], se);
  streamPuts("\n", se);
  return 1;
}

// Asks before an existing output is replaced. Only the first byte of the
// answer decides; the rest of an overlong answer line is read and dropped.
// No answer at all is a refusal.
bool confirmOverwrite(const char* name) {
  errmsg("%s: file exists, overwrite? (y/n) ", name);
  Stream* in = stdStream(kStdin);
  char got[512];
  if (streamGets(got, sizeof got, in) == nullptr) return false;
  char answer = got[0];
  while (std::strchr(got, '\n') == nullptr && streamGets(got, sizeof got, in) != nullptr) {
  }
  return answer == 'y' || answer == 'Y';
}

// The "-o" file, opened once it may be written; null after its message, or
// after a refusal, which has none.
Stream* openOutput(const char* inName, const char* outName) {
  // Writing over the input would truncate it before a line is read.
  if (sameFile(inName, outName)) {
    errmsg("%s: output file is the input file\n", outName);
    return nullptr;
  }
  // Any entry of that name counts, readable or not: it is only replaced
  // after a yes.
  if (pathExists(outName) && !confirmOverwrite(outName)) return nullptr;
  Stream* output = streamOpen(outName, "w");
  if (output == nullptr) errmsg("%s: cannot create\n", outName);
  return output;
}

// Converts onto the "-o" file (null: standard output) and ends the output.
// A finished run closes a file through the checked close. After a failure
// what was converted stays: the output is written out and closed as the
// process exit would, without asking the volume, but a failed write still
// goes through the checked close.
int convert(Stream* input, const char* inName, bool reverse, Stream* output, const char* outName) {
  Stream* sink = output != nullptr ? output : stdStream(kStdout);
  const char* sinkName = output != nullptr ? outName : kStdoutName;
  // Where the input is standard input's own file, it is read from where
  // the answer left standard input, never from the answer itself.
  streamResumeAt(input, stdStream(kStdin));
  EngineResult result = convertStream(input, sink, reverse);
  if (result == EngineResult::kDone) {
    if (output == nullptr ? streamFlush(sink) == 0 : Fclose(output, outName) == 0) return 0;
    errmsg("%s: writing error\n", sinkName);
    return 1;
  }
  if (result == EngineResult::kWriteFailed) {
    errmsg("%s: writing error\n", sinkName);
    if (output != nullptr) Fclose(output, outName);
    return 1;
  }
  // A message about the input follows the output of the lines before it,
  // also where standard error is the output's file.
  streamFlush(sink);
  if (result == EngineResult::kLineTooLong) {
    errmsg("internal error: too long line found\n");
  } else {
    errmsg("%s: reading error\n", inName);
  }
  if (output != nullptr) streamClose(output);
  return 1;
}

}  // namespace

int kawaseMain(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "-usage") == 0) return printUsage();

  bool reverse = argc >= 2 && std::strcmp(argv[1], "-v") == 0;
  int fileIndex = reverse ? 2 : 1;
  // No arguments, or "-v" alone, name no input file.
  if (fileIndex >= argc) return printUsageLine();
  const char* inName = argv[fileIndex];

  Stream* input = streamOpen(inName, "r");
  if (input == nullptr) {
    errmsg("%s: not found\n", inName);
    return 1;
  }

  const char* outName = nullptr;
  if (argc - fileIndex - 1 >= 2 && std::strcmp(argv[fileIndex + 1], "-o") == 0)
    outName = argv[fileIndex + 2];
  int status = 1;
  if (outName != nullptr) {
    Stream* output = openOutput(inName, outName);
    if (output != nullptr) status = convert(input, inName, reverse, output, outName);
  } else if (streamOnVolume(stdStream(kStdout)) && streamSameFile(input, stdStream(kStdout))) {
    // Output appended to its own input would be read again as input, and
    // the file would grow until its volume is full.
    errmsg("%s: output file is the input file\n", kStdoutName);
  } else {
    status = convert(input, inName, reverse, nullptr, nullptr);
  }
  streamClose(input);
  return status;
}

}  // namespace kawase
