// The engine and the fast road of every kernel instance. The fast road
// changes no byte: the engine writes the same output, the same reports in
// the same places and ends the same way with it as without it, over inputs
// of every kind the converters meet; and the engine's own failures.
#include "convert/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "convert/tables.h"
#include "fuzz_util.h"
#include "testutil/codes.h"
#include "testutil/instances.h"
#include "testutil/memstream.h"

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kawase {
namespace {

// Every mapped character of each table among ASCII runs and LFs, so that
// each goes the fast road in one run and the full converter in the other;
// the same damaged; controls and unmapped characters; noise; data ending
// inside a character; lines around the length limit and the read blocks.
std::vector<std::string> inputs() {
  std::mt19937 rng(20240601);
  auto filler = [&rng] {
    auto r = rng() % 8;
    return r < 2 ? std::string(rng() % 40, 'a') : r < 3 ? "\n" : "";
  };
  std::vector<int> order(static_cast<size_t>(unicodeTbl2Count));
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), rng);
  std::string ja, sj, noise;
  for (int i : order) {
    if (i < unicodeTblCount && i != 0) ja += filler() + test::utf8(unicodeTbl[i].unicode);
    if (i != 0) sj += filler() + test::sjisBytes(unicodeTbl2[i].sjis);
  }
  // Bytes dropped (sequences cut short), replaced (bad or stray bytes) and
  // LFs put in.
  std::string damaged = ja + sj;
  for (size_t i = 0; i < damaged.size(); i += 1 + rng() % 40) {
    auto r = rng() % 3;
    if (r == 0) damaged.erase(i, 1);
    if (r == 1) damaged[i] = static_cast<char>(rng());
    if (r == 2) damaged.insert(i, 1, '\n');
  }
  // Every two- and three-byte UTF-8 form, and every Shift_JIS key.
  std::string forms, keys;
  for (int a = 0xC0; a < 0xF0; a++)
    for (int b = 0x80; b < 0xC0; b++)
      for (int c = 0x80; c < (a < 0xE0 ? 0x81 : 0xC0); c++)
        forms += std::string{'a', static_cast<char>(a), static_cast<char>(b)} +
                 (a < 0xE0 ? "" : std::string(1, static_cast<char>(c)));
  for (int k = 0x8000; k < 0x10000; k++) keys += test::sjisBytes(k) + "a";
  for (int i = 0; i < 60000; i++) noise += static_cast<char>(rng() % 8 == 0 ? '\n' : rng());
  std::vector<std::string> in = {ja, sj, forms, keys, damaged, noise};
  // Characters among the forms the fast road leaves alone, one in 2 to one
  // in 256, so that they fall anywhere in the vector steps.
  const std::vector<std::string> valid = {
      "a",        "Hello ",   "\n",       "\xE3\x81\x82", "\xE6\xBC\xA2",
      "\xC2\xA7", "\x82\xA0", "\x88\x9F", "\x81\x40",     "\xB1"};
  const std::vector<std::string> odd = {std::string(1, '\0'),
                                        "\r",
                                        "\x1A",
                                        "\xC0\x8A",
                                        "\xE0\x80\x8A",
                                        "\xE0\x80\x9A",
                                        "\xC1\x81",
                                        "\xF0\x9F\x98\x80",
                                        "\xEF\xBF\xBD",
                                        "\xED\xA0\x80",
                                        "\xE3\x81",
                                        "\xC2",
                                        "\x80",
                                        "\xFF",
                                        "\xF0\xA0\xAE\x9F",
                                        "\x81\x0A",
                                        "\x81",
                                        "\xA0",
                                        "\xFC\xFC",
                                        "\xEF\xBB\xBF",
                                        "\xEF\xBD\xB1"};
  for (unsigned oddOneIn : {2u, 16u, 64u, 256u}) {
    std::string mix;
    while (mix.size() < 20000) {
      const auto& from = rng() % oddOneIn == 0 ? odd : valid;
      mix += from[rng() % from.size()];
    }
    in.push_back(mix + "\x1Atail\n");
  }
  in.push_back(std::string(255997, '\xB1') + "\n");  // a line that grows threefold
  in.push_back(std::string(1000, 'z') + '\0' + std::string(300000, 'z') + "\nz\n");
  // Characters cut short by the end of the data.
  for (const char* end : {"x\xE3\x81", "x\xE3\x81\x82", "\x82\xA0\x82", "\xF0\xA0\x80"})
    in.push_back(end);
  for (size_t n : {255997, 255998, 255999, 256000, 300000})
    in.push_back("first\n" + std::string(n, 'y') + "\nlast\n");
  for (size_t block : {65536, 131072})
    for (size_t shift = 0; shift <= 8; shift++)
      in.push_back(std::string(block + shift - 4, 'a') +
                   "\xE3\x81\x82\xEF\xBD\xB1\n\x82\xA0\n\x82\n");
  return in;
}

