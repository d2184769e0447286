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
inline bool has_glued_keyword(std::string_view text) {
  static constexpr std::string_view kMore[] = {"ASCENDING", "DESCENDING", "OFFSET", "HEADERS",
                                               "CSV", "LOAD", "FOREACH", "SHORTEST"};
  auto word = [&](size_t i) { return i < text.size() && is_word_char(text[i]); };
  for (size_t i = 0; i < text.size(); ++i) {
    if (!word(i) || (i > 0 && word(i - 1))) continue;
    for (std::string_view keyword : kKeywords) {
      if (starts_with_keyword(text, i, keyword) && word(i + keyword.size())) return true;
    }
    for (std::string_view keyword : kMore) {
      if (starts_with_keyword(text, i, keyword) && word(i + keyword.size())) return true;
    }
  }
  return false;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_GLUED_KEYWORD_H_
