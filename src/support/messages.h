// Message output and its small formatter.
#pragma once

#include <cstdarg>

namespace kawase {

struct Stream;

// Where messages go: null means standard error, kErrfpStdout means
// standard output, any other value is an open stream (errmsg1 only).
extern Stream* errfp;
extern Stream* const kErrfpStdout;

// Nonzero enables the message log of errmsgf.
extern int errmsgWrite_flg;

// Set to 1 by every errmsg call after its text is written.
extern int errmsg_output_flg;

// Formats and writes one message to standard error (standard output when
// errfp is kErrfpStdout); never to a stream held in errfp.
void errmsg(const char* fmt, ...);

// As errmsg, but also to the stream held in errfp; leaves errmsg_output_flg.
void errmsg1(const char* fmt, ...);

// Appends the message and a newline to "message.log"; "end" closes the log.
int errmsgf(const char* fmt, ...);

// Formats into the static 1280-byte buffer and returns it.
char* err_edit(const char* fmt, va_list args);

}  // namespace kawase
