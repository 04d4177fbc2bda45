// The converters and the engine on arbitrary bytes, both ways. The full
// converters take the bytes up to the first NUL as one line, the fast road
// all of them, in blocks of exactly the size due, so that AddressSanitizer
// sees any byte past them; no LF is lost. Every instance of the kernel
// table the host runs gives the portable instance's fast-road output and
// stops, and its ASCII-run copy; and the engine, fed the bytes as a file,
// writes the same with each instance's fast road as without one.
#include <algorithm>
#include <cstring>
#include <string>

#include "convert/convert.h"
#include "convert/engine.h"
#include "fuzz_util.h"
#include "platform/kernels.h"
#include "testutil/memstream.h"

namespace {

using namespace kawase;

std::string engine(const uint8_t* data, size_t size, bool reverse, const Kernels* fast) {
  test::MemFile in;
  in.data.assign(reinterpret_cast<const char*>(data), size);
  test::CaptureStd log(kStderr);
  Stream* from = test::openMem(&in, "r");
  Stream* to = test::openMem(&log.file(), "w", 0);
  auto result = static_cast<char>(convertStream(from, to, reverse, fast));
  streamClose(from);
  streamClose(to);
  return log.text() + result;
}

// NUL, LF, CR and Ctrl-Z end a line, a text or a file for the next reader:
// the output may hold one only where the input had that byte itself.
bool noNewControls(const void* in, size_t inLen, const char* out, size_t outLen) {
  const auto* from = static_cast<const char*>(in);
  for (char c : {'\0', '\n', '\r', '\x1A'})
    if (std::count(out, out + outLen, c) > std::count(from, from + inLen, c)) return false;
  return true;
}

// The fast road's output with the CR taken out before each LF, which must
// have one.
std::string withoutCrLf(const char* out, size_t outLen) {
  std::string text;
  for (size_t i = 0; i < outLen; i++) {
    if (out[i] == '\n') {
      FUZZ_CHECK(!text.empty() && text.back() == '\r');
      text.pop_back();
    }
    text += out[i];
  }
  return text;
}

// The fast road of `k` from each line on, as the engine drives it, to the
// end of the block: each stop and the output up to it.
std::string spans(const Kernels& k, const uint8_t* data, size_t size, bool reverse) {
  const size_t growth = reverse ? 3 : 2;
  fuzz::Block in(size), fast(growth * size + 1);
  if (size > 0) std::memcpy(in.bytes, data, size);
  std::string trace;
  for (size_t pos = 0; pos < size;) {
    char* o = fast.bytes + growth * pos;
    const char* stop =
        (reverse ? k.sjtouniSpan : k.unitosjSpan)(in.bytes + pos, in.bytes + size, &o);
    FUZZ_CHECK(stop >= in.bytes + pos && stop <= in.bytes + size);
    FUZZ_CHECK(o - fast.bytes <= static_cast<ptrdiff_t>(growth) * (stop - in.bytes));
    const std::string out(fast.bytes + growth * pos, o);
    const std::string text = withoutCrLf(out.data(), out.size());
    FUZZ_CHECK(noNewControls(in.bytes + pos, static_cast<size_t>(stop - (in.bytes + pos)),
                             text.data(), text.size()));
    trace += std::to_string(stop - in.bytes) + ":" + out + "\n";
    const void* lf = std::memchr(stop, '\n', static_cast<size_t>(in.bytes + size - stop));
    pos = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - in.bytes) + 1 : size;
  }
  return trace;
}

// The ASCII-run copy of `k` from every byte on: each run's length and its
// output.
std::string asciiRuns(const Kernels& k, const uint8_t* data, size_t size) {
  fuzz::Block out(2 * size + 64);
  std::string trace;
  for (size_t pos = 0; pos < size; pos++) {
    auto* o = reinterpret_cast<unsigned char*>(out.bytes);
    size_t n = k.copyAscii(data + pos, data + size, &o);
    FUZZ_CHECK(pos + n <= size);
    trace += std::to_string(n) + ":" + std::string(out.bytes, reinterpret_cast<char*>(o)) + "\n";
    pos += n;
  }
  return trace;
}

}  // namespace

namespace kawase::fuzz {

void checkKernels(const Kernels& k, const uint8_t* data, size_t size) {
  const Kernels& portable = *kernelsFor(Isa::kPortable);
  for (bool reverse : {false, true}) {
    const std::string want = spans(portable, data, size, reverse);
    FUZZ_CHECK(&k == &portable || spans(k, data, size, reverse) == want);
    FUZZ_CHECK(engine(data, size, reverse, &k) == engine(data, size, reverse, nullptr));
  }
  FUZZ_CHECK(asciiRuns(k, data, size) == asciiRuns(portable, data, size));
}

}  // namespace kawase::fuzz

namespace kawase::fuzz {

void checkConverters(const uint8_t* data, size_t size) {
  const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t len = nul != nullptr ? static_cast<size_t>(nul - data) : size;
  for (bool reverse : {false, true}) {
    const size_t growth = reverse ? 3 : 2;
    fuzz::CString line(data, len);
    fuzz::Block out(growth * len + 1);
    // No NUL before the call, so the last one after it ends the output.
    std::memset(out.bytes, 1, growth * len + 1);
    {
      test::CaptureStd reports(kStderr);
      (reverse ? sjtouni : unitosj)(line.bytes, out.bytes);
    }
    size_t end = growth * len + 1;
    while (end > 0 && out.bytes[end - 1] != '\0') end--;
    FUZZ_CHECK(end > 0);
    FUZZ_CHECK(std::count(out.bytes, out.bytes + end - 1, '\n') >=
               std::count(data, data + len, '\n'));
    FUZZ_CHECK(noNewControls(data, len, out.bytes, end - 1));
  }
}

}  // namespace kawase::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::checkConverters(data, size);
  for (Isa isa : kAllIsas)
    if (const Kernels* k = kernelsFor(isa)) fuzz::checkKernels(*k, data, size);
  return 0;
}
