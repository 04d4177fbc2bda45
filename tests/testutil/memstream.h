// Memory-backed streams for tests: capture what a stream writes, feed it
// given bytes in chosen chunk sizes, and make reads or writes fail.
#pragma once

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
  int closes = 0;
  std::vector<long> writes;        // the size asked of each write call
  std::string* journal = nullptr;  // when set, gets each write's bytes too
};

inline long memRead(void* h, unsigned char* buf, long n) {
  auto* f = static_cast<MemFile*>(h);
  if (f->fail_at >= 0 && static_cast<long>(f->read_pos) >= f->fail_at) return -1;
  long left = static_cast<long>(f->data.size() - f->read_pos);
  long take = n < left ? n : left;
  if (take > f->chunk) take = f->chunk;
  if (f->fail_at >= 0 && static_cast<long>(f->read_pos) + take > f->fail_at)
    take = f->fail_at - static_cast<long>(f->read_pos);
  f->data.copy(reinterpret_cast<char*>(buf), static_cast<size_t>(take), f->read_pos);
  f->read_pos += static_cast<size_t>(take);
  return take;
}

inline long memWrite(void* h, const unsigned char* buf, long n) {
  auto* f = static_cast<MemFile*>(h);
  f->writes.push_back(n);
  long size = static_cast<long>(f->data.size());
  if (f->fail_at >= 0 && size >= f->fail_at) return -1;
  long take = n < f->chunk ? n : f->chunk;
  if (f->fail_at >= 0 && size + take > f->fail_at) take = f->fail_at - size;
  f->data.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(take));
  if (f->journal != nullptr)
    f->journal->append(reinterpret_cast<const char*>(buf), static_cast<size_t>(take));
  return take;
}

inline int memClose(void* h) {
  auto* f = static_cast<MemFile*>(h);
  f->closes++;
  return f->fail_close ? -1 : 0;
}

inline const StreamOps memOps = {memRead, memWrite, memClose};

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
  void clear() { file_.data.clear(); }
  // The bytes behind the stream: input to feed, or failures to inject.
  MemFile& file() { return file_; }

 private:
  StdStream which_;
  MemFile file_;
  Stream* stream_;
  Stream* old_;
};

}  // namespace kawase::test
