// Several statements written without the ';' between them (extended
// language): `MATCH (n) RETURN n MATCH (m) RETURN m`.
#ifndef QUORVANE_PARSER_COMMANDS_STATEMENT_BOUNDARY_H_
#define QUORVANE_PARSER_COMMANDS_STATEMENT_BOUNDARY_H_

#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvane {

inline constexpr std::string_view kMissingSemicolon = "missing ';' between statements";

// Where a second statement starts in a text whose parse failed at byte
// `failure`: there, when a word that starts a statement stands there and the
// text before it is a whole statement; otherwise nothing.
std::optional<size_t> second_statement_start(std::string_view text, size_t failure);

// Where the missing ';' goes: right after the last token before `start`
// (not after a comment that follows it).
size_t semicolon_place(std::string_view text, size_t start);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_COMMANDS_STATEMENT_BOUNDARY_H_
