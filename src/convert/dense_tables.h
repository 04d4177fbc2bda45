// Dense forms of the two code mapping tables, through which both converter
// sets look characters up: the full converters and the fast road.
//
// The generator writes them beside the sorted arrays, from the same records,
// into mapping_tables_dense.cpp. They answer exactly what the two binary
// searches answer, in one or two indexed loads instead of up to 14 probes;
// the searches remain the tables' interface and the tests' oracle.
#pragma once

#include <cstdint>

namespace kawase {

// Code points below this are indexed (planes 0 to 2: every mapped code
// point lies there); blocks of 1 << kDenseBlockBits code points.
constexpr uint32_t kDenseCodePointEnd = 0x30000;
constexpr int kDenseBlockBits = 6;

extern const uint16_t denseSjisIndex[kDenseCodePointEnd >> kDenseBlockBits];
extern const uint16_t denseSjisBlocks[][1 << kDenseBlockBits];

// The code of a character of two or three bytes of UTF-8 in one load:
// searchUnicodeTbl(codePoint) for the code points below U+10000 with its
// bytes as they are written (first byte lowest, a single-byte code alone in
// the low byte), 0xFFFF for none and for the controls below U+0020, which
// have none in such a longer form. The AVX-512 road looks up many
// characters a step and puts their bytes straight into its output slots.
extern const uint16_t denseSjisBmpBytes[0x10000];

// The UTF-8 bytes of searchUnicodeTbl2(key), packed from the low byte up
// (byte i is bits 8i to 8i+7), 0 for none: denseUtf8Single[key] for a
// single-byte key, else denseUtf8Rows[denseUtf8Row[lead]][trail]. No key
// maps to U+0000 but the single byte 0x00, which the converters never look
// up.
extern const uint32_t denseUtf8Single[256];
extern const uint8_t denseUtf8Row[256];
extern const uint32_t denseUtf8Rows[][256];

// searchUnicodeTbl(codePoint) & 0xFFFF: the Shift_JIS code, 0xFFFF for none.
inline uint32_t denseSjisOf(uint32_t codePoint) {
  if (codePoint >= kDenseCodePointEnd) return 0xFFFF;
  uint32_t block = denseSjisIndex[codePoint >> kDenseBlockBits];
  return denseSjisBlocks[block][codePoint & ((1u << kDenseBlockBits) - 1)];
}

// How many bytes a packed UTF-8 value holds, by its first byte.
inline int packedUtf8Length(uint32_t packed) {
  uint32_t b0 = packed & 0xFF;
  return 1 + (b0 >= 0xC0) + (b0 >= 0xE0) + (b0 >= 0xF0);
}

}  // namespace kawase
