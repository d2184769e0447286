#include "bindings/debug_list.h"

#include <cstdint>

#include "bindings/python.h"

namespace quorvane::py {

namespace {

// Decodes one UTF-8 sequence at text[*pos], advancing *pos. Malformed input
// (which the core never produces) decodes as U+FFFD, one byte at a time.
uint32_t next_code_point(std::string_view text, size_t* pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(*pos);
  size_t length = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  if (length == 0 || *pos + length > text.size()) {
    ++*pos;
    return 0xFFFD;
  }
  uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) {
      ++*pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  *pos += length;
  return cp;
}

void append_hex_escape(std::string& out, uint32_t cp) {
  static const char kDigits[] = "0123456789abcdef";
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[cp & 0xF];
    cp >>= 4;
  } while (cp != 0);
  out += "\\u{";
  while (n > 0) out += digits[--n];
  out += '}';
}

}  // namespace

void append_debug_string(std::string& out, std::string_view text) {
  out += '"';
  size_t pos = 0;
  while (pos < text.size()) {
    size_t start = pos;
    uint32_t cp = next_code_point(text, &pos);
    switch (cp) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\0':
        out += "\\0";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\n':
        out += "\\n";
        continue;
      default:
        break;
    }
    // Printability follows the Unicode categories: controls, format
    // characters, surrogates, private use, unassigned code points and
    // separators other than the space are escaped.
    if (cp < 0x80 ? (cp < 0x20 || cp == 0x7F) : !Py_UNICODE_ISPRINTABLE(cp)) {
      append_hex_escape(out, cp);
    } else if (cp == 0xFFFD) {
      out += "\xEF\xBF\xBD";  // also stands in for malformed bytes
    } else {
      out.append(text, start, pos - start);
    }
  }
  out += '"';
}

}  // namespace quorvane::py
