// Text streams over binary I/O: CR dropped and Ctrl-Z ending the data on
// input, LF written as CR LF on output, all done here rather than by the C
// runtime so that every platform behaves alike (the Windows runtime's own
// text mode keeps a lone CR, which we must drop).
#include "platform/textstream.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace kawase {

namespace {

// Large blocks: one system call per 64 KiB rather than per line.
constexpr long kBufferSize = 64 * 1024;
constexpr unsigned char kCtrlZ = 0x1A;

}  // namespace

struct Stream {
  const StreamOps* ops;
  void* handle;
  bool text;      // CR/Ctrl-Z/LF translation
  bool writing;   // opened with "w"/"wb"
  bool buffered;  // false: every write goes out at once
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

long fdRead(void* handle, unsigned char* buf, long n) {
  int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
  for (;;) {
    auto got = ::read(fd, buf, static_cast<unsigned>(n));
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

long fdWrite(void* handle, const unsigned char* buf, long n) {
  int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
  for (;;) {
    auto put = ::write(fd, buf, static_cast<unsigned>(n));
    if (put >= 0) return static_cast<long>(put);
    if (errno != EINTR) return -1;
  }
}

int fdClose(void* handle) {
  int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
  return ::close(fd) == 0 ? 0 : -1;
}

// Standard streams are never closed by the program: their handles belong to
// the process.
int fdKeep(void*) {
  return 0;
}

const StreamOps fdOps = {fdRead, fdWrite, fdClose};
const StreamOps stdOps = {fdRead, fdWrite, fdKeep};

void* fdHandle(int fd) {
  return reinterpret_cast<void*>(static_cast<intptr_t>(fd));
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

// Drops every CR from buf[0..n) in place; returns the new length.
long dropCarriageReturns(unsigned char* buf, long n) {
  auto* cr = static_cast<unsigned char*>(std::memchr(buf, '\r', static_cast<size_t>(n)));
  if (cr == nullptr) return n;
  unsigned char* out = cr;
  for (const unsigned char* in = cr + 1; in < buf + n; in++)
    if (*in != '\r') *out++ = *in;
  return out - buf;
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
    if (s->text) {
      // Ctrl-Z ends the data: nothing after it is ever read.
      auto* z = static_cast<unsigned char*>(std::memchr(to, kCtrlZ, static_cast<size_t>(got)));
      if (z != nullptr) {
        got = z - to;
        s->ended = true;
      }
      got = dropCarriageReturns(to, got);
    }
    len = got;
  }
  if (len == 0 && !s->error) s->eof = true;
  return len;
}

// Reads the next block into the buffer. Returns false at the end or on error.
bool refill(Stream* s) {
  s->pos = 0;
  s->len = fill(s, s->buf, kBufferSize);
  return s->len > 0;
}

// Appends in[0, n) to the buffer of a text stream, each LF as CR LF, until
// all is in or the buffer is full; returns how many input bytes went in.
// Full means what the writer has always meant: no byte is appended once
// kBufferSize - 1 bytes are pending, and the one byte kept beyond that gives
// an LF room for its CR. So the buffer is written out at the same bytes
// however the output is cut into calls. Sixteen bytes at a time where the
// processor allows, an LF costing no more than a step back.
long appendText(Stream* s, const unsigned char* in, long n) {
  unsigned char* buf = s->buf;
  long len = s->len;
  long i = 0;
#if defined(__SSE2__)
  // A block of 16 bytes grows to at most 17, and then still leaves the last
  // byte free. A block with one LF, the common case, is expanded without a
  // branch: bytes before the LF stay, the CR goes where the LF was, and the
  // rest moves up by one (the 17th byte is stored on its own, and is
  // overwritten by the next block when there was no LF).
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i place = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  while (n - i >= 16 && len + 17 <= kBufferSize - 1) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)));
    if ((found & (found - 1)) != 0) {
      // Two or more: up to the first, and on from there.
      long k = std::countr_zero(found);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(buf + len), v);
      buf[len + k] = '\r';
      buf[len + k + 1] = '\n';
      i += k + 1;
      len += k + 2;
      continue;
    }
    __m128i at = _mm_set1_epi8(static_cast<char>(std::countr_zero(found | 0x10000u)));
    __m128i before = _mm_cmpgt_epi8(at, place);
    __m128i here = _mm_cmpeq_epi8(at, place);
    __m128i moved = _mm_slli_si128(v, 1);
    __m128i out = _mm_or_si128(_mm_and_si128(before, v), _mm_andnot_si128(before, moved));
    out = _mm_or_si128(_mm_andnot_si128(here, out), _mm_and_si128(here, cr));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(buf + len), out);
    buf[len + 16] = in[i + 15];
    i += 16;
    len += 16 + (found != 0);
  }
