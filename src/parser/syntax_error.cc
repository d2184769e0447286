#include "parser/syntax_error.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>

namespace quorvane {

namespace {

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// `value` written in decimal into `digits`.
std::string_view decimal(size_t value, char (&digits)[24]) {
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return {digits, static_cast<size_t>(end - digits)};
}

// Appends a list of rule names: "a", "a or b", "a, b, or c".
void append_names(std::string& out, const std::vector<Rule>& rules) {
  for (size_t i = 0; i < rules.size(); ++i) {
    if (i > 0) {
      if (rules.size() == 2) {
        out += " or ";
      } else {
        out += i + 1 == rules.size() ? ", or " : ", ";
      }
    }
    out += rule_name(rules[i]);
  }
}

}  // namespace

LineColumn line_column(std::string_view text, size_t pos) {
  pos = std::min(pos, text.size());
  size_t line = 1;
  size_t line_start = 0;
  for (size_t i = 0; i < pos; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  size_t column = 1;
  for (size_t i = line_start; i < pos; ++i) {
    if (!is_continuation(text[i])) ++column;
  }
  return {line, column};
}

std::string describe_failure(const std::vector<Rule>& expected,
                             const std::vector<Rule>& unexpected) {
  std::string out;
  if (!expected.empty() && unexpected.empty()) {
    out = "expected ";
    append_names(out, expected);
  } else if (expected.empty() && !unexpected.empty()) {
    out = "unexpected ";
    append_names(out, unexpected);
  } else if (!expected.empty()) {
    out = "unexpected ";
    append_names(out, unexpected);
    out += "; expected ";
    append_names(out, expected);
  } else {
    out = "unknown parsing error";
  }
  return out;
}

std::string render_syntax_error(std::string_view text, size_t pos, std::string_view message) {
  pos = std::min(pos, text.size());
  const LineColumn lc = line_column(text, pos);

  // The failing line, up to and including its line feed.
  const size_t last_break = pos == 0 ? std::string_view::npos : text.rfind('\n', pos - 1);
  const size_t begin = last_break == std::string_view::npos ? 0 : last_break + 1;
  size_t end = text.find('\n', pos);
  end = end == std::string_view::npos ? text.size() : end + 1;
  std::string_view raw = text.substr(begin, end - begin);

  // The line without its line breaks, or with them shown where the error
  // points at one. Appended a run at a time: this runs for every rejected
  // query, and a character at a time cost more than the matcher's work.
  const bool on_break = pos < text.size() && (text[pos] == '\n' || text[pos] == '\r');
  std::string line_text;
  line_text.reserve(raw.size() + 8);
  while (!raw.empty()) {
    const size_t cut = static_cast<size_t>(
        std::find_if(raw.begin(), raw.end(), [](char c) { return c == '\r' || c == '\n'; }) -
        raw.begin());
    line_text.append(raw.substr(0, cut));
    if (cut == raw.size()) break;
    if (on_break) line_text += raw[cut] == '\r' ? "\u240D" : "\u240A";
    raw.remove_prefix(cut + 1);
  }

  // Under the line, as wide as it is up to the column (a tab stays a tab).
  std::string underline(line_text.size() + 4, ' ');
  size_t width = 0;
  size_t chars = 0;
  for (size_t i = 0; i < line_text.size() && chars + 1 < lc.column; ++i) {
    if (is_continuation(line_text[i])) continue;
    if (line_text[i] == '\t') underline[width] = '\t';
    ++width;
    ++chars;
  }
  underline.replace(width, std::string::npos, "^---");

  char line_digits[24];
  char column_digits[24];
  const std::string_view line_number = decimal(lc.line, line_digits);
  const std::string_view column = decimal(lc.column, column_digits);
  const std::string gutter(line_number.size(), ' ');
  std::string out;
  out.reserve(line_text.size() + underline.size() + message.size() + 4 * gutter.size() + 48);
  const auto add = [&out](std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) out.append(part);
  };
  add({gutter, "--> ", line_number, ":", column, "\n"});
  add({gutter, " |\n"});
  add({line_number, " | ", line_text, "\n"});
  add({gutter, " | ", underline, "\n"});
  add({gutter, " |\n"});
  add({gutter, " = "});
  // The message is the sixth line whatever it quotes: a line break in it
  // (a query's text quoted by a removed-syntax message) becomes a space.
  const size_t message_at = out.size();
  out.append(message);
  std::replace_if(
      out.begin() + static_cast<std::ptrdiff_t>(message_at), out.end(),
      [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return out;
}

}  // namespace quorvane
