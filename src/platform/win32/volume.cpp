// Volume queries on Windows, through the system's own calls.
#include "platform/volume.h"

#include <windows.h>

namespace kawase {

namespace {

int winDiskFreeSpace(const char* root, const char*, uint32_t* sectorsPerCluster,
                     uint32_t* bytesPerSector, uint32_t* freeClusters, uint32_t* totalClusters) {
  DWORD sectors = 0, bytes = 0, freeCount = 0, total = 0;
  if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &freeCount, &total)) return 0;
  *sectorsPerCluster = sectors;
  *bytesPerSector = bytes;
  *freeClusters = freeCount;
  *totalClusters = total;
  return 1;
}

typedef BOOL(WINAPI* DiskFreeSpaceExFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// Early Windows 95 has no GetDiskFreeSpaceExA, so it is looked up at run
// time, and the module is released again before returning.
int winDiskFreeSpaceEx(const char* root, const char*, uint64_t* freeBytesAvailable) {
  HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
  if (kernel == nullptr) return -1;
  FARPROC proc = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  int result = -1;
  if (proc != nullptr) {
    // Through void (*)() so that the compiler accepts the change of type.
    DiskFreeSpaceExFn query =
        reinterpret_cast<DiskFreeSpaceExFn>(reinterpret_cast<void (*)()>(proc));
    ULARGE_INTEGER available, total, totalFree;
    if (query(root, &available, &total, &totalFree)) {
      *freeBytesAvailable = available.QuadPart;
      result = 1;
    } else {
      result = 0;
    }
  }
  FreeLibrary(kernel);
  return result;
}

uint32_t winFileAttributes(const char* name) {
  return GetFileAttributesA(name);
}

}  // namespace

const VolumeOps systemVolumeOps = {winDiskFreeSpace, winDiskFreeSpaceEx, winFileAttributes};

}  // namespace kawase
