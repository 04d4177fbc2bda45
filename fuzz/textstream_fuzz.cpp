// The text-stream reader over a memory file that may fail from a fuzzed
// offset on: up to 16 line and block reads (some of a buffer or more), each
// with its own chunk size, must deliver the next bytes of the data, in text
// mode without CRs and up to the first Ctrl-Z. Input: flags (bit 0 binary,
// bit 1 failing), failure offset (2 bytes), read count, 16 reads of 4 bytes
// (kind, chunk, argument), the data. Every instance of the kernel table the
// host runs makes the same text of the data as the portable one, and
// appends it to a buffer as the same bytes, stopping where it stops.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "platform/kernels.h"
#include "platform/textstream.h"
#include "testutil/memstream.h"

using namespace kawase;

namespace {

void checkReads(const uint8_t* data, size_t size) {
  constexpr size_t kHead = 4 + 16 * 4;
  if (size < kHead) return;
  const bool text = (data[0] & 1) == 0;
  test::MemFile in;
  in.data.assign(data + kHead, data + size);
  if ((data[0] & 2) != 0) in.fail_at = static_cast<long>(fuzz::le16(data + 1) % (size - kHead + 1));
  // The failure is met unless a Ctrl-Z comes before it.
  std::string want = in.data.substr(0, in.fail_at < 0 ? size : static_cast<size_t>(in.fail_at));
  bool error = in.fail_at >= 0;
  if (text && want.find('\x1A') != std::string::npos) {
    want.resize(want.find('\x1A'));
    error = false;
  }
  if (text) std::erase(want, '\r');

  Stream* s = test::openMem(&in, text ? "r" : "rb");
  size_t at = 0;
  auto gets = [&](int limit) {
    fuzz::Block buf(limit > 0 ? static_cast<size_t>(limit) : 0);
    char* got = streamGets(buf.bytes, limit, s);
    size_t n = limit < 1 ? 0 : std::min(static_cast<size_t>(limit - 1), want.size() - at);
    size_t lf = want.find('\n', at);
    if (lf != std::string::npos) n = std::min(n, lf - at + 1);
    if (limit < 1 || (n == 0 && limit > 1)) return FUZZ_CHECK(got == nullptr);
    FUZZ_CHECK(got == buf.bytes && std::memcmp(got, want.data() + at, n) == 0 && got[n] == '\0');
    at += n;
  };
  auto read = [&](long n) {
    fuzz::Block buf(static_cast<size_t>(n));
    size_t expect = std::min(static_cast<size_t>(n), want.size() - at);
    FUZZ_CHECK(streamRead(buf.bytes, n, s) == static_cast<long>(expect));
    FUZZ_CHECK(std::memcmp(buf.bytes, want.data() + at, expect) == 0);
    at += expect;
  };
  for (const uint8_t* op = data + 4; op < data + 4 + data[3] % 17 * 4; op += 4) {
    in.chunk = op[1] == 0xFF ? 1L << 20 : op[1] + 1L;
    const unsigned arg = fuzz::le16(op + 2);
    if (op[0] % 4 < 2) gets(static_cast<int>(op[0] % 4 == 0 ? arg % 300 : arg));
    if (op[0] % 4 >= 2) read(op[0] % 4 == 2 ? arg % 300 : 64 * 1024 + arg % 64);
  }
  while (at < want.size()) gets(4096);
  gets(4096);
  read(100);
  FUZZ_CHECK(streamError(s) == (error ? 1 : 0) && streamEof(s) == (error ? 0 : 1) &&
             streamClose(s) == 0);
}

// The data as one block through each kernel's scan, and appended through
// each kernel's LF expansion, from a start and up to a limit the data
// chooses, into a buffer of exactly the room promised.
void checkKernels(const uint8_t* data, size_t size) {
  if (size < 4) return;
  const auto n = static_cast<long>(size);
  const long limit = fuzz::le16(data) % (2 * n + 1), start = data[2] % (limit + 1);
  auto run = [&](const Kernels& k) {
    fuzz::Block text(size), out(static_cast<size_t>(limit) + 1);
    std::memcpy(text.bytes, data, size);
    bool ended = false;
    long kept = k.textOfBlock(reinterpret_cast<unsigned char*>(text.bytes), n, &ended);
    long len = start;
    long took = k.appendCrLf(data, n, reinterpret_cast<unsigned char*>(out.bytes), &len, limit);
    FUZZ_CHECK(kept <= n && took <= n && len <= limit + 1);
    std::string made(text.bytes, static_cast<size_t>(kept));
    made.append(ended ? "|ended|" : "|");
    made.append(out.bytes + start, static_cast<size_t>(len - start));
    return made.append("|").append(std::to_string(took));
  };
  const std::string want = run(*kernelsFor(Isa::kPortable));
  for (Isa isa : kAllIsas)
    if (const Kernels* k = kernelsFor(isa)) FUZZ_CHECK(run(*k) == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkReads(data, size);
  checkKernels(data, size);
  return 0;
}
