// The parse entry: query text to syntax tree, or one syntax error.
#ifndef QUORVANE_PARSER_PARSE_H_
#define QUORVANE_PARSER_PARSE_H_

#include <string_view>

#include "error/cypher_error.h"
#include "parser/ast.h"
#include "parser/language.h"

namespace quorvane {

// Nested expressions (brackets, lists, maps, CASE and the like) may go this
// many levels deep; deeper input is a syntax error. The limit keeps the
// matcher's recursion within 1 MiB of stack.
inline constexpr int kMaxNestingDepth = 250;

// The built tree may be this deep, counting the levels that long operator,
// NOT and property chains add; deeper input is a syntax error. Every later
// walk of a tree (validation, inspection, copies, release) therefore stays
// shallow.
inline constexpr int kMaxTreeDepth = 1000;

// Matches the whole text against the grammar and builds the tree. On failure
// the error (kind Parse) carries the six-line syntax-error text, or one of
// the tree builder's fixed messages. Pure: safe on any number of threads.
//
// Most valid queries are built straight from the text by the direct parser
// (direct/direct_parser.h); everything it declines goes to the matcher and
// tree builder, which take any input. Both give the same tree.
Result<CypherQuery> parse(std::string_view text, Language language = Language::Subset);

// parse() without the explanations of a failure in the extended language
// (removed syntax and its current form, a missing ';' between statements):
// for the code that looks for those.
Result<CypherQuery> parse_unexplained(std::string_view text, Language language);

// The matcher and tree builder alone, without the direct parser: for tests
// that check the two agree.
Result<CypherQuery> parse_with_matcher(std::string_view text,
                                       Language language = Language::Subset);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_PARSE_H_
