// Volume and file-attribute queries of the platform.
//
// The disk-space checks need three things of the system: the allocation
// geometry of a volume, the free bytes on it that the calling user may
// use, and the attribute bits of a name. The calls go through a table of
// function pointers so that tests can put in their own: a full volume, one
// with more than 2^31 free bytes, a failing query, a system without the
// extended query.
//
// A root path names a volume as "C:\" (drive C) or "\" (the current drive).
// On POSIX systems "\" means the volume of the current directory, a root
// path with a drive letter names no volume (the query fails), and any other
// path is queried as it is.
#pragma once

#include <cstdint>

namespace kawase {

// Attribute bit of a directory, and the value that means "no such name".
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kNoFileAttributes = 0xFFFFFFFFu;

// Results of VolumeOps::diskFreeSpaceEx.
constexpr int kQueryDone = 1;
constexpr int kQueryFailed = 0;
constexpr int kQueryAbsent = -1;

struct VolumeOps {
  // The volume's geometry: 1 with the four counts stored, or 0 on failure.
  int (*diskFreeSpace)(const char* root, uint32_t* sectorsPerCluster, uint32_t* bytesPerSector,
                       uint32_t* freeClusters, uint32_t* totalClusters);
  // The free bytes available to the caller, through the extended query that
  // the system may or may not have (on Windows it is looked up afresh on
  // every call): kQueryDone with the count stored, kQueryFailed, or
  // kQueryAbsent when the system has no such query.
  int (*diskFreeSpaceEx)(const char* root, uint64_t* freeBytesAvailable);
  // The attribute bits of `name`, or kNoFileAttributes when it does not
  // exist or cannot be queried.
  uint32_t (*fileAttributes)(const char* name);
};

// The operations of the system the program runs on.
const VolumeOps* systemVolumeOps();

// The operations in use; the system's until a test replaces them.
const VolumeOps* volumeOps();

// Puts `ops` in use (null puts the system's back) and returns the ones it
// replaces.
const VolumeOps* setVolumeOps(const VolumeOps* ops);

}  // namespace kawase
