#include "parser/parse.h"

#include <limits>

#include "parser/builder/tree_builder.h"
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

}  // namespace

Result<CypherQuery> parse(std::string_view text, Language language) {
  Result<CypherQuery> parsed = parse_unexplained(text, language);
  if (parsed.ok() || language != Language::Extended) return parsed;
  return explain_failure(text, std::move(parsed).error());
}

Result<CypherQuery> parse_unexplained(std::string_view text, Language language) {
  // Commands start with words no query starts with; everything else keeps
  // the fast path.
  if (language == Language::Extended && starts_command(text)) return parse_command(text);
  Result<CypherQuery> query(std::in_place, std::in_place_index<0>);
  if (parse_directly(text, language, std::get<0>(*query))) return query;
  return parse_with_matcher(text, language);
}

Result<CypherQuery> parse_with_matcher(std::string_view text, Language language) {
  // Rule-tree offsets are 32-bit.
  if (text.size() >= std::numeric_limits<uint32_t>::max()) {
    return CypherError::parse(render_syntax_error(text.substr(0, 0), 0, "query too long"));
  }
  MatchResult match = match_cypher(text, language);
  if (!match.ok) {
    const MatchFailure& f = match.failure;
    // The subset keeps its messages; the extended language words them for
    // people.
    const std::string message =
        !f.limit_note.empty() ? f.limit_note
        : language == Language::Extended
            ? describe_failure_readably(text, f.position, f.expected, f.unexpected)
            : describe_failure(f.expected, f.unexpected);
    CypherError error = CypherError::parse(render_syntax_error(text, f.position, message));
    error.position = f.position;
    error.summary = message;
    return error;
  }
  TreeBuilder builder(text);
  return builder.build_query(NodeRef(&match.nodes, text, 0));
}

}  // namespace quorvane
