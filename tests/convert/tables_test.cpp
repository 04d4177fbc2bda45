// The mapping tables: shape, content rules, check values and the lookups.
#include "convert/tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace kawase {
namespace {

// CRC-32 (ISO-HDLC) of the records written as little-endian 32-bit pairs.
uint32_t tableCrc(const MappingRecord* table, int count) {
  uint32_t crc = 0xFFFFFFFFu;
  auto feed = [&crc](int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; i++) {
      crc ^= (v >> (8 * i)) & 0xFFu;
      for (int bit = 0; bit < 8; bit++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  };
  for (int i = 0; i < count; i++) {
    feed(table[i].sjis);
    feed(table[i].unicode);
  }
  return ~crc;
}

struct Category {
  int single_ascii = 0, single_kana = 0, lead_81_9f = 0, lead_e0_ef = 0, lead_f0_fc = 0;
  int astral = 0;
};

Category categorize(const MappingRecord* table, int count) {
  Category c;
  for (int i = 0; i < count; i++) {
    int code = table[i].sjis;
    if (code < 0x80) {
      c.single_ascii++;
    } else if (code < 0x100) {
      c.single_kana++;
    } else if ((code >> 8) <= 0x9F) {
      c.lead_81_9f++;
    } else if ((code >> 8) <= 0xEF) {
      c.lead_e0_ef++;
    } else {
      c.lead_f0_fc++;
    }
    if (table[i].unicode > 0xFFFF) c.astral++;
  }
  return c;
}

std::map<int, int> countByLead(const MappingRecord* table, int count) {
  std::map<int, int> counts;
  for (int i = 0; i < count; i++)
    if (table[i].sjis >= 0x100) counts[table[i].sjis >> 8]++;
  return counts;
}

bool isValidCode(int code) {
  if (code < 0x80) return code >= 0;
  if (code < 0x100) return code >= 0xA1 && code <= 0xDF;
  int lead = code >> 8, trail = code & 0xFF;
  bool lead_ok = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
  bool trail_ok = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
  return lead_ok && trail_ok;
}

TEST(MappingTables, CountsAndCheckValues) {
  ASSERT_EQ(unicodeTblCount, 11406);
  ASSERT_EQ(unicodeTbl2Count, 11410);
  EXPECT_EQ(tableCrc(unicodeTbl, unicodeTblCount), 0x84A5D7C6u);
  EXPECT_EQ(tableCrc(unicodeTbl2, unicodeTbl2Count), 0x2FD34F50u);
}

TEST(MappingTables, CountsByCategory) {
  Category u = categorize(unicodeTbl, unicodeTblCount);
  EXPECT_EQ(u.single_ascii, 129);
  EXPECT_EQ(u.single_kana, 63);
  EXPECT_EQ(u.lead_81_9f, 5770);
  EXPECT_EQ(u.lead_e0_ef, 3008);
  EXPECT_EQ(u.lead_f0_fc, 2436);
  EXPECT_EQ(u.astral, 303);

  Category s = categorize(unicodeTbl2, unicodeTbl2Count);
  EXPECT_EQ(s.single_ascii, 129);
  EXPECT_EQ(s.single_kana, 63);
  EXPECT_EQ(s.lead_81_9f, 5774);
  EXPECT_EQ(s.lead_e0_ef, 3008);
  EXPECT_EQ(s.lead_f0_fc, 2436);
  EXPECT_EQ(s.astral, 303);
}

TEST(MappingTables, CountsByLeadByte) {
  const std::map<int, int> partial_u = {{0x81, 184}, {0x82, 180}, {0x83, 179}, {0x84, 178},
                                        {0x86, 168}, {0x87, 181}, {0xFC, 180}};
  std::map<int, int> by_lead_u = countByLead(unicodeTbl, unicodeTblCount);
  std::map<int, int> by_lead_s = countByLead(unicodeTbl2, unicodeTbl2Count);
  EXPECT_EQ(by_lead_u.size(), 60u);
  EXPECT_EQ(by_lead_s.size(), 60u);
  for (auto [lead, n] : by_lead_u) {
    auto it = partial_u.find(lead);
    EXPECT_EQ(n, it == partial_u.end() ? 188 : it->second) << std::hex << lead;
    int expected_s = lead == 0x81 ? 188 : (it == partial_u.end() ? 188 : it->second);
    EXPECT_EQ(by_lead_s[lead], expected_s) << std::hex << lead;
  }
}

TEST(MappingTables, OrderAndValueRanges) {
  for (int i = 1; i < unicodeTblCount; i++)
    ASSERT_LT(unicodeTbl[i - 1].unicode, unicodeTbl[i].unicode) << "record " << i;
  for (int i = 1; i < unicodeTbl2Count; i++)
    ASSERT_LE(unicodeTbl2[i - 1].sjis, unicodeTbl2[i].sjis) << "record " << i;

  // Only 0x5C repeats, as records 92 (U+005C) and 93 (U+00A5).
  for (int i = 1; i < unicodeTbl2Count; i++)
    if (unicodeTbl2[i - 1].sjis == unicodeTbl2[i].sjis) {
      EXPECT_EQ(i, 93);
    }
  EXPECT_EQ(unicodeTbl2[92].sjis, 0x5C);
  EXPECT_EQ(unicodeTbl2[92].unicode, 0x5C);
  EXPECT_EQ(unicodeTbl2[93].sjis, 0x5C);
  EXPECT_EQ(unicodeTbl2[93].unicode, 0xA5);

  for (const MappingRecord* t : {unicodeTbl, unicodeTbl2}) {
    int n = t == unicodeTbl ? unicodeTblCount : unicodeTbl2Count;
    for (int i = 0; i < n; i++) {
      EXPECT_TRUE(isValidCode(t[i].sjis)) << std::hex << t[i].sjis;
      EXPECT_GE(t[i].unicode, 0);
      EXPECT_LE(t[i].unicode, 0x2A6B2);
    }
    EXPECT_EQ(t[n - 1].sjis, 0xFCF4);
    EXPECT_EQ(t[n - 1].unicode, 0x2A6B2);
  }
}

TEST(MappingTables, UnassignedTwoBytePositions) {
  std::set<int> with_record;
  for (int i = 0; i < unicodeTbl2Count; i++) with_record.insert(unicodeTbl2[i].sjis);
  int empty = 0;
  for (int lead = 0x81; lead <= 0xFC; lead++) {
    if (lead > 0x9F && lead < 0xE0) continue;
    for (int trail = 0x40; trail <= 0xFC; trail++)
      if (trail != 0x7F && !with_record.count(lead << 8 | trail)) empty++;
  }
  EXPECT_EQ(empty, 62);
  for (int code : {0x82F5, 0x8686, 0x82FA, 0x84DD, 0x86F2, 0x8777, 0x877D, 0xFCF5, 0xFCFC})
    EXPECT_FALSE(with_record.count(code)) << std::hex << code;
}

TEST(SearchUnicodeTbl2, EdgeCases) {
  const std::vector<std::pair<int, int>> cases = {
      {0x5C, 0xA5},      {0x7E, 0x203E},   {0x41, 0x41},     {0xA1, 0xFF61},    {0xB1, 0xFF71},
      {0xDF, 0xFF9F},    {0x80, -1},       {0xA0, -1},       {0xFD, -1},        {0x815C, 0x2015},
      {0x815F, 0xFF3C},  {0x8160, 0xFF5E}, {0x8161, 0x2225}, {0x817C, 0xFF0D},  {0x8191, 0xFFE0},
      {0x81B0, 0x7E},    {0x81AF, 0xFF0D}, {0x81BE, 0x222A}, {0x879C, 0x222A},  {0x8794, 0x2211},
      {0x8793, 0x222E},  {0x81D4, 0xFF5F}, {0x81D5, 0xFF60}, {0x82F5, -1},      {0x82FA, -1},
      {0x8777, -1},      {0xFCF5, -1},     {0xFCFC, -1},     {0x87A0, 0x2000B}, {0x9873, 0x20B9F},
      {0xFCF4, 0x2A6B2}, {0xFC5A, 0x9B1C}, {0x0, 0x0},       {-1, -1},          {0xFFFF, -1},
      {0x10000, -1},
  };
  for (auto [key, value] : cases) EXPECT_EQ(searchUnicodeTbl2(key), value) << std::hex << key;
}

TEST(SearchUnicodeTbl, EdgeCases) {
  const std::vector<std::pair<int, int>> cases = {
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
  for (auto [cp, code] : cases) EXPECT_EQ(searchUnicodeTbl(cp), code) << std::hex << cp;
}

// Every code comes back as itself except the eleven codes whose code point
// belongs to a code page 932 code in the other table.
TEST(MappingTables, RoundTripFromShiftJis) {
  const std::map<int, int> moved = {{0x81AF, 0x817C}, {0x81D2, 0x8161}, {0x81E0, 0x8790},
                                    {0x81DF, 0x8791}, {0x81E7, 0x8792}, {0x81E3, 0x8795},
                                    {0x81DB, 0x8796}, {0x81DA, 0x8797}, {0x81E6, 0x879A},
                                    {0x81BF, 0x879B}, {0x81BE, 0x879C}};
  for (int i = 0; i < unicodeTbl2Count; i++) {
    int code = unicodeTbl2[i].sjis;
    int back = searchUnicodeTbl(unicodeTbl2[i].unicode);
    auto it = moved.find(code);
    EXPECT_EQ(back, it == moved.end() ? code : it->second) << std::hex << code;
  }
}

// Every code point comes back as itself except U+005C and list D.
TEST(MappingTables, RoundTripFromUnicode) {
  const std::map<int, int> moved = {{0x5C, 0xA5},     {0xA2, 0xFFE0},   {0xA3, 0xFFE1},
                                    {0xAC, 0xFFE2},   {0x2014, 0x2015}, {0x2016, 0x2225},
                                    {0x2212, 0xFF0D}, {0x301C, 0xFF5E}};
  for (int i = 0; i < unicodeTblCount; i++) {
    int cp = unicodeTbl[i].unicode;
    int back = searchUnicodeTbl2(unicodeTbl[i].sjis);
    auto it = moved.find(cp);
    EXPECT_EQ(back, it == moved.end() ? cp : it->second) << std::hex << cp;
  }
}

}  // namespace
}  // namespace kawase
