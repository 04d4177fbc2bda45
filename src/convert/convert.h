// The two line converters.
#pragma once

#include <cstdint>

namespace kawase {

// Bytes of the character last handled: input bytes consumed by
// unicode2sjis, output bytes produced by sjis2unicode.
extern int32_t unicode_len;

// UTF-8 to Shift_JIS. `dst` must hold 2 * strlen(src) + 1 bytes.
int unitosj(const char* src, char* dst);
int unicode2sjis(const char* p);
int unicodeKanji(const char* p);

// Shift_JIS to UTF-8. `dst` must hold 3 * strlen(src) + 1 bytes.
int sjtouni(const char* src, char* dst);
char* sjis2unicode(const char* p);

}  // namespace kawase
