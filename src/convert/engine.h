// The conversion engine: a whole input stream, line by line, onto an output
// stream, through the fast road where it can go and the full converters
// everywhere else.
#pragma once

#include "platform/kernels.h"

namespace kawase {

struct Stream;

enum class EngineResult {
  kDone,         // the input ended and all of it was converted
  kLineTooLong,  // a line of more than 255,998 bytes, its LF included
  kWriteFailed,  // the output took fewer bytes than it was given
  kReadFailed,   // a read of the input failed
};

// Converts the lines of `input` onto `output`: UTF-8 to Shift_JIS, or
// Shift_JIS to UTF-8 when `reverse`. A line longer than the read limit
// arrives in pieces of 255,999 bytes, each taken as a line; a NUL ends its
// line's text. The whole lines of each read are converted before the next
// read, so input from a pipe or a terminal is converted as it arrives. The
// engine stops at the first failure, having written everything converted
// before it; a failed read drops the unfinished line it cut. The
// converters' reports go to standard error in order with the output.
// The fast road is that of `fast`; without it (null) every line goes
// through the full converter, which gives the same bytes more slowly. A UTF-8 byte order mark as
// the first three bytes of the input is dropped.
EngineResult convertStream(Stream* input, Stream* output, bool reverse,
                           const Kernels* fast = &kernels());

}  // namespace kawase
