// The parse entry: query text to syntax tree, or one syntax error.
#ifndef QUORVANE_PARSER_PARSE_H_
#define QUORVANE_PARSER_PARSE_H_

#include <string_view>
#include <variant>

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

// Reads the whole text into its syntax tree. On failure the error (kind
// Parse) carries the six-line syntax-error text; a text that goes past the
// nesting or tree-depth limit is a syntax error too. Pure: safe on any
// number of threads.
//
// The direct parser (direct/direct_parser.h) reads the text and builds the
// tree in one pass. It takes exactly the texts the grammar accepts; the
// matcher (grammar.h) runs only on the texts it does not take, to say what
// is wrong with them.
Result<CypherQuery> parse(std::string_view text, Language language = Language::Subset);

// parse() without the explanations of a failure in the extended language
// (removed syntax and its current form, a missing ';' between statements):
// for the code that looks for those.
Result<CypherQuery> parse_unexplained(std::string_view text, Language language);

// Whether parse_unexplained() takes the text: the same verdict without the
// matcher's work of explaining a failure, for code that only asks.
bool parses(std::string_view text, Language language);

// The matcher's verdict on the whole text: accepted, or the syntax error it
// finds. Builds no tree.
Result<std::monostate> check_with_matcher(std::string_view text,
                                          Language language = Language::Subset);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_PARSE_H_
