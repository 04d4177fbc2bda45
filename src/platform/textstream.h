// Text streams over binary I/O.
//
// Every stream of the program, files and the three standard streams alike,
// goes through this layer so that text mode behaves the same on every
// platform: on reading, every CR byte is dropped and the data ends at the
// first Ctrl-Z (0x1A); on writing, every LF goes out as CR LF. Binary
// streams ("rb", "wb") pass bytes through untouched.
//
// The layer is also the seam for tests: a stream can be built over any
// StreamOps, for example one whose writes fail.
#pragma once

namespace kawase {

// Raw byte transport beneath a stream.
struct StreamOps {
  // Reads up to n bytes into buf: the count read, 0 at the end, -1 on error.
  long (*read)(void* handle, unsigned char* buf, long n);
  // Writes up to n bytes: the count written (may be short), -1 on error.
  long (*write)(void* handle, const unsigned char* buf, long n);
  // Releases the handle: 0, or -1 on failure.
  int (*close)(void* handle);
  // 1 when the handle is a regular file on a volume (which can fill up),
  // 0 for a pipe, a terminal or another device. Null: a file on a volume.
  int (*onVolume)(void* handle);
};

struct Stream;

enum StdStream { kStdin = 0, kStdout = 1, kStderr = 2 };

// Opens a file by name: "r" and "w" are text mode, "rb" and "wb" binary;
// "w"/"wb" create or truncate. Null on failure.
Stream* streamOpen(const char* name, const char* mode);

// What streamOpen does: the system's file open, unless a test has put its
// own in place (to hand out streams that fail) with setStreamOpener, which
// returns the one it replaces (null puts the system's back).
typedef Stream* (*StreamOpener)(const char* name, const char* mode);
Stream* streamOpenFile(const char* name, const char* mode);
StreamOpener setStreamOpener(StreamOpener opener);

// A stream over caller-supplied operations, with the same modes. `buffered`
// 0 makes every write go straight to ops->write, and every read take one
// byte from ops->read.
Stream* streamOpenOps(const StreamOps* ops, void* handle, const char* mode, int buffered);

// The standard streams (text mode; standard input and standard error
// unbuffered, standard output unbuffered on a terminal and fully buffered
// otherwise).
Stream* stdStream(StdStream which);

// Puts `stream` in the place of a standard stream and returns the old one
// (which stays open). Tests use it to capture output.
Stream* replaceStdStream(StdStream which, Stream* stream);

// Line input as fgets does on the text: at most limit - 1 bytes, stops
// after an LF, NUL-terminates. Null when nothing was read (end or error);
// a limit of 1 gives an empty string, as fgets does.
char* streamGets(char* buf, int limit, Stream* stream);

// Block input: up to n bytes (after text-mode translation); 0 at the end or
// on error.
long streamRead(void* buf, long n, Stream* stream);

// Block input as it arrives: what the stream's buffer holds, or else what
// one read of the file gives (a pipe or a terminal may give a line at a
// time), up to n bytes after text-mode translation; 0 at the end or on
// error.
long streamReadSome(void* buf, long n, Stream* stream);

// Block output: returns how many of the n bytes were accepted; fewer than n
// means a write failed.
long streamWrite(const void* buf, long n, Stream* stream);

// Block output of bytes already in their written form: no LF translation,
// even on a text stream, so the caller writes each LF as CR LF itself and
// keeps the two in one call. Returns as streamWrite does.
long streamWriteRaw(const void* buf, long n, Stream* stream);

// Writes a NUL-terminated string: 0, or -1 on failure.
int streamPuts(const char* text, Stream* stream);

// Writes out buffered output: 0, or -1 on failure.
int streamFlush(Stream* stream);

// Nonzero once a read or write on the stream has failed.
int streamError(Stream* stream);

// Nonzero once a read has met the end of the data.
int streamEof(Stream* stream);

// 1 when both streams write to the same file: the same stream, the same
// handle under the same operations, or two system files that are one (a
// terminal, a pipe or a file reached twice). Else 0.
int streamSameFile(Stream* a, Stream* b);

// 1 when the stream is a regular file on a volume, else 0: asked of the
// open file itself, since a device's name (NUL, CON) can look like a file's.
int streamOnVolume(Stream* stream);

// When `input` (not yet read) and `other` are one regular file, moves the
// input's reading to where `other` stands, so that what was read through
// `other` (an answer on standard input) is not read again as input. The
// system opens such a file anew at its start (/dev/stdin on Linux).
void streamResumeAt(Stream* input, Stream* other);

// Flushes and closes: 0, or -1 (EOF) if the flush or the close failed.
// The stream is released either way.
int streamClose(Stream* stream);

// Writes out every open stream's buffered output, then ends the process.
[[noreturn]] void Exit(int status);

}  // namespace kawase
