// The text-stream reader on arbitrary bytes, delivered by a transport whose
// reads return chunks of fuzzed sizes and may fail at a fuzzed offset, read
// with a fuzzed mix of line reads (fuzzed limits) and block reads (small
// ones, and ones of a whole buffer or more, which are read straight into the
// caller's memory). Every result is checked against a model of the reading
// rules: in text mode every CR is dropped and the data ends at the first
// Ctrl-Z; a line read takes at most limit - 1 bytes and stops after an LF; a
// block read comes back short only at the end of the data.
//
// The writer is checked too: the same bytes written in fuzzed pieces, often
// enough to fill the 64 KiB buffer several times, through a transport that
// takes fuzzed short counts, must arrive with every LF as CR LF.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "platform/textstream.h"

namespace {

using namespace kawase;
using fuzz::Block;

// Reads the fuzz input's leading parameter bytes; zeros once it runs out.
struct Params {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  unsigned byte() { return pos < size ? data[pos++] : 0u; }
  unsigned word() {
    unsigned lo = byte();
    return lo | byte() << 8;
  }
};

// A transport over given bytes (or into a string) that moves at most the
// next of its chunk sizes per call, and fails once `failAt` bytes are read.
struct Transport {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  long failAt = -1;
  std::vector<long> chunks;
  size_t nextChunk = 0;
  std::string written;

  long chunk() {
    long c = chunks[nextChunk];
    nextChunk = (nextChunk + 1) % chunks.size();
    return c;
  }
};

long transportRead(void* h, unsigned char* buf, long n) {
  auto* t = static_cast<Transport*>(h);
  FUZZ_CHECK(n > 0);
  if (t->failAt >= 0 && static_cast<long>(t->pos) >= t->failAt) return -1;
  long take = static_cast<long>(t->size - t->pos);
  if (take > n) take = n;
  long c = t->chunk();
  if (take > c) take = c;
  if (t->failAt >= 0 && static_cast<long>(t->pos) + take > t->failAt)
    take = t->failAt - static_cast<long>(t->pos);
  if (take > 0) std::memcpy(buf, t->data + t->pos, static_cast<size_t>(take));
  t->pos += static_cast<size_t>(take);
  return take;
}

long transportWrite(void* h, const unsigned char* buf, long n) {
  auto* t = static_cast<Transport*>(h);
  FUZZ_CHECK(n > 0);
  long c = t->chunk();
  long take = n < c ? n : c;
  t->written.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(take));
  return take;
}

int transportClose(void*) {
  return 0;
}

const StreamOps transportOps = {transportRead, transportWrite, transportClose};

// What the reader must deliver from data[0, size) when reads fail from
// byte failAt on (-1: never): the bytes before the failure, cut at the
// first Ctrl-Z and without CRs in text mode. *error tells whether the
// failure is ever met: not when the data ends first, or a Ctrl-Z does.
std::string modelRead(const uint8_t* data, size_t size, bool text, long failAt, bool* error) {
  size_t end = size;
  *error = false;
  if (failAt >= 0 && static_cast<size_t>(failAt) <= size) {
    end = static_cast<size_t>(failAt);
    *error = true;
  }
  std::string out;
  for (size_t i = 0; i < end; i++) {
    if (text && data[i] == 0x1A) {
      *error = false;
      break;
    }
    if (text && data[i] == '\r') continue;
    out += static_cast<char>(data[i]);
  }
  return out;
}

// One line read of limit bytes at model position *at.
void checkGets(Stream* s, int limit, const std::string& want, size_t* at) {
  Block buf(limit > 0 ? static_cast<size_t>(limit) : 0);
  char* got = streamGets(buf.bytes, limit, s);
  if (limit < 1 || (limit > 1 && *at == want.size())) {
    FUZZ_CHECK(got == nullptr);
    return;
  }
  FUZZ_CHECK(got == buf.bytes);
  size_t n = static_cast<size_t>(limit - 1);
  if (n > want.size() - *at) n = want.size() - *at;
  size_t lf = want.find('\n', *at);
  if (lf != std::string::npos && lf - *at + 1 < n) n = lf - *at + 1;
  FUZZ_CHECK(std::memcmp(got, want.data() + *at, n) == 0 && got[n] == '\0');
  *at += n;
}

// One block read of n bytes at model position *at.
void checkRead(Stream* s, long n, const std::string& want, size_t* at) {
  Block buf(n > 0 ? static_cast<size_t>(n) : 0);
  long got = streamRead(buf.bytes, n, s);
  size_t expect = n > 0 ? static_cast<size_t>(n) : 0;
  if (expect > want.size() - *at) expect = want.size() - *at;
  FUZZ_CHECK(got >= 0 && static_cast<size_t>(got) == expect);
  FUZZ_CHECK(std::memcmp(buf.bytes, want.data() + *at, expect) == 0);
  *at += expect;
}

