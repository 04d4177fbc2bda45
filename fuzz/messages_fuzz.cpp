// err_edit on arbitrary formats, each conversion that takes an argument made
// a "%s", with strings up to twice the text limit long. Input: the format up
// to its first NUL, then two bytes for the length of each string.
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "support/messages.h"

constexpr size_t kArgs = 8;

static char* edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char* text = kawase::err_edit(fmt, args);
  va_end(args);
  return text;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto* nul = static_cast<const uint8_t*>(size > 0 ? std::memchr(data, 0, size) : nullptr);
  std::string fmt(data, nul != nullptr ? nul : data + size);
  // The strings' bytes include "%" and "\", which must be copied as they are.
  std::string args[kArgs];
  for (size_t k = 0, at = fmt.size() + 1; k < kArgs && at + 1 < size; k++, at += 2)
    for (size_t i = kawase::fuzz::le16(data + at) % 2049; i > 0; i--)
      args[k] += static_cast<char>(' ' + (k * 7 + i) % 95);

  // Makes every conversion a "%s" (the format ends after the kArgs-th) and
  // builds the text the formatter must give.
  std::string want;
  for (size_t i = 0, taken = 0; i < fmt.size(); i++) {
    const bool on = want.size() < 1024;
    if (fmt[i] == '\\' && i + 1 < fmt.size()) {
      if (on) want += fmt[i + 1];
      i++;
    } else if (fmt[i] != '%' || i + 1 == fmt.size()) {
      if (on) want += fmt[i];
    } else if (std::strchr("cdxfs", fmt[++i]) == nullptr) {
      if (on) want += {'%', fmt[i]};
    } else {
      fmt[i] = 's';
      const std::string& s = args[taken];
      if (on && want.size() + s.size() <= 1024) {
        want += s;
      } else if (on && want.size() < 768) {
        want += s.substr(0, 768 - want.size());
      }
      if (++taken == kArgs) fmt.resize(i + 1);
    }
  }
  auto a = [&args](size_t k) { return args[k].c_str(); };
  FUZZ_CHECK(want == edit(fmt.c_str(), a(0), a(1), a(2), a(3), a(4), a(5), a(6), a(7)));
  return 0;
}
