// The system's files on Windows: names asked by attributes and identity
// (the volume serial number and the file index); handles of the Windows API
// read and written with ReadFile and WriteFile, where a pipe whose writer
// has gone reads as its end.
#include "platform/files.h"

#include <windows.h>

#include "platform/textstream.h"

namespace kawase {

namespace {

HANDLE handleOf(void* file) {
  return static_cast<HANDLE>(file);
}

long winRead(void* file, unsigned char* buf, long n) {
  DWORD got = 0;
  if (ReadFile(handleOf(file), buf, static_cast<DWORD>(n), &got, nullptr))
    return static_cast<long>(got);
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

long winWrite(void* file, const unsigned char* buf, long n) {
  DWORD put = 0;
  if (!WriteFile(handleOf(file), buf, static_cast<DWORD>(n), &put, nullptr)) return -1;
  return static_cast<long>(put);
}

int winClose(void* file) {
  return CloseHandle(handleOf(file)) ? 0 : -1;
}

int winKeep(void*) {
  return 0;
}

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

bool isConsole(HANDLE h) {
  DWORD mode;
  return GetConsoleMode(h, &mode) != 0;
}

bool sameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
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

const StreamOps systemFileOps = {winRead, winWrite, winClose, isDiskFile};
const StreamOps standardFileOps = {winRead, winWrite, winKeep, isDiskFile};

bool openSystemFile(const char* name, bool writing, void** file) {
  HANDLE h =
      CreateFileA(name, writing ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *file = h;
  return true;
}

void* standardFile(int which) {
  static const DWORD ids[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  return GetStdHandle(ids[which]);
}

int isTerminal(void* file) {
  return isConsole(handleOf(file)) ? 1 : 0;
}

// A console has no file index: the consoles are all the one screen.
int sameOpenFile(void* a, void* b) {
  HANDLE ha = handleOf(a), hb = handleOf(b);
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
int isDiskFile(void* file) {
  return GetFileType(handleOf(file)) == FILE_TYPE_DISK ? 1 : 0;
}

int seekToOffsetOf(void* file, void* from) {
  LARGE_INTEGER zero{}, at{};
  if (!SetFilePointerEx(handleOf(from), zero, &at, FILE_CURRENT)) return -1;
  return SetFilePointerEx(handleOf(file), at, nullptr, FILE_BEGIN) ? 0 : -1;
}

}  // namespace kawase
