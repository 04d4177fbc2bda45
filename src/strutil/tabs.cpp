// Tab expansion and trailing blanks.
//
// Columns are bytes: each byte of a two-byte character takes one column. A
// tab (0x09) is never part of a two-byte character, so these functions go
// byte by byte.
#include <cstdio>

#include "platform/textstream.h"
#include "strutil/strutil.h"

namespace kawase {

namespace {

// An expanded line holds at most 4,095 bytes and its NUL: a line is too
// long as soon as its column count reaches this limit.
constexpr int kExpandLimit = 0x1000;

// Shared by every exp_tab call; the result lives until the next call.
char expandBuffer[kExpandLimit];

// A width below 1 has no tab stops to advance to (and col % 0 is undefined),
// so it is taken as 1: each tab becomes one space, the smallest expansion any
// width gives, and chk_exptab and exp_tab still agree.
inline int tabWidth(int tabw) {
  return tabw < 1 ? 1 : tabw;
}

// Spaces a tab at column col stands for: 1 to width.
inline int tabAdvance(int width, int col) {
  return width - col % width;
}

// Would advancing from col reach the limit? Written as a subtraction so a
// huge tab width cannot overflow col.
inline bool reachesLimit(int col, int advance) {
  return advance >= kExpandLimit - col;
}

[[noreturn]] void reportTooLong(const char* line) {
  char message[300];  // "Error: " + 256 + " ... too long line\n" + NUL
  std::snprintf(message, sizeof message, "Error: %256.256s ... too long line\n", line);
  streamPuts(message, stdStream(kStdout));
  Exit(1);
}

}  // namespace

int chk_exptab(int tabw, const char* s) {
  const int width = tabWidth(tabw);
  int col = 0;
  for (; *s != '\0'; s++) {
    const int advance = *s == '\t' ? tabAdvance(width, col) : 1;
    if (reachesLimit(col, advance)) return -1;
    col += advance;
  }
  return col + 1;
}

// The limit is checked before each write, so the buffer is never overrun and
// a too-long line leaves before touching it.
char* exp_tab(int tabw, const char* s) {
  const int width = tabWidth(tabw);
  int col = 0;
  for (const char* p = s; *p != '\0'; p++) {
    if (*p == '\t') {
      const int advance = tabAdvance(width, col);
      if (reachesLimit(col, advance)) reportTooLong(s);
      for (int i = 0; i < advance; i++) expandBuffer[col++] = ' ';
    } else {
      if (reachesLimit(col, 1)) reportTooLong(s);
      expandBuffer[col++] = *p;
    }
  }
  expandBuffer[col] = '\0';
  return expandBuffer;
}

// A space or tab is never the second byte of a two-byte character, so the
// scan from the end needs no character stepping.
int cutBackSpace(char* s) {
  char* end = s;
  while (*end != '\0') end++;
  while (end > s && (end[-1] == ' ' || end[-1] == '\t')) *--end = '\0';
  return 0;
}

}  // namespace kawase
