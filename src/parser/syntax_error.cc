#include "parser/syntax_error.h"

#include <algorithm>

namespace quorvane {

namespace {

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
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

  const bool on_break = pos < text.size() && (text[pos] == '\n' || text[pos] == '\r');
  std::string line_text;
  line_text.reserve(raw.size() + 8);
  for (char c : raw) {
    if (c == '\r' || c == '\n') {
      if (on_break) line_text += c == '\r' ? "\u240D" : "\u240A";
    } else {
      line_text += c;
    }
  }

  std::string underline;
  size_t chars = 0;
  for (size_t i = 0; i < line_text.size() && chars + 1 < lc.column; ++i) {
    if (is_continuation(line_text[i])) continue;
    underline += line_text[i] == '\t' ? '\t' : ' ';
    ++chars;
  }
  underline += "^---";

  const std::string line_number = std::to_string(lc.line);
  const std::string gutter(line_number.size(), ' ');
  std::string out;
  out.reserve(line_text.size() + underline.size() + message.size() + 4 * gutter.size() + 32);
  out += gutter + "--> " + line_number + ":" + std::to_string(lc.column) + "\n";
  out += gutter + " |\n";
  out += line_number + " | " + line_text + "\n";
  out += gutter + " | " + underline + "\n";
  out += gutter + " |\n";
  out += gutter + " = ";
  out += message;
  return out;
}

}  // namespace quorvane
