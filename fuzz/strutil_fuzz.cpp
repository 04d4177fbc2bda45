// Strings and output buffers in blocks of exactly the promised size. Input:
// SetParam budget (2 bytes), StrnCmp budget (1), tab width (2), then two
// strings split at a NUL; a second NUL ends the input.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "strutil/strutil.h"

using namespace kawase;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  std::string part[2];
  for (size_t i = 5, k = 0; i < size && k < 2; i++) {
    if (data[i] != 0) part[k] += static_cast<char>(data[i]);
    if (data[i] == 0) k++;
  }
  const size_t len = part[0].size();
  fuzz::CString a(part[0].data(), len), b(part[1].data(), part[1].size()), path(a.bytes, len);

  // SetParam copies a run of the source (bracketed: and the stop byte).
  const int n = static_cast<int>(fuzz::le16(data)) % 600 + 1;
  fuzz::Block dst(2 * static_cast<size_t>(n)), head(len + 1), rest(len + 1);
  const char* stop = SetParam(a.bytes, dst.bytes, n);
  const char* begin = sp_skip(a.bytes);
  FUZZ_CHECK(stop >= begin && stop <= a.bytes + len);
  std::string copied(begin + (*begin == '"' ? 1 : 0), stop);
  if (*begin == '[' && *stop != '\0') copied += *stop;
  FUZZ_CHECK(copied == dst.bytes);

  // Head, a backslash and rest make the path again, cut after a wildcard.
  sepname(path.bytes, head.bytes, rest.bytes);
  const std::string joined = std::string(head.bytes) + "\\" + rest.bytes;
  FUZZ_CHECK(!std::strcmp(head.bytes, path.bytes) &&
             (joined == part[0] || joined == part[0] + "\\"));
  FUZZ_CHECK(std::strlen(head.bytes) == len || srch_wild(head.bytes) != nullptr);

  // A budget only hides differences; the order is antisymmetric.
  const int m = static_cast<int8_t>(data[2]), ab = StrnCmp(a.bytes, b.bytes, m);
  FUZZ_CHECK(ab >= -1 && ab <= 1 && StrnCmp(b.bytes, a.bytes, m) == -ab);
  FUZZ_CHECK(ab == 0 || ab == StrCmp(a.bytes, b.bytes));

  // chk_exptab measures what exp_tab gives, with no tab left; exp_tab would
  // end the process on a line that does not fit.
  const auto w = static_cast<int16_t>(fuzz::le16(data + 3));
  const int tabw = w == INT16_MAX ? INT_MAX : w == INT16_MIN ? INT_MIN : w;
  const int need = chk_exptab(tabw, a.bytes);
  FUZZ_CHECK(need == -1 || (need >= 1 && need <= 4096));
  if (need == -1) return 0;
  const char* line = exp_tab(tabw, a.bytes);
  FUZZ_CHECK(std::strlen(line) + 1 == static_cast<size_t>(need) && !std::strchr(line, '\t'));
  return 0;
}
