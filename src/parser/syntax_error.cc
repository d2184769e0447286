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
  // Room for the usual list at once, rather than growing into it.
  out.reserve(256);
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

  // The failing line, up to and including its line feed.
  const size_t last_break = pos == 0 ? std::string_view::npos : text.rfind('\n', pos - 1);
  const size_t begin = last_break == std::string_view::npos ? 0 : last_break + 1;
  size_t end = text.find('\n', pos);
  end = end == std::string_view::npos ? text.size() : end + 1;
  std::string_view raw = text.substr(begin, end - begin);

  // Where it is, as line_column() tells it: the line feeds before the line,
  // and the characters on it before the position.
  const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + begin, '\n'));
  const size_t column =
      1 + static_cast<size_t>(std::count_if(text.begin() + begin, text.begin() + pos,
                                            [](char c) { return !is_continuation(c); }));

  char line_digits[24];
  char column_digits[24];
  const std::string_view line_number = decimal(line, line_digits);
  const std::string_view column_number = decimal(column, column_digits);
  const size_t gutter = line_number.size();

  // Built in place, in one allocation: this runs for every rejected query.
  std::string out;
  out.reserve(2 * raw.size() + message.size() + 5 * gutter + 64);
  const auto add = [&out](std::initializer_list<std::string_view> parts) {
    for (std::string_view part : parts) out.append(part);
  };
  out.append(gutter, ' ');
  add({"--> ", line_number, ":", column_number, "\n"});
  out.append(gutter, ' ');
  add({" |\n", line_number, " | "});

  // The line without its line breaks, or with them shown where the error
  // points at one, a run at a time.
  const bool on_break = pos < text.size() && (text[pos] == '\n' || text[pos] == '\r');
  const size_t line_at = out.size();
  while (!raw.empty()) {
    const size_t cut = std::min(raw.find('\r'), raw.find('\n'));
    out.append(raw.substr(0, std::min(cut, raw.size())));
    if (cut >= raw.size()) break;
    if (on_break) out += raw[cut] == '\r' ? "\u240D" : "\u240A";
    raw.remove_prefix(cut + 1);
  }
  const size_t line_end = out.size();
  out += '\n';
  out.append(gutter, ' ');
  out += " | ";

  // Under the line, as wide as it is up to the column (a tab stays a tab).
  // Where the line holds nothing but single-byte characters other than
  // tabs and carriage returns before the column, that is one space a byte.
  const std::string_view before = text.substr(begin, pos - begin);
  if (column - 1 == before.size() && before.find('\t') == std::string_view::npos &&
      before.find('\r') == std::string_view::npos) {
    out.append(before.size(), ' ');
  } else {
    // Read by index: the string may grow while it is read.
    size_t chars = 0;
    for (size_t i = line_at; i < line_end && chars + 1 < column; ++i) {
      const char c = out[i];
      if (is_continuation(c)) continue;
      out += c == '\t' ? '\t' : ' ';
      ++chars;
    }
  }
  out += "^---\n";
  out.append(gutter, ' ');
  out += " |\n";
  out.append(gutter, ' ');
  out += " = ";
  // The message is the sixth line whatever it quotes: a line break in it
  // (a query's text quoted by a removed-syntax message) becomes a space.
  const size_t message_at = out.size();
  out.append(message);
  if (message.find('\n') != std::string_view::npos ||
      message.find('\r') != std::string_view::npos) {
    std::replace_if(
        out.begin() + static_cast<std::ptrdiff_t>(message_at), out.end(),
        [](char c) { return c == '\n' || c == '\r'; }, ' ');
  }
  return out;
}

}  // namespace quorvane