// The convert fuzz target's checks over the inputs above: the full
// converters, and each instance of the kernel table the host runs against
// the portable one. A failed check names the input here instead of
// aborting.
class EngineKernels : public testing::TestWithParam<Isa> {};

TEST_P(EngineKernels, FastRoadChangesNoByte) {
  const Kernels* k = kernelsFor(GetParam());
  if (k == nullptr) GTEST_SKIP() << "no " << isaName(GetParam()) << " kernels on this host";
  fuzz::checkFailed = [](const char* check) { throw std::runtime_error(check); };
  const std::vector<std::string> all = inputs();
  for (size_t i = 0; i < all.size(); i++) {
    const auto* data = reinterpret_cast<const uint8_t*>(all[i].data());
    EXPECT_NO_THROW({
      if (GetParam() == Isa::kPortable) fuzz::checkConverters(data, all[i].size());
      fuzz::checkKernels(*k, data, all[i].size());
    }) << "input "
       << i << " of " << all[i].size() << " bytes, from "
       << testing::PrintToString(all[i].substr(0, 24));
  }
  fuzz::checkFailed = fuzz::abortOnFailure;
}

INSTANTIATE_TEST_SUITE_P(Each, EngineKernels, testing::ValuesIn(kAllIsas), test::instanceName);

// Each instance's fast road writes the same bytes and stops at the same
// place as the portable one, over every span start and length around the
// vector steps. Input ends where reading faults, and the output's room is
// followed by guard bytes, so that any access past them shows, a vector one
// too.
using Road = const char* (*)(const char*, const char*, char**);

constexpr size_t kMaxSpan = 4096, kGuard = 64;

// Where a span's bytes go: right before a page that may not be touched
// (where mmap makes one), so that even a vector load past them faults.
char* fencedEnd() {
#if defined(__unix__)
  static char* end = [] {
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t size = (kMaxSpan + page - 1) / page * page;
    void* m =
        mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED || mprotect(static_cast<char*>(m) + size, page, PROT_NONE) != 0)
      std::abort();
    return static_cast<char*>(m) + size;
  }();
  return end;
#else
  return nullptr;
#endif
}

// The stop's offset and the output of `road` over text[from, from + len).
// The output has exactly its room, then guard bytes that must stay as they
// were: AddressSanitizer does not see vector stores.
std::string run(Road road, size_t growth, const std::string& text, size_t from, size_t len,
                size_t* stop) {
  fuzz::Block block(len), out(growth * len + 1 + kGuard);
  char* in = fencedEnd() != nullptr ? fencedEnd() - len : block.bytes;
  if (len > 0) std::memcpy(in, text.data() + from, len);
  const std::string guard(kGuard, '\x5A');
  std::memcpy(out.bytes + growth * len + 1, guard.data(), kGuard);
  char* o = out.bytes;
  *stop = static_cast<size_t>(road(in, in + len, &o) - in);
  return std::to_string(*stop) + ":" + std::string(out.bytes, o) + "|" +
         std::string(out.bytes + growth * len + 1, kGuard);
}

struct RoadPair {
  const char* name;
  Road portable, other;
  size_t growth;
};

