// The converters' reports of characters without a counterpart, one line
// each on standard error. A file in the wrong encoding gives one for every
// character, so they are made by hand rather than through the formatter,
// in place among the messages held (messages.h).
#pragma once

#include <cstdint>

namespace kawase {

// "Error code: " and the n bytes of a UTF-8 sequence in hex, "=", and the
// code point: "U+" and at least four digits when the sequence has fewer
// than four bytes, the digits alone when it has four, and "U+?" for none
// (cp < 0: a stray byte, or a sequence cut short by the end of the line).
void reportUtf8(const unsigned char* p, int n, int32_t cp);

// "Error code: " and the two bytes of a Shift_JIS key in hex, the second in
// brackets, " ... " and up to 64 bytes of the line from the key on.
void reportSjis(const unsigned char* key);

}  // namespace kawase
