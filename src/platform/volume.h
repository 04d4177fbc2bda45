// What the operating system tells about volumes and files: the layer under
// the disk-space checks. Tests replace it to play a full, huge or
// unreadable volume.
#pragma once

#include <cstdint>

namespace kawase {

struct VolumeOps {
  // Allocation geometry and free clusters of the volume: the volume of the
  // root path `root` ("C:\" or "\") on Windows, the file system holding
  // `name` (or its directory) on POSIX. 1 on success, 0 on failure.
  int (*diskFreeSpace)(const char* root, const char* name, uint32_t* sectorsPerCluster,
                       uint32_t* bytesPerSector, uint32_t* freeClusters, uint32_t* totalClusters);
  // Free bytes available to the calling user, through the extended query:
  // 1 on success, 0 when the query failed, -1 when the system lacks it.
  int (*freeBytesAvailable)(const char* root, const char* name, uint64_t* freeBytes);
  // The attribute bits of `name` (0x10: a directory, 0x40: a device), or
  // 0xFFFFFFFF when it does not exist or cannot be queried.
  uint32_t (*fileAttributes)(const char* name);
};

constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;
constexpr uint32_t kAttributeDirectory = 0x10u;
// Not a file on a volume: a pipe, a terminal, a socket or another device.
constexpr uint32_t kAttributeDevice = 0x40u;

// The operations in use (the system's own unless replaced).
const VolumeOps* volumeOps();

// Installs `ops` (null: the system's own) and returns the previous ones.
const VolumeOps* setVolumeOps(const VolumeOps* ops);

// The system's own operations.
extern const VolumeOps systemVolumeOps;

#ifndef _WIN32
// The free blocks of a file system this process may still fill: all of
// them for a privileged process, else those left to every user.
uint64_t usableFreeBlocks(uint64_t freeBlocks, uint64_t availableBlocks, bool privileged);
#endif

}  // namespace kawase
