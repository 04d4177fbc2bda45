// Which code the byte loops run: the SSSE3 code, where the processor has
// it, or the portable code, which any processor runs and which is the
// reference the SSSE3 code must match byte for byte. The choice is made at
// run time, so that one program runs on every processor it can start on.
#pragma once

namespace kawase {

// True when the SSSE3 loops are in use.
bool simdEnabled();

// Tests run the portable loops and the SSSE3 ones on the same inputs:
// turns the SSSE3 loops off or back on and returns the previous choice. On
// a processor without SSSE3 they stay off.
bool setSimdEnabled(bool on);

}  // namespace kawase
