// Memory blocks and growing strings, over a heap the tests control: blocks
// come back dirty so that zero-filling shows, and any allocation or resize
// can be refused. Shortages end the process, so those cases run as death
// tests that compare the child's standard error byte for byte ("\n" goes
// out as "\r\n").
#include "support/memory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/heap.h"
#include "testutil/memstream.h"
#include "testutil/tempdir.h"

namespace kawase {
namespace {

using test::CaptureStd;

struct FakeHeap {
  bool fail_allocate = false, fail_resize = false;
  int allocations = 0, releases = 0;
  size_t last_size = 0;
} heap;

// Nothing here asks for 2 GiB or more: such a request means a negative
// size reached the heap, and the child dies of the abort, not by exit 1.
void* fakeAllocate(size_t n) {
  if (n >= size_t{1} << 31) std::abort();
  heap.allocations++;
  heap.last_size = n;
  if (heap.fail_allocate) return nullptr;
  return std::memset(std::malloc(n), 0xAA, n);  // dirt that getmem must clear
}

void* fakeResize(void* block, size_t n) {
  if (n >= size_t{1} << 31) std::abort();
  heap.last_size = n;
  return heap.fail_resize ? nullptr : std::realloc(block, n);
}

void fakeRelease(void* block) {
  heap.releases++;
  std::free(block);
}

const HeapOps fakeOps = {fakeAllocate, fakeResize, fakeRelease};

int endfun_calls = 0;

// Counts its calls, and in a death-test child shows where it ran.
void markEnd() {
  endfun_calls++;
  if (::write(2, "[endfun]", 8) != 8) std::abort();
}

class Memory : public ::testing::Test {
 protected:
  void SetUp() override {
    heap = FakeHeap();
    endfun_calls = 0;
    endfun = markEnd;
    old_ = setHeapOps(&fakeOps);
  }
  void TearDown() override {
    setHeapOps(old_);
    terminate_size = INT_MAX;
    endfun = nullptr;
  }
  const HeapOps* old_ = nullptr;
};

struct Death {
  std::function<void()> run;
  const char* text;  // the child's whole standard error
};

// On Windows the test framework reads the child's standard error back in
// text mode, which turns our CR LF into LF.
std::string asCaptured(std::string text) {
#ifdef _WIN32
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
#endif
  return text;
}

void expectDeaths(const std::vector<Death>& deaths) {
  for (const Death& d : deaths)
    EXPECT_EXIT(d.run(), ::testing::ExitedWithCode(1),
                ::testing::Matcher<const std::string&>(asCaptured(d.text)));
}

bool allZero(const void* block, int size) {
  const auto* p = static_cast<const unsigned char*>(block);
  return std::all_of(p, p + size, [](unsigned char c) { return c == 0; });
}

// Blocks come back zero-filled however dirty the heap hands them out;
// moremem keeps the contents up to the smaller size and from null
// allocates; a request of 0 bytes gets a real block of 1 without a word.
TEST_F(Memory, BlocksHandlesAndResizes) {
  CaptureStd err(kStderr);
  for (int size : {1, 1000, 1001, 65536}) {
    void* a = getmem(size);
    void* b = getmemLock(size);
    EXPECT_EQ(heap.last_size, static_cast<size_t>(size));
    EXPECT_TRUE(allZero(a, size) && allZero(getmemAdr(b), size)) << size;
    freemem(a);
    freeLocal(b);
  }
  freemem(nullptr);
  freeLocal(nullptr);
  EXPECT_EQ(heap.allocations, 8);
  EXPECT_EQ(heap.releases, 8);

  char* p = static_cast<char*>(getmem(4));
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(moremem(p, 5000));
  EXPECT_STREQ(p, "abc");
  p = static_cast<char*>(moremem(p, 2));
  EXPECT_EQ(std::string(p, 2), "ab");
  void* q = moremem(nullptr, 10);
  EXPECT_EQ(heap.allocations, 10);
  freemem(p);
  freemem(q);

  p = static_cast<char*>(getmem(0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(heap.last_size, 1u);
  p = static_cast<char*>(moremem(moremem(p, 100), 0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(heap.last_size, 1u);
  freemem(p);
  EXPECT_EQ(err.text(), "");
}

TEST_F(Memory, RefusalAtTerminateSizeReturnsNull) {
  CaptureStd err(kStderr);
  heap.fail_allocate = true;
  EXPECT_EQ(getmem(INT_MAX), nullptr);
  terminate_size = 4096;
  EXPECT_EQ(getmem(5000), nullptr);
  EXPECT_EQ(getmem(4096), nullptr);
  terminate_size = 500;
  EXPECT_EQ(getmem(1000), nullptr);
  EXPECT_EQ(err.text(),
            "\r\ncannot get the memory of 2097151 K bytes\r\n"
            "\r\ncannot get the memory of 4 K bytes\r\n"
            "\r\ncannot get the memory of 4 K bytes\r\n"
            "\r\ncannot get the memory of 1000 bytes\r\n");
  EXPECT_EQ(endfun_calls, 0);
}

TEST_F(Memory, ShortagesEndTheProcess) {
  void* p = getmem(8);
  char* s = setstr("abc");
  heap.fail_allocate = true;
  heap.fail_resize = true;
  // getmem counts K of 1024 bytes, moremem of 1000: 10000 bytes are 9 K
  // for one and 10 K for the other. terminate_size does not touch moremem.
  terminate_size = 100;
  expectDeaths({
      {[] { getmem(99); }, "\r\ncannot get the memory of 99 bytes\r\n[endfun]"},
      {[p] { moremem(p, 1000); }, "cannot get the memory of 1000 bytes\r\n[endfun]"},
      {[p] { moremem(p, 1001); }, "cannot get the memory of 1 K bytes\r\n[endfun]"},
      {[p] { moremem(p, 10000); }, "cannot get the memory of 10 K bytes\r\n[endfun]"},
      {[] { moremem(nullptr, 500); }, "cannot get the memory of 500 bytes\r\n[endfun]"},
      {[] { setstr("x"); }, "cannot get memory\r\n[endfun]"},
      {[s] { addstr(s, "def"); }, "can't get memory\r\n[endfun]"},
  });
  terminate_size = INT_MAX;
  expectDeaths({
      {[] { getmem(1000); }, "\r\ncannot get the memory of 1000 bytes\r\n[endfun]"},
      {[] { getmem(1001); }, "\r\ncannot get the memory of 0 K bytes\r\n[endfun]"},
      {[] { getmem(10000); }, "\r\ncannot get the memory of 9 K bytes\r\n[endfun]"},
      {[] {
         endfun = nullptr;
         getmem(1);
       },
       "\r\ncannot get the memory of 1 bytes\r\n"},
  });
  // A negative size fails however willing the heap is.
  heap = FakeHeap();
  expectDeaths({
      {[] { getmem(-5); }, "\r\ncannot get the memory of -5 bytes\r\n[endfun]"},
      {[] { getmemLock(INT_MIN); }, "\r\ncannot get the memory of -2147483648 bytes\r\n[endfun]"},
      {[p] { moremem(p, -1); }, "cannot get the memory of -1 bytes\r\n[endfun]"},
  });
  freemem(p);
  freemem(s);
}

TEST_F(Memory, GetmemLockAddsItsFatalErrorWithoutEndfun) {
  heap.fail_allocate = true;
  terminate_size = 4096;
  expectDeaths({{[] { getmemLock(5000); },
                 "\r\ncannot get the memory of 4 K bytes\r\n"
                 "Faital error:\r\ncannot get the memory of 5 K bytes"}});
  terminate_size = 100;
  expectDeaths({
      {[] { getmemLock(500); },
       "\r\ncannot get the memory of 500 bytes\r\nFaital error:\r\ncannot get memory of 500 bytes"},
      // Below terminate_size getmem itself ends the process, with endfun.
      {[] { getmemLock(50); }, "\r\ncannot get the memory of 50 bytes\r\n[endfun]"},
  });
}

// A cleanup that itself runs short ends the process instead of recursing;
// what the streams hold is written out before the exit.
TEST_F(Memory, EndfunRunsOnceAndBufferedOutputIsKept) {
#ifdef _WIN32
  // The child of a death test is a new process here, with a file name of its
  // own; the end-to-end tests cover the exit there.
  GTEST_SKIP();
#endif
  test::TempDir tmp;
  const std::string path = tmp.file("pending.txt");
  endfun = [] {
    markEnd();
    getmem(10);
  };
  heap.fail_allocate = true;
  expectDeaths({{[&path] {
                   streamPuts("pending\n", streamOpen(path.c_str(), "w"));
                   getmem(10);
                 },
                 "\r\ncannot get the memory of 10 bytes\r\n[endfun]"
                 "\r\ncannot get the memory of 10 bytes\r\n"}});
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "pending\r\n");
}

TEST_F(Memory, GrowingStrings) {
  char* p = setstr("");
  EXPECT_EQ(heap.last_size, 1u);
  p = addstr(p, "abc");
  EXPECT_EQ(heap.last_size, 4u);
  EXPECT_STREQ(p, "abc");
  // A string may be appended to itself, or a tail of itself, though the
  // resize moves it.
  p = addstr(p, p);
  p = addstr(p, p + 4);
  EXPECT_STREQ(p, "abcabcbc");
  EXPECT_EQ(heap.last_size, 9u);

  char source[] = "hello";
  char* copy = setstr(source);
  EXPECT_EQ(heap.last_size, 6u);
  source[0] = 'j';
  copy = addstr(copy, "\x82\xA0\x5C");
  EXPECT_STREQ(copy, "hello\x82\xA0\x5C");
  freemem(p);
  freemem(copy);
  EXPECT_EQ(heap.releases, 2);
}

}  // namespace
}  // namespace kawase
