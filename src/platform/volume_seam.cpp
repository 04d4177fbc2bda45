// The replaceable table of volume operations.
#include "platform/volume.h"

namespace kawase {

namespace {

// One process-wide choice, unguarded: the program has a single thread, and
// tests swap it only between their own calls.
const VolumeOps* currentOps = nullptr;

}  // namespace

const VolumeOps* volumeOps() {
  return currentOps != nullptr ? currentOps : systemVolumeOps();
}

const VolumeOps* setVolumeOps(const VolumeOps* ops) {
  const VolumeOps* previous = volumeOps();
  currentOps = ops;
  return previous;
}

}  // namespace kawase
