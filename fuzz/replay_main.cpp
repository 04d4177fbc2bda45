// Replays a fuzz target's corpus without libFuzzer: every file named on the
// command line, or found directly in a directory named there, is passed to
// LLVMFuzzerTestOneInput once, in name order. A failed check aborts; an
// empty corpus is an error too, so a wrong path cannot pass unnoticed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_util.h"

namespace {

namespace fs = std::filesystem;

bool readFile(const fs::path& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

void collect(const fs::path& arg, std::vector<fs::path>* files) {
  if (!fs::is_directory(arg)) {
    files->push_back(arg);
    return;
  }
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(arg))
    if (entry.is_regular_file()) found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  files->insert(files->end(), found.begin(), found.end());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; i++) collect(argv[i], &files);
  if (files.empty()) {
    std::fprintf(stderr, "no corpus files found\n");
    return 1;
  }
  std::vector<uint8_t> bytes;
  for (const fs::path& file : files) {
    if (!readFile(file, &bytes)) {
      std::fprintf(stderr, "%s: cannot read\n", file.string().c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("replayed %lu inputs\n", static_cast<unsigned long>(files.size()));
  return 0;
}
