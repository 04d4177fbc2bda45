// The support library.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "platform/files.h"
#include "support/diskspace.h"
#include "support/filecopy.h"
#include "support/memory.h"
#include "support/messages.h"
#include "testutil/fakes.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

// Message output: the formatter, the streams written to, the message log.

std::string edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string text = err_edit(fmt, args);
  va_end(args);
  return text;
}

// Five conversions without flags or widths: any other byte after "%" is
// echoed with it and takes no argument. The messages fuzz target checks
// the rest of the rules on formats of strings.
TEST(ErrEdit, Formats) {
  const std::string s1021(1021, 'w'), n1023(1023, 'n');
  const std::string rows[][2] = {
      {edit("%x|%x|%f", 255, -1, 1.5), "ff|ffffffff|1.500000"},
      {edit("%c%c|%d", 65, 0x142, INT_MIN), "AB|-2147483648"},
      {edit("100%% %5d|%ld %d|%q%s", 7, "x"), "100%% %5d|%ld 7|%qx"},
      {edit("a\\%d\\\\b%d\\n|%d end\\", 5, 1), "a%d\\b5n|1 end\\"},
      {edit("ab%cd", 0), "ab"},
      {edit("abc%s|dropped", s1021.c_str()), "abc" + s1021},
      {edit(("%d" + std::string(1998, 'f')).c_str(), 42), "42" + std::string(1022, 'f')},
      {edit((n1023 + "%d").c_str(), INT_MIN), n1023 + "-2147483648"},
  };
  for (const auto& row : rows) EXPECT_EQ(row[0], row[1]);
  // A long number begun near the limit is cut where the buffer ends.
  char f308[400];
  std::snprintf(f308, sizeof f308, "%f", 1e308);
  EXPECT_EQ(edit((n1023 + "%f").c_str(), 1e308), n1023 + std::string(f308).substr(0, 256));
}

// Only errmsg1 writes to a held stream, only errmsg sets the flag. A format
// without "%" (a second byte of a two-byte character is none) goes untouched.
TEST(Errmsg, Destinations) {
  test::CaptureStd out(kStdout), err(kStderr);
  test::MemFile held;
  Stream* h = test::openMem(&held, "w", 0);
  errmsg("a \\ b\n");
  errmsg("\x81%q\\b\n");
  errmsg("%q\\b\n");
  errfp = h;
  errmsg("two\n");
  EXPECT_EQ(errmsg_output_flg, 1);
  errmsg1("held\n");
  errfp = kErrfpStdout;
  errmsg1("out1\n");
  errmsg("out2\n");
  errfp = nullptr;
  errmsg_output_flg = 0;
  errmsg1("err\n");
  EXPECT_EQ(errmsg_output_flg, 0);
  EXPECT_EQ(err.text() + "|" + out.text() + "|" + held.data,
            "a \\ b\r\n\x81%q\\b\r\n%qb\r\ntwo\r\nerr\r\n|out1\r\nout2\r\n|held\r\n");
  streamClose(h);
}

// A message cut short by the formatter's limit still ends its line when
// its format has a line end.
TEST(Errmsg, CutMessageEndsItsLine) {
  const std::string name(1020, 'd');
  test::CaptureStd err(kStderr);
  errmsg("%s: not found\n", name.c_str());
  errmsg("%s: none", name.c_str());
  EXPECT_EQ(err.text(), name + ": no\r\n" + name + ": no");
}

