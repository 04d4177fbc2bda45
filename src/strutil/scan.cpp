// Character scanning and byte moves.
#include "strutil/strutil.h"

namespace kawase {

namespace {

// Range rule: a lead byte followed by anything but the NUL is two bytes.
inline const char* stepRange(const char* p) {
  return isLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? p + 2 : p + 1;
}

}  // namespace

char* Strchr(const char* s, int c) {
  const char want = static_cast<char>(c);
  for (const char* p = s; *p != '\0'; p = stepRange(p))
    if (*p == want) return const_cast<char*>(p);
  return nullptr;
}

int bcopy(char* dst, const char* src, int n) {
  for (; n > 0; n--) *dst++ = *src++;
  return 0;
}

}  // namespace kawase
