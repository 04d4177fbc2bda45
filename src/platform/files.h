// Questions about file names that the driver asks before it opens
// anything for writing.
#pragma once

namespace kawase {

// 1 when a file system entry of that name exists (whether or not it can be
// read), else 0.
int pathExists(const char* name);

// 1 when both names exist and are the same file (also through links), else 0.
int sameFile(const char* a, const char* b);

}  // namespace kawase
