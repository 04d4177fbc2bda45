// Text streams. The reading rules are the textstream fuzz target's.
#include "platform/textstream.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/simd.h"
#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {

using test::MemFile;

// `text` written in pieces of the given sizes in turn, each taken whole.
MemFile writeInPieces(const std::string& text, const std::vector<size_t>& pieces, int buffered = 1,
                      long chunk = 1 << 20, bool raw = false) {
  MemFile file;
  file.chunk = chunk;
  Stream* s = test::openMem(&file, "w", buffered);
  for (size_t pos = 0, i = 0; pos < text.size(); pos += pieces[i++ % pieces.size()]) {
    long n = static_cast<long>(std::min(pieces[i % pieces.size()], text.size() - pos));
    EXPECT_EQ((raw ? streamWriteRaw : streamWrite)(text.data() + pos, n, s), n);
  }
  EXPECT_EQ(streamClose(s), 0);
  EXPECT_EQ(file.closes, 1);
  return file;
}

// Every LF goes out as CR LF, short writes retried. Lines of every length up
// to 40 and long runs of LFs put LFs on every place of the 16-byte steps and
// of the buffer's end. A full buffer goes out at the same bytes however the
// text is cut: 65,535, or 65,536 when a CR LF took the byte kept free, also
// for a raw write. The SSSE3 loop as the portable one.
void everyLfBecomesCrLf() {
  EXPECT_EQ(writeInPieces("a\r\n", {3}, 0, 1).data, "a\r\r\n");
  std::string text = std::string(70000, '\n') + "x" + std::string(70000, '\n'), want;
  for (int i = 0; text.size() < 400000; i++)
    text += std::string(static_cast<size_t>(i % 41), static_cast<char>('a' + i % 26)) + "\n";
  for (char c : text) want += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const MemFile whole = writeInPieces(text, {text.size()});
  EXPECT_TRUE(whole.data == want);
  for (size_t i = 0, at = 0; i + 1 < whole.writes.size(); i++) {
    at += static_cast<size_t>(whole.writes[i]);
    EXPECT_TRUE(whole.writes[i] == 65535 || (whole.writes[i] == 65536 && want[at - 2] == '\r'));
  }
  for (const auto& pieces : std::vector<std::vector<size_t>>{{1}, {15, 16, 17}, {65535, 3}}) {
    const MemFile cut = writeInPieces(text, pieces);
    EXPECT_TRUE(cut.writes == whole.writes && cut.data == want) << pieces[0];
  }
  // Text that holds its CR LFs already, written raw, goes out at the same
  // bytes: the pieces end at line ends, as the engine's do.
  const MemFile raw = writeInPieces(want, {want.size()}, 1, 1 << 20, true);
  EXPECT_TRUE(raw.writes == whole.writes && raw.data == want);
  EXPECT_TRUE(writeInPieces(want, {want.size()}, 1, 4099, true).data == want);  // short writes
}

TEST(TextStream, EveryLfBecomesCrLf) {
  for (bool simd : {false, true}) {
    setSimdEnabled(simd);
    everyLfBecomesCrLf();
  }
}

// Buffered output waits for a flush. A failed write shows on the write that
// meets it, or at the flush; nothing is taken after it. Modes are kept to.
TEST(TextStream, BufferingFailuresAndModes) {
  MemFile held, failing;
  Stream* b = test::openMem(&held, "w");
  streamPuts("held\n", b);
  EXPECT_EQ(held.data, "");
  EXPECT_EQ(streamFlush(b), 0);
  EXPECT_EQ(held.data, "held\r\n");
  EXPECT_EQ(streamGets(nullptr, 10, b), nullptr);
  streamClose(b);
  failing.fail_at = 100000;
  b = test::openMem(&failing, "w");
  int i = 0;
  while (i < 200 && streamWrite(std::string(1000, 'q').c_str(), 1000, b) == 1000) i++;
  EXPECT_LT(i, 200);
  EXPECT_EQ(streamError(b), 1);
  EXPECT_EQ(streamWrite("x", 1, b), 0);
  EXPECT_EQ(streamFlush(b), -1);
  EXPECT_EQ(streamClose(b), -1);
  EXPECT_EQ(failing.data.size(), 100000u);
  for (const char* mode : {"a", "rw", "r+"}) EXPECT_EQ(test::openMem(&held, mode), nullptr) << mode;
  test::TempDir tmp;
  EXPECT_EQ(streamOpen(tmp.str().c_str(), "r"), nullptr);  // a directory is no file
}

// Buffers a line for `path`, then ends the process.
void writeThenExit(const std::string& path, bool viaExit) {
  streamPuts("kept\n", streamOpen(path.c_str(), "w"));
  if (viaExit) Exit(1);
  std::exit(0);
}

// A death test. On Windows the child has a temporary directory of its own;
// the end-to-end tests cover it there.
TEST(TextStream, ExitWritesOutBufferedOutput) {
#ifdef _WIN32
  GTEST_SKIP();
#endif
  test::TempDir tmp;
  const std::string p = tmp.file("exit.txt"), q = tmp.file("plain-exit.txt");
  EXPECT_EXIT(writeThenExit(p, true), ::testing::ExitedWithCode(1), "");
  EXPECT_EXIT(writeThenExit(q, false), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(test::readFile(p) + test::readFile(q), "kept\r\nkept\r\n");
}

}  // namespace kawase
