// Text streams: the reading and writing rules, byte for byte, over memory
// backends with chosen chunk sizes and injected failures, and over files.
#include "platform/textstream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

using test::MemFile;
using test::memOps;

Stream* memStream(MemFile& file, const char* mode, int buffered = 1) {
  return streamOpenOps(&memOps, &file, mode, buffered);
}

// What a text reader delivers of raw data: every CR dropped, and the data
// ended at the first Ctrl-Z.
std::string textOf(const std::string& raw) {
  std::string text;
  for (char c : raw) {
    if (c == '\x1A') break;
    if (c != '\r') text += c;
  }
  return text;
}

// The text cut into lines as fgets cuts it with the given limit.
std::vector<std::string> modelLines(const std::string& raw, int limit) {
  const std::string text = textOf(raw);
  std::vector<std::string> lines;
  const size_t max = static_cast<size_t>(limit - 1);
  for (size_t pos = 0, end; pos < text.size(); pos = end) {
    const size_t lf = text.find('\n', pos);
    end = std::min(lf == std::string::npos ? text.size() : lf + 1, pos + max);
    lines.push_back(text.substr(pos, end - pos));
  }
  return lines;
}

// streamGets over a memory file until it returns null. The buffer is
// refilled with 0xFF, which no input holds, before each call, so the last
// byte written is the terminator and a NUL inside a line does not cut it.
std::vector<std::string> readLines(const std::string& raw, int limit, long chunk) {
  MemFile file;
  file.data = raw;
  file.chunk = chunk;
  Stream* s = memStream(file, "r");
  std::vector<std::string> lines;
  std::vector<char> buf(static_cast<size_t>(limit) + 1, '\xFF');
  while (streamGets(buf.data(), limit, s) != nullptr) {
    lines.emplace_back(buf.data(), std::string(buf.begin(), buf.end()).find_last_not_of('\xFF'));
    std::fill(buf.begin(), buf.end(), '\xFF');
  }
  EXPECT_EQ(streamError(s), 0);
  EXPECT_EQ(streamEof(s), 1);
  EXPECT_EQ(streamClose(s), 0);
  return lines;
}

// A lone CR is dropped and does not end a line; nothing after a Ctrl-Z is
// read; bytes after a NUL are kept.
TEST(TextStreamRead, FollowsTheTextRules) {
  const std::vector<std::string> inputs = {
      "",
      "one\ntwo\n",
      "crlf\r\nline\r\n",
      "lone\rcr\r\r\nend",
      "\r\r\r",
      "before\x1A" + std::string("after\nnever\n"),
      "\x1A" + std::string("nothing\n"),
      "last line without LF",
      std::string("nul\0inside\nnext\n", 16),
      std::string(300, 'x') + "\n" + std::string(99, 'y') + "\n" + std::string(100, 'z'),
  };
  for (const std::string& in : inputs)
    for (long chunk : {1L, 2L, 3L, 7L, 100L, 1L << 20})
      for (int limit : {2, 5, 100, 1000})
        ASSERT_EQ(readLines(in, limit, chunk), modelLines(in, limit))
            << testing::PrintToString(in) << " chunk " << chunk << " limit " << limit;
}

TEST(TextStreamRead, ReadErrorIsNotEndOfFile) {
  MemFile file;
  file.data = "first\nsecond line that breaks\n";
  file.fail_at = 10;
  file.chunk = 4;
  Stream* s = memStream(file, "r");
  char buf[64];
  ASSERT_NE(streamGets(buf, sizeof buf, s), nullptr);
  EXPECT_STREQ(buf, "first\n");
  // The bytes before the failure come back, then nothing more.
  ASSERT_NE(streamGets(buf, sizeof buf, s), nullptr);
  EXPECT_STREQ(buf, "seco");
  EXPECT_EQ(streamGets(buf, sizeof buf, s), nullptr);
  EXPECT_EQ(streamError(s), 1);
  EXPECT_EQ(streamEof(s), 0);
  streamClose(s);
}

TEST(TextStreamRead, BinaryModeKeepsEveryByte) {
  MemFile file;
  file.data = std::string("a\r\n\x1A\0b", 6);
  file.chunk = 2;
  Stream* s = memStream(file, "rb");
  char buf[16];
  EXPECT_EQ(streamRead(buf, sizeof buf, s), 6);
  EXPECT_EQ(std::string(buf, 6), file.data);
  EXPECT_EQ(streamRead(buf, sizeof buf, s), 0);
  EXPECT_EQ(streamEof(s), 1);
  streamClose(s);
}

TEST(TextStreamWrite, UnbufferedWritesGoOutAtOnce) {
  MemFile file, held;
  Stream* s = memStream(file, "w", 0);
  Stream* b = memStream(held, "w");
  streamPuts("msg\n", s);
  streamPuts("held\n", b);
  EXPECT_EQ(file.data, "msg\r\n");
  EXPECT_EQ(held.data, "");
  EXPECT_EQ(streamFlush(b), 0);
  EXPECT_EQ(held.data, "held\r\n");
  streamClose(s);
  streamClose(b);
}

