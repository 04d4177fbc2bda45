// Replays a fuzz target's corpus without libFuzzer, each named file once. A
// failed check aborts; no file at all fails too, so a wrong path shows.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_util.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (!in.is_open() || in.bad()) {
      std::fprintf(stderr, "%s: cannot read\n", argv[i]);
      return 1;
    }
    bytes.push_back(0);  // so that an empty input has an address too
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size() - 1);
  }
  std::printf("replayed %d inputs\n", argc - 1);
  return argc > 1 ? 0 : 1;
}
