// What the platform layer gives: command-line splitting and text streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cmdline.h"
#include "platform/kernels.h"
#include "platform/textstream.h"
#include "testutil/fakes.h"
#include "testutil/instances.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

// Command-line splitting, and on Windows the program's own arguments.

using Args = std::vector<std::string>;

// Lead bytes of code page 932.
int cp932Lead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Through buffers of exactly the promised sizes; counting must agree.
Args split(const std::string& line, LeadByteTest isLead) {
  std::vector<char> exact(line.c_str(), line.c_str() + line.size() + 1), text(exact.size());
  EXPECT_EQ(argsTextSize(exact.data()), exact.size());
  const int count = countArgs(exact.data(), isLead);
  std::vector<char*> argv(static_cast<size_t>(count) + 1, text.data());
  EXPECT_EQ(splitArgs(exact.data(), isLead, text.data(), text.size(), argv.data(), count + 1),
            count);
  EXPECT_EQ(argv.back(), nullptr);
  return Args(argv.begin(), argv.end() - 1);
}

// A lead byte keeps the next byte, whatever it looks like, unless it is
// the last. Last, bytes read in a single-byte code page.
TEST(SplitArgs, Rules) {
  const std::pair<const char*, Args> rows[] = {
      {"", {}},
      {" \t  \t", {}},
      {"  a\tb \t c  a\nb\rc", {"a", "b", "c", "a\nb\rc"}},
      {"\"my file.txt\" a\"b c\"d \"a\tb\"", {"my file.txt", "ab cd", "a\tb"}},
      {"\"a\"\"b\" x \"a b  ", {"ab", "x", "a b  "}},
      {"\"\" a \"\" \"\"\"\" \"", {"", "a", "", "", ""}},
      {"*.txt ? \"*\" a?b*", {"*.txt", "?", "*", "a?b*"}},
      {"a\\\"b \\\"a b\\\"", {"a\"b", "\"a", "b\""}},
      {"\"a \\\" b\" c a\\\\\"b c", {"a \" b", "c", "a\\\"b", "c"}},
      {"\"C:\\dir\\\" x", {"C:\\dir\" x"}},
      {"C:\\dir\\f \\\\srv\\share\\ \\ \"a\\b\"", {"C:\\dir\\f", "\\\\srv\\share\\", "\\", "a\\b"}},
      {"\x95\\\"a b\"", {"\x95\\a b"}},
      {"\x81\x22 b \"\x81\x22 b\" \x81 b \x81\t",
       {"\x81\x22", "b", "\x81\x22 b", "\x81 b", "\x81\t"}},
      {"\"\x83\\\x95\\\\\x8E\x9A.txt\" -o", {"\x83\\\x95\\\\\x8E\x9A.txt", "-o"}},
      {"\xB1\"x y\" a\x81", {"\xB1x y", "a\x81"}},
      {"x \"\x9F", {"x", "\x9F"}},
  };
  for (const auto& [line, want] : rows) EXPECT_EQ(split(line, cp932Lead), want) << line;
  EXPECT_EQ(split("\x95\\\"a b\"", nullptr), (Args{"\x95\"a", "b"}));
}

// A text buffer too small is refused untouched; pointers go only where
// there is room, the count returned anyway.
TEST(SplitArgs, BufferContract) {
  const char* line = "a bb \"ccc\"";
  char text[11] = "ZZZZZZZZZZ", sentinel = 0;
  char* argv[3] = {&sentinel, &sentinel, &sentinel};
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 10, argv, 3), -1);
  EXPECT_EQ(splitArgs(line, cp932Lead, nullptr, 100, argv, 3), -1);
  EXPECT_STREQ(text, "ZZZZZZZZZZ");
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 11, nullptr, 3), 3);
  EXPECT_EQ(std::string(text, 9), std::string("a\0bb\0ccc\0", 9));
  EXPECT_EQ(splitArgs(line, cp932Lead, text, 11, argv, 2), 3);
  EXPECT_EQ(std::string(argv[1]) + (argv[2] == &sentinel ? "|kept" : ""), "bb|kept");
}

