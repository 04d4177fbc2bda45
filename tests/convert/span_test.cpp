// Each instance's fast road writes the same bytes and stops at the same
// place as the portable one, over every span start and length around the
// vector steps. Input ends where reading faults, and the output's room is
// followed by guard bytes, so that any access past them shows, a vector one
// too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "convert/tables.h"
#include "fuzz_util.h"
#include "platform/kernels.h"
#include "testutil/codes.h"
#include "testutil/instances.h"

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kawase {
namespace {

using Road = const char* (*)(const char*, const char*, char**);

std::string hex(const std::string& s) {
  std::string h;
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    h += "0123456789ABCDEF"[c >> 4], h += "0123456789ABCDEF"[c & 15];
  }
  return h;
}

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

// Texts with every mapped character of each table between ASCII words and
// LFs, every two- and three-byte UTF-8 form, every Shift_JIS key, and
// random mixes of characters and of the forms the road leaves alone.
std::vector<std::string> texts() {
  std::mt19937 rng(20240611);
  auto filler = [&rng] {
    auto r = rng() % 16;
    return r < 3 ? std::string(1 + rng() % 40, 'a') : r < 5 ? "\n" : "";
  };
  std::string ja, sj, forms, keys;
  for (int i = 1; i < unicodeTblCount; i++) ja += filler() + test::utf8(unicodeTbl[i].unicode);
  for (int i = 1; i < unicodeTbl2Count; i++) sj += filler() + test::sjisBytes(unicodeTbl2[i].sjis);
  for (int a = 0xC0; a < 0xF0; a++)
    for (int b = 0x80; b < 0xC0; b++)
      for (int c = 0x80; c < (a < 0xE0 ? 0x81 : 0xC0); c++)
        forms += std::string{'a', static_cast<char>(a), static_cast<char>(b)} +
                 (a < 0xE0 ? "" : std::string(1, static_cast<char>(c)));
  for (int k = 0x8000; k < 0x10000; k++) keys += test::sjisBytes(k) + "a";
  std::vector<std::string> out = {ja, sj, forms, keys};
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
                                        "\xA7",
                                        "\xFF",
                                        "\xF0\xA0\xAE\x9F",
                                        "\xF8\x80\x80\x80",
                                        "\x81\x0A",
                                        "\x81",
                                        "\xA0",
                                        "\xDF",
                                        "\xFC\xFC",
                                        "\x98\x73",
                                        "\xEF\xBD\xB1"};
  for (unsigned oddOneIn : {2u, 16u, 64u, 64u, 256u, 256u}) {
    std::string mix;
    while (mix.size() < 600) {
      const auto& from = rng() % oddOneIn == 0 ? odd : valid;
      mix += from[rng() % from.size()];
    }
    out.push_back(mix);
  }
  std::string noise;
  for (int i = 0; i < 4000; i++) noise += static_cast<char>(rng() % 8 == 0 ? '\n' : rng());
  out.push_back(noise);
  return out;
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
    EXPECT_EQ(got, want) << road.name << " over " << hex(text.substr(from, len));
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
  for (const std::string& text : texts())
    for (const RoadPair& road : roads) same = same && sameOver(text, road, rng);
}

INSTANTIATE_TEST_SUITE_P(Each, SpanKernels, testing::Values(Isa::kSsse3, Isa::kAvx512),
                         test::instanceName);

}  // namespace
}  // namespace kawase