// The first message opens (truncating) the log, "end" closes it.
TEST(Errmsgf, LogLifeCycle) {
  test::TempDir tmp;
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(tmp.str());
  EXPECT_EQ(errmsgf("x %d", 1), 0);
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_FALSE(std::filesystem::exists("message.log"));
  errmsgWrite_flg = 1;
  EXPECT_EQ(errmsgf("first %d", 1), '\n');
  EXPECT_EQ(errmsgf("second"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(test::readFile("message.log"), "first 1\r\nsecond\r\n");
  EXPECT_EQ(errmsgf("end"), -1);
  EXPECT_EQ(errmsgf("again"), '\n');
  EXPECT_EQ(errmsgf("end"), 0);
  EXPECT_EQ(test::readFile("message.log"), "again\r\n");
  errmsgWrite_flg = 0;
  std::filesystem::current_path(cwd);
}

// Disk space and the checked close over the fake volume, and the system's.

// The system's queries; then the volume of a name's drive, else the current
// one; its extended query if any (no fall-back); clamped, the exact count kept.
TEST(DiskSpace, Queries) {
#ifdef _WIN32
  const char* nowhere = "Q:\\x.txt";  // no such drive
#else
  const char* nowhere = "/no/such/dir/x.txt";
#endif
  EXPECT_GT(getClusterSize("probe.txt"), 0);
  EXPECT_GT(getFreeSpace("probe.txt"), 0);
  EXPECT_EQ(isDir(std::filesystem::current_path().string().c_str()), 1);
  EXPECT_EQ(isDir(nowhere), 0);
  EXPECT_EQ(getClusterSize(nowhere), 0);
  EXPECT_EQ(getFreeSpace(nowhere), -1);
  EXPECT_EQ(FreeDiskSpace, -1.0);
  test::FakeVolume v;
  const std::tuple<const char*, const char*, int, int, uint64_t, uint32_t, int, double> rows[] = {
      {"C:\\dir\\f.txt", "C:\\", 1, 1, 5000000000u, 0, 2147483647, 5e9},
      {"d:rel.txt", "d:\\", 1, 1, 2147483647u, 0, 2147483647, 2147483647.0},
      {"C:", "C:\\", 1, 1, 2147483648u, 0, 2147483647, 2147483648.0},
      {"a", "\\", 1, 1, 12345, 0, 12345, 12345.0},
      {"", "\\", 0, 1, 12345, 1000, -1, -1.0},
      {"\\\\srv\\share\\f", "\\", -1, 1, 0, 4000000000u, 2147483647, 4000000000.0 * 4096},
      {"out.txt", "\\", -1, 1, 0, 3, 12288, 12288.0},
      {"D:\\x", "D:\\", -1, 0, 0, 1000, -1, -1.0}};
  for (auto [name, root, ext, basic_ok, free_bytes, free_clusters, want, exact] : rows) {
    std::tie(v.ext, v.basic_ok, v.free_bytes, v.free_clusters) =
        std::tie(ext, basic_ok, free_bytes, free_clusters);
    EXPECT_EQ(getFreeSpace(name), want) << name;
    EXPECT_EQ(FreeDiskSpace, exact);
    EXPECT_EQ(v.last_root + "|" + v.last_name, std::string(root) + "|" + name);
    EXPECT_EQ(getClusterSize(name), basic_ok * 4096);
  }
  for (uint32_t a : {kInvalidAttributes, 0x80u, 0x11u})
    EXPECT_EQ((v.attributes = a, isDir("d")), a == 0x11u ? 1 : 0) << a;
#ifndef _WIN32
  // Root may fill the blocks kept back from other users; others may not.
  EXPECT_EQ(usableFreeBlocks(100, 40, true), 100u);
  EXPECT_EQ(usableFreeBlocks(100, 40, false), 40u);
#endif
}

// A close that works on a volume without room, or of unknown room, is a full
// disk; a failed close (1: the close, 2: the flush) is the caller's to
// report. A pipe or device (3; 4 with a failed close), whatever its name,
// has no volume: its close is all.
TEST(DiskSpace, Fclose) {
  test::FakeVolume v;
  v.attributes = 0x80u;
  const std::tuple<uint64_t, int, int, const char*, int, const char*> rows[] = {
      {1, 1, 0, "out.txt", 0, ""},
      {0, 1, 3, "NUL", 0, ""},
      {0, 1, 3, "out.txt", 0, ""},
      {0, 1, 4, "NUL", -1, ""},
      {0, 1, 0, "/dev/stdout", -1, "no free disk space\r\n"},
      {0, 1, 0, "D:\\out.txt", -1, "D drive: no free disk space\r\n"},
      {0, 1, 0, "e:out.txt", -1, "e drive: no free disk space\r\n"},
      {0, 1, 0, "out.txt", -1, "no free disk space\r\n"},
      {1, 0, 0, "\\\\srv\\out.txt", -1, "no free disk space\r\n"},
      {0, 1, 1, "D:\\out.txt", -1, ""},
      {0, 1, 2, "D:\\out.txt", -1, ""}};
  for (auto [free_bytes, ext, fail, name, want, message] : rows) {
    std::tie(v.free_bytes, v.ext) = std::tie(free_bytes, ext);
    test::CaptureStd err(kStderr);
    test::MemFile file;
    file.device = fail >= 3;
    file.fail_close = fail == 1 || fail == 4;
    file.fail_at = fail == 2 ? 0 : -1;
    Stream* s = test::openMem(&file, "w");
    streamPuts("data", s);
    EXPECT_EQ(Fclose(s, name), want) << name;
    EXPECT_EQ(err.text(), message) << name;
    EXPECT_EQ(file.closes, 1);
  }
}

// Memory blocks over the fake heap, whose blocks come back dirty.

// moremem keeps the contents and from null allocates; 0 bytes get a block
// of 1. A string may grow by itself, or a tail of itself, though it moves.
TEST(Memory, BlocksAndStrings) {
  test::FakeHeap heap;
  test::CaptureStd err(kStderr);
  for (int size : {0, 1, 65536}) {
    auto* a = static_cast<char*>(getmem(size));
    EXPECT_EQ(heap.last_size, size == 0 ? 1u : static_cast<size_t>(size));
    auto* b = static_cast<char*>(getmemAdr(getmemLock(size)));
    EXPECT_EQ(std::count(a, a + size, 0) + std::count(b, b + size, 0), 2 * size) << size;
    freemem(a);
    freeLocal(b);
  }
  freemem(nullptr);
  freeLocal(nullptr);
  EXPECT_EQ(heap.releases, 6);
  auto* p = static_cast<char*>(moremem(moremem(setstr("abc"), 5000), 2));
  EXPECT_EQ(std::string(p, 2), "ab");
  freemem(moremem(nullptr, 10));
  freemem(moremem(moremem(p, 0), 100));
  EXPECT_EQ(heap.allocations - heap.releases, 0);
  p = addstr(setstr(""), "abc");
  p = addstr(p, p);
  p = addstr(p, p + 4);
  EXPECT_STREQ(p, "abcabcbc");
  freemem(p);
  EXPECT_EQ(err.text(), "");
}

char* block;  // what the shortage rows resize

struct Op {
  static void* resize(int size) { return moremem(block, size); }
  static void* copy(int) { return setstr("x"); }
  static void* append(int) { return addstr(block, "def"); }
  static void mark() { streamPuts("[endfun]", stdStream(kStderr)); }
  static void markAndRunShort() {
    mark();
    getmem(10);
  }
};

// An operation of a size the heap refuses and its whole report. At
// terminate_size getmem returns null; else the process ends with status 1
// after endfun (marked; once, even when it runs short) unless getmemLock
// ends it. getmem counts K of 1024 bytes.
TEST(Memory, Shortages) {
  test::FakeHeap heap;
  const struct {
    void* (*op)(int);
    int size, terminate;
    bool null;
    const char* text;
    bool refuse = true;
    void (*end)() = Op::mark;
  } rows[] = {
      {getmem, INT_MAX, INT_MAX, true, "\r\ncannot get the memory of 2097151 K bytes\r\n"},
      {getmem, 1000, 500, true, "\r\ncannot get the memory of 1000 bytes\r\n"},
      {getmem, 1001, INT_MAX, false, "\r\ncannot get the memory of 0 K bytes\r\n[endfun]"},
      {Op::resize, 1000, 100, false, "cannot get the memory of 1000 bytes\r\n[endfun]"},
      {Op::resize, 1001, 100, false, "cannot get the memory of 1 K bytes\r\n[endfun]"},
      {Op::copy, 0, INT_MAX, false, "cannot get memory\r\n[endfun]"},
      {Op::append, 0, INT_MAX, false, "can't get memory\r\n[endfun]"},
      {getmemLock, 500, 500, false,
       "\r\ncannot get the memory of 500 bytes\r\nFaital error:\r\ncannot get memory of 500 bytes"},
      {getmemLock, 5000, 4096, false,
       "\r\ncannot get the memory of 4 K bytes\r\nFaital error:\r\ncannot get the memory of 5 K "
       "bytes"},
      {getmem, 1, INT_MAX, false, "\r\ncannot get the memory of 1 bytes\r\n", true, nullptr},
      {getmem, 10, INT_MAX, false,
       "\r\ncannot get the memory of 10 bytes\r\n[endfun]\r\ncannot get the memory of 10 bytes\r\n",
       true, Op::markAndRunShort},
      {getmemLock, INT_MIN, INT_MAX, false,
       "\r\ncannot get the memory of -2147483648 bytes\r\n[endfun]", false},
      {Op::resize, -1, INT_MAX, false, "cannot get the memory of -1 bytes\r\n[endfun]", false},
  };
  block = setstr("abc");
  for (const auto& row : rows) {
    heap.fail_allocate = heap.fail_resize = row.refuse;
    terminate_size = row.terminate;
    endfun = row.end;
    std::string text = row.text;
    if (row.null) {
      test::CaptureStd err(kStderr);
      EXPECT_EQ(row.op(row.size), nullptr);
      EXPECT_EQ(err.text(), text);
      continue;
    }
#ifdef _WIN32
    // The framework reads a child's standard error in text mode there.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
#endif
    EXPECT_EXIT(row.op(row.size), ::testing::ExitedWithCode(1),
                ::testing::Matcher<const std::string&>(text));
  }
  freemem(block);
  endfun = nullptr;
  terminate_size = INT_MAX;
}

// File copy over real files, and over memory streams for the failures.

class FileCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 200000; i++) data += static_cast<char>(i * 37);  // CR, LF, Ctrl-Z, NUL
  }
  void TearDown() override {
    // A refused allocation has nothing to release.
    EXPECT_EQ(heap.releases, heap.allocations - (heap.fail_allocate ? 1 : 0));
    EXPECT_EQ(err.text(), messages);
  }
  std::string path(const char* name) const { return tmp.file(name); }
  int copy(const std::string& src, const std::string& dst, int mode) {
    return copyFile(src.c_str(), dst.c_str(), mode);
  }
  test::TempDir tmp;
  test::FakeHeap heap;
  test::FakeVolume volume;
  test::CaptureStd err{kStderr};
  std::string data, messages;  // messages: what must be left on standard error
};

