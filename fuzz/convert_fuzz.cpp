// The converters and the engine on arbitrary bytes, both ways. The full
// converters take the bytes up to the first NUL as one line, the fast road
// all of them, in blocks of exactly the size due, so that AddressSanitizer
// sees any byte past them; no LF is lost. The engine, fed the bytes
// as a file, writes the same with the fast road and without it, and with
// the portable loops as with the SSSE3 ones. The AVX-512 spans, where the
// processor has them, stop where the fast road stops, with the same bytes.
#include <algorithm>
#include <cstring>
#include <string>

#include "convert/convert.h"
#include "convert/engine.h"
#include "convert/span_avx512.h"
#include "fuzz_util.h"
#include "platform/simd.h"
#include "testutil/memstream.h"

namespace {

using namespace kawase;

std::string engine(const uint8_t* data, size_t size, bool reverse, bool fast) {
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

#if KAWASE_HAVE_AVX512_SPANS
bool hasAvx512Spans() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi2");
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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

    // From each line on, as the engine drives it, to the end of the block.
    fuzz::Block in(size), fast(growth * size + 1), wide(growth * size + 1);
    if (size > 0) std::memcpy(in.bytes, data, size);
    for (size_t pos = 0; pos < size;) {
      char* o = fast.bytes + growth * pos;
      const char* stop = (reverse ? sjtouniFast : unitosjFast)(in.bytes + pos, in.bytes + size, &o);
      FUZZ_CHECK(stop >= in.bytes + pos && stop <= in.bytes + size);
      FUZZ_CHECK(o - fast.bytes <= static_cast<ptrdiff_t>(growth) * (stop - in.bytes));
      const std::string text = withoutCrLf(fast.bytes + growth * pos,
                                           static_cast<size_t>(o - (fast.bytes + growth * pos)));
      FUZZ_CHECK(noNewControls(in.bytes + pos, static_cast<size_t>(stop - (in.bytes + pos)),
                               text.data(), text.size()));
#if KAWASE_HAVE_AVX512_SPANS
      // The AVX-512 spans, where the processor has them: the same stop and
      // the same bytes.
      static const bool avx512 = hasAvx512Spans();
      if (avx512) {
        char* w = wide.bytes + growth * pos;
        FUZZ_CHECK((reverse ? sjtouniSpanAvx512 : unitosjSpanAvx512)(in.bytes + pos,
                                                                     in.bytes + size, &w) == stop);
        FUZZ_CHECK(w - wide.bytes == o - fast.bytes &&
                   std::memcmp(wide.bytes + growth * pos, fast.bytes + growth * pos,
                               static_cast<size_t>(o - (fast.bytes + growth * pos))) == 0);
      }
#endif
      const void* lf = std::memchr(stop, '\n', static_cast<size_t>(in.bytes + size - stop));
      pos = lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - in.bytes) + 1 : size;
    }
    const std::string withFast = engine(data, size, reverse, true);
    FUZZ_CHECK(withFast == engine(data, size, reverse, false));
    // The portable loops, which the SSSE3 ones must match, on the same bytes.
    const bool simd = setSimdEnabled(false);
    FUZZ_CHECK(withFast == engine(data, size, reverse, true));
    setSimdEnabled(simd);
  }
  return 0;
}
