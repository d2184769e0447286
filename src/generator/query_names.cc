#include "generator/query_names.h"

namespace quorvane {

namespace {

bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_ascii_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool is_plain_name(std::string_view name) {
  if (name.empty() || !(is_ascii_letter(name[0]) || name[0] == '_')) return false;
  for (char c : name) {
    if (!(is_ascii_letter(c) || is_ascii_digit(c) || c == '_')) return false;
  }
  return true;
}

std::string query_name(std::string_view name) {
  if (is_plain_name(name) || name.find('`') != std::string_view::npos) return std::string(name);
  std::string written;
  written.reserve(name.size() + 2);
  written += '`';
  written += name;
  written += '`';
  return written;
}

}  // namespace quorvane