#ifdef _WIN32
// The program's own command line, split again by our rules, agrees with the
// C runtime's (its wildcard expansion off).
TEST(PlatformArgs, OwnCommandLine) {
  int argc = 0;
  char** argv = nullptr;
  ASSERT_EQ(platformArgs(&argc, &argv), 0);
  EXPECT_EQ(argc, __argc);
  EXPECT_EQ(argv[argc], nullptr);
}
#endif

// Text streams. The reading rules are the textstream fuzz target's.

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
// for a raw write.
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
  everyLfBecomesCrLf();
}

// Each instance of the kernel table makes the same text of a block as the
// portable one, and appends the same bytes and stops at the same byte,
// wherever the CRs, the LFs, the Ctrl-Z and the limit fall.
class TextKernels : public testing::TestWithParam<Isa> {};

TEST_P(TextKernels, SameBytesAsPortable) {
  const Kernels* k = kernelsFor(GetParam());
  if (k == nullptr) GTEST_SKIP() << "no " << isaName(GetParam()) << " kernels on this host";
  const Kernels& portable = *kernelsFor(Isa::kPortable);
  std::string text;
  for (int i = 0; text.size() < 5000; i++)
    text += std::string(static_cast<size_t>(i % 41), static_cast<char>('a' + i % 26)) +
            (i % 3 == 0   ? "\r\n"
             : i % 7 == 0 ? "\r"
                          : "\n\n");
  auto scan = [](const Kernels& with, std::string block) {
    bool ended = false;
    auto* b = reinterpret_cast<unsigned char*>(block.data());
    block.resize(static_cast<size_t>(with.textOfBlock(b, static_cast<long>(block.size()), &ended)));
    return block + (ended ? "|ended" : "");
  };
  for (size_t z : {text.size(), size_t{0}, size_t{15}, size_t{16}, size_t{63}, size_t{4097}}) {
    std::string block = text;
    if (z < block.size()) block[z] = '\x1A';
    EXPECT_EQ(scan(*k, block), scan(portable, block)) << z;
  }
  // Short blocks, and blocks whose only CR or Ctrl-Z comes late.
  for (size_t n = 0; n < 200; n++)
    for (const char* last : {"", "\r", "\x1A"})
      EXPECT_EQ(scan(*k, std::string(n, 'q') + last), scan(portable, std::string(n, 'q') + last));
  auto append = [&text](const Kernels& with, long start, long limit) {
    std::string out(static_cast<size_t>(limit) + 1, '\0');
    long len = start;
    long took = with.appendCrLf(reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<long>(text.size()),
                                reinterpret_cast<unsigned char*>(out.data()), &len, limit);
    return std::to_string(took) + "|" + out.substr(0, static_cast<size_t>(len));
  };
  for (long limit : {5L, 31L, 32L, 33L, 100L, 4099L, 20000L})
    for (long start : {0L, 5L})
      EXPECT_EQ(append(*k, start, limit), append(portable, start, limit)) << limit;
}

INSTANTIATE_TEST_SUITE_P(Each, TextKernels, testing::ValuesIn(kAllIsas), test::instanceName);

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

// Only a file on a volume can be cut short by a full disk; the null device
// is none, though on Windows its name's attributes are a plain file's.
TEST(TextStream, OnVolume) {
  test::TempDir tmp;
#ifdef _WIN32
  const char* nullDevice = "NUL";
#else
  const char* nullDevice = "/dev/null";
#endif
  for (auto [name, want] : {std::pair{tmp.file("f.txt"), 1}, {std::string(nullDevice), 0}}) {
    Stream* s = streamOpen(name.c_str(), "w");
    EXPECT_EQ(streamOnVolume(s), want) << name;
    streamClose(s);
  }
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

}  // namespace
}  // namespace kawase
