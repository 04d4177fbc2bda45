// The two line converters, each in two sets.
//
// The full converters (unitosj, sjtouni and their per-character calls) take
// one NUL-terminated line a character at a time. They look characters up in
// the dense tables (dense_tables.h), which the generator writes from the
// same records as the sorted tables of tables.h and which answer exactly
// what the binary searches there answer; the searches remain the tables'
// interface and the tests' oracle. The full converters define the output:
// every byte written and every report.
//
// The fast road is there for speed only: it takes whole spans of lines as
// they lie in the input and must make the same bytes arrive sooner, nothing
// else. For every line it finishes it writes exactly what the full
// converter writes (but each LF as the CR LF that the text stream would
// make of it), and only lines the full converter would report nothing for;
// every other line it leaves to the full converter. It comes in one form
// for each instruction set, held in the kernel table (platform/kernels.h);
// the engine (engine.h) runs with or without it, and the tests and the
// convert fuzz target compare every form with the full converters and with
// the portable form.
#pragma once

#include <cstdint>

#include "platform/kernels.h"

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

// The fast road: converts the characters from src towards end, writing
// exactly the bytes that unitosj or sjtouni would write for them as a text
// stream writes them, each LF as CR LF, and stops at end or at the first
// character it leaves to the full converter: one that it would report, a
// NUL, or a rare form this road does not take. Returns where it stopped and
// advances *dst past its output (not NUL-terminated). Any span of whole
// lines, LF included, may be passed; a line holding the stop must go
// through the full converter. *dst must have room for 2 (UTF-8 to
// Shift_JIS) or 3 (Shift_JIS to UTF-8) times end - src bytes, plus one.
// The output of the lines before the stop is the same whatever follows
// them, and an LF is written only for an LF.
const char* unitosjSpanPortable(const char* src, const char* end, char** dst);
const char* sjtouniSpanPortable(const char* src, const char* end, char** dst);
const char* unitosjSpanSsse3(const char* src, const char* end, char** dst);
const char* sjtouniSpanSsse3(const char* src, const char* end, char** dst);
#if defined(KAWASE_X86_64)
// 32 input bytes a step (span_avx512.cpp); x86-64 only, as their 64-bit
// masks are.
const char* unitosjSpanAvx512(const char* src, const char* end, char** dst);
const char* sjtouniSpanAvx512(const char* src, const char* end, char** dst);
#endif

}  // namespace kawase
