// The two code mapping tables and their lookups.
#pragma once

#include <cstdint>

namespace kawase {

// One (Shift_JIS code, Unicode code point) pair. A `sjis` value below 0x100
// is a single-byte code; any other is lead byte * 256 + trail byte.
struct MappingRecord {
  int32_t sjis;
  int32_t unicode;
};

// Ordered by `unicode`, strictly ascending: Unicode to Shift_JIS.
extern const MappingRecord unicodeTbl[];
extern const int unicodeTblCount;

// Ordered by `sjis`; 0x5C has two records, (0x5C, U+005C) first.
extern const MappingRecord unicodeTbl2[];
extern const int unicodeTbl2Count;

// The Shift_JIS code of a code point, or -1.
int searchUnicodeTbl(int32_t codePoint);

// The code point of a Shift_JIS key, or -1. For 0x5C it is U+00A5.
int searchUnicodeTbl2(int32_t key);

}  // namespace kawase
