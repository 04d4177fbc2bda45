// Memory-backed streams for tests: capture what a stream writes, feed it
// given bytes in chosen chunk sizes, and make reads or writes fail.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/textstream.h"

namespace kawase::test {

struct MemFile {
  std::string data;  // bytes written, or bytes to be read
  size_t read_pos = 0;
  long chunk = 1 << 20;  // most bytes one read or write call moves
  long fail_at = -1;     // byte offset at which reads/writes fail (-1: never)
  bool fail_close = false;
  bool device = false;  // a pipe or a terminal, not a file on a volume
  int closes = 0;
  std::vector<long> writes;        // the size asked of each write call
  std::string* journal = nullptr;  // when set, gets each write's bytes too
};

// What a call at byte `pos` may move of n bytes: at most a chunk, and up to
// the failure offset; at that offset, -1.
inline long allowed(const MemFile* f, long pos, long n) {
  if (f->fail_at >= 0 && pos >= f->fail_at) return -1;
  long take = std::min(n, f->chunk);
  return f->fail_at >= 0 ? std::min(take, f->fail_at - pos) : take;
}

inline long memRead(void* h, unsigned char* buf, long n) {
  auto* f = static_cast<MemFile*>(h);
  const auto pos = static_cast<long>(f->read_pos);
  long take = allowed(f, pos, std::min(n, static_cast<long>(f->data.size()) - pos));
  if (take <= 0) return take;
  f->read_pos += f->data.copy(reinterpret_cast<char*>(buf), static_cast<size_t>(take), f->read_pos);
  return take;
}

inline long memWrite(void* h, const unsigned char* buf, long n) {
  auto* f = static_cast<MemFile*>(h);
  f->writes.push_back(n);
  long take = allowed(f, static_cast<long>(f->data.size()), n);
  if (take > 0) f->data.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(take));
  if (take > 0 && f->journal != nullptr)
    f->journal->append(reinterpret_cast<const char*>(buf), static_cast<size_t>(take));
  return take;
}

inline int memClose(void* h) {
  auto* f = static_cast<MemFile*>(h);
  f->closes++;
  return f->fail_close ? -1 : 0;
}

inline int memOnVolume(void* h) {
  return static_cast<MemFile*>(h)->device ? 0 : 1;
}

inline const StreamOps memOps = {memRead, memWrite, memClose, memOnVolume};

// A stream over `file` ("r", "w", "rb" or "wb"), buffered unless told.
inline Stream* openMem(MemFile* file, const char* mode, int buffered = 1) {
  return streamOpenOps(&memOps, file, mode, buffered);
}

// Replaces a standard stream with a memory stream (unbuffered unless asked)
// for the life of the object, and puts the old one back afterwards.
class CaptureStd {
 public:
  explicit CaptureStd(StdStream which, int buffered = 0) : which_(which) {
    stream_ = streamOpenOps(&memOps, &file_, which == kStdin ? "r" : "w", buffered);
    old_ = replaceStdStream(which, stream_);
  }
  ~CaptureStd() {
    replaceStdStream(which_, old_);
    streamClose(stream_);
  }
  CaptureStd(const CaptureStd&) = delete;
  CaptureStd& operator=(const CaptureStd&) = delete;
  const std::string& text() const { return file_.data; }
  // The bytes behind the stream: input to feed, or failures to inject.
  MemFile& file() { return file_; }

 private:
  StdStream which_;
  MemFile file_;
  Stream* stream_;
  Stream* old_;
};

}  // namespace kawase::test
