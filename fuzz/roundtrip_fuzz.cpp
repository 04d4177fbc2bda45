// Round trips through both converters of text made only of mapped
// characters, built by picking records of the mapping tables with the fuzz
// bytes (two bytes a record).
//
// Shift_JIS -> UTF-8 -> Shift_JIS gives every code back except the eleven
// codes whose code point belongs to another code, and 0x81B0, whose code
// point is U+007E: that comes out as the ASCII byte "~" and so stays 0x7E.
// UTF-8 -> Shift_JIS -> UTF-8 gives every code point back except the seven
// that share a code with the code page 932 form (list D), and U+00A5 and
// U+203E, whose codes are the ASCII bytes 0x5C and 0x7E, which pass
// through. ASCII passes through both ways. The lists are written out here
// rather than read from the tables, so a table that changes under them is
// caught.
//
// No character on the way may be reported, the fast road must take every
// line to its end, and it must write what the full converters write.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "convert/convert.h"
#include "convert/tables.h"
#include "fuzz_util.h"

namespace {

using namespace kawase;
using fuzz::Block;
using fuzz::CString;

struct Change {
  int32_t from;
  int32_t to;
};

constexpr Change kSjisChanges[] = {
    {0x81AF, 0x817C}, {0x81D2, 0x8161}, {0x81E0, 0x8790}, {0x81DF, 0x8791},
    {0x81E7, 0x8792}, {0x81E3, 0x8795}, {0x81DB, 0x8796}, {0x81DA, 0x8797},
    {0x81E6, 0x879A}, {0x81BF, 0x879B}, {0x81BE, 0x879C}, {0x81B0, 0x7E},
};

constexpr Change kUnicodeChanges[] = {
    {0xA2, 0xFFE0},   {0xA3, 0xFFE1},   {0xAC, 0xFFE2}, {0x2014, 0x2015}, {0x2016, 0x2225},
    {0x2212, 0xFF0D}, {0x301C, 0xFF5E}, {0xA5, 0x5C},   {0x203E, 0x7E},
};

template <size_t N>
int32_t changed(const Change (&changes)[N], int32_t v) {
  for (const Change& c : changes)
    if (c.from == v) return c.to;
  return v;
}

void appendSjis(std::string* s, int32_t code) {
  if (code >= 0x100) *s += static_cast<char>(code >> 8);
  *s += static_cast<char>(code & 0xFF);
}

// Standard UTF-8, written here so the check does not lean on the encoder
// under test.
void appendUtf8(std::string* s, int32_t cp) {
  auto add = [s](int32_t b) { *s += static_cast<char>(static_cast<unsigned char>(b)); };
  if (cp < 0x80) {
    add(cp);
  } else if (cp < 0x800) {
    add(0xC0 | cp >> 6);
    add(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    add(0xE0 | cp >> 12);
    add(0x80 | (cp >> 6 & 0x3F));
    add(0x80 | (cp & 0x3F));
  } else {
    add(0xF0 | cp >> 18);
    add(0x80 | (cp >> 12 & 0x3F));
    add(0x80 | (cp >> 6 & 0x3F));
    add(0x80 | (cp & 0x3F));
  }
}

// One full conversion, exact buffers, nothing reported.
std::string convert(int (*full)(const char*, char*), size_t growth, const std::string& text) {
  fuzz::Sink* reports = fuzz::silenceStderr();
  long before = reports->bytes;
  CString in(text.data(), text.size());
  Block out(growth * text.size() + 1);
  FUZZ_CHECK(full(in.bytes, out.bytes) == 0);
  FUZZ_CHECK(reports->bytes == before);
  size_t n = std::strlen(out.bytes);
  FUZZ_CHECK(n <= growth * text.size());
  return std::string(out.bytes, n);
}

// The fast road over the whole text: to its end, with the same output.
void checkFast(const char* (*fast)(const char*, const char*, char**), size_t growth,
               const std::string& text, const std::string& want) {
  Block in(text.size());
  if (!text.empty()) std::memcpy(in.bytes, text.data(), text.size());
  Block out(growth * text.size() + 1);
  char* o = out.bytes;
  FUZZ_CHECK(fast(in.bytes, in.bytes + text.size(), &o) == in.bytes + text.size());
  FUZZ_CHECK(std::string(out.bytes, o) == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string sjis, sjisBack, utf8, utf8Back;
  for (size_t i = 0; i + 1 < size; i += 2) {
    unsigned pick = fuzz::le16(data + i);
    // The NUL ends a line: leave its records out.
    const MappingRecord& r2 = unicodeTbl2[pick % static_cast<unsigned>(unicodeTbl2Count)];
    if (r2.sjis != 0) {
      appendSjis(&sjis, r2.sjis);
      appendSjis(&sjisBack, r2.sjis < 0x80 ? r2.sjis : changed(kSjisChanges, r2.sjis));
    }
    const MappingRecord& r = unicodeTbl[pick % static_cast<unsigned>(unicodeTblCount)];
    if (r.unicode != 0) {
      appendUtf8(&utf8, r.unicode);
      appendUtf8(&utf8Back, r.unicode < 0x80 ? r.unicode : changed(kUnicodeChanges, r.unicode));
    }
  }

  std::string fromSjis = convert(sjtouni, 3, sjis);
  checkFast(sjtouniFast, 3, sjis, fromSjis);
  std::string sjisAgain = convert(unitosj, 2, fromSjis);
  checkFast(unitosjFast, 2, fromSjis, sjisAgain);
  FUZZ_CHECK(sjisAgain == sjisBack);

  std::string fromUtf8 = convert(unitosj, 2, utf8);
  checkFast(unitosjFast, 2, utf8, fromUtf8);
  std::string utf8Again = convert(sjtouni, 3, fromUtf8);
  checkFast(sjtouniFast, 3, fromUtf8, utf8Again);
  FUZZ_CHECK(utf8Again == utf8Back);
  return 0;
}
