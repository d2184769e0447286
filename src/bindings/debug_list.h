// The text form of a list of strings used by every __repr__ of the module:
// ["a", "b"], each item in double quotes. Inside an item '"' and '\' get a
// backslash; NUL, tab, carriage return and line feed are written \0, \t, \r,
// \n; other characters that are not printable as \u{hex} (lower case, no
// leading zeros); everything else, non-ASCII included, as it is.
#ifndef QUORVANE_BINDINGS_DEBUG_LIST_H_
#define QUORVANE_BINDINGS_DEBUG_LIST_H_

#include <string>
#include <string_view>

namespace quorvane::py {

// Appends one quoted, escaped item (UTF-8 in, UTF-8 out).
void append_debug_string(std::string& out, std::string_view text);

template <class Strings>
std::string debug_list(const Strings& items) {
  std::string out = "[";
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ", ";
    first = false;
    append_debug_string(out, item);
  }
  out += ']';
  return out;
}

inline std::string debug_str(std::string_view text) {
  std::string out;
  append_debug_string(out, text);
  return out;
}

inline const char* debug_bool(bool value) {
  return value ? "true" : "false";
}

}  // namespace quorvane::py

#endif  // QUORVANE_BINDINGS_DEBUG_LIST_H_
