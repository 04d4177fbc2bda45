// The string and path library on arbitrary strings, each in a block of
// exactly its length plus one, with output buffers of exactly the size the
// caller must provide: SetParam (2 * n bytes), sepname (strlen + 1 each),
// optionStr_skip, findExt, serstr, StrnCmp and the tab expansion.
//
// Input: five parameter bytes (the SetParam budget, two bytes; the StrnCmp
// budget, one; the tab width, two, so that widths that reach the 4,096
// column limit exactly are near), then up to three strings separated by
// NUL bytes.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "strutil/strutil.h"

namespace {

using namespace kawase;
using fuzz::Block;
using fuzz::CString;

bool isLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrail(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}
bool isKana(unsigned char b) {
  return b >= 0xA1 && b <= 0xDF;
}
unsigned char at(const char* s, size_t i) {
  return static_cast<unsigned char>(s[i]);
}

// The bytes [from, to) of s, as a string.
std::string span(const char* from, const char* to) {
  return std::string(from, static_cast<size_t>(to - from));
}

// The parameter forms: bare up to "=", a blank or the end; quoted, without
// its quotes; bracketed, with its brackets. Whatever was copied is a run of
// the source, so the result is the source from where copying began to where
// it stopped (the bracketed form adds the stop byte), and fits the 2 * n
// bytes the caller gives.
void checkSetParam(const char* src, int n) {
  Block dst(2 * static_cast<size_t>(n));
  const char* stop = SetParam(src, dst.bytes, n);
  const size_t len = std::strlen(src);
  FUZZ_CHECK(stop >= src && stop <= src + len);
  const char* begin = sp_skip(src);
  FUZZ_CHECK(stop >= begin);
  const size_t got = std::strlen(dst.bytes);
  FUZZ_CHECK(got < 2 * static_cast<size_t>(n));
  // Without two-byte characters the budget is a byte count: n bytes hold
  // the result and its NUL.
  bool singleBytes = true;
  for (size_t i = 0; i < len; i++) singleBytes = singleBytes && !isLead(at(src, i));
  if (singleBytes && n >= 2) FUZZ_CHECK(got + 1 <= static_cast<size_t>(n));
  if (*begin == '"') {
    FUZZ_CHECK(stop > begin && span(dst.bytes, dst.bytes + got) == span(begin + 1, stop));
  } else if (*begin == '[') {
    std::string want = span(begin, stop);
    want += *stop;  // the stop byte, or the NUL that strlen does not count
    FUZZ_CHECK(span(dst.bytes, dst.bytes + got) == std::string(want.c_str()));
  } else {
    FUZZ_CHECK(span(dst.bytes, dst.bytes + got) == span(begin, stop));
  }
}

void checkOptionSkip(const char* s) {
  const char* p = optionStr_skip(s);
  FUZZ_CHECK(p >= sp_skip(s) && p <= s + std::strlen(s));
}

// head gets the path up to the split backslash, rest what follows it, and
// the path is cut there: head, a backslash and rest make the path again.
void checkSepname(const char* original) {
  const size_t len = std::strlen(original);
  CString path(original, len);
  Block head(len + 1);
  Block rest(len + 1);
  FUZZ_CHECK(sepname(path.bytes, head.bytes, rest.bytes) == 0);
  FUZZ_CHECK(std::strcmp(head.bytes, path.bytes) == 0);
  const size_t cut = std::strlen(path.bytes);
  if (cut == len) {
    FUZZ_CHECK(rest.bytes[0] == '\0');
    return;
  }
  FUZZ_CHECK(std::string(head.bytes) + "\\" + rest.bytes == original);
  FUZZ_CHECK(srch_wild(head.bytes) != nullptr);
}

// The extension's "." lies in the last component, after which no "." and
// no backslash character follows.
void checkFindExt(const char* s) {
  const char* dot = findExt(s);
  const char* sep = Strrchr(s, '\\');
  const char* name = sep != nullptr ? sep + 1 : s;
  if (dot == nullptr) {
    FUZZ_CHECK(std::strchr(name, '.') == nullptr);
    return;
  }
  FUZZ_CHECK(dot >= name && *dot == '.' && std::strchr(dot + 1, '.') == nullptr);
}

// The first character start, stepping a lead byte and a trail byte as one,
// at which the pattern's bytes follow.
void checkSerstr(const char* s, const char* pat) {
  const char* got = serstr(s, pat);
  const size_t n = std::strlen(pat);
  const char* want = nullptr;
  if (n > 0) {
    for (size_t i = 0; s[i] != '\0';) {
      if (std::strncmp(s + i, pat, n) == 0) {
        want = s + i;
        break;
      }
      i += isLead(at(s, i)) && isTrail(at(s, i + 1)) ? 2 : 1;
    }
  }
  FUZZ_CHECK(got == want);
}

// The path-name order as a sequence of character keys compared one after
// the other, a string that ends first sorting first: a backslash, then
// other ASCII with letters folded, then single-byte katakana, then a high
// byte with the byte after it (if any).
std::vector<std::vector<int>> orderKeys(const char* s) {
  std::vector<std::vector<int>> keys;
  for (size_t i = 0; s[i] != '\0';) {
    unsigned char b = at(s, i);
    if (b == '\\') {
      keys.push_back({2});
    } else if (b < 0x80) {
      keys.push_back({3, b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b});
    } else if (isKana(b)) {
      keys.push_back({4, b});
    } else if (s[i + 1] != '\0') {
      keys.push_back({5, b, at(s, i + 1)});
      i++;
    } else {
      keys.push_back({5, b});
    }
    i++;
  }
  return keys;
}

void checkStrnCmp(const char* a, const char* b, const char* c, int n) {
  const int ab = StrnCmp(a, b, n);
  FUZZ_CHECK(ab == -1 || ab == 0 || ab == 1);
  FUZZ_CHECK(StrnCmp(b, a, n) == -ab);
  FUZZ_CHECK(StrnCmp(a, a, n) == 0);
  const int whole = StrnCmp(a, b, -1);
  // A difference found within the budget is the difference of the whole
  // strings; a budget beyond both strings is no budget.
  if (ab != 0) FUZZ_CHECK(ab == whole);
  if (n < 0 || static_cast<size_t>(n) > std::strlen(a) + std::strlen(b)) FUZZ_CHECK(ab == whole);
  const auto ka = orderKeys(a);
  const auto kb = orderKeys(b);
  FUZZ_CHECK(whole == (ka < kb ? -1 : kb < ka ? 1 : 0));
  FUZZ_CHECK(StrCmp(a, c) == (ka < orderKeys(c) ? -1 : orderKeys(c) < ka ? 1 : 0));
}

// chk_exptab and exp_tab agree with a plain expansion (a width below 1
// counts as 1) and with each other; exp_tab is called only on lines that
// chk_exptab says fit, since it ends the process on any other.
void checkTabs(const char* s, int tabw) {
  const long width = tabw < 1 ? 1 : tabw;
  std::string want;
  bool tooLong = false;
  for (size_t i = 0; s[i] != '\0' && !tooLong; i++) {
    long add = s[i] == '\t' ? width - static_cast<long>(want.size()) % width : 1;
    if (static_cast<long>(want.size()) + add >= 4096) {
      tooLong = true;
    } else {
      want.append(static_cast<size_t>(add), s[i] == '\t' ? ' ' : s[i]);
    }
  }
  const int need = chk_exptab(tabw, s);
  if (tooLong) {
    FUZZ_CHECK(need == -1);
    return;
  }
  FUZZ_CHECK(need >= 1 && need <= 4096 && static_cast<size_t>(need) == want.size() + 1);
  const char* line = exp_tab(tabw, s);
  FUZZ_CHECK(std::strlen(line) == want.size() && want == line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int paramBudget = static_cast<int>(fuzz::le16(data)) % 600 + 1;
  const int cmpBudget = static_cast<int8_t>(data[2]);
  const auto width = static_cast<int16_t>(fuzz::le16(data + 3));
  const int tabw = width == INT16_MAX ? INT_MAX : width == INT16_MIN ? INT_MIN : width;

  std::vector<std::string> parts;
  const char* p = reinterpret_cast<const char*>(data + 5);
  const char* end = reinterpret_cast<const char*>(data + size);
  while (parts.size() < 3) {
    const char* nul = static_cast<const char*>(std::memchr(p, 0, static_cast<size_t>(end - p)));
    parts.push_back(span(p, nul != nullptr ? nul : end));
    if (nul == nullptr) break;
    p = nul + 1;
  }
  parts.resize(3);
  CString s0(parts[0].data(), parts[0].size());
  CString s1(parts[1].data(), parts[1].size());
  CString s2(parts[2].data(), parts[2].size());

  checkSetParam(s0.bytes, paramBudget);
  checkSetParam(s1.bytes, paramBudget);
  checkOptionSkip(s0.bytes);
  checkSepname(s0.bytes);
  checkFindExt(s0.bytes);
  checkSerstr(s0.bytes, s1.bytes);
  checkStrnCmp(s0.bytes, s1.bytes, s2.bytes, cmpBudget);
  checkTabs(s0.bytes, tabw);
  return 0;
}
