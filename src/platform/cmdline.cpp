// Command-line splitting; the rules are listed in cmdline.h.
#include "platform/cmdline.h"

#include <cstring>

namespace kawase {

namespace {

int isBlank(unsigned char c) {
  return c == ' ' || c == '\t';
}

// One pass over the line for both counting and splitting: with `text` null
// nothing is written. The caller has made sure that `text` is big enough.
int scanArgs(const char* line, LeadByteTest isLead, char* text, char** argv, int argvSize) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
  char* out = text;
  int argc = 0;
  for (;;) {
    while (isBlank(*p)) p++;
    if (*p == '\0') break;
    if (text != nullptr && argc < argvSize) argv[argc] = out;
    int quoted = 0;
    while (*p != '\0' && (quoted || !isBlank(*p))) {
      unsigned char c = *p;
      size_t take = 1;
      if (isLead != nullptr && p[1] != '\0' && isLead(c)) {
        take = 2;  // the trail byte may look like '\\', '"' or anything else
      } else if (c == '"') {
        quoted = !quoted;
        p++;
        continue;
      } else if (c == '\\' && p[1] == '"') {
        p++;  // the quote is kept, the backslash dropped
      }
      if (text != nullptr) {
        std::memcpy(out, p, take);
        out += take;
      }
      p += take;
    }
    if (text != nullptr) *out++ = '\0';
    argc++;
  }
  if (text != nullptr && argc < argvSize) argv[argc] = nullptr;
  return argc;
}

}  // namespace

int countArgs(const char* line, LeadByteTest isLead) {
  return scanArgs(line, isLead, nullptr, nullptr, 0);
}

size_t argsTextSize(const char* line) {
  return std::strlen(line) + 1;
}

int splitArgs(const char* line, LeadByteTest isLead, char* text, size_t textSize, char** argv,
              int argvSize) {
  if (text == nullptr || textSize < argsTextSize(line)) return -1;
  if (argv == nullptr) argvSize = 0;
  return scanArgs(line, isLead, text, argv, argvSize);
}

}  // namespace kawase
