#include "platform/files.h"

#include <sys/stat.h>

namespace kawase {

int pathExists(const char* name) {
  struct stat st;
  // lstat: a dangling link is an entry too, and opening it would create
  // whatever it points to.
  return lstat(name, &st) == 0 ? 1 : 0;
}

int sameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

int sameOpenFile(int a, int b) {
  struct stat sa, sb;
  if (fstat(a, &sa) != 0 || fstat(b, &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino ? 1 : 0;
}

}  // namespace kawase
