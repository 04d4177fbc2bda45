// Placeholder entry point; the conversion driver replaces it.
#include <cstdio>

#include "convert/tables.h"

int main() {
  std::printf("tables: %d and %d records\n", kawase::unicodeTblCount, kawase::unicodeTbl2Count);
  return 0;
}
