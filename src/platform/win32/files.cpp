// File-name questions on Windows: existence by attributes, identity by the
// volume serial number and the file index.
#include "platform/files.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

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

bool sameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool isConsole(HANDLE h) {
  DWORD mode;
  return GetConsoleMode(h, &mode) != 0;
}

}  // namespace

int pathExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int sameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!fileIdentity(a, &ia) || !fileIdentity(b, &ib)) return 0;
  return sameIdentity(ia, ib) ? 1 : 0;
}

// A console has no file index: the consoles are all the one screen.
int sameOpenFile(int a, int b) {
  auto ha = reinterpret_cast<HANDLE>(_get_osfhandle(a));
  auto hb = reinterpret_cast<HANDLE>(_get_osfhandle(b));
  if (ha == INVALID_HANDLE_VALUE || hb == INVALID_HANDLE_VALUE) return 0;
  if (ha == hb) return 1;
  if (isConsole(ha) && isConsole(hb)) return 1;
  BY_HANDLE_FILE_INFORMATION ia, ib;
  if (!GetFileInformationByHandle(ha, &ia) || !GetFileInformationByHandle(hb, &ib)) return 0;
  // What shows no index at all (a pipe may) cannot be told apart.
  if (ia.nFileIndexHigh == 0 && ia.nFileIndexLow == 0) return 0;
  return sameIdentity(ia, ib) ? 1 : 0;
}

// Asked of the handle itself: the attributes of a device name such as NUL
// or CON look like those of a plain file.
int isDiskFile(int fd) {
  auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_DISK ? 1 : 0;
}

int seekToOffsetOf(int fd, int from) {
  __int64 at = _lseeki64(from, 0, SEEK_CUR);
  return at >= 0 && _lseeki64(fd, at, SEEK_SET) == at ? 0 : -1;
}

}  // namespace kawase