// In blocks of the allocation unit, or of 1,024 bytes; a full volume fails
// the copy and keeps what was copied.
TEST_F(FileCopy, RealFiles) {
  const std::string src = path("src"), dst = path("dst");
  test::writeFile(src, data);
  const std::tuple<uint32_t, int, uint64_t, int, size_t> blocks[] = {{8, 1, 0, 0, 4096},
                                                                     {8, 1, 1 << 30, 1, 4096},
                                                                     {7, 1, 1 << 30, 1, 7 * 512},
                                                                     {8, 0, 1 << 30, 1, 1024}};
  for (auto [sectors, known, free_bytes, want, transfer] : blocks) {
    std::tie(volume.sectors, volume.basic_ok, volume.free_bytes) =
        std::tie(sectors, known, free_bytes);
    EXPECT_EQ(copy(src, dst, 0), want);
    EXPECT_TRUE(test::readFile(dst) == data);
    EXPECT_EQ(heap.last_size, transfer);
  }
  // A temporary directory on Windows starts with a drive letter.
  messages = dst[1] == ':' ? std::string(1, dst[0]) + " drive: no free disk space\r\n"
                           : std::string("no free disk space\r\n");
  messages += dst + ": writing error\r\n";

  // Mode 1 never replaces, not even a dangling link; other modes do. A missing
  // source empties the destination. Nothing is copied onto its source.
  const std::string dir = tmp.str();
  test::writeFile(src, "new\n");
#ifndef _WIN32
  std::filesystem::create_symlink(path("target"), path("dangling"));
  std::filesystem::create_symlink(src, path("alias"));
#endif
  const std::tuple<std::string, std::string, int, const char*, const char*, int> rows[] = {
      {src, dst, 1, "old\r\n", "old\r\n", 0},
      {src, dst, 0, "old", "new\n", 1},
      {src, dst, 2, "old", "new\n", 1},
      {src, path("e"), 1, nullptr, "new\n", 1},
      {path("missing"), dst, 0, "was", "", 0},
      {path("missing"), path("f"), 0, nullptr, "", 0},
      {src, src, 0, nullptr, "new\n", 0},
      {src, dir + "/./../" + std::filesystem::path(dir).filename().string() + "/src", 0, nullptr,
       "new\n", 0},
#ifdef _WIN32
      {src, path("SRC"), 0, nullptr, "new\n", 0},
#else
      {src, path("dangling"), 1, nullptr, "", 0},
      {src, path("alias"), 0, nullptr, "new\n", 0},
#endif
      {src, dir, 0, nullptr, "", 0},
  };
  for (const auto& [from, to, mode, before, after, want] : rows) {
    if (before != nullptr) test::writeFile(to, before);
    EXPECT_EQ(copy(from, to, mode), want) << to << " " << mode;
    EXPECT_EQ(test::readFile(to), after) << to;
  }
  EXPECT_TRUE(pathExists(dst.c_str()) && pathExists(path("f").c_str()));
}

