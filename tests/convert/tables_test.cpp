// The mapping tables: their check values, and the fast road's dense tables
// (data of their own), which answer what the searches answer for every
// value a converter can look up.
#include "convert/tables.h"

#include <gtest/gtest.h>

#include <cstdint>

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
