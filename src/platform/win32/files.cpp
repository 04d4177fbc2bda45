// File-name questions on Windows: existence by attributes, identity by the
// volume serial number and the file index.
#include "platform/files.h"

#include <windows.h>

namespace kawase {

namespace {

// Opens `name` for no access at all, only to read its identity, sharing
// everything so that a file open elsewhere (even for writing) is no
// obstacle; backup semantics lets a directory be opened too.
int fileIdentity(const char* name, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE h = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  BOOL ok = GetFileInformationByHandle(h, info);
  CloseHandle(h);
  return ok ? 1 : 0;
}

}  // namespace

int pathExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int sameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!fileIdentity(a, &ia) || !fileIdentity(b, &ib)) return 0;
  return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                 ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow
             ? 1
             : 0;
}

}  // namespace kawase
