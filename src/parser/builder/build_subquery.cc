// Subqueries and the clauses of the extended language: CALL { }, LOAD CSV,
// FOREACH, and EXISTS, COUNT and COLLECT subqueries.
#include <string>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

CypherError fail(const char* message) {
  return CypherError::parse(message);
}

// The text of a string literal without its quotes.
std::string unquoted(std::string_view literal) {
  if (literal.size() < 2) return std::string();
  return std::string(literal.substr(1, literal.size() - 2));
}

}  // namespace

Result<ReadingClause> TreeBuilder::build_call_subquery(NodeRef node, int depth) {
  ReadingClause::Subquery call{false, false, false, {}, RegularQuery{}, false, std::nullopt};
  call.optional = starts_with_keyword(text_, node.start(), "OPTIONAL");
  bool has_query = false;
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::subquery_scope:
        call.has_scope = true;
        call.import_all = c.text().find('*') != std::string_view::npos;
        for (NodeRef v : children(c)) {
          if (v.rule() == Rule::variable) call.scope.push_back(name_of(v));
        }
        break;
      case Rule::regular_query: {
        *call.query = RegularQuery();
        if (!build_regular_query(c, depth + 1, *call.query)) return take_error();
        has_query = true;
        break;
      }
      case Rule::in_transactions: {
        call.in_transactions = true;
        // Only the expression after OF counts rows; one before TRANSACTIONS
        // counts concurrent transactions.
        for (NodeRef e : children(c)) {
          if (e.rule() != Rule::expression) continue;
          const std::string_view before = text_.substr(c.start(), e.start() - c.start());
          size_t word_end = before.find_last_not_of(" \t\r\n");
          if (word_end == std::string_view::npos || word_end < 1) continue;
          const char a = static_cast<char>(before[word_end - 1] | 0x20);
          const char b = static_cast<char>(before[word_end] | 0x20);
          if (a != 'o' || b != 'f') continue;
          QV_TRY(Expr rows, build_expression(e, depth + 1));
          call.batch_rows = std::move(rows);
        }
        break;
      }
      default:
        break;
    }
  }
  if (!has_query) return fail("CALL missing subquery");
  return ReadingClause{std::move(call)};
}

Result<ReadingClause> TreeBuilder::build_load_csv(NodeRef node, int depth) {
  ReadingClause::LoadCsv load{false, Expr(Expr::Null{}), {}, std::nullopt};
  // WITH HEADERS, when written, stands between CSV and FROM.
  const size_t csv = skip_ignorable(text_, node.start() + 4);
  load.with_headers = keyword_follows(csv + 3, "WITH");
  bool has_source = false;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::expression) {
      QV_TRY(Expr source, build_expression(c, depth + 1));
      load.source = std::move(source);
      has_source = true;
    } else if (c.rule() == Rule::variable) {
      load.variable = name_of(c);
    } else if (c.rule() == Rule::string_literal) {
      load.field_terminator = unquoted(c.text());
    }
  }
  if (!has_source) return fail("LOAD CSV missing source");
  return ReadingClause{std::move(load)};
}

Result<UpdatingClause> TreeBuilder::build_foreach(NodeRef node, int depth) {
  UpdatingClause::Foreach foreach{{}, Expr(Expr::Null{}), {}};
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      foreach.variable = name_of(c);
    } else if (c.rule() == Rule::expression) {
      QV_TRY(Expr list, build_expression(c, depth + 1));
      foreach.list = std::move(list);
    } else if (c.rule() == Rule::updating_clause) {
      if (!build_updating_clause(c, depth + 1, foreach.clauses.emplace_back())) {
        return take_error();
      }
    }
  }
  return UpdatingClause{std::move(foreach)};
}

// EXISTS { } and COUNT { } hold a whole query, or a pattern with an optional
// WHERE. A pattern with a WHERE is kept as the one-MATCH query it stands
// for; a bare pattern stays a pattern, as in the subset.
Result<Expr> TreeBuilder::build_exists_or_count(NodeRef node, int depth, bool count) {
  std::optional<ExistsSubquery> subquery;
  std::optional<Pattern> pattern;
  std::optional<Expr> where;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::regular_query) {
      RegularQuery query;
      if (!build_regular_query(c, depth + 1, query)) return take_error();
      subquery = ExistsSubquery{std::move(query)};
    } else if (c.rule() == Rule::pattern) {
      if (!build_pattern(c, depth + 1, pattern.emplace())) return take_error();
    } else if (c.rule() == Rule::where_clause) {
      QV_TRY(Expr built, build_where(c, depth + 2));
      where = std::move(built);
    }
  }
  if (pattern && !where) {
    subquery = ExistsSubquery{std::move(*pattern)};
  } else if (pattern) {
    SinglePartQuery single;
    single.reading_clauses.push_back(
        ReadingClause{ReadingClause::Match{false, std::move(*pattern), std::move(where)}});
    subquery = ExistsSubquery{
        RegularQuery{SingleQuery(std::in_place_index<0>, std::move(single)), {}}};
  }
  if (!subquery) return fail(count ? "Empty COUNT subquery" : "Empty EXISTS");
  Box<ExistsSubquery> boxed(std::move(*subquery));
  if (count) return Expr(Expr::CountSubquery{std::move(boxed)});
  return Expr(Expr::Exists{std::move(boxed)});
}

Result<Expr> TreeBuilder::build_collect(NodeRef node, int depth) {
  NodeRef query = node.child(Rule::regular_query);
  if (!query.valid()) return fail("Empty COLLECT subquery");
  RegularQuery built;
  if (!build_regular_query(query, depth + 1, built)) return take_error();
  return Expr(Expr::CollectSubquery{Box<ExistsSubquery>(ExistsSubquery{std::move(built)})});
}

}  // namespace quorvane
