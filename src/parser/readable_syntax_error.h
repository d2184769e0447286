// Syntax messages of the extended language, in Cypher's own words.
//
// The subset's messages list what the grammar expected by rule name, and
// keep doing so. The extended language instead names the token it found,
// quoted as written, says what could stand there in words a person (or a
// language model) knows from Cypher, and adds a hint where a common mistake
// is recognisable:
//
//   unexpected 'RETRUN'; expected a clause such as MATCH, WITH or RETURN;
//   did you mean RETURN?
//
// Invariant: the message never holds a grammar rule's identifier.
#ifndef QUORVANE_PARSER_READABLE_SYNTAX_ERROR_H_
#define QUORVANE_PARSER_READABLE_SYNTAX_ERROR_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "parser/rule.h"

namespace quorvane {

// Where the token at byte offset `pos` ends: a name or number, a `$name`, a
// quoted string or name (to its closing quote, or the end of its line), a
// two-character operator, a Markdown fence, or else one character (every
// byte of a non-ASCII one). Syntax messages quote it and findings underline
// it, so the two agree. At the end of the text, the text's size.
size_t token_end(std::string_view text, size_t pos);

// The token at byte offset `pos`, as written (long ones cut short), or empty
// at the end of the text.
std::string_view token_at(std::string_view text, size_t pos);

// The last line of the six-line text for a failure at `pos` of `text`, where
// the grammar expected `expected` and refused `unexpected` (rule order).
std::string describe_failure_readably(std::string_view text, size_t pos,
                                      const std::vector<Rule>& expected,
                                      const std::vector<Rule>& unexpected);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_READABLE_SYNTAX_ERROR_H_