// Failed writes (at a flush, or unbuffered), a failed close, no buffer, a
// failed read: each reported once, both streams closed once, what was
// written left in place.
TEST_F(FileCopy, Failures) {
  const std::tuple<long, long, long, int, bool, uint64_t, const char*> rows[] = {
      {-1, 5000, 1 << 20, 1, false, 1, "D:o: writing error\r\n"},
      {-1, 5000, 1000, 0, false, 1, "D:o: writing error\r\n"},
      {-1, -1, 1 << 20, 1, true, 0, "D:o: writing error\r\n"},
      {6000, -1, 1 << 20, 1, false, 1, "S:i: reading error\r\n"},
      {-1, -1, 1 << 20, 1, false, 1, "\r\ncannot get the memory of 4 K bytes\r\n"},
  };
  for (auto [in_fail_at, fail_at, chunk, buffered, fail_close, free_bytes, message] : rows) {
    test::MemFile in, out;
    in.data = data;
    in.fail_at = in_fail_at;
    std::tie(out.fail_at, out.chunk, out.fail_close) = std::tie(fail_at, chunk, fail_close);
    volume.free_bytes = free_bytes;
    heap.fail_allocate = message[0] == '\r';
    terminate_size = heap.fail_allocate ? 1 : INT_MAX;
    EXPECT_EQ(
        copyStream(test::openMem(&in, "rb"), test::openMem(&out, "wb", buffered), "S:i", "D:o"), 0);
    messages += message;
    EXPECT_TRUE(data.compare(0, out.data.size(), out.data) == 0);
    if (in_fail_at > 0) {
      EXPECT_GE(out.data.size(), 4096u);
    }
    EXPECT_EQ(in.closes + out.closes, 2);
  }
  terminate_size = INT_MAX;
}

}  // namespace
}  // namespace kawase
