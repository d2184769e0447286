// Texts the two languages may read differently: the subset reads a keyword
// even where a word goes on after it (`RETURNn`, `RETURN distinctCount`), the
// extended language only where the word ends.
#ifndef QUORVANE_TESTS_SUPPORT_GLUED_KEYWORD_H_
#define QUORVANE_TESTS_SUPPORT_GLUED_KEYWORD_H_

#include <string_view>

#include "parser/keywords.h"
#include "parser/lexical.h"

namespace quorvane::testing {

// Whether some word of the text begins with a keyword and goes on after it.
// Over-approximate (names and strings count too): used only to excuse a
// difference between the languages.
inline bool is_digit_char(char c) {
  return c >= '0' && c <= '9';
}

inline bool has_glued_keyword(std::string_view text) {
  static constexpr std::string_view kMore[] = {"ASCENDING", "DESCENDING", "OFFSET",  "HEADERS",
                                               "CSV",       "LOAD",       "FOREACH", "SHORTEST"};
  auto word = [&](size_t i) { return i < text.size() && is_word_char(text[i]); };
  // A keyword inside a word that starts as a number (`-1WITH`, `111RETURN`,
  // `1.5E9SKIP`) is glued to it: the subset reads the number and the keyword
  // as two tokens.
  auto after_number = [&](size_t i) {
    size_t start = i;
    while (start > 0 && (word(start - 1) || text[start - 1] == '.')) --start;
    if (text[start] == '.') ++start;
    return start < i && is_digit_char(text[start]) && !is_digit_char(text[i]);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (!word(i)) continue;
    const bool glued_before = after_number(i);
    if (i > 0 && word(i - 1) && !glued_before) continue;
    auto glued = [&](std::string_view keyword) {
      return starts_with_keyword(text, i, keyword) && (glued_before || word(i + keyword.size()));
    };
    for (std::string_view keyword : kKeywords) {
      if (glued(keyword)) return true;
    }
    for (std::string_view keyword : kMore) {
      if (glued(keyword)) return true;
    }
  }
  return false;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_GLUED_KEYWORD_H_
