// Memory blocks over the fake heap, whose blocks come back dirty.
#include "support/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "testutil/fakes.h"
#include "testutil/memstream.h"

namespace kawase {

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

}  // namespace kawase
