// The heap beneath the memory blocks of support/memory.h. Tests replace it
// to make an allocation or a resize fail, or to count releases.
#pragma once

#include <cstddef>

namespace kawase {

struct HeapOps {
  // A new block of n bytes (n > 0), contents undefined; null on failure.
  void* (*allocate)(size_t n);
  // Resizes `block` (never null) to n bytes (n > 0), keeping its contents
  // up to the smaller size, and returns its new address; null on failure,
  // with `block` left as it was.
  void* (*resize)(void* block, size_t n);
  // Releases `block` (never null).
  void (*release)(void* block);
};

// The operations in use (the system's own unless replaced).
const HeapOps* heapOps();

// Installs `ops` (null: the system's own) and returns the previous ones.
const HeapOps* setHeapOps(const HeapOps* ops);

// The system's own operations: the C runtime heap.
extern const HeapOps systemHeapOps;

}  // namespace kawase
