// The parts of commands that are query text: the map after OPTIONS, the
// YIELD, WHERE and RETURN after SHOW, and the query after `USE db` or after
// the options before a query (`CYPHER 5 runtime=slotted`, EXPLAIN, PROFILE).
//
// Each is read by the query parser from a copy of the text in which what
// comes before the part is blanked out (and led by RETURN or a CALL where
// the part needs one), byte for byte, so that every span in the tree it
// builds is a span of the original text. Its errors are rendered again on
// the original text.
#include <string>
#include <utility>

#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"
#include "parser/parse.h"
#include "parser/syntax_error.h"

namespace quorvane {

namespace {

// `text` with its first `upto` bytes replaced by `lead` and spaces.
std::string masked(std::string_view text, size_t upto, std::string_view lead) {
  std::string out(text);
  for (size_t i = 0; i < upto; ++i) out[i] = i < lead.size() ? lead[i] : ' ';
  return out;
}

CypherError on_original(std::string_view text, CypherError error) {
  if (error.position && !error.summary.empty()) {
    error.message = render_syntax_error(text, *error.position, error.summary);
  }
  return error;
}

// The lone return clause of a parsed `RETURN expr`, if that is all it is.
const ReturnClause* lone_return(const CypherQuery& query) {
  const auto* regular = std::get_if<RegularQuery>(&query);
  if (regular == nullptr || !regular->unions().empty()) return nullptr;
  const auto* single = std::get_if<SinglePartQuery>(&regular->first());
  if (single == nullptr || !single->reading_clauses.empty() || !single->updating_clauses.empty() ||
      !single->return_clause) {
    return nullptr;
  }
  return &*single->return_clause;
}

// Past the '}' that closes the '{' at `at`, skipping quoted text; the end of
// the text when none does.
size_t past_closing_brace(std::string_view text, size_t at) {
  int depth = 0;
  for (size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = quoted_end(text, i, text.size()) - 1;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return i + 1;
    }
  }
  return text.size();
}

// One expression from `at` to `end`: read as the only item of `RETURN expr`.
bool read_trailing_expression(CommandReader& r, size_t at, Nullable<Expr>& out,
                              size_t end = std::string_view::npos) {
  std::string text = masked(r.text(), at, "RETURN");
  if (end < text.size()) text.replace(end, text.size() - end, text.size() - end, ' ');
  Result<CypherQuery> parsed = parse_unexplained(text, Language::Extended);
  if (!parsed.ok()) return r.fail_with(on_original(r.text(), std::move(parsed).error()));
  const ReturnClause* clause = lone_return(parsed.value());
  if (clause == nullptr || clause->distinct || clause->items.all ||
      clause->items.items.size() != 1 || clause->items.items[0].alias || clause->order_by ||
      clause->skip || clause->limit) {
    r.reset(at);
    return r.fail("one expression and the end of the command");
  }
  out = clause->items.items[0].expr;
  r.move_past(out->span.end);
  return true;
}

}  // namespace

bool read_options(CommandReader& r, Nullable<Expr>& options) {
  if (!r.keyword("OPTIONS")) return true;
  const size_t at = r.pos();
  if (!r.peek('{')) return r.fail("a map such as {indexProvider: 'range-1.0'}");
  // The map ends at its brace: WAIT may follow it.
  return read_trailing_expression(r, at, options, past_closing_brace(r.text(), at));
}

