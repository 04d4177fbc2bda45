// Memory blocks and growing heap strings. A shortage is reported where it
// is found and ends the process through Exit, so that buffered output of
// open streams still reaches its files.
#include "support/memory.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/heap.h"
#include "platform/textstream.h"
#include "support/messages.h"

namespace kawase {

int terminate_size = INT_MAX;
void (*endfun)() = nullptr;

namespace {

// Bytes to ask the heap for. A request of 0 bytes is served with a block of
// one byte: asking for nothing is no shortage, ending the user's run over
// it would be, and a real block keeps "every result is released with
// freemem" true (the C heap may answer malloc(0) with null, and realloc to
// 0 bytes is not portable). Negative sizes never reach the heap.
size_t heapBytes(int size) {
  return size == 0 ? 1 : static_cast<size_t>(size);
}

// Ends the process after a shortage. endfun may itself run short of
// memory; it is called at most once, so such a failure ends the process
// instead of recursing.
[[noreturn]] void endProcess() {
  static bool ending = false;
  if (endfun != nullptr && !ending) {
    ending = true;
    endfun();
  }
  Exit(1);
}

}  // namespace

void* getmem(int size) {
  void* block = size >= 0 ? heapOps()->allocate(heapBytes(size)) : nullptr;
  if (block != nullptr) {
    std::memset(block, 0, heapBytes(size));
    return block;
  }
  if (size > 1000) {
    errmsg("\ncannot get the memory of %d K bytes\n", size / 1024);
  } else {
    errmsg("\ncannot get the memory of %d bytes\n", size);
  }
  if (size >= terminate_size) return nullptr;
  endProcess();
}

void* moremem(void* block, int size) {
  void* moved = nullptr;
  if (size >= 0) {
    const HeapOps* heap = heapOps();
    moved =
        block == nullptr ? heap->allocate(heapBytes(size)) : heap->resize(block, heapBytes(size));
  }
  if (moved != nullptr) return moved;
  if (size > 1000) {
    errmsg("cannot get the memory of %d K bytes\n", size / 1000);
  } else {
    errmsg("cannot get the memory of %d bytes\n", size);
  }
  endProcess();
}

void freemem(void* block) {
  if (block != nullptr) heapOps()->release(block);
}

void* getmemLock(int size) {
  void* block = getmem(size);
  if (block != nullptr) return block;
  // getmem has already told of the refused request; this follows it.
  if (size > 1000) {
    errmsg("Faital error:\ncannot get the memory of %d K bytes", size / 1000);
  } else {
    errmsg("Faital error:\ncannot get memory of %d bytes", size);
  }
  Exit(1);
}

void* getmemAdr(void* handle) {
  return handle;
}

void freeLocal(void* handle) {
  freemem(handle);
}

char* setstr(const char* s) {
  size_t bytes = std::strlen(s) + 1;
  // A string too long for a signed 32-bit size is a shortage like any other.
  void* copy = bytes <= INT_MAX ? heapOps()->allocate(bytes) : nullptr;
  if (copy == nullptr) {
    errmsg("cannot get memory\n");
    endProcess();
  }
  std::memcpy(copy, s, bytes);
  return static_cast<char*>(copy);
}

char* addstr(char* p, const char* s) {
  size_t held = std::strlen(p);
  size_t added = std::strlen(s);
  size_t bytes = held + added + 1;
  // `s` may be (a part of) `p` itself, which the resize may move: keep its
  // place as an offset into the string.
  auto from = reinterpret_cast<uintptr_t>(s);
  auto start = reinterpret_cast<uintptr_t>(p);
  bool inside = from >= start && from <= start + held;
  void* grown = bytes <= INT_MAX ? heapOps()->resize(p, bytes) : nullptr;
  if (grown == nullptr) {
    errmsg("can't get memory\n");
    endProcess();
  }
  auto* q = static_cast<char*>(grown);
  if (inside) s = q + (from - start);
  std::memmove(q + held, s, added);
  q[held + added] = '\0';
  return q;
}

}  // namespace kawase
