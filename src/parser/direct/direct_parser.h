// The parser: reads a query in one pass over the text and builds its syntax
// tree, every node with its span, in either language.
//
// It takes exactly the texts the grammar accepts (the matcher, grammar.h,
// is the grammar's executable form; a fuzz target holds the two together)
// and reports no errors of its own: on a text it does not take it declines,
// saying whether a limit was the reason, and parse() asks the matcher what
// is wrong with the text.
#ifndef QUORVANE_PARSER_DIRECT_DIRECT_PARSER_H_
#define QUORVANE_PARSER_DIRECT_DIRECT_PARSER_H_

#include <cstddef>
#include <string_view>

#include "parser/ast.h"
#include "parser/language.h"

namespace quorvane {

// The limit the direct parser reached on a text it declined, if any, and
// the byte it was reading then.
struct DirectLimit {
  enum class Kind { None, Nesting, TreeDepth };
  Kind kind = Kind::None;
  size_t position = 0;
};

// Builds the tree of `text` into `out` and returns true, or returns false
// (declines) and leaves `out` in an unspecified state; `limit`, when given,
// then says whether a limit was the reason.
bool parse_directly(std::string_view text, Language language, RegularQuery& out,
                    DirectLimit* limit = nullptr);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_DIRECT_DIRECT_PARSER_H_