TEST(TextStreamWrite, FailuresAreDetectable) {
  // Failing at the first byte of an unbuffered stream.
  MemFile first;
  first.fail_at = 0;
  Stream* s = memStream(first, "w", 0);
  EXPECT_LT(streamWrite("abc\n", 4, s), 4);
  EXPECT_EQ(streamError(s), 1);
  EXPECT_EQ(streamPuts("more", s), -1);
  EXPECT_EQ(streamClose(s), -1);

  // Failing in the middle of a block: seen on the write that fills the
  // buffer, or at the latest on the flush.
  MemFile middle;
  middle.fail_at = 100000;
  Stream* m = memStream(middle, "w");
  const std::string line = std::string(1000, 'q') + "\n";
  const long size = static_cast<long>(line.size());
  int short_at = -1;
  for (int i = 0; i < 200 && short_at < 0; i++)
    if (streamWrite(line.data(), size, m) < size) short_at = i;
  EXPECT_GE(short_at, 0);
  EXPECT_EQ(streamError(m), 1);
  EXPECT_EQ(streamFlush(m), -1);
  EXPECT_EQ(streamClose(m), -1);
  EXPECT_EQ(middle.data.size(), 100000u);

  // Failing only at the final flush, and a close that fails.
  MemFile at_flush, at_close;
  at_flush.fail_at = 3;
  at_close.fail_close = true;
  Stream* f = memStream(at_flush, "w");
  EXPECT_EQ(streamWrite("abcdef", 6, f), 6);
  EXPECT_EQ(streamClose(f), -1);
  Stream* c = memStream(at_close, "w");
  streamPuts("x", c);
  EXPECT_EQ(streamClose(c), -1);
  EXPECT_EQ(at_close.data, "x");
}

TEST(TextStreamModes, WrongUseIsRefused) {
  MemFile file;
  for (const char* mode : {"a", "rw", "r+"}) EXPECT_EQ(memStream(file, mode), nullptr) << mode;
  Stream* r = memStream(file, "r");
  EXPECT_EQ(streamWrite("x", 1, r), 0);
  streamClose(r);
  Stream* w = memStream(file, "w");
  char buf[4];
  EXPECT_EQ(streamGets(buf, sizeof buf, w), nullptr);
  streamClose(w);
}