bool read_show_tail(CommandReader& r, ShowCommand& out) {
  if (r.keyword("WHERE")) return read_trailing_expression(r, r.pos(), out.where_clause);
  if (!r.peek_keyword("YIELD")) return true;
  // Read as a procedure call that yields the command's columns; "CALL s()"
  // fits before YIELD in every SHOW command.
  const size_t at = r.pos();
  Result<CypherQuery> parsed =
      parse_unexplained(masked(r.text(), at, "CALL s()"), Language::Extended);
  if (!parsed.ok()) return r.fail_with(on_original(r.text(), std::move(parsed).error()));
  // Copied, not moved: the parsed tree's nodes are in its arena, which goes
  // with it.
  const CypherQuery& query = parsed.value();
  uint32_t end = 0;
  if (const auto* call = std::get_if<CallClause>(&query)) {
    out.yield = *call;
  } else if (const auto* regular = std::get_if<RegularQuery>(&query)) {
    const auto* single = std::get_if<SinglePartQuery>(&regular->first());
    if (single == nullptr || !regular->unions().empty() || single->reading_clauses.size() != 1 ||
        !single->updating_clauses.empty() ||
        !std::holds_alternative<CallClause>(single->reading_clauses[0].clause)) {
      return r.fail("YIELD columns, then WHERE or RETURN only");
    }
    out.yield = std::get<CallClause>(single->reading_clauses[0].clause);
    out.return_clause = single->return_clause;
    if (out.return_clause) end = out.return_clause->span.end;
  } else {
    return r.fail("YIELD columns, then WHERE or RETURN only");
  }
  out.yield->procedure.clear();
  if (end == 0 && out.yield->where_clause) end = out.yield->where_clause->span.end;
  if (end == 0 && !out.yield->yield_items.empty()) end = out.yield->yield_items.back().span.end;
  if (end == 0) end = static_cast<uint32_t>(r.text().find('*', at) + 1);  // YIELD *
  r.move_past(end);
  return true;
}

Result<CypherQuery> parse_after_use(std::string_view text) {
  CommandReader r(text);
  r.keyword("USE");
  std::optional<CommandName> graph = r.dotted_name();
  if (!graph) {
    r.fail("the name of a database or graph");
    return r.take_error();
  }
  // `USE graph.byName('x')`: a graph function and its arguments.
  if (r.peek('(')) {
    int depth = 0;
    size_t i = r.pos();
    for (; i < text.size(); ++i) {
      if (text[i] == '(') ++depth;
      if (text[i] == ')' && --depth == 0) break;
    }
    if (i >= text.size()) {
      r.fail("')'");
      return r.take_error();
    }
    r.move_past(i + 1);
  }
  // A second USE would start a second level of this reading: one is enough.
  if (r.at_end() || r.peek_keyword("USE")) {
    r.fail("a query or command after USE " + graph->name);
    return r.take_error();
  }
  Result<CypherQuery> rest = parse_unexplained(masked(text, r.pos(), ""), Language::Extended);
  if (!rest.ok()) return on_original(text, std::move(rest).error());
  return rest;
}

}  // namespace quorvane

namespace quorvane {

namespace {

// `CYPHER [version] [name=value ...]`, past the word CYPHER.
bool read_cypher_options(CommandReader& r) {
  if (r.integer() && r.accept('.') && !r.integer()) return r.fail("the version, such as 5");
  for (;;) {
    const size_t at = r.pos();
    if (!r.name() || !r.accept('=')) {
      r.reset(at);
      return true;
    }
    if (!r.name() && !r.integer()) return r.fail("the option's value, such as slotted");
  }
}

}  // namespace

Result<CypherQuery> parse_after_query_options(std::string_view text) {
  CommandReader r(text);
  std::string_view last;
  for (;;) {
    if (r.keyword("EXPLAIN")) {
      last = "EXPLAIN";
    } else if (r.keyword("PROFILE")) {
      last = "PROFILE";
    } else if (r.keyword("CYPHER")) {
      last = "CYPHER";
      if (!read_cypher_options(r)) return r.take_error();
    } else {
      break;
    }
  }
  if (r.at_end() || r.at_statement_end()) {
    r.fail("a query after " + std::string(last));
    return r.take_error();
  }
  Result<CypherQuery> rest = parse_unexplained(masked(text, r.pos(), ""), Language::Extended);
  if (!rest.ok()) return on_original(text, std::move(rest).error());
  return rest;
}

}  // namespace quorvane
