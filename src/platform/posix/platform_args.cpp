// On POSIX systems the program receives its arguments already split by the
// shell (or by whoever started it): there is no command line to split.
#include "platform/cmdline.h"

namespace kawase {

int platformArgs(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  return 0;
}

}  // namespace kawase
