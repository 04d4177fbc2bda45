// The one fake for each seam the tests play: the volume layer, the heap,
// and plain file helpers. The stream backend is MemFile in memstream.h.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/heap.h"
#include "platform/volume.h"

namespace kawase::test {

// A volume with chosen geometry and free space; both queries can fail or,
// for the extended one, be absent. Installed for the life of the object.
struct FakeVolume {
  int basic_ok = 1;  // the geometry query: 1 works, 0 fails
  int ext = 1;       // the extended query: 1 works, 0 fails, -1 absent
  uint64_t free_bytes = uint64_t{1} << 30;
  uint32_t sectors = 8, bytes = 512, free_clusters = 1000, total = 100000;
  uint32_t attributes = kInvalidAttributes;
  std::string last_root, last_name;

  FakeVolume() : old_(setVolumeOps(&ops)) { current() = this; }
  ~FakeVolume() { setVolumeOps(old_); }
  FakeVolume(const FakeVolume&) = delete;
  FakeVolume& operator=(const FakeVolume&) = delete;

 private:
  static FakeVolume*& current() {
    static FakeVolume* v = nullptr;
    return v;
  }
  static int basic(const char* root, const char* name, uint32_t* s, uint32_t* b, uint32_t* f,
                   uint32_t* t) {
    FakeVolume& v = *current();
    v.last_root = root;
    v.last_name = name;
    *s = v.sectors;
    *b = v.bytes;
    *f = v.free_clusters;
    *t = v.total;
    return v.basic_ok;
  }
  static int extended(const char* root, const char* name, uint64_t* out) {
    FakeVolume& v = *current();
    v.last_root = root;
    v.last_name = name;
    *out = v.free_bytes;
    return v.ext;
  }
  static uint32_t attrs(const char*) { return current()->attributes; }
  static constexpr VolumeOps ops = {basic, extended, attrs};
  const VolumeOps* old_;
};

// The C heap, with counts, dirt in new blocks (that callers who promise
// cleared memory must clear), and allocations or resizes made to fail.
// Installed for the life of the object.
struct FakeHeap {
  bool fail_allocate = false, fail_resize = false;
  int allocations = 0, releases = 0;
  size_t last_size = 0;

  FakeHeap() : old_(setHeapOps(&ops)) { current() = this; }
  ~FakeHeap() { setHeapOps(old_); }
  FakeHeap(const FakeHeap&) = delete;
  FakeHeap& operator=(const FakeHeap&) = delete;

 private:
  static FakeHeap*& current() {
    static FakeHeap* h = nullptr;
    return h;
  }
  // Nothing in the tests asks for 2 GiB or more: such a request means a
  // negative size reached the heap.
  static void* allocate(size_t n) {
    FakeHeap& h = *current();
    if (n >= size_t{1} << 31) std::abort();
    h.allocations++;
    h.last_size = n;
    if (h.fail_allocate) return nullptr;
    return std::memset(std::malloc(n), 0xAA, n);
  }
  static void* resize(void* block, size_t n) {
    FakeHeap& h = *current();
    if (n >= size_t{1} << 31) std::abort();
    h.last_size = n;
    return h.fail_resize ? nullptr : std::realloc(block, n);
  }
  static void release(void* block) {
    current()->releases++;
    std::free(block);
  }
  static constexpr HeapOps ops = {allocate, resize, release};
  const HeapOps* old_;
};

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void writeFile(const std::string& name, const std::string& data) {
  std::ofstream(name, std::ios::binary) << data;
}

}  // namespace kawase::test
