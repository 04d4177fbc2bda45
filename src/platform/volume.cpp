// Selection of the volume operations; the system's own live in posix/ and
// win32/.
#include "platform/volume.h"

namespace kawase {

namespace {
const VolumeOps* current = &systemVolumeOps;
}

const VolumeOps* volumeOps() {
  return current;
}

const VolumeOps* setVolumeOps(const VolumeOps* ops) {
  const VolumeOps* old = current;
  current = ops != nullptr ? ops : &systemVolumeOps;
  return old;
}

}  // namespace kawase
