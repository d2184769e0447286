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
#include "parser/rule_tree.h"

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
  std::vector<RuleNode> nodes;  // on success: the cypher node's tree, pre-order
  MatchFailure failure;
};

// Matches the whole text against the start rule `cypher` of the language's
// grammar. A first pass keeps no failure record; only when it fails does a
// second pass run, with the record, for the exact message. `remember`
// switches on the optimisations that never change the result: remembering
// matched clauses and bracketed expressions (so that no text is matched
// again and again), and the first pass's shortcuts (each clause read once,
// a lone operand without the operator ladder). Tests switch them off to
// check exactly that.
MatchResult match_cypher(std::string_view text, Language language = Language::Subset,
                         bool remember = true);

// The first pass alone: its outcome and tree, without the second pass that
// would mend a failure. With or without `remember` it must agree, or the
// shortcuts cost a second pass or change a tree.
MatchResult match_first_pass(std::string_view text, Language language, bool remember);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_GRAMMAR_H_
