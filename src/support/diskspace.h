// Disk space of a file's volume, and the checked close of an output file.
#pragma once

namespace kawase {

struct Stream;

// Free bytes found by the last getFreeSpace call, or -1.0 when it failed.
extern double FreeDiskSpace;

// The root directory of the volume of `name`: "X:\" when the name begins
// with a drive letter and a colon, otherwise "\" (the current drive).
void rootPath(const char* name, char root[4]);

// Allocation-unit size in bytes, or 0 when the volume cannot be queried.
int getClusterSize(const char* name);

// Free bytes available to the user, at most 2147483647; -1 on failure.
int getFreeSpace(const char* name);

// Closes an output stream and checks that its volume still has room: 0 on
// success, -1 when the close failed or the volume is full or unknown.
int Fclose(Stream* fp, const char* name);

// 1 if `name` exists and is a directory, else 0.
int isDir(const char* name);

}  // namespace kawase
