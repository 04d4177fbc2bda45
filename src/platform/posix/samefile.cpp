// Same-file test on POSIX systems: the device and inode numbers.
#include "platform/samefile.h"

#include <sys/stat.h>

namespace kawase {

int sameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

}  // namespace kawase
