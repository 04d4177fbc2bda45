// The system's files: questions about names that the driver asks before it
// opens anything for writing, and the files beneath the text streams
// (textstream.h), descriptors on POSIX and handles of the Windows API on
// Windows, each held as a void*. Everything is binary here: the streams do
// the text translation themselves, the same on every platform.
#pragma once

namespace kawase {

// 1 when a file system entry of that name exists (whether or not it can be
// read), else 0.
int pathExists(const char* name);

// 1 when both names exist and are the same file (also through links), else 0.
int sameFile(const char* a, const char* b);

struct StreamOps;

// Reading, writing and closing a system file, and whether it is a file on a
// volume. The standard files' operations never close them: they belong to
// the process.
extern const StreamOps systemFileOps;
extern const StreamOps standardFileOps;

// Opens `name` for reading, or for writing (created or truncated), sharing
// reading and writing with others. False on failure, and for a directory,
// which is no readable file.
bool openSystemFile(const char* name, bool writing, void** file);

// The process's standard input, output or error (0, 1, 2).
void* standardFile(int which);

// 1 when the file is a terminal (a console on Windows), else 0.
int isTerminal(void* file);

// 1 when the two open files write to the same file (a terminal, a pipe, a
// device or a file on disk), else 0. On Windows two consoles count as one:
// the user sees a single screen.
int sameOpenFile(void* a, void* b);

// 1 when the open file is a regular file on a volume, the only kind of
// output that a full disk can cut short; 0 for a pipe, a terminal, a socket
// or another device (NUL and CON on Windows among them, whose names'
// attributes look like a plain file's).
int isDiskFile(void* file);

// Moves the reading position of `file` to where `from` stands: 0, or -1
// when either cannot seek.
int seekToOffsetOf(void* file, void* from);

}  // namespace kawase
