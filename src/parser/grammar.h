// The grammar's matcher: it says what is wrong with a text the parser
// refuses.
//
// The parser (direct/direct_parser.h) reads every query and builds its tree;
// the matcher runs only on the texts the parser refuses, and answers with
// the exact syntax error: the furthest position where matching failed and
// the rules expected there, or the note of a limit that stopped it. It
// builds nothing.
//
// The grammar of both languages is compiled in as one recursive-descent
// function per rule. Matching follows PEG semantics: ordered choice commits,
// repetitions are greedy and never give back, and whitespace and comments
// are skipped only between the elements of sequences and repetitions of
// normal rules. Every failed rule invocation updates the failure record.
#ifndef QUORVANE_PARSER_GRAMMAR_H_
#define QUORVANE_PARSER_GRAMMAR_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
