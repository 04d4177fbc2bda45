// The system's files on POSIX: names asked with stat(2) and lstat(2);
// descriptors read and written with read(2) and write(2), a call
// interrupted by a signal made again.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/textstream.h"

namespace kawase {

namespace {

int fdOf(const void* file) {
  return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

void* fileOf(int fd) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd));
}

long fdRead(void* file, unsigned char* buf, long n) {
  for (;;) {
    ssize_t got = ::read(fdOf(file), buf, static_cast<size_t>(n));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

long fdWrite(void* file, const unsigned char* buf, long n) {
  for (;;) {
    ssize_t put = ::write(fdOf(file), buf, static_cast<size_t>(n));
    if (put >= 0) return static_cast<long>(put);
    if (errno != EINTR) return -1;
  }
}

int fdClose(void* file) {
  return ::close(fdOf(file)) == 0 ? 0 : -1;
}

int fdKeep(void*) {
  return 0;
}

bool sameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

int pathExists(const char* name) {
  struct stat st;
  // lstat: a dangling link is an entry too, and opening it would create
  // whatever it points to.
  return lstat(name, &st) == 0 ? 1 : 0;
}

int sameFile(const char* a, const char* b) {
  struct stat sa, sb;
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return 0;
  return sameIdentity(sa, sb) ? 1 : 0;
}

const StreamOps systemFileOps = {fdRead, fdWrite, fdClose, isDiskFile};
const StreamOps standardFileOps = {fdRead, fdWrite, fdKeep, isDiskFile};

bool openSystemFile(const char* name, bool writing, void** file) {
  int fd = ::open(name, writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY, 0666);
  if (fd < 0) return false;
  // A directory is not a readable file, whatever open() allowed.
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  *file = fileOf(fd);
  return true;
}

void* standardFile(int which) {
  return fileOf(which);
}

int isTerminal(void* file) {
  return isatty(fdOf(file)) ? 1 : 0;
}

int sameOpenFile(void* a, void* b) {
  struct stat sa, sb;
  if (fstat(fdOf(a), &sa) != 0 || fstat(fdOf(b), &sb) != 0) return 0;
  return sameIdentity(sa, sb) ? 1 : 0;
}

int isDiskFile(void* file) {
  struct stat st;
  return fstat(fdOf(file), &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int seekToOffsetOf(void* file, void* from) {
  off_t at = lseek(fdOf(from), 0, SEEK_CUR);
  return at >= 0 && lseek(fdOf(file), at, SEEK_SET) == at ? 0 : -1;
}

}  // namespace kawase
