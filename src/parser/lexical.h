// Lexical helpers shared by the matcher and the parser.
#ifndef QUORVANE_PARSER_LEXICAL_H_
#define QUORVANE_PARSER_LEXICAL_H_

#include <array>
#include <cstddef>
#include <string_view>

namespace quorvane {

// The characters that may continue a plain name. A table, because names
// are most of a query's bytes and every one of them is asked about.
inline constexpr std::array<bool, 256> kWordChars = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return table;
}();

inline bool is_word_char(unsigned char c) {
  return kWordChars[c];
}

inline bool is_skippable_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The position after any whitespace and comments at `pos`: whitespace, then
// comments each followed by whitespace. A block comment without its closing
// "*/" is not a comment and is not skipped.
inline size_t skip_ignorable(std::string_view text, size_t pos) {
  const size_t n = text.size();
  while (pos < n && is_skippable_space(text[pos])) ++pos;
  while (pos + 1 < n && text[pos] == '/') {
    if (text[pos + 1] == '/') {
      size_t eol = text.find('\n', pos + 2);
      pos = eol == std::string_view::npos ? n : eol + 1;
    } else if (text[pos + 1] == '*') {
      size_t close = text.find("*/", pos + 2);
      if (close == std::string_view::npos) return pos;
      pos = close + 2;
    } else {
      break;
    }
    while (pos < n && is_skippable_space(text[pos])) ++pos;
  }
  return pos;
}

// Whether `text` has the ASCII-case-insensitive word `upper` at `pos`.
inline bool starts_with_keyword(std::string_view text, size_t pos, std::string_view upper) {
  if (pos > text.size() || text.size() - pos < upper.size()) return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    char c = text[pos + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

// Just past the quote that closes the string or backticked name whose
// opening quote is at `at` (a backslash protects the next character in a
// string, not in a name), or `end` when none does before `end`.
inline size_t quoted_end(std::string_view text, size_t at, size_t end) {
  const char quote = text[at];
  for (size_t i = at + 1; i < end; ++i) {
    if (text[i] == quote) return i + 1;
    if (text[i] == '\\' && quote != '`') ++i;
  }
  return end;
}

// Whether `word` is the upper-case word `upper`, whole, in any letter case.
inline bool same_word(std::string_view word, std::string_view upper) {
  return word.size() == upper.size() && starts_with_keyword(word, 0, upper);
}

// Where the parenthesis of a dynamic label (`$(`, `$any(`, `$all(`, the
// word in any case, nothing between) that starts at `pos` stands, or 0 when
// none starts there.
inline size_t dynamic_label_open(std::string_view text, size_t pos) {
  if (pos >= text.size() || text[pos] != '$') return 0;
  size_t at = pos + 1;
  if (starts_with_keyword(text, at, "ANY") || starts_with_keyword(text, at, "ALL")) at += 3;
  return at < text.size() && text[at] == '(' ? at : 0;
}

}  // namespace quorvane

#endif  // QUORVANE_PARSER_LEXICAL_H_
