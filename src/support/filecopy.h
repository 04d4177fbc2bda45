// Byte-for-byte file copy in binary mode, with the checked close of the
// destination so that a full disk is reported.
#pragma once

namespace kawase {

struct Stream;

// Copies the file `src` to `dst`. `mode` 1 refuses to replace an existing
// `dst`; any other value replaces it. 1 on success; 0 on refusal (no
// message), when a file cannot be opened (no message; a missing source
// leaves `dst` behind empty), when reading fails ("<src>: reading error")
// or when writing fails ("<dst>: writing error").
// A failed copy never removes the partial destination.
int copyFile(const char* src, const char* dst, int mode);

// The copy itself, over streams already open: `in` for reading the file
// `src`, `out` for writing the file `dst`. Moves the data in blocks of the allocation-unit
// size of `dst`'s volume, closes both streams (`out` with Fclose) and
// returns as copyFile does.
int copyStream(Stream* in, Stream* out, const char* src, const char* dst);

}  // namespace kawase
