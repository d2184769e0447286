// The matching engine and the grammar, compiled in as one recursive-descent
// function per rule.
//
// Matching follows PEG semantics: ordered choice commits, repetitions are
// greedy and never give back, and whitespace and comments are skipped only
// between the elements of sequences and repetitions of normal rules. Every
// failed rule invocation updates a failure record (furthest position and the
// rules expected there), which becomes the syntax-error message.
#ifndef QUORVANE_PARSER_GRAMMAR_H_
#define QUORVANE_PARSER_GRAMMAR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "parser/keywords.h"
#include "parser/language.h"
#include "parser/rule.h"

namespace quorvane {

struct MatchFailure {
  uint32_t position = 0;       // furthest failure, a byte offset
  std::vector<Rule> expected;  // sorted by rule order, no repeats
  std::vector<Rule> unexpected;
  // Set when a safety limit stopped the match; replaces the usual
  // "expected ..." line.
  std::string limit_note;
};

struct MatchResult {
  bool ok = false;
  MatchFailure failure;  // when not ok
};

// Matches the whole text against the start rule `cypher` of the language's
// grammar, keeping the failure record. `remember` switches on what never
// changes the result: remembering matched clauses and bracketed expressions,
// so that no text is matched again and again. Tests switch it off to check
// exactly that.
MatchResult match_cypher(std::string_view text, Language language = Language::Subset,
                         bool remember = true);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_GRAMMAR_H_