#endif
  for (; i < n && len < kBufferSize - 1; i++) {
    if (in[i] == '\n') buf[len++] = '\r';
    buf[len++] = in[i];
  }
  s->len = len;
  return i;
}

// Writes out the pending bytes; a short write that makes no progress, or a
// failed one, marks the stream in error and loses what was pending.
bool drain(Stream* s) {
  long done = 0;
  while (done < s->len) {
    long put = s->ops->write(s->handle, s->buf + done, s->len - done);
    if (put <= 0) {
      s->error = true;
      s->len = 0;
      return false;
    }
    done += put;
  }
  s->len = 0;
  return true;
}

}  // namespace

Stream* streamOpen(const char* name, const char* mode) {
  bool writing = false;
  bool text = false;
  if (name == nullptr || !parseMode(mode, &writing, &text)) return nullptr;
  int flags = writing ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
  int fd = ::open(name, flags | O_BINARY, 0666);
  if (fd < 0) return nullptr;
  // A directory is not a readable file, whatever open() allowed.
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  Stream* s = newStream(&fdOps, fdHandle(fd), writing, text, true);
  if (s == nullptr) ::close(fd);
  return s;
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
#ifdef _WIN32
    // This layer does the text translation itself.
    _setmode(which, _O_BINARY);
#endif
    bool writing = which != kStdin;
    // Standard error is unbuffered; standard output only on a terminal.
    bool buffered = which == kStdin || (which == kStdout && !isatty(which));
    s = newStream(&stdOps, fdHandle(which), writing, true, buffered);
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
    if (lf != nullptr) take = lf - from + 1;
    std::memcpy(buf + got, from, static_cast<size_t>(take));
    s->pos += take;
    got += take;
    if (lf != nullptr) break;
  }
  if (got == 0 && want > 0) return nullptr;
  buf[got] = '\0';
  return buf;
}

long streamRead(void* buf, long n, Stream* s) {
  if (s == nullptr || s->writing || n <= 0) return 0;
  auto* out = static_cast<unsigned char*>(buf);
  long got = 0;
  while (got < n) {
    if (s->pos == s->len) {
      // A request of a whole block or more is read straight into the
      // caller's memory and translated there, saving a copy.
      if (n - got >= kBufferSize) {
        long put = fill(s, out + got, n - got);
        if (put == 0) break;
        got += put;
        continue;
      }
      if (!refill(s)) break;
    }
    long take = s->len - s->pos < n - got ? s->len - s->pos : n - got;
    std::memcpy(out + got, s->buf + s->pos, static_cast<size_t>(take));
    s->pos += take;
    got += take;
  }
  return got;
}

long streamWrite(const void* data, long n, Stream* s) {
  if (s == nullptr || !s->writing || s->error || n <= 0) return 0;
  const auto* in = static_cast<const unsigned char*>(data);
  long done = 0;
  while (done < n) {
    if (s->len > kBufferSize - 2 && !drain(s)) return done;
    if (s->text) {
      done += appendText(s, in + done, n - done);
      continue;
    }
    long room = kBufferSize - s->len - 1;
    long take = n - done < room ? n - done : room;
    std::memcpy(s->buf + s->len, in + done, static_cast<size_t>(take));
    s->len += take;
    done += take;
  }
  if (!s->buffered && !drain(s)) return 0;
  return done;
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
