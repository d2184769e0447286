// Schema and administration commands of the extended language: constraints,
// indexes, SHOW, databases, aliases, users, roles, privileges, transactions,
// and `USE db` before a query or command.
//
// Commands are not queries: no clause of a query starts with the words that
// start them, so parse() tries them before the query grammar only when the
// text starts with one of those words, and queries keep their fast path.
// Each family has its own reader file; all of them read with a
// CommandReader and build tree nodes with byte spans.
#ifndef QUORVANE_PARSER_COMMANDS_COMMANDS_H_
#define QUORVANE_PARSER_COMMANDS_COMMANDS_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "error/cypher_error.h"
#include "parser/ast.h"

namespace quorvane {

class CommandReader;

// Whether the text, past whitespace and comments, starts like a command.
bool starts_command(std::string_view text);

// The whole text as one command, optionally ending in ';'. Called only for
// the extended language.
Result<CypherQuery> parse_command(std::string_view text);

// A syntax error at byte `pos` with the one-line `message`: the six-line
// text, the position and the summary.
CypherError command_syntax_error(std::string_view text, size_t pos, std::string message);

// ---- The families; each starts past its leading keywords at `begin` ----

// CREATE CONSTRAINT ... (schema_constraints.cc).
bool read_create_constraint(CommandReader& r, size_t begin, SchemaCommand& out);
// CREATE [kind] INDEX ... (schema_indexes.cc).
bool read_create_index(CommandReader& r, size_t begin, std::string kind, SchemaCommand& out);
// DROP CONSTRAINT|INDEX name [IF EXISTS] (schema_indexes.cc).
bool read_drop_schema(CommandReader& r, size_t begin, SchemaCommand::Kind kind, SchemaCommand& out);
// SHOW ... (show_commands.cc).
bool read_show(CommandReader& r, size_t begin, ShowCommand& out);
// Every other command (admin_commands.cc).
bool read_admin(CommandReader& r, size_t begin, AdminCommand& out);

// ---- Pieces shared by the families ----

// `(n:L)`, `(n:A|B)`, `(n)` or `()-[r:T]-()` after FOR (schema_target.cc).
enum class LabelCount { One, Several, None };
bool read_schema_pattern(CommandReader& r, LabelCount count, SchemaTarget& out);
// `n.key`, with the variable the pattern binds.
bool read_property(CommandReader& r, SchemaTarget& target);
// `n.key` or `(n.a, n.b)`.
bool read_property_list(CommandReader& r, SchemaTarget& target);
// `[OPTIONS map]` at the end of a command (embedded.cc).
bool read_options(CommandReader& r, Nullable<Expr>& options);
// `[YIELD ... [WHERE ...] [RETURN ...] | WHERE ...]` at the end of SHOW.
bool read_show_tail(CommandReader& r, ShowCommand& out);
// `USE graph` read; the rest of the text as a query or command.
Result<CypherQuery> parse_after_use(std::string_view text);

// A text that starts with the options of a query (EXPLAIN, PROFILE, `CYPHER
// 5 runtime=slotted`): the query or command after them, with its spans in
// `text`.
Result<CypherQuery> parse_after_query_options(std::string_view text);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_COMMANDS_COMMANDS_H_
