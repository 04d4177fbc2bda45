// Text streams over binary files: CR dropped and Ctrl-Z ending the data on
// input, LF written as CR LF on output, all done here rather than by the C
// runtime so that every platform behaves alike (the Windows runtime's own
// text mode keeps a lone CR, which we must drop). This file keeps the
// buffering and the text-mode rules; the system's files are in
// platform/posix and platform/win32, the byte loops in the kernel table.
#include "platform/textstream.h"

#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/kernels.h"

namespace kawase {

namespace {

// Large blocks: one system call per 64 KiB rather than per line.
constexpr long kBufferSize = 64 * 1024;

}  // namespace

struct Stream {
  const StreamOps* ops;
  void* handle;
  bool text;      // CR/Ctrl-Z/LF translation
  bool writing;   // opened with "w"/"wb"
  bool buffered;  // false: every write goes out at once, reads take a byte
  bool ended;     // no more data will be read (end, Ctrl-Z or error)
  bool eof;       // a read met the end of the data
  bool error;     // a read or write failed
  long pos;       // read: next unread byte in buf
  long len;       // read: bytes available in buf; write: bytes pending
  unsigned char* buf;
  Stream* next;  // list of open streams, for the flush at exit
};

namespace {

Stream* openStreams = nullptr;
Stream* stdStreams[3] = {nullptr, nullptr, nullptr};

bool isSystemFile(const Stream* s) {
  return s->ops == &systemFileOps || s->ops == &standardFileOps;
}

void flushAll() {
  for (Stream* s = openStreams; s != nullptr; s = s->next)
    if (s->writing) streamFlush(s);
}

void link(Stream* s) {
  static bool registered = false;
  if (!registered) {
    // Any exit, from anywhere, writes out what is buffered first.
    std::atexit(flushAll);
    registered = true;
  }
  s->next = openStreams;
  openStreams = s;
}

void unlink(Stream* s) {
  for (Stream** p = &openStreams; *p != nullptr; p = &(*p)->next) {
    if (*p == s) {
      *p = s->next;
      return;
    }
  }
}

// Parses "r", "w", "rb", "wb". Returns false for anything else.
bool parseMode(const char* mode, bool* writing, bool* text) {
  if (mode == nullptr || (mode[0] != 'r' && mode[0] != 'w')) return false;
  if (mode[1] != '\0' && !(mode[1] == 'b' && mode[2] == '\0')) return false;
  *writing = mode[0] == 'w';
  *text = mode[1] != 'b';
  return true;
}

Stream* newStream(const StreamOps* ops, void* handle, bool writing, bool text, bool buffered) {
  auto* s = static_cast<Stream*>(std::calloc(1, sizeof(Stream)));
  if (s == nullptr) return nullptr;
  s->buf = static_cast<unsigned char*>(std::malloc(kBufferSize));
  if (s->buf == nullptr) {
    std::free(s);
    return nullptr;
  }
  s->ops = ops;
  s->handle = handle;
  s->writing = writing;
  s->text = text;
  s->buffered = buffered;
  link(s);
  return s;
}

void freeStream(Stream* s) {
  unlink(s);
  for (Stream*& std_stream : stdStreams)
    if (std_stream == s) std_stream = nullptr;
  std::free(s->buf);
  std::free(s);
}

// Reads the next bytes of data into to[0, cap), translated: how many, or 0
// at the end or on error.
long fill(Stream* s, unsigned char* to, long cap) {
  long len = 0;
  while (!s->ended && len == 0) {
    long got = s->ops->read(s->handle, to, cap);
    if (got < 0) {
      s->error = true;
      s->ended = true;
      return 0;
    }
    if (got == 0) {
      s->eof = true;
      s->ended = true;
      return 0;
    }
    if (s->text) got = kernels().textOfBlock(to, got, &s->ended);
    len = got;
  }
  if (len == 0 && !s->error) s->eof = true;
  return len;
}

// Reads the next block into the buffer (the next byte when unbuffered).
// Returns false at the end or on error.
bool refill(Stream* s) {
  s->pos = 0;
  s->len = fill(s, s->buf, s->buffered ? kBufferSize : 1);
  return s->len > 0;
}

// Appending text to the buffer of a text stream, each LF as CR LF, until all
// is in or the buffer is full. Full means kBufferSize - 1 bytes pending: no
// byte is appended then, and the one byte kept beyond gives an LF room for
// its CR. Every kernel stops at that same point, so the buffer goes out at
// the same bytes however the output is cut into calls and whichever kernel
// did the work: where a failing disk cuts the file short depends neither on
// the caller nor on the processor. Returns how many input bytes went in.
long appendText(Stream* s, const unsigned char* in, long n) {
  return kernels().appendCrLf(in, n, s->buf, &s->len, kBufferSize - 1);
}

// Writes in[0, n) out from where it lies, short writes retried; a failed
// one, or one that makes no progress, marks the stream in error.
bool drainFrom(Stream* s, const unsigned char* in, long n) {
  for (long done = 0; done < n;) {
    long put = s->ops->write(s->handle, in + done, n - done);
    if (put <= 0) {
      s->error = true;
      return false;
    }
    done += put;
  }
  return true;
}

// Writes out the pending bytes; a short write that makes no progress, or a
// failed one, marks the stream in error and loses what was pending.
bool drain(Stream* s) {
  bool written = drainFrom(s, s->buf, s->len);
  s->len = 0;
  return written;
}

}  // namespace

Stream* streamOpenFile(const char* name, const char* mode) {
  bool writing = false;
  bool text = false;
  if (name == nullptr || !parseMode(mode, &writing, &text)) return nullptr;
  void* file = nullptr;
  if (!openSystemFile(name, writing, &file)) return nullptr;
  Stream* s = newStream(&systemFileOps, file, writing, text, true);
  if (s == nullptr) systemFileOps.close(file);
  return s;
}

namespace {
StreamOpener opener = streamOpenFile;
}

Stream* streamOpen(const char* name, const char* mode) {
  return opener(name, mode);
}

StreamOpener setStreamOpener(StreamOpener to) {
  StreamOpener old = opener;
  opener = to != nullptr ? to : streamOpenFile;
  return old;
}

Stream* streamOpenOps(const StreamOps* ops, void* handle, const char* mode, int buffered) {
  bool writing = false;
  bool text = false;
  if (ops == nullptr || !parseMode(mode, &writing, &text)) return nullptr;
  return newStream(ops, handle, writing, text, buffered != 0);
}

Stream* stdStream(StdStream which) {
  Stream*& s = stdStreams[which];
  if (s == nullptr) {
    bool writing = which != kStdin;
    // Standard error is unbuffered; standard output only on a terminal.
    // Standard input only ever answers a question: it is read a byte at a
    // time, so that what follows the answer is still there for the next
    // reader of the same file (an input named /dev/stdin, say).
    void* file = standardFile(which);
    bool buffered = which == kStdout && !isTerminal(file);
    s = newStream(&standardFileOps, file, writing, true, buffered);
  }
  return s;
}

Stream* replaceStdStream(StdStream which, Stream* stream) {
  Stream* old = stdStreams[which];
  stdStreams[which] = stream;
  return old;
}

char* streamGets(char* buf, int limit, Stream* s) {
  if (s == nullptr || s->writing || limit < 1) return nullptr;
  long want = limit - 1;
  long got = 0;
  while (got < want) {
    if (s->pos == s->len && !refill(s)) break;
    long avail = s->len - s->pos;
    long take = avail < want - got ? avail : want - got;
    const unsigned char* from = s->buf + s->pos;
    auto* lf =
        static_cast<const unsigned char*>(std::memchr(from, '\n', static_cast<size_t>(take)));
    if (lf != nullptr) take = static_cast<long>(lf - from) + 1;
    std::memcpy(buf + got, from, static_cast<size_t>(take));
    s->pos += take;
    got += take;
    if (lf != nullptr) break;
  }
  if (got == 0 && want > 0) return nullptr;
  buf[got] = '\0';
  return buf;
}

long streamReadSome(void* buf, long n, Stream* s) {
  if (s == nullptr || s->writing || n <= 0) return 0;
  if (s->pos == s->len) {
    // A request of a whole block or more is read straight into the
    // caller's memory and translated there, saving a copy.
    if (n >= kBufferSize && s->buffered) return fill(s, static_cast<unsigned char*>(buf), n);
    if (!refill(s)) return 0;
  }
  long take = s->len - s->pos < n ? s->len - s->pos : n;
  std::memcpy(buf, s->buf + s->pos, static_cast<size_t>(take));
  s->pos += take;
  return take;
}

long streamRead(void* buf, long n, Stream* s) {
  auto* out = static_cast<unsigned char*>(buf);
  long got = 0;
  for (long put; got < n && (put = streamReadSome(out + got, n - got, s)) > 0;) got += put;
  return got;
}

namespace {

// Appending bytes as they are, until all are in or the buffer is full. On a
// text stream the bytes already hold their CR LFs, and the buffer goes out
// where appendText would have sent it: a CR LF may take the byte kept free.
long appendRaw(Stream* s, const unsigned char* in, long n) {
  long room = kBufferSize - s->len - 1;
  long take = n < room ? n : room;
  if (s->text && take == room && take < n && in[take - 1] == '\r' && in[take] == '\n') take++;
  std::memcpy(s->buf + s->len, in, static_cast<size_t>(take));
  s->len += take;
  return take;
}

long writeBytes(Stream* s, const void* data, long n, bool translate) {
  if (s == nullptr || !s->writing || s->error || n <= 0) return 0;
  const auto* in = static_cast<const unsigned char*>(data);
  // Raw bytes for an unbuffered stream go out from where they lie: a copy
  // would only be written at once.
  if (!translate && !s->buffered && s->len == 0) return drainFrom(s, in, n) ? n : 0;
  long done = 0;
  while (done < n) {
    if (s->len > kBufferSize - 2 && !drain(s)) return done;
    if (!translate && s->len == 0 && n - done >= kBufferSize) {
      // A whole buffer of raw bytes goes out from where it lies, cut where
      // the buffer would have been.
      long take = kBufferSize - 1;
      if (s->text && in[done + take - 1] == '\r' && in[done + take] == '\n') take++;
      if (!drainFrom(s, in + done, take)) return done;
      done += take;
      continue;
    }
    done += translate && s->text ? appendText(s, in + done, n - done)
                                 : appendRaw(s, in + done, n - done);
  }
  if (!s->buffered && !drain(s)) return 0;
  return done;
}

}  // namespace

long streamWrite(const void* data, long n, Stream* s) {
  return writeBytes(s, data, n, true);
}

long streamWriteRaw(const void* data, long n, Stream* s) {
  return writeBytes(s, data, n, false);
}

int streamPuts(const char* text, Stream* s) {
  long n = static_cast<long>(std::strlen(text));
  return streamWrite(text, n, s) == n ? 0 : -1;
}

int streamFlush(Stream* s) {
  if (s == nullptr) return -1;
  if (!s->writing) return 0;
  if (s->len > 0) drain(s);
  return s->error ? -1 : 0;
}

int streamError(Stream* s) {
  return s != nullptr && s->error ? 1 : 0;
}

int streamEof(Stream* s) {
  return s != nullptr && s->eof ? 1 : 0;
}

int streamSameFile(Stream* a, Stream* b) {
  if (a == nullptr || b == nullptr) return 0;
  if (isSystemFile(a) && isSystemFile(b))
    return a->handle == b->handle ? 1 : sameOpenFile(a->handle, b->handle);
  return a->ops == b->ops && a->handle == b->handle ? 1 : 0;
}

int streamOnVolume(Stream* s) {
  if (s == nullptr) return 0;
  return s->ops->onVolume == nullptr || s->ops->onVolume(s->handle) != 0 ? 1 : 0;
}

void streamResumeAt(Stream* input, Stream* other) {
  if (input == nullptr || other == nullptr || !isSystemFile(input) || !isSystemFile(other)) return;
  if (input->pos != input->len || !streamOnVolume(input) || streamSameFile(input, other) != 1)
    return;
  seekToOffsetOf(input->handle, other->handle);
}

int streamClose(Stream* s) {
  if (s == nullptr) return -1;
  int result = streamFlush(s);
  if (s->ops->close(s->handle) != 0) result = -1;
  freeStream(s);
  return result;
}

void Exit(int status) {
  flushAll();
  std::exit(status);
}

}  // namespace kawase
