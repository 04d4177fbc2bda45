// Volume queries on POSIX systems, through statvfs and stat.
#include "platform/volume.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstring>

namespace kawase {

namespace {

// The path to query for a root path, or null when it names a drive, which
// no POSIX system has.
const char* volumePath(const char* root) {
  if (root[0] != '\0' && root[1] == ':') return nullptr;
  if (std::strcmp(root, "\\") == 0) return ".";
  return root;
}

uint32_t clampCount(unsigned long long count) {
  return count > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(count);
}

unsigned long long blockSize(const struct statvfs& fs) {
  return fs.f_frsize != 0 ? fs.f_frsize : fs.f_bsize;
}

// One block of the file system is one cluster of one sector; the free count
// is what an unprivileged user may still use, as on Windows with quotas.
// Counts beyond 32 bits (a volume of more than 2^32 blocks) are clamped.
int posixDiskFreeSpace(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                       uint32_t* freeClusters, uint32_t* totalClusters) {
  const char* path = volumePath(root);
  struct statvfs fs;
  if (path == nullptr || statvfs(path, &fs) != 0) return 0;
  *sectorsPerCluster = 1;
  *bytesPerSector = clampCount(blockSize(fs));
  *freeClusters = clampCount(fs.f_bavail);
  *totalClusters = clampCount(fs.f_blocks);
  return 1;
}

int posixDiskFreeSpaceEx(const char* root, uint64_t* freeBytesAvailable) {
  const char* path = volumePath(root);
  struct statvfs fs;
  if (path == nullptr || statvfs(path, &fs) != 0) return kQueryFailed;
  *freeBytesAvailable = static_cast<uint64_t>(fs.f_bavail) * blockSize(fs);
  return kQueryDone;
}

// Only the directory bit means anything to the program; anything else that
// exists is reported as a plain file (FILE_ATTRIBUTE_NORMAL).
uint32_t posixFileAttributes(const char* name) {
  struct stat st;
  if (stat(name, &st) != 0) return kNoFileAttributes;
  return S_ISDIR(st.st_mode) ? kFileAttributeDirectory : 0x80u;
}

const VolumeOps posixOps = {posixDiskFreeSpace, posixDiskFreeSpaceEx, posixFileAttributes};

}  // namespace

const VolumeOps* systemVolumeOps() {
  return &posixOps;
}

}  // namespace kawase
