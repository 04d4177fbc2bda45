// File copy. The destination is closed with Fclose: on a volume that filled
// up, a close that "succeeded" may still have lost the last block.
#include "support/filecopy.h"

#include "platform/files.h"
#include "platform/textstream.h"
#include "support/diskspace.h"
#include "support/memory.h"
#include "support/messages.h"

namespace kawase {

namespace {

// Transfer size when the volume cannot tell its allocation unit.
constexpr int kDefaultTransfer = 1024;

}  // namespace

int copyFile(const char* src, const char* dst, int mode) {
  if (mode == 1) {
    Stream* probe = streamOpen(dst, "rb");
    if (probe != nullptr) {
      streamClose(probe);
      return 0;
    }
    // An entry we cannot read (a write-only file, a dangling link) still
    // exists, and opening it for writing would destroy or create a file.
    if (pathExists(dst)) return 0;
  }
  // Copying a file onto itself would truncate it before a byte is read.
  if (sameFile(src, dst)) return 0;

  Stream* out = streamOpen(dst, "wb");
  if (out == nullptr) return 0;
  Stream* in = streamOpen(src, "rb");
  if (in == nullptr) {
    streamClose(out);
    return 0;
  }
  return copyStream(in, out, src, dst);
}

int copyStream(Stream* in, Stream* out, const char* src, const char* dst) {
  int size = getClusterSize(dst);
  if (size <= 0) size = kDefaultTransfer;
  // Null only when terminate_size has been lowered to at most `size`;
  // getmem has then told of the shortage already.
  auto* buf = static_cast<unsigned char*>(getmem(size));
  if (buf == nullptr) {
    streamClose(in);
    streamClose(out);
    return 0;
  }
  for (long got; (got = streamRead(buf, size, in)) > 0;) {
    // Output is buffered: a failed write may show here, or only in the
    // flush inside the close below.
    if (streamWrite(buf, got, out) < got) {
      errmsg("%s: writing error\n", dst);
      Fclose(out, dst);
      streamClose(in);
      freemem(buf);
      return 0;
    }
  }
  // A read error is not the end of the source: the copy is incomplete. The
  // partial destination stays, as after a failed write.
  if (streamError(in)) {
    errmsg("%s: reading error\n", src);
    streamClose(out);
    streamClose(in);
    freemem(buf);
    return 0;
  }
  streamClose(in);
  int closed = Fclose(out, dst);
  freemem(buf);
  if (closed != 0) {
    errmsg("%s: writing error\n", dst);
    return 0;
  }
  return 1;
}

}  // namespace kawase
