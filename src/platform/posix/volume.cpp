// Volume queries on POSIX. There are no drive roots: the file system that
// can be full is the one holding the file, so the name itself is asked
// about (or its directory, when the file does not exist yet).
#include "platform/volume.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <string>

namespace kawase {

namespace {

bool statvfsOfFile(const char* name, struct statvfs* st) {
  if (statvfs(name, st) == 0) return true;
  std::string dir = name;
  size_t slash = dir.rfind('/');
  dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : dir.substr(0, slash));
  return statvfs(dir.c_str(), st) == 0;
}

uint32_t clamp32(unsigned long long v) {
  return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
}

int posixDiskFreeSpace(const char*, const char* name, uint32_t* sectorsPerCluster,
                       uint32_t* bytesPerSector, uint32_t* freeClusters, uint32_t* totalClusters) {
  struct statvfs st;
  if (!statvfsOfFile(name, &st)) return 0;
  *sectorsPerCluster = 1;
  *bytesPerSector = clamp32(st.f_frsize);
  *freeClusters = clamp32(usableFreeBlocks(st.f_bfree, st.f_bavail, geteuid() == 0));
  *totalClusters = clamp32(st.f_blocks);
  return 1;
}

int posixFreeBytesAvailable(const char*, const char* name, uint64_t* freeBytes) {
  struct statvfs st;
  if (!statvfsOfFile(name, &st)) return 0;
  *freeBytes = usableFreeBlocks(st.f_bfree, st.f_bavail, geteuid() == 0) * st.f_frsize;
  return 1;
}

uint32_t posixFileAttributes(const char* name) {
  struct stat st;
  if (stat(name, &st) != 0) return kInvalidAttributes;
  if (S_ISDIR(st.st_mode)) return kAttributeDirectory;
  return S_ISREG(st.st_mode) ? 0x80u : kAttributeDevice;  // 0x80: a normal file
}

}  // namespace

// Root may write into the blocks a file system keeps back from other users,
// so for root those count as free: a root-owned write that used them is
// complete, and the volume is full only when they are gone too.
uint64_t usableFreeBlocks(uint64_t freeBlocks, uint64_t availableBlocks, bool privileged) {
  return privileged ? freeBlocks : availableBlocks;
}

const VolumeOps systemVolumeOps = {posixDiskFreeSpace, posixFreeBytesAvailable,
                                   posixFileAttributes};

}  // namespace kawase
