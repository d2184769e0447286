// Syntax that Cypher once had and no longer reads, recognised in a text that
// does not parse (extended language), with the current form named and,
// where the rewrite is mechanical, the edits that make it:
//
//   CREATE CONSTRAINT ON (n:L) ASSERT n.p IS UNIQUE   FOR ... REQUIRE ...
//   CREATE CONSTRAINT ON (n:L) ASSERT exists(n.p)     ... REQUIRE n.p IS NOT NULL
//   CREATE INDEX ON :L(p)                             CREATE INDEX FOR (n:L) ON (n.p)
//   CREATE BTREE INDEX ...                            CREATE RANGE INDEX ...
//   DROP INDEX ON :L(p), DROP CONSTRAINT ON ...       (message only: drop by name)
//   USING PERIODIC COMMIT n LOAD CSV ...              LOAD CSV ... CALL { ... }
//                                                     IN TRANSACTIONS OF n ROWS
//   {param}                                           $param
//
// Edits are offered only when the text they make parses.
#ifndef QUORVANE_PARSER_COMMANDS_REMOVED_SYNTAX_H_
#define QUORVANE_PARSER_COMMANDS_REMOVED_SYNTAX_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/ast.h"

namespace quorvane {

struct TextEdit {
  Span span;
  std::string replacement;
};

struct RemovedSyntax {
  std::string message;  // names the removed form and the current one
  Span span;            // the removed form
  std::vector<TextEdit> edits;
};

// The removed forms found in `text`, in text order; empty when there is
// none. Meant for a text that does not parse.
std::vector<RemovedSyntax> find_removed_syntax(std::string_view text);

// `text` with `edits` (not overlapping) applied.
std::string apply_text_edits(std::string_view text, std::vector<TextEdit> edits);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_COMMANDS_REMOVED_SYNTAX_H_
