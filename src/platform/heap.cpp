// The C runtime heap, behind a replaceable table of operations.
#include "platform/heap.h"

#include <cstdlib>

namespace kawase {

namespace {

void* systemAllocate(size_t n) {
  return std::malloc(n);
}

void* systemResize(void* block, size_t n) {
  return std::realloc(block, n);
}

void systemRelease(void* block) {
  std::free(block);
}

const HeapOps* current = &systemHeapOps;

}  // namespace

const HeapOps systemHeapOps = {systemAllocate, systemResize, systemRelease};

const HeapOps* heapOps() {
  return current;
}

const HeapOps* setHeapOps(const HeapOps* ops) {
  const HeapOps* old = current;
  current = ops != nullptr ? ops : &systemHeapOps;
  return old;
}

}  // namespace kawase
