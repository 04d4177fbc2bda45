// The fast road changes no byte: the engine writes the same output, the same
// reports in the same places and ends the same way with it as without it,
// over inputs of every kind the converters meet. A failed check aborts.
#include "convert/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "convert/tables.h"
#include "fuzz_util.h"
#include "testutil/codes.h"
#include "testutil/memstream.h"

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
  std::string ja, sj, controls, noise;
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
  const std::vector<std::string> pool = {
      "a",        "\xE3\x81\x82", "\x82\xA0",     std::string(1, '\0'), "\r",           "\n",
      "\xB1",     "\x81",         "\xE3\x81",     "\xF0\x9F\x98\x80",   "\xEF\xBF\xBD", "\xFC\xFC",
      "\x82\xF5", "\xC0\x8A",     "\xE0\x80\x9A", "\xEF\xBB\xBF"};
  for (int i = 0; i < 20000; i++) controls += pool[rng() % pool.size()];
  for (int i = 0; i < 60000; i++) noise += static_cast<char>(rng() % 8 == 0 ? '\n' : rng());
  std::vector<std::string> in = {ja, sj, damaged, controls + "\x1Atail\n", noise};
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

// The convert fuzz target's checks: the converters in exactly sized blocks,
// and the engine with the fast road and without it.
TEST(Engine, FastRoadChangesNoByte) {
  for (const std::string& data : inputs())
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// Each line's reports arrive after the output of the lines before it and
// before its own: in one file with the output, and across two files as
// their writes arrive (the journal), the output's holding only the output.
TEST(Engine, ReportsInOrderWithTheOutput) {
  const std::string emoji = "\xF0\x9F\x98\x80", report = "Error code: F09F9880=1F600\r\n";
  std::string many, reports, manyOut = std::string(2000, '?') + "\r\n";
  for (int i = 0; i < 1000; i++) many += emoji, reports += report;
  const std::tuple<bool, std::string, std::string, std::string> rows[] = {
      {false, "a\n" + emoji + "\nb\n", "a\r\n" + report + "??\r\nb\r\n", "a\r\n??\r\nb\r\n"},
      {false, "a\n\xC0\x4A" + many + "\nb\n",
       "a\r\nError code: C04A=U+000A\r\n" + reports + "??" + manyOut + "b\r\n",
       "a\r\n??" + manyOut + "b\r\n"},
      {true, "a\n\xA0\xA0z\n", "a\r\nError code: A0[A0] ... \xA0\xA0z\r\n\r\nz\r\n", "a\r\nz\r\n"},
  };
  for (auto& [reverse, input, want, wantOut] : rows) {
    for (bool oneFile : {true, false}) {
      test::MemFile in, out, err;
      in.data = input;
      std::string journal;
      out.journal = err.journal = &journal;
      Stream* from = test::openMem(&in, "r");
      Stream* to = test::openMem(&out, "w");
      Stream* old = replaceStdStream(kStderr, test::openMem(oneFile ? &out : &err, "w", 0));
      EXPECT_EQ(convertStream(from, to, reverse), EngineResult::kDone);
      streamClose(replaceStdStream(kStderr, old));
      streamClose(to);
      streamClose(from);
      EXPECT_EQ(journal, want) << oneFile << input.substr(0, 8);
      EXPECT_EQ(out.data, oneFile ? want : wantOut) << input.substr(0, 8);
    }
  }
}

}  // namespace
}  // namespace kawase
