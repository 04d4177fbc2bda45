// The Shift_JIS-aware string and path library.
//
// Small functions over NUL-terminated byte strings in code page 932. A
// two-byte character's second byte may have the value of an ASCII
// character ("\", "[", "]", "_", the letters), so every function that looks
// for one of those steps over two-byte characters as a whole. Character
// arguments (int c) use only their low 8 bits. Searches return a pointer
// into the caller's string, or null; nothing here allocates.
//
// Some names are those of C library functions (index, rindex, bcopy,
// strcasecmp); these are different functions with their own argument order
// and live only in this namespace.
#pragma once

namespace kawase {

// Byte classes of code page 932; fixed, independent of the locale.
inline bool isLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
inline bool isTrailByte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
inline bool isKanaByte(unsigned char b) {
  return b >= 0xA1 && b <= 0xDF;
}

// ---- Character scanning and byte moves (scan.cpp) ----

// First / last character start whose byte is c; null if none (c = 0 too).
char* Strchr(const char* s, int c);
char* Strrchr(const char* s, int c);

// Start of the last character that begins before `end` (steps back one
// character); null when `end` is not after `s` or `s` is empty.
char* get_prech(const char* s, const char* end);

// Overwrites every character start whose byte is `from` with `to`; returns s.
char* ChgChr(char* s, int from, int to);

// First one-byte character whose byte occurs in `set`; null if none.
char* index2(const char* s, const char* set);

// First character start at which `pat` occurs, stepping a lead byte and a
// following trail byte as one character; null if none or `pat` is empty.
char* serstr(const char* s, const char* pat);

// Plain byte searches, blind to two-byte characters.
char* index(const char* s, int c);
char* rindex(const char* s, int c);
char* index1(const char* s, const char* t);
char* srch_wild(const char* s);  // first "*" or "?"

// Byte moves; counts of 0 or less move nothing. Neither copy adds a NUL.
int bcopy(char* dst, const char* src, int n);   // first byte first
int bakmov(const char* src, char* dst, int n);  // last byte first
void clear(char* p, int c, int n);              // fills n bytes with c
int insChar(char* s, int c);                    // puts c in front of s; s needs strlen + 2 bytes

// ---- String comparison and case folding (compare.cpp) ----

// Path-name order: end of string < "\" < other ASCII (letters without case)
// < single-byte katakana < two-byte characters. Over at most n bytes
// (n < 0: no limit), never splitting a two-byte character. -1, 0 or 1.
int StrnCmp(const char* a, const char* b, int n);
int StrCmp(const char* a, const char* b);

// 0 when a and b name the same directory (ASCII case and one trailing "\"
// ignored), otherwise nonzero.
int DirCmp(const char* a, const char* b);

// Comparator for qsort over an array of pointers to records whose first
// member is the path (char*): fewer backslashes first, then StrCmp order.
int comp_file(const void* pa, const void* pb);

// ASCII letters changed in place; two-byte characters left alone. Return 0.
int to_upper(char* s);
int to_lower(char* s);

// strcmp of the lower-cased first 1,023 bytes of each: the difference of the
// first differing bytes (unsigned), or 0.
int strcasecmp(const char* a, const char* b);

// ---- Tokens, parameters and path names (tokens.cpp) ----

char* sp_skip(const char* s);         // past spaces and tabs
char* chr_skip(const char* s);        // to the first space, tab or NUL
char* words_skip(const char* s);      // to the first of 0-9 A-Z a-z - _ . or NUL
char* optionStr_skip(const char* s);  // past one quoted or bare option string

// 1 if every byte before the first space, tab, LF or NUL is a digit, else 0.
int isnum(const char* s);

// Copies one parameter ("quoted", [bracketed] or bare up to "=" or a blank)
// from `src` into `dst`, at most n - 1 characters; returns where copying
// stopped in `src`. `dst` needs 2 * n bytes.
char* SetParam(const char* src, char* dst, int n);

// Removes a leading double quote and then a trailing one, in place. Returns 0.
int cutQuoteChar(char* s);

// The "." that begins the extension of the last path component; null if none.
char* findExt(const char* path);

// Splits `path` after the first component holding "*" or "?": `head` gets
// the path up to it, `rest` what follows its backslash; `path` is cut there.
// Returns 0.
int sepname(char* path, char* head, char* rest);

// ---- Tab expansion and trailing blanks (tabs.cpp) ----

// Bytes the tab-expanded line needs, NUL included, or -1 if it would reach
// 4,096 columns.
int chk_exptab(int tabw, const char* s);

// The tab-expanded line in a static buffer overwritten by every call. A line
// that would reach 4,096 columns is reported and ends the process.
char* exp_tab(int tabw, const char* s);

// Overwrites trailing spaces and tabs with NUL. Returns 0.
int cutBackSpace(char* s);

}  // namespace kawase
