// Tests run for each instance of the kernel table: the instance's name as
// the test's (Each/TextKernels.SameBytesAsPortable/avx512).
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/kernels.h"

namespace kawase {

inline void PrintTo(Isa isa, std::ostream* os) {
  *os << isaName(isa);
}

}  // namespace kawase

namespace kawase::test {

inline std::string instanceName(const testing::TestParamInfo<Isa>& param) {
  return isaName(param.param);
}

}  // namespace kawase::test