std::string slurp(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(TextStreamFiles, OpenWriteReadBack) {
  test::TempDir tmp;
  const std::string p = tmp.file("out.txt");
  Stream* w = streamOpen(p.c_str(), "w");
  ASSERT_NE(w, nullptr);
  streamPuts("line\n", w);
  ASSERT_EQ(streamClose(w), 0);
  EXPECT_EQ(slurp(p), "line\r\n");

  Stream* r = streamOpen(p.c_str(), "r");
  ASSERT_NE(r, nullptr);
  char buf[16];
  ASSERT_NE(streamGets(buf, sizeof buf, r), nullptr);
  EXPECT_STREQ(buf, "line\n");
  EXPECT_EQ(streamClose(r), 0);

  EXPECT_EQ(streamOpen(tmp.file("missing").c_str(), "r"), nullptr);
  EXPECT_EQ(streamOpen(tmp.str().c_str(), "r"), nullptr);  // a directory is not a file
  EXPECT_EQ(streamOpen(tmp.file("no/such/dir").c_str(), "w"), nullptr);
}

// In a death-test child: buffers a line for the file `path`, then ends the
// process through Exit or through the C library's exit.
void writeThenExit(const std::string& path, bool viaExit) {
  streamPuts("kept\n", streamOpen(path.c_str(), "w"));
  if (viaExit) Exit(1);
  std::exit(0);
}

TEST(TextStreamFiles, ExitWritesOutBufferedOutput) {
#ifdef _WIN32
  // The child of a death test is a new process here, with a temporary
  // directory of its own; the end-to-end tests cover the exit there.
  GTEST_SKIP();
#endif
  test::TempDir tmp;
  const std::string p = tmp.file("exit.txt"), q = tmp.file("plain-exit.txt");
  EXPECT_EXIT(writeThenExit(p, true), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(slurp(p), "kept\r\n");
  EXPECT_EXIT(writeThenExit(q, false), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(slurp(q), "kept\r\n");
}

// Block reads in requests of the given sizes, in turn, until one comes back
// short; *error tells whether the stream saw a read fail.
std::string readInRequests(const MemFile& source, const std::vector<long>& sizes, bool* error) {
  MemFile file = source;
  Stream* s = memStream(file, "r");
  std::string got;
  std::vector<char> buf(300000);
  for (size_t i = 0;; i++) {
    long n = sizes[i % sizes.size()];
    long put = streamRead(buf.data(), n, s);
    got.append(buf.data(), static_cast<size_t>(put));
    if (put < n) break;
  }
  EXPECT_EQ(streamRead(buf.data(), 70000, s), 0);
  *error = streamError(s) != 0;
  streamClose(s);
  return got;
}

// A request of a whole buffer or more goes straight into the caller's
// memory, and must deliver what smaller requests deliver, with CRs, a Ctrl-Z
// and a failure anywhere in it.
TEST(TextStreamRead, LargeRequestsDeliverWhatSmallOnesDo) {
  MemFile plain;
  for (int i = 0; plain.data.size() < 250000; i++)
    plain.data += std::string(static_cast<size_t>(i % 97), static_cast<char>('a' + i % 26)) +
                  (i % 5 ? "\n" : "\r\n");
  plain.chunk = 40000;
  MemFile ctrl_z = plain, failing = plain;
  ctrl_z.data[180000] = '\x1A';
  failing.fail_at = 150000;
  const std::string text = textOf(plain.data);
  for (auto sizes : std::vector<std::vector<long>>{
           {100}, {65536}, {200000}, {65536, 17, 131072}, {70000, 65535}}) {
    bool error = false;
    EXPECT_EQ(readInRequests(plain, sizes, &error), text) << sizes[0];
    EXPECT_FALSE(error);
    EXPECT_EQ(readInRequests(ctrl_z, sizes, &error), textOf(ctrl_z.data)) << sizes[0];
    EXPECT_FALSE(error);
    std::string before = readInRequests(failing, sizes, &error);
    EXPECT_EQ(before, text.substr(0, before.size()));
    EXPECT_GE(before.size(), 100000u);
    EXPECT_TRUE(error) << sizes[0];
  }
}

// A memory file that also logs the size of each write call.
struct WriteLog {
  MemFile file;
  std::vector<long> calls;
};

long logWrite(void* h, const unsigned char* buf, long n) {
  auto* log = static_cast<WriteLog*>(h);
  log->calls.push_back(n);
  return test::memWrite(&log->file, buf, n);
}

int logClose(void* h) {
  return test::memClose(&static_cast<WriteLog*>(h)->file);
}

const StreamOps logOps = {nullptr, logWrite, logClose};

// `text` given to streamWrite in pieces of the given sizes, in turn; every
// piece must be taken whole and the stream closed once without error.
WriteLog writeInPieces(const std::string& text, const std::vector<size_t>& pieces,
                       const char* mode = "w", int buffered = 1, long chunk = 1 << 20) {
  WriteLog log;
  log.file.chunk = chunk;
  Stream* s = streamOpenOps(&logOps, &log, mode, buffered);
  for (size_t pos = 0, i = 0; pos < text.size(); i++) {
    size_t n = std::min(pieces[i % pieces.size()], text.size() - pos);
    EXPECT_EQ(streamWrite(text.data() + pos, static_cast<long>(n), s), static_cast<long>(n));
    pos += n;
  }
  EXPECT_EQ(streamClose(s), 0);
  EXPECT_EQ(log.file.closes, 1);
  return log;
}

// Short writes from the backend are retried until everything is out.
TEST(TextStreamWrite, EveryLfBecomesCrLf) {
  EXPECT_EQ(writeInPieces("a\nb\n\nno newline", {4, 1}).file.data, "a\r\nb\r\n\r\nno newline");
  EXPECT_EQ(writeInPieces("a\r\n", {3}).file.data, "a\r\r\n");
  EXPECT_EQ(writeInPieces("a\nb\n", {4}, "wb").file.data, "a\nb\n");
  EXPECT_EQ(writeInPieces("x\ny\n", {4}, "w", 0, 1).file.data, "x\r\ny\r\n");
}

// Lines of every length from 0 to 40, so that LFs fall on every position of
// the 16-byte steps and of the buffer's end, and blocks larger than the
// buffer.
TEST(TextStreamWrite, BlocksGoOutAtTheSameBytesHoweverTheTextIsCut) {
  std::string text, want;
  for (int i = 0; text.size() < 400000; i++)
    text += std::string(static_cast<size_t>(i % 41), static_cast<char>('a' + i % 26)) + "\n";
  for (char c : text) want += c == '\n' ? std::string("\r\n") : std::string(1, c);
  WriteLog whole = writeInPieces(text, {text.size()});
  ASSERT_GE(whole.calls.size(), 6u);
  EXPECT_EQ(whole.file.data, want);
  for (size_t i = 0, at = 0; i + 1 < whole.calls.size(); at += whole.calls[i++]) {
    // A full buffer is 65,535 bytes, or 65,536 when a CR LF took the byte
    // kept free.
    long n = whole.calls[i];
    bool crlf = whole.file.data.compare(at + static_cast<size_t>(n) - 2, 2, "\r\n") == 0;
    EXPECT_TRUE(n == 65535 || (n == 65536 && crlf)) << i << ": " << n;
  }
  for (auto pieces : std::vector<std::vector<size_t>>{{1}, {15, 16, 17}, {41}, {65535, 3}}) {
    WriteLog cut = writeInPieces(text, pieces);
    EXPECT_EQ(cut.calls, whole.calls) << pieces[0];
    EXPECT_EQ(cut.file.data, want);
  }
}

}  // namespace
}  // namespace kawase
