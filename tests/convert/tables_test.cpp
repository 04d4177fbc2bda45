// The mapping tables: their check values, the lookups' edge cases, and the
// fast road's dense tables, which answer what the searches answer for every
// value a converter can look up.
#include "convert/tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "convert/dense_tables.h"
#include "testutil/codes.h"

namespace kawase {
namespace {

// CRC-32 (ISO-HDLC) of the records written as little-endian 32-bit pairs.
uint32_t tableCrc(const MappingRecord* table, int count) {
  uint32_t crc = 0xFFFFFFFFu;
  for (int i = 0; i < 2 * count; i++) {
    auto v = static_cast<uint32_t>(i % 2 == 0 ? table[i / 2].sjis : table[i / 2].unicode);
    for (int bit = 0; bit < 32; bit++) {
      crc ^= v >> bit & 1u;
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

TEST(MappingTables, CountsAndCheckValues) {
  ASSERT_EQ(unicodeTblCount, 11406);
  ASSERT_EQ(unicodeTbl2Count, 11410);
  EXPECT_EQ(tableCrc(unicodeTbl, unicodeTblCount), 0x84A5D7C6u);
  EXPECT_EQ(tableCrc(unicodeTbl2, unicodeTbl2Count), 0x2FD34F50u);
}

TEST(MappingTables, LookupEdgeCases) {
  const std::pair<int, int> toUnicode[] = {
      {0x5C, 0xA5},      {0x7E, 0x203E},   {0x41, 0x41},     {0xA1, 0xFF61},    {0xB1, 0xFF71},
      {0xDF, 0xFF9F},    {0x80, -1},       {0xA0, -1},       {0xFD, -1},        {0x815C, 0x2015},
      {0x815F, 0xFF3C},  {0x8160, 0xFF5E}, {0x8161, 0x2225}, {0x817C, 0xFF0D},  {0x8191, 0xFFE0},
      {0x81B0, 0x7E},    {0x81AF, 0xFF0D}, {0x81BE, 0x222A}, {0x879C, 0x222A},  {0x8794, 0x2211},
      {0x8793, 0x222E},  {0x81D4, 0xFF5F}, {0x81D5, 0xFF60}, {0x82F5, -1},      {0x82FA, -1},
      {0x8777, -1},      {0xFCF5, -1},     {0xFCFC, -1},     {0x87A0, 0x2000B}, {0x9873, 0x20B9F},
      {0xFCF4, 0x2A6B2}, {0xFC5A, 0x9B1C}, {0x0, 0x0},       {-1, -1},          {0xFFFF, -1},
      {0x10000, -1},
  };
  for (auto [key, cp] : toUnicode) EXPECT_EQ(searchUnicodeTbl2(key), cp) << std::hex << key;
  const std::pair<int, int> toSjis[] = {
      {0x5C, 0x5C},      {0xA5, 0x5C},      {0x203E, 0x7E},   {0x7E, 0x81B0},   {0x2014, 0x815C},
      {0x2015, 0x815C},  {0x301C, 0x8160},  {0xFF5E, 0x8160}, {0x2016, 0x8161}, {0x2225, 0x8161},
      {0x2212, 0x817C},  {0xFF0D, 0x817C},  {0xA2, 0x8191},   {0xFFE0, 0x8191}, {0xA3, 0x8192},
      {0xFFE1, 0x8192},  {0xAC, 0x81CA},    {0xFFE2, 0x81CA}, {0xFF3C, 0x815F}, {0x222A, 0x879C},
      {0x2252, 0x8790},  {0x2235, 0x879A},  {0x2211, 0x8794}, {0xFF5F, 0x81D4}, {0xFF60, 0x81D5},
      {0x2985, -1},      {0x2986, -1},      {0x304B, 0x82A9}, {0x300, 0x867B},  {0x309A, -1},
      {0x2000B, 0x87A0}, {0x2A6B2, 0xFCF4}, {0x1F600, -1},    {0xFFFD, -1},     {0x80, -1},
      {0x9F, -1},        {0xB5, -1},        {0xA7, 0x8198},   {0x0, 0x0},       {-1, -1},
      {0x110000, -1},
  };
  for (auto [cp, code] : toSjis) EXPECT_EQ(searchUnicodeTbl(cp), code) << std::hex << cp;
}

// Up to U+1FFFFF, the most four bytes carry, and every key. No key maps to
// U+0000 but 0x00, which the converters never look up.
TEST(MappingTables, DenseTablesAnswerAsTheSearches) {
  for (int32_t cp = 0; cp <= 0x200000; cp++) {
    int code = searchUnicodeTbl(cp) & 0xFFFF;
    ASSERT_EQ(denseSjisOf(static_cast<uint32_t>(cp)), static_cast<uint32_t>(code)) << cp;
  }
  for (uint32_t key = 0; key <= 0xFFFF; key++) {
    int cp = searchUnicodeTbl2(static_cast<int32_t>(key));
    std::string bytes;
    uint32_t got =
        key < 0x100 ? denseUtf8Single[key] : denseUtf8Rows[denseUtf8Row[key >> 8]][key & 0xFF];
    for (uint32_t v = got; v != 0; v >>= 8) bytes += static_cast<char>(v & 0xFF);
    ASSERT_EQ(bytes, cp > 0 ? test::utf8(cp) : "") << key;
  }
}

}  // namespace
}  // namespace kawase
