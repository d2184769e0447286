// The six-line syntax-error text:
//
//    --> 1:10
//     |
//   1 | MATCH (n RETURN n
//     |          ^---
//     |
//     = expected node_labels or properties
#ifndef QUORVANE_PARSER_SYNTAX_ERROR_H_
#define QUORVANE_PARSER_SYNTAX_ERROR_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "parser/rule.h"

namespace quorvane {

// Line and column (1-based, in characters) of a byte offset. A CR LF pair is
// one line break; a lone CR is an ordinary character.
struct LineColumn {
  size_t line;
  size_t column;
};
LineColumn line_column(std::string_view text, size_t pos);

// "expected a, b, or c" / "unexpected ..." / both / "unknown parsing error".
std::string describe_failure(const std::vector<Rule>& expected,
                             const std::vector<Rule>& unexpected);

// The whole six-line text for a failure at byte offset `pos` whose last line
// says `message`.
std::string render_syntax_error(std::string_view text, size_t pos, std::string_view message);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_SYNTAX_ERROR_H_
