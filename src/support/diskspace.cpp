// Disk space and the checked close. A close that succeeds on a volume with
// no room left is still a failure: the last block may not have reached the
// disk, and the user must hear of it.
#include "support/diskspace.h"

#include <cstdint>
#include <cstring>

#include "platform/textstream.h"
#include "platform/volume.h"
#include "support/messages.h"

namespace kawase {

double FreeDiskSpace = 0;

void rootPath(const char* name, char root[4]) {
  std::memset(root, 0, 4);
  for (int i = 0; i < 3 && name[i] != '\0'; i++) root[i] = name[i];
  if (root[1] == ':') {
    root[2] = '\\';
  } else {
    root[0] = '\\';
    root[1] = '\0';
  }
  root[3] = '\0';
}

int getClusterSize(const char* name) {
  char root[4];
  rootPath(name, root);
  uint32_t sectors = 0, bytes = 0, free_clusters = 0, total = 0;
  if (volumeOps()->diskFreeSpace(root, name, &sectors, &bytes, &free_clusters, &total) != 1)
    return 0;
  uint64_t size = static_cast<uint64_t>(bytes) * sectors;
  return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
}

int getFreeSpace(const char* name) {
  char root[4];
  rootPath(name, root);
  const VolumeOps* ops = volumeOps();
  uint64_t avail = 0;
  int ext = ops->freeBytesAvailable(root, name, &avail);
  if (ext == 1) {
    FreeDiskSpace =
        static_cast<double>(avail >> 32) * 4294967296.0 + static_cast<double>(avail & 0xFFFFFFFFu);
  } else if (ext == 0) {
    FreeDiskSpace = -1.0;
  } else {
    uint32_t sectors = 0, bytes = 0, free_clusters = 0, total = 0;
    if (ops->diskFreeSpace(root, name, &sectors, &bytes, &free_clusters, &total) == 1) {
      FreeDiskSpace = static_cast<double>(free_clusters) * sectors * bytes;
    } else {
      FreeDiskSpace = -1.0;
    }
  }
  if (FreeDiskSpace > 2147483647.0) return 2147483647;
  return static_cast<int>(FreeDiskSpace);
}

int Fclose(Stream* fp, const char* name) {
  // A full volume is the only failure a successful close can hide. A pipe
  // or a device has no volume (its file system reports no free space at
  // all), so there a successful close is the whole answer. The open stream
  // says which it is: by its name, NUL or CON looks like a plain file.
  bool onVolume = streamOnVolume(fp) != 0;
  int closed = streamClose(fp);
  if (closed != 0) return closed;
  if (!onVolume || getFreeSpace(name) > 0) return 0;
  if (name[0] != '\0' && name[1] == ':') {
    errmsg("%c drive: no free disk space\n", static_cast<unsigned char>(name[0]));
  } else {
    errmsg("no free disk space\n");
  }
  return -1;
}

int isDir(const char* name) {
  uint32_t attrs = volumeOps()->fileAttributes(name);
  return attrs != kInvalidAttributes && (attrs & kAttributeDirectory) != 0 ? 1 : 0;
}

}  // namespace kawase
