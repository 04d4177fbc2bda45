// The program's arguments on Windows, split from the process's command line
// with the system code page's lead-byte test.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/cmdline.h"

// The MinGW C runtime would otherwise expand "*" and "?" in the arguments
// it builds for main(). Ours are split again below, but the runtime's pass
// must not touch the file system or change what a test sees in argv.
extern "C" {
int _dowildcard = 0;
}

namespace kawase {

namespace {

int systemLeadByte(unsigned char byte) {
  return IsDBCSLeadByte(byte) ? 1 : 0;
}

}  // namespace

int platformArgs(int* argc, char*** argv) {
  const char* line = GetCommandLineA();
  if (line == nullptr) line = "";
  int count = countArgs(line, systemLeadByte);
  size_t textSize = argsTextSize(line);
  size_t slots = static_cast<size_t>(count) + 1;
  // One block: the pointers, then the text. It is never freed: the
  // arguments are used until the process ends.
  char** block = static_cast<char**>(std::malloc(slots * sizeof(char*) + textSize));
  if (block == nullptr) return -1;
  char* text = reinterpret_cast<char*>(block + slots);
  *argc = splitArgs(line, systemLeadByte, text, textSize, block, static_cast<int>(slots));
  *argv = block;
  return 0;
}

}  // namespace kawase
