// The two line converters, each in two sets.
//
// The full converters (unitosj, sjtouni and their per-character calls) take
// one NUL-terminated line a character at a time through the binary searches
// of tables.h. They define the output: every byte written and every report.
// The fast road (unitosjFast, sjtouniFast) is there for speed only: it takes
// whole spans of lines as they lie in the input through the dense tables,
// and it must make the same bytes arrive sooner, nothing else. For every
// line it finishes it writes exactly what the full converter writes (but
// each LF as the CR LF that the text stream would make of it), and
// only lines the full converter would report nothing for; every other line
// it leaves to the full converter. The engine (engine.h) runs with or
// without it, and the tests and the convert fuzz target compare the two.
#pragma once

#include <cstdint>

namespace kawase {

// Bytes of the character last handled: input bytes consumed by
// unicode2sjis, output bytes produced by sjis2unicode.
extern int32_t unicode_len;

// UTF-8 to Shift_JIS. `dst` must hold 2 * strlen(src) + 1 bytes.
int unitosj(const char* src, char* dst);
int unicode2sjis(const char* p);
int unicodeKanji(const char* p);

// Shift_JIS to UTF-8. `dst` must hold 3 * strlen(src) + 1 bytes.
int sjtouni(const char* src, char* dst);
char* sjis2unicode(const char* p);

// The fast road: converts the characters from src towards end through the
// dense tables, writing exactly the bytes that unitosj or sjtouni would
// write for them as a text stream writes them, each LF as CR LF, and stops at end or at the first
// character it leaves to the full converter: one that it would report, a NUL, or a rare form this
// road does not take. Returns where it stopped and advances *dst past its
// output (not NUL-terminated). Any span of whole lines, LF included, may be
// passed; a line holding the stop must go through the full converter. *dst
// must have room for 2 (unitosjFast) or 3 (sjtouniFast) times end - src
// bytes, plus one.
const char* unitosjFast(const char* src, const char* end, char** dst);
const char* sjtouniFast(const char* src, const char* end, char** dst);

}  // namespace kawase
