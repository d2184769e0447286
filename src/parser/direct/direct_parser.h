// The direct parser: builds the syntax tree straight from the text for the
// common shapes of valid queries, with no rule tree in between.
//
// It is a fast path, not a second grammar. It reads a query only where it
// knows the matcher would read the same text the same way; at anything else
// (a construct it does not know, a syntax error, a limit coming near) it
// declines, and parse() hands the text
// to the matcher and tree builder, which decide. So every tree it returns is
// exactly the tree those would build, and it never reports an error.
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
