#include "platform/simd.h"

namespace kawase {

namespace {

bool processorHasSsse3() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  // This may run before libgcc has looked at the processor.
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") != 0;
#else
  return false;
#endif
}

bool& choice() {
  static bool enabled = processorHasSsse3();
  return enabled;
}

}  // namespace

bool simdEnabled() {
  return choice();
}

bool setSimdEnabled(bool on) {
  bool old = choice();
  choice() = on && processorHasSsse3();
  return old;
}

}  // namespace kawase
