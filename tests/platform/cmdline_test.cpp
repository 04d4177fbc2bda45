// Command-line splitting: blanks, quotes, backslashes, double-byte
// characters, wildcards, the buffer contract, and the program's own
// arguments.
#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

namespace kawase {
namespace {

// Lead bytes of code page 932.
int cp932Lead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Splits through a buffer of exactly the promised size, so that AddressSanitizer
// sees any byte written or read past it, and checks that counting agrees.
std::vector<std::string> split(const std::string& line, LeadByteTest isLead = cp932Lead) {
  std::vector<char> exactLine(line.begin(), line.end());
  exactLine.push_back('\0');
  size_t textSize = argsTextSize(exactLine.data());
  EXPECT_EQ(textSize, line.size() + 1);
  std::vector<char> text(textSize);
  int count = countArgs(exactLine.data(), isLead);
  std::vector<char*> argv(static_cast<size_t>(count) + 1, text.data());
  int argc = splitArgs(exactLine.data(), isLead, text.data(), text.size(), argv.data(),
                       static_cast<int>(argv.size()));
  EXPECT_EQ(argc, count);
  EXPECT_EQ(argv[static_cast<size_t>(count)], nullptr);
  std::vector<std::string> args;
  for (int i = 0; i < argc; i++) args.emplace_back(argv[static_cast<size_t>(i)]);
  return args;
}

using Args = std::vector<std::string>;

// Only space and tab separate; a quoted section joins the text around it
// and may hold blanks; a quote left open runs to the end of the line,
// blanks and all; a pair of quotes alone is an empty argument.
TEST(SplitArgs, BlanksAndQuotes) {
  EXPECT_EQ(split(""), Args{});
  EXPECT_EQ(split(" \t  \t"), Args{});
  EXPECT_EQ(split("kawase in.txt -o out.txt"), (Args{"kawase", "in.txt", "-o", "out.txt"}));
  EXPECT_EQ(split("  a\tb \t c  "), (Args{"a", "b", "c"}));
  EXPECT_EQ(split("a\nb\rc"), (Args{"a\nb\rc"}));
  EXPECT_EQ(split("\"my file.txt\""), (Args{"my file.txt"}));
  EXPECT_EQ(split("a\"b c\"d e"), (Args{"ab cd", "e"}));
  EXPECT_EQ(split("\"a\tb\""), (Args{"a\tb"}));
  EXPECT_EQ(split("\"a\"\"b\""), (Args{"ab"}));
  EXPECT_EQ(split("x \"a b  "), (Args{"x", "a b  "}));
  EXPECT_EQ(split("\"\""), (Args{""}));
  EXPECT_EQ(split("a \"\" b"), (Args{"a", "", "b"}));
  EXPECT_EQ(split("\"\"\"\""), (Args{""}));
  EXPECT_EQ(split("\"\" \"\""), (Args{"", ""}));
  EXPECT_EQ(split("a \""), (Args{"a", ""}));
  EXPECT_EQ(split("*.txt ? \"*\" a?b*"), (Args{"*.txt", "?", "*", "a?b*"}));  // no expansion
}

// Backslash + quote is a literal quote, which neither opens nor closes a
// quoted section; only the backslash right before the quote pairs with it,
// and every other backslash is literal.
TEST(SplitArgs, Backslashes) {
  EXPECT_EQ(split("a\\\"b"), (Args{"a\"b"}));
  EXPECT_EQ(split("\\\"a b\\\""), (Args{"\"a", "b\""}));
  EXPECT_EQ(split("\"a \\\" b\" c"), (Args{"a \" b", "c"}));
  EXPECT_EQ(split("a\\\\\"b c"), (Args{"a\\\"b", "c"}));
  EXPECT_EQ(split("\"C:\\dir\\\" x"), (Args{"C:\\dir\" x"}));
  EXPECT_EQ(split("C:\\dir\\file.txt \\\\server\\share\\"),
            (Args{"C:\\dir\\file.txt", "\\\\server\\share\\"}));
  EXPECT_EQ(split("\\"), (Args{"\\"}));
  EXPECT_EQ(split("\"a\\b\""), (Args{"a\\b"}));
}

// A lead byte keeps the next byte: a trail byte 0x5C does not pair with the
// quote after it (read as a single-byte code page, it does), and a quote or
// a blank after a lead byte is its second byte. Katakana are no lead bytes.
// A lead byte as the last byte stands alone.
TEST(SplitArgs, LeadByteKeepsTheNextByte) {
  EXPECT_EQ(split("\x95\\\"a b\""), (Args{"\x95\\a b"}));
  EXPECT_EQ(split("\x95\\\"a b\"", nullptr), (Args{"\x95\"a", "b"}));
  EXPECT_EQ(split("\x81\x22 b"), (Args{"\x81\x22", "b"}));
  EXPECT_EQ(split("\"\x81\x22 b\""), (Args{"\x81\x22 b"}));
  EXPECT_EQ(split("\x81 b"), (Args{"\x81 b"}));
  EXPECT_EQ(split("\x81\t"), (Args{"\x81\t"}));
  EXPECT_EQ(split("\"\x83\\\x95\\\\\x8E\x9A.txt\" -o"), (Args{"\x83\\\x95\\\\\x8E\x9A.txt", "-o"}));
  EXPECT_EQ(split("\xB1\"x y\""), (Args{"\xB1x y"}));
  EXPECT_EQ(split("a\x81"), (Args{"a\x81"}));
  EXPECT_EQ(split("\x81"), (Args{"\x81"}));
  EXPECT_EQ(split("x \"\x9F"), (Args{"x", "\x9F"}));
}

TEST(SplitArgs, RefusesATextBufferTooSmall) {
  const char* line = "ab \"c d\"";
  char text[16];
  std::memset(text, 'Z', sizeof text);
  char* argv[4] = {};
  EXPECT_EQ(splitArgs(line, cp932Lead, text, std::strlen(line), argv, 4), -1);
  EXPECT_EQ(splitArgs(line, cp932Lead, nullptr, 100, argv, 4), -1);
  for (char c : text) EXPECT_EQ(c, 'Z');
  EXPECT_EQ(argv[0], nullptr);
}

TEST(SplitArgs, StoresOnlyThePointersThereIsRoomFor) {
  const char* line = "a bb ccc";
  char text[9];
  char sentinel = 0;
  char* argv[4] = {&sentinel, &sentinel, &sentinel, &sentinel};

  EXPECT_EQ(splitArgs(line, cp932Lead, text, sizeof text, argv, 2), 3);
  EXPECT_STREQ(argv[0], "a");
  EXPECT_STREQ(argv[1], "bb");
  EXPECT_EQ(argv[2], &sentinel);

  // Room for every pointer but not for the terminating null.
  EXPECT_EQ(splitArgs(line, cp932Lead, text, sizeof text, argv, 3), 3);
  EXPECT_STREQ(argv[2], "ccc");
  EXPECT_EQ(argv[3], &sentinel);

  EXPECT_EQ(splitArgs(line, cp932Lead, text, sizeof text, argv, 4), 3);
  EXPECT_EQ(argv[3], nullptr);

  // No pointer array at all: the text is still split and the count returned.
  EXPECT_EQ(splitArgs(line, cp932Lead, text, sizeof text, nullptr, 4), 3);
  EXPECT_EQ(std::memcmp(text, "a\0bb\0ccc\0", 9), 0);
}

// Lines made of the bytes that matter to the rules, in every order a small
// generator produces: the text never goes past strlen + 1 bytes, every
// argument lies inside it, and counting agrees with splitting.
TEST(SplitArgs, TextStaysWithinTheLineLengthForAnyLine) {
  const char alphabet[] = {'a', ' ', '\t', '"', '\\', '\x81', '\x5C', '*'};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; round++) {
    std::string line;
    for (size_t i = rng() % 12; i > 0; i--) line.push_back(alphabet[rng() % sizeof alphabet]);
    const size_t guard = 8;
    size_t textSize = argsTextSize(line.c_str());
    std::vector<char> text(textSize + guard, 'G');
    std::vector<char*> argv(line.size() + 2);
    int argc = splitArgs(line.c_str(), cp932Lead, text.data(), textSize, argv.data(),
                         static_cast<int>(argv.size()));
    ASSERT_EQ(argc, countArgs(line.c_str(), cp932Lead)) << line;
    for (size_t i = textSize; i < text.size(); i++) ASSERT_EQ(text[i], 'G') << line;
    for (int i = 0; i < argc; i++) {
      const char* arg = argv[static_cast<size_t>(i)];
      ASSERT_GE(arg, text.data()) << line;
      ASSERT_LT(arg + std::strlen(arg), text.data() + textSize) << line;
    }
  }
}

TEST(PlatformArgs, GivesTheProgramsArguments) {
  char name[] = "prog";
  char first[] = "x y";
  char* given[] = {name, first, nullptr};
  int argc = 2;
  char** argv = given;
  ASSERT_EQ(platformArgs(&argc, &argv), 0);
  ASSERT_GE(argc, 1);
  EXPECT_EQ(argv[argc], nullptr);
#ifdef _WIN32
  // Split again from this process's own command line.
  EXPECT_NE(std::strstr(argv[0], "cmdline_test"), nullptr) << argv[0];
  EXPECT_EQ(argc, __argc);
#else
  EXPECT_EQ(argv, given);
  EXPECT_EQ(argc, 2);
#endif
}

#ifdef _WIN32

// A copy of this program started with KAWASE_ARGS_CHILD=<file> writes the
// C runtime's argument count and then the arguments it sees, one a line, to
// that file and ends before any test runs.
const char kChildVariable[] = "KAWASE_ARGS_CHILD";

struct ChildArgsWriter {
  ChildArgsWriter() {
    const char* out = std::getenv(kChildVariable);
    if (out == nullptr) return;
    int argc = 0;
    char** argv = nullptr;
    int status = 2;
    FILE* f = std::fopen(out, "wb");
    if (f != nullptr && platformArgs(&argc, &argv) == 0) {
      // First what the C runtime made of the line: with its wildcard
      // expansion off it finds as many arguments as we do.
      std::fprintf(f, "%d\n", __argc - 1);
      for (int i = 1; i < argc; i++) std::fprintf(f, "%s\n", argv[i]);
      status = std::fclose(f) == 0 ? 0 : 3;
    }
    ExitProcess(static_cast<UINT>(status));
  }
};
const ChildArgsWriter childArgsWriter;

// The whole road on Windows: a command line given to CreateProcessA arrives
// in the new process split by our rules, with code page 932 characters
// whole and wildcards unexpanded.
TEST(PlatformArgs, ChildProcessSeesItsCommandLineSplit) {
  if (GetACP() != 932) GTEST_SKIP() << "needs 932 as the system code page (LANG=ja_JP.UTF-8)";
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  char outName[] = "cmdline_child_args.txt";
  ASSERT_TRUE(SetEnvironmentVariableA(kChildVariable, outName));
  std::string line = std::string("\"") + self + "\"" +
                     " *.txt * \"my file.txt\" a\\\"b \x95\x5C\"x y\" \"\" \x83\x5C\\ ?";
  std::vector<char> lineBuffer(line.begin(), line.end());
  lineBuffer.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  BOOL started = CreateProcessA(self, lineBuffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &startup, &process);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(process.hProcess, 30000);
  DWORD status = 99;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(status, 0u);

  std::string seen;
  FILE* f = std::fopen(outName, "rb");
  ASSERT_NE(f, nullptr);
  char buf[256];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) seen.append(buf, n);
  std::fclose(f);
  std::remove(outName);
  EXPECT_EQ(seen, "8\n*.txt\n*\nmy file.txt\na\"b\n\x95\x5Cx y\n\n\x83\x5C\\\n?\n");
}

#endif  // _WIN32

}  // namespace
}  // namespace kawase
