// Message output and its small formatter.
#pragma once

#include <cstdarg>
#include <cstdint>

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

// The converters' reports of characters without a counterpart, one line
// each, as errmsg writes them. A file in the wrong encoding gives one for
// every character, so they are made by hand rather than through the
// formatter, straight into the messages held.
// "Error code: " and the n bytes of a UTF-8 sequence in hex, "=", and the
// code point: "U+" and at least four digits when the sequence has fewer
// than four bytes, the digits alone when it has four, and "U+?" for none
// (cp < 0: a stray byte, or a sequence cut short by the end of the line).
void reportUtf8(const unsigned char* p, int n, int32_t cp);

// "Error code: " and the two bytes of a Shift_JIS key in hex, the second in
// brackets, " ... " and up to 64 bytes of the line from the key on.
void reportSjis(const unsigned char* key);

// As errmsg, but also to the stream held in errfp; leaves errmsg_output_flg.
void errmsg1(const char* fmt, ...);

// Appends the message and a newline to "message.log"; "end" closes the log.
int errmsgf(const char* fmt, ...);

// Holding messages back, so that they leave in order with other output and
// many go out in one write. From errmsgHold to errmsgRelease, the text of
// every message bound for standard error gathers in a buffer and goes out to
// `to` (standard error, or the output itself when both are one file, whose
// buffer then keeps the order) when the buffer is full, at errmsgSend and at
// the release. Before held text leaves, `after` (unless null) is flushed,
// so that what was written to it before reaches the system first.
void errmsgHold(Stream* to, Stream* after = nullptr);
void errmsgSend();
void errmsgRelease();

// Formats into the static 1280-byte buffer and returns it.
char* err_edit(const char* fmt, va_list args);

}  // namespace kawase