void checkReader(Params& p, bool text, bool fails, const std::vector<long>& chunks,
                 const uint8_t* data, size_t size) {
  Transport t;
  t.data = data;
  t.size = size;
  t.chunks = chunks;
  unsigned failWord = p.word();
  if (fails) t.failAt = static_cast<long>(failWord % (size + 1));
  unsigned ops = p.byte() % 16;
  bool error = false;
  const std::string want = modelRead(data, size, text, t.failAt, &error);

  Stream* s = streamOpenOps(&transportOps, &t, text ? "r" : "rb", 1);
  FUZZ_CHECK(s != nullptr);
  size_t at = 0;
  for (unsigned i = 0; i < ops; i++) {
    unsigned kind = p.byte() % 4;
    unsigned arg = p.word();
    switch (kind) {
      case 0:
        checkGets(s, static_cast<int>(arg % 300), want, &at);
        break;
      case 1:
        checkGets(s, static_cast<int>(arg), want, &at);
        break;
      case 2:
        checkRead(s, static_cast<long>(arg % 300), want, &at);
        break;
      default:
        // A whole buffer or more: read straight into the caller's memory.
        checkRead(s, 64 * 1024 + static_cast<long>(arg % 64), want, &at);
        break;
    }
  }
  // The rest, line by line, then nothing more.
  while (at < want.size()) checkGets(s, 4096, want, &at);
  checkGets(s, 4096, want, &at);
  checkRead(s, 100, want, &at);
  FUZZ_CHECK(streamError(s) == (error ? 1 : 0));
  FUZZ_CHECK(streamEof(s) == (error ? 0 : 1));
  FUZZ_CHECK(streamClose(s) == 0);
}

void checkWriter(Params& p, bool text, bool buffered, unsigned repeats,
                 const std::vector<long>& chunks, const uint8_t* data, size_t size) {
  Transport t;
  // Short writes, but not so short that a run takes thousands of calls.
  for (long c : chunks) t.chunks.push_back(c < 4096 ? 256 * c : c);
  std::string once;
  for (size_t i = 0; i < size; i++) {
    if (text && data[i] == '\n') once += '\r';
    once += static_cast<char>(data[i]);
  }
  std::string all, want;
  for (unsigned r = 0; r < repeats; r++) {
    all.append(reinterpret_cast<const char*>(data), size);
    want += once;
  }
  // The pieces cross the repeats; at most a few thousand of them.
  size_t piece = p.word() % 512 + 1;
  if (piece < all.size() / 2000) piece = all.size() / 2000;

  Stream* s = streamOpenOps(&transportOps, &t, text ? "w" : "wb", buffered ? 1 : 0);
  FUZZ_CHECK(s != nullptr);
  for (size_t at = 0; at < all.size(); at += piece) {
    long n = static_cast<long>(all.size() - at < piece ? all.size() - at : piece);
    FUZZ_CHECK(streamWrite(all.data() + at, n, s) == n);
  }
  FUZZ_CHECK(streamClose(s) == 0);
  FUZZ_CHECK(t.written == want);
}

}  // namespace

// Input: a flag byte (bit 0 binary mode, bit 1 a read failure, bit 2 the
// writer too, bits 3 and 4 both set the writer's data repeated past 64 KiB,
// bit 5 an unbuffered writer), chunk sizes, then the parameters of the
// reader (failure offset, reads) and of the writer (piece size); the rest
// is the data.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Params p{data, size};
  unsigned flags = p.byte();
  bool text = (flags & 1) == 0;
  std::vector<long> chunks(p.byte() % 8 + 1);
  for (long& c : chunks) {
    unsigned b = p.byte();
    c = b == 0xFF ? 1L << 20 : static_cast<long>(b) + 1;
  }
  // The reader's and the writer's parameters take a fixed share of the
  // input, so a change in one of them does not shift the data.
  const size_t kParamBytes = 3 + 3 * 15 + 2;
  size_t skip = size - p.pos < kParamBytes ? size - p.pos : kParamBytes;
  Params reader{data + p.pos, skip};
  const uint8_t* body = data + p.pos + skip;
  size_t bodySize = size - p.pos - skip;

  checkReader(reader, text, (flags & 2) != 0, chunks, body, bodySize);
  if ((flags & 4) != 0) {
    // Enough repeats to fill the 64 KiB buffer once and go on.
    unsigned repeats =
        (flags & 0x18) == 0x18 && bodySize > 0 ? static_cast<unsigned>(70000 / bodySize + 1) : 1;
    if (repeats > 2000) repeats = 2000;
    checkWriter(reader, text, (flags & 0x20) == 0, repeats, chunks, body, bodySize);
  }
  return 0;
}
