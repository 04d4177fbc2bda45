// The message formatter err_edit on arbitrary formats whose conversions
// take only strings, with string arguments of fuzzed lengths (up to twice
// the text limit). The input is the format up to its first NUL; the bytes
// after it give the argument lengths, two bytes each. Every conversion byte
// that would take another type (c, d, x, f) is made an "s" first.
//
// The text must stay within the 1280-byte buffer and match a model of the
// formatter: a backslash takes the next byte literally, "%s" appends its
// string whole while the text stays within 1024 bytes and otherwise cuts it
// so the text holds 768 bytes (nothing once it holds more), any other byte
// after "%" is echoed with it, a lone "%" at the end stays, and formatting
// ends once the text holds 1024 bytes.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "support/messages.h"

namespace {

using namespace kawase;

constexpr size_t kArgs = 32;
constexpr size_t kTextLimit = 1024;
constexpr size_t kStringCut = 768;
constexpr size_t kBufferSize = 1280;

char* edit(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  char* text = err_edit(fmt, args);
  va_end(args);
  return text;
}

// Walks the format as the formatter does, making every conversion that
// takes an argument a "%s", and cuts it after the kArgs-th of them so the
// arguments passed always suffice.
std::string stringsOnly(const uint8_t* data, size_t n) {
  std::string fmt(reinterpret_cast<const char*>(data), n);
  size_t taken = 0;
  for (size_t i = 0; i < fmt.size(); i++) {
    if (fmt[i] == '\\' && i + 1 < fmt.size()) {
      i++;
    } else if (fmt[i] == '%' && i + 1 < fmt.size()) {
      char& conv = fmt[++i];
      if (conv == 'c' || conv == 'd' || conv == 'x' || conv == 'f') conv = 's';
      if (conv == 's' && ++taken == kArgs) {
        fmt.resize(i + 1);
        break;
      }
    }
  }
  return fmt;
}

std::string model(const std::string& fmt, const std::string* args) {
  std::string text;
  size_t next = 0;
  for (size_t i = 0; text.size() < kTextLimit && i < fmt.size(); i++) {
    char b = fmt[i];
    if (b == '\\' && i + 1 < fmt.size()) {
      text += fmt[++i];
    } else if (b != '%' || i + 1 == fmt.size()) {
      text += b;
    } else if (fmt[++i] != 's') {
      text += '%';
      text += fmt[i];
    } else {
      const std::string& s = args[next++];
      if (text.size() + s.size() <= kTextLimit) {
        text += s;
      } else if (text.size() < kStringCut) {
        text += s.substr(0, kStringCut - text.size());
      }
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const void* nul = size > 0 ? std::memchr(data, 0, size) : nullptr;
  size_t fmtLen =
      nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : size;
  std::string fmt = stringsOnly(data, fmtLen);

  // Arguments of fuzzed lengths; their bytes include "%" and "\", which
  // must be copied as they are.
  std::string args[kArgs];
  size_t at = fmtLen + 1;
  for (size_t k = 0; k < kArgs; k++) {
    size_t len = 0;
    if (at + 1 < size) {
      len = fuzz::le16(data + at) % (2 * kTextLimit + 1);
      at += 2;
    }
    for (size_t i = 0; i < len; i++) args[k] += static_cast<char>(' ' + (k * 7 + i) % 95);
  }

  const char* text =
      edit(fmt.c_str(), args[0].c_str(), args[1].c_str(), args[2].c_str(), args[3].c_str(),
           args[4].c_str(), args[5].c_str(), args[6].c_str(), args[7].c_str(), args[8].c_str(),
           args[9].c_str(), args[10].c_str(), args[11].c_str(), args[12].c_str(), args[13].c_str(),
           args[14].c_str(), args[15].c_str(), args[16].c_str(), args[17].c_str(), args[18].c_str(),
           args[19].c_str(), args[20].c_str(), args[21].c_str(), args[22].c_str(), args[23].c_str(),
           args[24].c_str(), args[25].c_str(), args[26].c_str(), args[27].c_str(), args[28].c_str(),
           args[29].c_str(), args[30].c_str(), args[31].c_str());
  size_t len = std::strlen(text);
  // The longest step past the limit here is an echoed pair: two bytes.
  FUZZ_CHECK(len < kBufferSize && len <= kTextLimit + 1);
  FUZZ_CHECK(std::string(text, len) == model(fmt, args));
  return 0;
}
