// Tokens, parameters and path names.
//
// The blanks, quotes, "=", ";", "<", ">", "*", "?", "." and digits looked
// for here are all below 0x40 and cannot be the second byte of a two-byte
// character, so most of these scans go byte by byte. "[", "]", "\" can:
// SetParam copies whole characters, and the backslash searches step over
// two-byte characters.
#include "strutil/step.h"
#include "strutil/strutil.h"

namespace kawase {

namespace {

inline bool isBlank(char b) {
  return b == ' ' || b == '\t';
}

inline bool isDigit(char b) {
  return b >= '0' && b <= '9';
}

inline bool isWordByte(char b) {
  return isDigit(b) || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '-' || b == '_' ||
         b == '.';
}

// Takes one character from the budget: false, and nothing taken, once the
// budget would drop to 0 or below. Never decrements past the limit, so a
// huge negative budget is as safe as 0.
inline bool takeBudget(int& n) {
  if (n <= 1) return false;
  n--;
  return true;
}

// Copies the character at *src (both bytes of a lead byte that the NUL does
// not follow) to *dst and moves both on.
inline void copyChar(const char*& src, char*& dst) {
  const int len = rangeCharLen(src);
  for (int i = 0; i < len; i++) *dst++ = *src++;
}

}  // namespace

char* sp_skip(const char* s) {
  while (isBlank(*s)) s++;
  return const_cast<char*>(s);
}

char* chr_skip(const char* s) {
  while (*s != '\0' && !isBlank(*s)) s++;
  return const_cast<char*>(s);
}

// Byte by byte: a second byte in the letter range counts as a word byte.
char* words_skip(const char* s) {
  while (*s != '\0' && !isWordByte(*s)) s++;
  return const_cast<char*>(s);
}

// A quoted string ends only at its own kind of quote, and a redirection
// sign ends it unpassed; a bare word also ends at a quote or ";".
char* optionStr_skip(const char* s) {
  const char* p = sp_skip(s);
  if (*p == '"' || *p == '\'') {
    const char quote = *p++;
    while (*p != '\0' && *p != quote && *p != '<' && *p != '>') p++;
    if (*p == quote) p++;
    return const_cast<char*>(p);
  }
  while (*p != '\0' && !isBlank(*p) && *p != '"' && *p != '\'' && *p != '<' && *p != '>' &&
         *p != ';')
    p++;
  return const_cast<char*>(p);
}

// A carriage return is not a terminator: "12\r" is not a number.
int isnum(const char* s) {
  for (; *s != '\0' && !isBlank(*s) && *s != '\n'; s++)
    if (!isDigit(*s)) return 0;
  return 1;
}

// The budget counts characters: before each copy it is decreased and the
// copying stops once it is used up. The returned position lets a caller
// continue parsing at the closing quote, the closing bracket, or the "=" or
// blank that ended a bare word.
char* SetParam(const char* src, char* dst, int n) {
  src = sp_skip(src);
  if (*src == '"') {
    src++;
    while (*src != '"' && *src != '\0' && takeBudget(n)) copyChar(src, dst);
  } else if (*src == '[') {
    n = n > 0 ? n - 1 : 0;  // keeps room for the closing bracket
    while (*src != ']' && *src != '\0' && takeBudget(n)) copyChar(src, dst);
    // The stop byte goes in alone, even the first byte of a character the
    // budget left out; the source position stays on it.
    *dst++ = *src;
  } else {
    while (*src != '=' && !isBlank(*src) && *src != '\0' && takeBudget(n)) copyChar(src, dst);
  }
  *dst = '\0';
  return const_cast<char*>(src);
}

int cutQuoteChar(char* s) {
  if (*s != '"') return 0;
  char* p = s;
  for (; p[1] != '\0'; p++) p[0] = p[1];
  *p = '\0';
  if (p > s && p[-1] == '"') p[-1] = '\0';
  return 0;
}

// Only the backslash separates components: "/" and ":" are ordinary bytes.
char* findExt(const char* path) {
  const char* sep = Strrchr(path, '\\');
  const char* name = sep != nullptr ? sep + 1 : path;
  return rindex(name, '.');
}

int sepname(char* path, char* head, char* rest) {
  rest[0] = '\0';
  // The backslash that ends the first component holding a wildcard; the
  // wildcard search is byte by byte, the backslash search steps over
  // two-byte characters.
  char* wild = srch_wild(path);
  char* sep = wild != nullptr ? Strchr(wild, '\\') : nullptr;
  const char* split = "";
  if (sep != nullptr) {
    *sep = '\0';
    split = sep + 1;
  }
  char* h = head;
  for (const char* p = path; *p != '\0'; p++) *h++ = *p;
  *h = '\0';
  char* r = rest;
  for (const char* p = split; *p != '\0'; p++) *r++ = *p;
  *r = '\0';
  return 0;
}

}  // namespace kawase
