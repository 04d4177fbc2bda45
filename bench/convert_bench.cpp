// Microbenchmark of the two line converters on lines held in memory, apart
// from stream I/O: the full converters (unitosj, sjtouni) line by line, and
// their fast road line by line and over blocks of whole lines as the driver
// hands them over.
//
// The text is the first megabyte of each file of the benchmark corpus
// (bench/build_corpus.sh; another directory with KAWASE_CORPUS=dir). Without
// it, lines are made up from the mapping tables: kana and kanji runs between
// ASCII words, which gives different figures from real text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "convert/convert.h"
#include "convert/tables.h"
#include "platform/kernels.h"

namespace {

constexpr size_t kTextBytes = 1 << 20;
constexpr size_t kBlockBytes = 64 * 1024;

struct Text {
  std::string name;
  std::vector<std::string> lines;  // each with its LF
  std::string joined;
};

std::string corpusDir() {
  const char* dir = std::getenv("KAWASE_CORPUS");
  return dir != nullptr ? dir : KAWASE_CORPUS_DIR;
}

// The whole lines within the first kTextBytes of a file; none if it is
// missing.
std::vector<std::string> readLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  size_t total = 0;
  std::string line;
  while (std::getline(in, line) && total + line.size() + 1 <= kTextBytes) {
    line += '\n';
    total += line.size();
    lines.push_back(line);
  }
  return lines;
}

std::string utf8(int32_t cp) {
  std::string s;
  if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
  } else {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
  }
  s += static_cast<char>(0x80 | (cp & 0x3F));
  return s;
}

// Lines of about 45 bytes: runs of one to eight kana or kanji between ASCII
// words, from a fixed seed.
std::vector<std::string> madeUpJapanese() {
  std::vector<int32_t> kana, kanji;
  for (int i = 0; i < kawase::unicodeTblCount; i++) {
    int32_t cp = kawase::unicodeTbl[i].unicode;
    if (cp >= 0x3041 && cp <= 0x30FF) kana.push_back(cp);
    if (cp >= 0x4E00 && cp <= 0x9FFF) kanji.push_back(cp);
  }
  std::mt19937 rng(20240601);
  auto pick = [&rng](const std::vector<int32_t>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
  };
  std::vector<std::string> lines;
  size_t total = 0;
  while (total < kTextBytes - 256) {
    std::string line;
    while (line.size() < 40) {
      if (rng() % 5 < 3) {
        for (unsigned n = 1 + rng() % 8; n > 0; n--)
          line += utf8(rng() % 5 < 3 ? pick(kana) : pick(kanji));
      } else {
        for (unsigned n = 1 + rng() % 8; n > 0; n--) line += static_cast<char>('a' + rng() % 26);
        line += ' ';
      }
    }
    line += '\n';
    total += line.size();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> madeUpAscii() {
  std::mt19937 rng(20240602);
  std::vector<std::string> lines;
  size_t total = 0;
  while (total < kTextBytes - 256) {
    std::string line;
    while (line.size() < 28) {
      for (unsigned n = 1 + rng() % 8; n > 0; n--) line += static_cast<char>('a' + rng() % 26);
      line += ' ';
    }
    line += '\n';
    total += line.size();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> toShiftJis(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  std::vector<char> buf;
  for (const std::string& line : lines) {
    buf.resize(2 * line.size() + 1);
    kawase::unitosj(line.c_str(), buf.data());
    out.emplace_back(buf.data());
  }
  return out;
}

Text makeText(std::string name, std::vector<std::string> lines) {
  Text t{std::move(name), std::move(lines), {}};
  for (const std::string& line : t.lines) t.joined += line;
  return t;
}

using LineConverter = int (*)(const char*, char*);
using FastConverter = const char* (*)(const char*, const char*, char**);

void fullLines(benchmark::State& state, LineConverter convert, const Text* text) {
  std::vector<char> out(3 * 256002);
  for (auto _ : state) {
    for (const std::string& line : text->lines) convert(line.c_str(), out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->joined.size()));
}

void fastLines(benchmark::State& state, FastConverter convert, const Text* text) {
  std::vector<char> out(3 * 256002);
  for (auto _ : state) {
    for (const std::string& line : text->lines) {
      char* o = out.data();
      if (convert(line.data(), line.data() + line.size(), &o) != line.data() + line.size()) {
        state.SkipWithError("a line left the fast road");
        return;
      }
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->joined.size()));
}

// Blocks of whole lines of about kBlockBytes, as the driver converts them.
void fastBlocks(benchmark::State& state, FastConverter convert, const Text* text) {
  std::vector<char> out(3 * kBlockBytes + 3 * 256002);
  const char* begin = text->joined.data();
  const char* end = begin + text->joined.size();
  for (auto _ : state) {
    for (const char* p = begin; p < end;) {
      const char* cut = p + kBlockBytes < end ? p + kBlockBytes : end;
      while (cut < end && cut[-1] != '\n') cut++;
      char* o = out.data();
      if (convert(p, cut, &o) != cut) {
        state.SkipWithError("a block left the fast road");
        return;
      }
      p = cut;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text->joined.size()));
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = corpusDir();
  std::vector<std::string> ja = readLines(dir + "/ja-utf8.txt");
  std::vector<std::string> sj = readLines(dir + "/ja-sjis.txt");
  std::vector<std::string> ascii = readLines(dir + "/ascii.txt");
  const char* source = "corpus";
  if (ja.empty() || sj.empty() || ascii.empty()) {
    ja = madeUpJapanese();
    sj = toShiftJis(ja);
    ascii = madeUpAscii();
    source = "made-up text";
  }
  static const Text jaText = makeText("ja", ja);
  static const Text sjText = makeText("ja", sj);
  static const Text asciiText = makeText("ascii", ascii);
  benchmark::AddCustomContext("text", source);

  // The full converters line by line; the fast road of each instance of
  // the kernel table this processor runs, line by line and in blocks.
  for (const Text* t : {&jaText, &asciiText})
    benchmark::RegisterBenchmark(("unitosj/lines/" + t->name).c_str(), fullLines, kawase::unitosj,
                                 t);
  for (const Text* t : {&sjText, &asciiText})
    benchmark::RegisterBenchmark(("sjtouni/lines/" + t->name).c_str(), fullLines, kawase::sjtouni,
                                 t);
  for (kawase::Isa isa : kawase::kAllIsas) {
    const kawase::Kernels* k = kawase::kernelsFor(isa);
    if (k == nullptr) continue;
    const std::string name = kawase::isaName(isa);
    for (auto [way, road, texts] :
         {std::tuple{"unitosjSpan/", k->unitosjSpan, std::vector<const Text*>{&jaText, &asciiText}},
          std::tuple{"sjtouniSpan/", k->sjtouniSpan,
                     std::vector<const Text*>{&sjText, &asciiText}}}) {
      for (const Text* t : texts) {
        benchmark::RegisterBenchmark((way + name + "/lines/" + t->name).c_str(), fastLines, road,
                                     t);
        benchmark::RegisterBenchmark((way + name + "/blocks/" + t->name).c_str(), fastBlocks, road,
                                     t);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
