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

// A message made in place, in its written form (each line end CR LF), by
// callers that make many of one kind without the formatter: the converters'
// reports. errmsgRoom gives room for up to n bytes (n at most 1024), and
// errmsgMade takes the message's end. It goes out as errmsg's would: at
// once, or with what is held while a hold lasts.
char* errmsgRoom(long n);
void errmsgMade(const char* end);

// As errmsg, but also to the stream held in errfp; leaves errmsg_output_flg.
void errmsg1(const char* fmt, ...);

// Appends the message and a newline to "message.log"; "end" closes the log.
int errmsgf(const char* fmt, ...);

// Holding messages back, so that they leave in order with other output and
// many go out in one write. From errmsgHold to errmsgRelease, the text of
// every message bound for standard error gathers in a buffer and goes out to
// `to` (standard error, or the output itself when both are one file, whose
// buffer then keeps the order) when the buffer is full, at errmsgSend and at
// the release.
void errmsgHold(Stream* to);
void errmsgSend();
void errmsgRelease();

// Formats into the static 1280-byte buffer and returns it.
char* err_edit(const char* fmt, va_list args);

}  // namespace kawase
