// The kernel table's instances, and the choice of one by the processor.
#include "platform/kernels.h"

#include "convert/ascii_run.h"
#include "convert/convert.h"
#include "platform/text_kernels.h"

namespace kawase {

namespace {

const Kernels kPortable = {textOfBlockPortable, appendCrLfPortable, AsciiPortable::copyRun,
                           unitosjSpanPortable, sjtouniSpanPortable};

#if defined(KAWASE_X86)
const Kernels kSsse3 = {textOfBlockSsse3, appendCrLfSsse3, AsciiSsse3::copyRun, unitosjSpanSsse3,
                        sjtouniSpanSsse3};

#endif

#if defined(KAWASE_X86_64)
const Kernels kAvx512 = {textOfBlockAvx512, appendCrLfAvx512, AsciiAvx512::copyRun,
                         unitosjSpanAvx512, sjtouniSpanAvx512};
#endif

#if defined(KAWASE_X86)
// Asked of the processor, and of the system whether it saves the vector
// registers (libgcc checks both).
bool processorHas(Isa isa) {
  // This may run before libgcc has looked at the processor.
  __builtin_cpu_init();
  switch (isa) {
    case Isa::kSsse3:
      return __builtin_cpu_supports("ssse3") != 0;
    case Isa::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
             __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
             __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    default:
      return false;
  }
}
#endif

}  // namespace

const char* isaName(Isa isa) {
  switch (isa) {
    case Isa::kSsse3:
      return "ssse3";
    case Isa::kAvx512:
      return "avx512";
    default:
      return "portable";
  }
}

const Kernels* kernelsFor(Isa isa) {
  switch (isa) {
    case Isa::kPortable:
      return &kPortable;
#if defined(KAWASE_X86)
    case Isa::kSsse3:
      return processorHas(isa) ? &kSsse3 : nullptr;
#endif
#if defined(KAWASE_X86_64)
    case Isa::kAvx512:
      return processorHas(isa) ? &kAvx512 : nullptr;
#endif
    default:
      return nullptr;
  }
}

const Kernels& kernels() {
  static const Kernels* chosen = [] {
    const Kernels* best = &kPortable;
    for (Isa isa : kAllIsas) {
#if defined(KAWASE_KERNELS_CAP)
      // A build that times one instance alone goes no further.
      if (static_cast<int>(isa) > KAWASE_KERNELS_CAP) break;
#endif
      if (const Kernels* k = kernelsFor(isa)) best = k;
    }
    return best;
  }();
  return *chosen;
}

}  // namespace kawase
