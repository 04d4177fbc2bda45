// The two line converters on arbitrary bytes, in both directions.
//
// The full converters get NUL-terminated copies in blocks of exactly their
// length plus one, and write into blocks of exactly the promised worst case
// (2 * strlen + 1 for unitosj, 3 * strlen + 1 for sjtouni), so a byte read
// or written past either is caught by AddressSanitizer. A line that ends in
// an LF must still end in it once converted, and plain ASCII must come
// through unchanged. The fast road is driven as the driver drives it: over
// everything that is left, its output kept where it stopped, the line
// holding the stop converted in full, and on from the next line. What it
// wrote must be exactly what the full converter writes for the same lines,
// and those lines must hold nothing that the full converter reports.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "convert/convert.h"
#include "fuzz_util.h"

namespace {

using namespace kawase;
using fuzz::Block;
using fuzz::CString;

struct Direction {
  int (*full)(const char*, char*);
  const char* (*fast)(const char*, const char*, char**);
  size_t growth;  // output bytes per input byte, at worst
};

const Direction kToSjis = {unitosj, unitosjFast, 2};
const Direction kToUtf8 = {sjtouni, sjtouniFast, 3};

// What the driver writes for one line: the full converter's output up to
// its first NUL, the line itself cut at its first NUL.
std::string convertFully(const Direction& d, const uint8_t* line, size_t n) {
  const void* nul = n > 0 ? std::memchr(line, 0, n) : nullptr;
  size_t len = nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - line) : n;
  CString in(line, len);
  const size_t room = d.growth * len + 1;
  Block out(room);
  // No NUL before the call, so the last NUL after it ends the output, even
  // when a decoded U+0000 put another one before it.
  std::memset(out.bytes, 1, room);
  FUZZ_CHECK(d.full(in.bytes, out.bytes) == 0);
  size_t end = room;
  while (end > 0 && out.bytes[end - 1] != '\0') end--;
  FUZZ_CHECK(end > 0);
  const size_t written = end - 1;
  // A sequence cut short by the line's end never takes its LF with it.
  if (len > 0 && line[len - 1] == '\n') FUZZ_CHECK(written > 0 && out.bytes[written - 1] == '\n');
  // Bytes below 0x80 pass through unchanged in both directions.
  bool ascii = true;
  for (size_t i = 0; i < len; i++) ascii = ascii && line[i] < 0x80;
  if (ascii) FUZZ_CHECK(written == len && std::memcmp(out.bytes, line, len) == 0);
  return std::string(out.bytes);
}

// The end of the line that starts at `pos`: after its LF, or `size`.
size_t lineEnd(const uint8_t* data, size_t pos, size_t size) {
  const void* lf = std::memchr(data + pos, '\n', size - pos);
  return lf != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(lf) - data) + 1 : size;
}

// Full conversions of the lines in data[from, to), which the fast road
// took to their end. None may hold a character that the full converter
// reports: the fast road must leave those to it, or the report is lost.
std::string convertLinesQuietly(const Direction& d, const uint8_t* data, size_t from, size_t to) {
  const fuzz::Sink* reports = fuzz::silenceStderr();
  const long reported = reports->bytes;
  std::string out;
  for (size_t pos = from; pos < to;) {
    size_t end = lineEnd(data, pos, to);
    out += convertFully(d, data + pos, end - pos);
    pos = end;
  }
  FUZZ_CHECK(reports->bytes == reported);
  return out;
}

void checkFastRoad(const Direction& d, const uint8_t* data, size_t size) {
  // The input has no terminator: the fast road must stop at `end` by itself.
  Block in(size);
  if (size > 0) std::memcpy(in.bytes, data, size);
  Block out(d.growth * size + 1);
  size_t pos = 0;
  while (pos < size) {
    // The output room for data[pos, size) ends where the block ends.
    char* start = out.bytes + d.growth * pos;
    char* o = start;
    const char* stop = d.fast(in.bytes + pos, in.bytes + size, &o);
    FUZZ_CHECK(stop >= in.bytes + pos && stop <= in.bytes + size);
    size_t stopAt = static_cast<size_t>(stop - in.bytes);
    FUZZ_CHECK(o >= start && static_cast<size_t>(o - start) <= d.growth * (stopAt - pos));
    std::string fast(start, o);

    // The lines before the one holding the stop (all of them when it ran
    // to the end) came out exactly as the full converter writes them.
    size_t lineStart = pos;
    for (size_t i = stopAt; i > pos; i--) {
      if (data[i - 1] == '\n') {
        lineStart = i;
        break;
      }
    }
    if (stopAt == size) {
      FUZZ_CHECK(fast == convertLinesQuietly(d, data, pos, size));
      return;
    }
    std::string before = convertLinesQuietly(d, data, pos, lineStart);
    FUZZ_CHECK(fast.compare(0, before.size(), before) == 0);
    // What it wrote for the stopped line before the stop begins that
    // line's full conversion.
    size_t end = lineEnd(data, lineStart, size);
    std::string line = convertFully(d, data + lineStart, end - lineStart);
    std::string partial = fast.substr(before.size());
    FUZZ_CHECK(line.compare(0, partial.size(), partial) == 0);
    pos = end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::silenceStderr();
  for (const Direction* d : {&kToSjis, &kToUtf8}) {
    // The whole input as one string, LFs inside it and all.
    convertFully(*d, data, size);
    checkFastRoad(*d, data, size);
  }
  return 0;
}
