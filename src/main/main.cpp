// Process entry: the platform supplies the arguments (split by our own
// rules on Windows), the driver does the rest.
#include "main/driver.h"

int main(int argc, char** argv) {
  kawase::kawaseMain(argc, argv);
}
