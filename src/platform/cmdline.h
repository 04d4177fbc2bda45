// Splitting a command line into arguments.
//
// Windows hands a program its command line as one string; the program
// splits it itself, so that the rules are the same whatever C runtime it is
// linked with:
//   - spaces and tabs separate arguments;
//   - a double-quoted section may hold spaces and tabs; its quotes are
//     removed and it joins the text around it (a pair of quotes alone is an
//     empty argument; a quote left open runs to the end of the line);
//   - backslash + double quote is a literal double quote; every other
//     backslash is literal;
//   - a lead byte of a double-byte character keeps the byte after it, so a
//     trail byte that looks like a backslash, a quote or a blank is never
//     taken for one;
//   - "*" and "?" are ordinary characters: nothing is expanded.
#pragma once

#include <cstddef>

namespace kawase {

// Whether a byte begins a double-byte character (nonzero) of the code page
// the command line is written in.
typedef int (*LeadByteTest)(unsigned char byte);

// The number of arguments in `line`.
int countArgs(const char* line, LeadByteTest isLead);

// Bytes of argument text that splitArgs needs for `line`: never more than
// strlen(line) + 1, because each argument's text is no longer than the
// bytes it came from and its NUL takes the place of the blank or the line
// end after it.
size_t argsTextSize(const char* line);

// Splits `line`. The arguments' text, each NUL-terminated, goes to `text`,
// which holds `textSize` bytes; a pointer to each goes to argv[0] on, and
// argv[argc] is set to null when there is room for it (`argvSize` slots).
// Returns argc, the number of arguments in the line, even when argvSize was
// too small to store them all (only the first argvSize pointers are
// written); returns -1, writing nothing, when textSize < argsTextSize(line).
int splitArgs(const char* line, LeadByteTest isLead, char* text, size_t textSize, char** argv,
              int argvSize);

// The program's own arguments, split by the rules above where the system
// does not do it. On Windows they come from the process's command line and
// the lead-byte test of the system code page, in a block that lives until
// the process ends; elsewhere *argc and *argv are left as the system gave
// them. Returns 0, or -1 (leaving both unchanged) when memory ran out.
int platformArgs(int* argc, char*** argv);

}  // namespace kawase
