// Process entry: the platform supplies the arguments (on Windows split from
// the command line by our own rules, wildcards never expanded), the driver
// does the rest.
#include "main/driver.h"
#include "platform/cmdline.h"
#include "platform/textstream.h"

int main(int argc, char** argv) {
  // Should the split run out of memory, the arguments stay as the runtime
  // gave them, which is still a usable command line.
  kawase::platformArgs(&argc, &argv);
  kawase::Exit(kawase::kawaseMain(argc, argv));
}
