// Questions about file names that the driver asks before it opens
// anything for writing.
#pragma once

namespace kawase {

// 1 when a file system entry of that name exists (whether or not it can be
// read), else 0.
int pathExists(const char* name);

// 1 when both names exist and are the same file (also through links), else 0.
int sameFile(const char* a, const char* b);

// 1 when the two open descriptors write to the same file (a terminal, a
// pipe, a device or a file on disk), else 0. On Windows two consoles count as
// one: the user sees a single screen.
int sameOpenFile(int a, int b);

// 1 when the open descriptor is a regular file on a volume, the only kind
// of output that a full disk can cut short; 0 for a pipe, a terminal, a
// socket or another device (NUL and CON on Windows among them).
int isDiskFile(int fd);

// Moves the reading position of `fd` to where `from` stands: 0, or -1 when
// either cannot seek.
int seekToOffsetOf(int fd, int from);

}  // namespace kawase
