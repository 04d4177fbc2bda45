#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

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

int isDiskFile(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int seekToOffsetOf(int fd, int from) {
  off_t at = lseek(from, 0, SEEK_CUR);
  return at >= 0 && lseek(fd, at, SEEK_SET) == at ? 0 : -1;
}

}  // namespace kawase