// Both roads over spans of `text`: false after the first mismatch.
bool sameOver(const std::string& text, const RoadPair& road, std::mt19937& rng) {
  // The stop, npos after a mismatch.
  auto same = [&](size_t from, size_t len) {
    size_t stop, wantStop;
    std::string got = run(road.other, road.growth, text, from, len, &stop);
    std::string want = run(road.portable, road.growth, text, from, len, &wantStop);
    EXPECT_EQ(got, want) << road.name << " over " << testing::PrintToString(text.substr(from, len));
    return got == want ? stop : std::string::npos;
  };
  // Every start within a step pair and every length around the steps.
  for (size_t from = 0; from < 64; from++)
    for (size_t len = 0; len <= 200 && from + len <= text.size(); len++)
      if (same(from, len) == std::string::npos) return false;
  // The whole text in pieces, each from the byte after the last stop.
  for (size_t pos = 0; pos < text.size();) {
    size_t len = std::min<size_t>(text.size() - pos, 1 + rng() % kMaxSpan);
    size_t stop = same(pos, len);
    if (stop == std::string::npos) return false;
    pos += stop < len ? stop + 1 : len;
  }
  return true;
}

class SpanKernels : public testing::TestWithParam<Isa> {};

TEST_P(SpanKernels, SameBytesAndStopAsThePortableRoad) {
  const Kernels* k = kernelsFor(GetParam());
  if (k == nullptr) GTEST_SKIP() << "no " << isaName(GetParam()) << " kernels on this host";
  const RoadPair roads[] = {{"UTF-8 to Shift_JIS", unitosjSpanPortable, k->unitosjSpan, 2},
                            {"Shift_JIS to UTF-8", sjtouniSpanPortable, k->sjtouniSpan, 3}};
  std::mt19937 rng(7);
  bool same = true;
  for (const std::string& text : inputs())
    for (const RoadPair& road : roads) same = same && sameOver(text, road, rng);
}

INSTANTIATE_TEST_SUITE_P(Each, SpanKernels, testing::Values(Isa::kSsse3, Isa::kAvx512),
                         test::instanceName);

// The engine's own failures, through the stream seam: a read that fails
// inside a line or a character drops that line and ends the run; a write
// that fails, part-way or at the last batch, ends it before anything later
// is read or reported, also when the input would fail next. A byte order
// mark counts only at the very start of the input, however it arrives.
TEST(Engine, Failures) {
  const std::string lines = [] {
    std::string s;
    for (int i = 0; i < 2000; i++) s += std::string(99, 'a') + "\n";
    return s + "\xF0\x9F\x98\x80\n";
  }();
  std::string written;  // what gets through of their output
  while (written.size() < 1000) written += std::string(99, 'a') + "\r\n";
  written.resize(1000);
  const std::string longLine = std::string(131071, 'a') + "\n";
  const std::string bomReport = "Error code: EFBBBF=U+FEFF\r\n";
  struct Row {
    bool reverse;
    std::string in;
    long inFailAt, outFailAt, chunk;
    EngineResult result;
    std::string out, err;
  };
  const Row rows[] = {
      {false,
       "ab\n\xE3\x81\x82"
       "cd\n",
       5, -1, 1 << 20, EngineResult::kReadFailed, "ab\r\n", ""},
      {true,
       "ab\n\x82\xA0"
       "cd\n",
       4, -1, 1 << 20, EngineResult::kReadFailed, "ab\r\n", ""},
      {false, "ab\nxyz\n", 5, -1, 2, EngineResult::kReadFailed, "ab\r\n", ""},
      {false, lines, -1, 1000, 1 << 20, EngineResult::kWriteFailed, written, ""},
      {false, lines, 150000, 1000, 1 << 20, EngineResult::kWriteFailed, written, ""},
      {true, "a\nb\n", -1, 2, 1 << 20, EngineResult::kWriteFailed, "a\r", ""},
      {false, longLine + "\xEF\xBB\xBFx\n", -1, -1, 1 << 20, EngineResult::kDone,
       longLine.substr(0, 131071) + "\r\n??x\r\n", bomReport},
      {false, "\xEF\xBB\xBFx\n", -1, -1, 1, EngineResult::kDone, "x\r\n", ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.in.substr(0, 12)) + " " + std::to_string(r.inFailAt) +
                 " " + std::to_string(r.outFailAt));
    test::MemFile in, out;
    in.data = r.in;
    in.fail_at = r.inFailAt;
    in.chunk = r.chunk;
    out.fail_at = r.outFailAt;
    test::CaptureStd err(kStderr);
    Stream* from = test::openMem(&in, "r");
    Stream* to = test::openMem(&out, "w", 0);
    EXPECT_EQ(convertStream(from, to, r.reverse), r.result);
    streamClose(from);
    streamClose(to);
    EXPECT_TRUE(out.data == r.out) << out.data.size();
    EXPECT_EQ(err.text(), r.err);
  }
}

