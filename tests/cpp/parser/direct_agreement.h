// What the direct parser's tests share: the check that it agrees with the
// matcher and tree builder, and small text helpers.
#ifndef QUORVANE_TESTS_PARSER_DIRECT_AGREEMENT_H_
#define QUORVANE_TESTS_PARSER_DIRECT_AGREEMENT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "../../support/tree_text.h"
#include "parser/direct/direct_parser.h"
#include "parser/parse.h"

namespace quorvane::testing {

inline constexpr Language kLanguages[] = {Language::Subset, Language::Extended};

// Texts on which the two disagreed, in the whole program, so that a batch
// can stop after a few rather than bury one fault in output.
inline int disagreements = 0;

// Returns whether the direct parser took `text`; if it did, the matcher must
// accept the text and build the same tree.
inline bool expect_agrees(std::string_view text, Language language) {
  RegularQuery direct;
  if (!parse_directly(text, language, direct)) return false;
  const Result<CypherQuery> exact = parse_with_matcher(text, language);
  if (!exact.ok()) {
    ++disagreements;
    ADD_FAILURE() << "taken directly, rejected by the matcher (" << language_name(language)
                  << "):\n"
                  << text << "\n"
                  << exact.error().message;
    return true;
  }
  // Positions too: both must place every node at the same text.
  const std::string direct_text = tree_text(CypherQuery{std::move(direct)}, true);
  const std::string exact_text = tree_text(exact.value(), true);
  if (direct_text != exact_text) {
    ++disagreements;
    ADD_FAILURE() << "trees differ (" << language_name(language) << ") for:\n"
                  << text << "\ndirect:  " << direct_text << "\nmatcher: " << exact_text;
  }
  return true;
}

inline std::string repeat(std::string_view piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// The lines of `text`, empty ones included.
inline std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start <= text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_PARSER_DIRECT_AGREEMENT_H_
