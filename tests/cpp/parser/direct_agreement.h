// What the direct parser's tests share: the check that it takes what the
// matcher accepts, and small text helpers.
#ifndef QUORVANE_TESTS_PARSER_DIRECT_AGREEMENT_H_
#define QUORVANE_TESTS_PARSER_DIRECT_AGREEMENT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "parser/direct/direct_parser.h"
#include "parser/parse.h"

namespace quorvane::testing {

inline constexpr Language kLanguages[] = {Language::Subset, Language::Extended};

// Texts on which the two disagreed, in the whole program, so that a batch
// can stop after a few rather than bury one fault in output.
inline int disagreements = 0;

// Returns whether the direct parser took `text`. It must take exactly the
// texts the matcher accepts, except those past a limit, which parse()
// reports as nested too deeply. (The trees it builds are pinned in
// pinned_trees_test.cc.)
inline bool expect_agrees(std::string_view text, Language language) {
  RegularQuery direct;
  DirectLimit limit;
  const bool taken = parse_directly(text, language, direct, &limit);
  const Result<std::monostate> matched = check_with_matcher(text, language);
  // The matcher's backtracking budget is its own; the parser has none.
  const bool matcher_limit =
      !matched.ok() && matched.error().message.find("backtracking limit") != std::string::npos;
  if (taken && !matched.ok() && !matcher_limit) {
    ++disagreements;
    ADD_FAILURE() << "taken directly, rejected by the matcher (" << language_name(language)
                  << "):\n"
                  << text << "\n"
                  << matched.error().message;
  }
  if (!taken && matched.ok() && limit.kind == DirectLimit::Kind::None) {
    ++disagreements;
    ADD_FAILURE() << "accepted by the matcher, declined directly (" << language_name(language)
                  << "):\n"
                  << text;
  }
  return taken;
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