// Input that arrives a line at a time, as from a pipe or a terminal: each
// line is written before the next read is made.
TEST(Engine, ConvertsInputAsItArrives) {
  static test::MemFile in, out;
  static std::vector<std::string> seen;  // the output at each read
  in.data = "abc\n\x82\xA0\n";
  in.chunk = 4;
  static const StreamOps arriving = {[](void* h, unsigned char* buf, long n) {
                                       seen.push_back(out.data);
                                       return test::memRead(h, buf, n);
                                     },
                                     test::memWrite, test::memClose, nullptr};
  Stream* from = streamOpenOps(&arriving, &in, "r", 1);
  Stream* to = test::openMem(&out, "w", 0);
  EXPECT_EQ(convertStream(from, to, true), EngineResult::kDone);
  streamClose(from);
  streamClose(to);
  const std::vector<std::string> want = {"", "abc\r\n", "abc\r\n\xE3\x81\x82\r\n"};
  EXPECT_EQ(seen, want);
}

// In one file with the output, each line's reports arrive after the
// output of the lines before it and before its own. Into two files, the
// reports of a batch go out together before the batch's output (the journal
// records the writes of both as they arrive).
TEST(Engine, ReportsInOrderWithTheOutput) {
  const std::string emoji = "\xF0\x9F\x98\x80", report = "Error code: F09F9880=1F600\r\n";
  const std::string c04a = "Error code: C04A=U+000A\r\n";
  const std::string a0 = "Error code: A0[A0] ... \xA0\xA0z\r\n\r\n";
  std::string many, reports, manyOut = std::string(2000, '?') + "\r\n";
  for (int i = 0; i < 1000; i++) many += emoji, reports += report;
  struct Row {
    bool reverse;
    std::string input, oneFile, err, out;
  };
  const Row rows[] = {
      {false, "a\n" + emoji + "\nb\n", "a\r\n" + report + "??\r\nb\r\n", report,
       "a\r\n??\r\nb\r\n"},
      {false, "a\n\xC0\x4A" + many + "\nb\n", "a\r\n" + c04a + reports + "??" + manyOut + "b\r\n",
       c04a + reports, "a\r\n??" + manyOut + "b\r\n"},
      {true, "a\n\xA0\xA0z\n", "a\r\n" + a0 + "z\r\n", a0, "a\r\nz\r\n"},
  };
  for (const Row& r : rows) {
    for (bool oneFile : {true, false}) {
      test::MemFile in, out, err;
      in.data = r.input;
      std::string journal;
      out.journal = err.journal = &journal;
      Stream* from = test::openMem(&in, "r");
      Stream* to = test::openMem(&out, "w");
      Stream* old = replaceStdStream(kStderr, test::openMem(oneFile ? &out : &err, "w", 0));
      EXPECT_EQ(convertStream(from, to, r.reverse), EngineResult::kDone);
      streamClose(replaceStdStream(kStderr, old));
      streamClose(to);
      streamClose(from);
      EXPECT_EQ(journal, oneFile ? r.oneFile : r.err + r.out) << oneFile << r.input.substr(0, 8);
      EXPECT_EQ(out.data, oneFile ? r.oneFile : r.out) << r.input.substr(0, 8);
    }
  }
}

}  // namespace
}  // namespace kawase
