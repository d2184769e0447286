#include "parser/parse.h"

#include <limits>
#include <string>
#include <variant>

#include "parser/commands/commands.h"
#include "parser/commands/removed_syntax.h"
#include "parser/commands/statement_boundary.h"
#include "parser/direct/direct_parser.h"
#include "parser/grammar.h"
#include "parser/readable_syntax_error.h"
#include "parser/syntax_error.h"

namespace quorvane {

namespace {

// A failure of the extended language said in the words that fit it best:
// syntax Cypher has removed, with its current form, or a missing ';'
// between two statements.
CypherError explain_failure(std::string_view text, CypherError error) {
  const std::vector<RemovedSyntax> removed = find_removed_syntax(text);
  if (!removed.empty()) {
    return command_syntax_error(text, removed.front().span.begin, removed.front().message);
  }
  if (error.position) {
    if (std::optional<size_t> start = second_statement_start(text, *error.position)) {
      return command_syntax_error(text, *start, std::string(kMissingSemicolon));
    }
  }
  return error;
}

// The six-line syntax error at byte `position`, with its one-line summary.
CypherError syntax_error_at(std::string_view text, size_t position, std::string summary) {
  CypherError error = CypherError::parse(render_syntax_error(text, position, summary));
  error.position = position;
  error.summary = std::move(summary);
  return error;
}

}  // namespace

// Each function below returns one named result, which the compiler then
// builds in the caller's place: a tree moved on the way out costs as much
// as parsing a short query.
Result<CypherQuery> parse(std::string_view text, Language language) {
  Result<CypherQuery> parsed = parse_unexplained(text, language);
  if (!parsed.ok() && language == Language::Extended) {
    parsed = explain_failure(text, std::move(parsed).error());
  }
  return parsed;
}

namespace {

// Why the parser declined `text`, which it could not read.
CypherError rejection(std::string_view text, Language language, DirectLimit limit) {
  // The parser takes exactly what the grammar accepts, up to its limits; the
  // matcher says what is wrong with the rest.
  Result<std::monostate> matched = check_with_matcher(text, language);
  if (!matched.ok()) return std::move(matched).error();
  if (limit.kind == DirectLimit::Kind::None) {
    // A text the grammar accepts and the parser does not read: a fault of
    // the parser's, reported rather than hidden.
    return syntax_error_at(text, 0, "the parser could not read this query");
  }
  return syntax_error_at(
      text, limit.position,
      limit.kind == DirectLimit::Kind::Nesting
          ? "query nested too deeply (limit " + std::to_string(kMaxNestingDepth) + ")"
          : "query nested too deeply (tree depth limit " + std::to_string(kMaxTreeDepth) + ")");
}

}  // namespace

Result<CypherQuery> parse_unexplained(std::string_view text, Language language) {
  // Commands start with words no query starts with.
  if (language == Language::Extended && starts_command(text)) return parse_command(text);
  Result<CypherQuery> query(std::in_place, std::in_place_index<0>);
  DirectLimit limit;
  if (!parse_directly(text, language, std::get<0>(*query), &limit)) {
    query = rejection(text, language, limit);
  }
  return query;
}

bool parses(std::string_view text, Language language) {
  if (language == Language::Extended && starts_command(text)) return parse_command(text).ok();
  // A text the parser declines is an error whatever the matcher says of it.
  RegularQuery tree;
  return parse_directly(text, language, tree, nullptr);
}

Result<std::monostate> check_with_matcher(std::string_view text, Language language) {
  // The matcher's positions are 32-bit.
  if (text.size() >= std::numeric_limits<uint32_t>::max()) {
    return CypherError::parse(render_syntax_error(text.substr(0, 0), 0, "query too long"));
  }
  MatchResult match = match_cypher(text, language);
  if (match.ok) return std::monostate{};
  const MatchFailure& f = match.failure;
  // The subset keeps its messages; the extended language words them for
  // people.
  const std::string message =
      !f.limit_note.empty() ? f.limit_note
      : language == Language::Extended
          ? describe_failure_readably(text, f.position, f.expected, f.unexpected)
          : describe_failure(f.expected, f.unexpected);
  return syntax_error_at(text, f.position, message);
}

}  // namespace quorvane
