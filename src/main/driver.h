// The conversion driver: command line, output settling, line loop.
#pragma once

namespace kawase {

// Runs kawase with the split command line and ends the process with status
// 0 or 1; never returns.
[[noreturn]] void kawaseMain(int argc, char** argv);

}  // namespace kawase
