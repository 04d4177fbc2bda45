// The conversion driver: command line, output settling, line loop.
#pragma once

namespace kawase {

// Runs kawase with the split command line and returns the exit status, 0
// or 1. The streams it opened are closed and standard output is flushed;
// nothing of the run is left behind for the next one.
int kawaseMain(int argc, char** argv);

}  // namespace kawase
