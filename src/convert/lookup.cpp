// Binary searches over the mapping tables. Both are the same search with the
// key and result fields swapped; the probe order is part of the contract
// (for 0x5C it must land on the U+00A5 record, never on U+005C).
#include "convert/tables.h"

namespace kawase {

namespace {

template <int32_t MappingRecord::*Key, int32_t MappingRecord::*Value>
int binarySearch(const MappingRecord* table, int count, int32_t x) {
  int lo = 0;
  int hi = count - 1;
  int mid = (lo + hi) / 2;
  while (hi >= lo) {
    int32_t key = table[mid].*Key;
    if (key < x) {
      lo = mid + 1;
    } else if (key > x) {
      hi = mid - 1;
    } else {
      return table[mid].*Value;
    }
    mid = (lo + hi) / 2;
    if (mid < lo) mid = lo;
  }
  return -1;
}

}  // namespace

int searchUnicodeTbl(int32_t codePoint) {
  return binarySearch<&MappingRecord::unicode, &MappingRecord::sjis>(unicodeTbl, unicodeTblCount,
                                                                     codePoint);
}

int searchUnicodeTbl2(int32_t key) {
  return binarySearch<&MappingRecord::sjis, &MappingRecord::unicode>(unicodeTbl2, unicodeTbl2Count,
                                                                     key);
}

}  // namespace kawase
