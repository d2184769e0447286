// The parse entry: query text to syntax tree, or one syntax error.
#ifndef QUORVANE_PARSER_PARSE_H_
#define QUORVANE_PARSER_PARSE_H_

#include <string_view>

#include "error/cypher_error.h"
#include "parser/ast.h"

namespace quorvane {

// Nesting of brackets, maps, CASE and the like, and the depth of the built
// tree, are both bounded by this many levels; deeper input is a syntax error
// ("query nested too deeply"), so every later walk of a tree stays shallow.
inline constexpr int kMaxNestingDepth = 500;

// Matches the whole text against the grammar and builds the tree. On failure
// the error (kind Parse) carries the six-line syntax-error text, or one of
// the tree builder's fixed messages. Pure: safe on any number of threads.
Result<CypherQuery> parse(std::string_view text);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_PARSE_H_
