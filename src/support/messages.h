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

// As errmsg for a text already made, n bytes long (one message or several
// whole ones): written as it is, with no formatting. The converters make
// their one-line reports themselves, as many as there are unmapped
// characters, and pass a line's on together.
void errmsgn(const char* text, long n);

// As errmsgn for a text whose line ends are CR LF already, as a text stream
// writes them: it goes out untranslated, which spares the streams a pass
// over a flood of reports.
void errmsgRaw(const char* text, long n);

// As errmsg, but also to the stream held in errfp; leaves errmsg_output_flg.
void errmsg1(const char* fmt, ...);

// Appends the message and a newline to "message.log"; "end" closes the log.
int errmsgf(const char* fmt, ...);

// Holding messages back, so that they leave in order with other output.
// From errmsgHold to errmsgRelease, the text of every message bound for
// standard error gathers in a buffer and goes out to `to` in one write when
// the buffer is full or at the release, not a write per message. `to` is
// standard error, or the output itself when both are one file (its buffer
// then keeps the order). Before held text leaves, `after` (unless null) is
// flushed, so that what was written to it before reaches the system first.
void errmsgHold(Stream* to, Stream* after);
void errmsgRelease();

// Formats into the static 1280-byte buffer and returns it.
char* err_edit(const char* fmt, va_list args);

}  // namespace kawase
