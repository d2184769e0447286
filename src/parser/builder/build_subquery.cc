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

bool TreeBuilder::build_call_subquery(NodeRef node, int depth, ReadingClause& out) {
  ReadingClause::Subquery& call = out.clause.emplace<ReadingClause::Subquery>(
      ReadingClause::Subquery{false, false, false, {}, RegularQuery{}, false, std::nullopt});
  call.optional = starts_with_keyword(text_, node.start(), "OPTIONAL");
  bool has_query = false;
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::subquery_scope:
        call.has_scope = true;
        // `(*)`: a star first inside the parentheses (a comment may hold one).
        call.import_all = text_[skip_ignorable(text_, c.start() + 1)] == '*';
        for (NodeRef v : children(c)) {
          if (v.rule() == Rule::variable) call.scope.emplace_back(name_text(v));
        }
        break;
      case Rule::regular_query: {
        *call.query = RegularQuery();
        if (!build_regular_query(c, depth + 1, *call.query)) return false;
        has_query = true;
        break;
      }
      case Rule::in_transactions: {
        call.in_transactions = true;
        // Only the expression after OF counts rows; one before TRANSACTIONS
        // counts concurrent transactions, and CONCURRENT always follows it.
        // (The words before an expression may hold comments.)
        for (NodeRef e : children(c)) {
          if (e.rule() != Rule::expression || keyword_follows(e.end(), "CONCURRENT")) continue;
          if (!build_expression(e, depth + 1, call.batch_rows.emplace(Expr::Null{}))) return false;
        }
        break;
      }
      default:
        break;
    }
  }
  if (!has_query) return failed(fail("CALL missing subquery"));
  return true;
}

bool TreeBuilder::build_load_csv(NodeRef node, int depth, ReadingClause& out) {
  ReadingClause::LoadCsv& load = out.clause.emplace<ReadingClause::LoadCsv>(
      ReadingClause::LoadCsv{false, Expr(Expr::Null{}), {}, std::nullopt});
  // WITH HEADERS, when written, stands between CSV and FROM.
  const size_t csv = skip_ignorable(text_, node.start() + 4);
  load.with_headers = keyword_follows(csv + 3, "WITH");
  bool has_source = false;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::expression) {
      if (!build_expression(c, depth + 1, load.source)) return false;
      has_source = true;
    } else if (c.rule() == Rule::variable) {
      load.variable.assign(name_text(c));
    } else if (c.rule() == Rule::string_literal) {
      load.field_terminator = unquoted(c.text());
    }
  }
  if (!has_source) return failed(fail("LOAD CSV missing source"));
  return true;
}

bool TreeBuilder::build_foreach(NodeRef node, int depth, UpdatingClause& out) {
  UpdatingClause::Foreach& foreach = out.clause.emplace<UpdatingClause::Foreach>(
      UpdatingClause::Foreach{{}, Expr(Expr::Null{}), {}});
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      foreach
        .variable.assign(name_text(c));
    } else if (c.rule() == Rule::expression) {
      if (!build_expression(c, depth + 1, foreach.list)) return false;
    } else if (c.rule() == Rule::updating_clause) {
      if (!build_updating_clause(c, depth + 1, foreach.clauses.emplace_back())) return false;
    }
  }
  return true;
}

// EXISTS { } and COUNT { } hold a whole query, or a pattern with an optional
// WHERE. A pattern with a WHERE is kept as the one-MATCH query it stands
// for; a bare pattern stays a pattern, as in the subset.
bool TreeBuilder::build_exists_or_count(NodeRef node, int depth, bool count, Expr& out) {
  std::optional<ExistsSubquery> subquery;
  std::optional<Pattern> pattern;
  std::optional<Expr> where;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::regular_query) {
      RegularQuery query;
      if (!build_regular_query(c, depth + 1, query)) return false;
      subquery = ExistsSubquery{std::move(query)};
    } else if (c.rule() == Rule::pattern) {
      if (!build_pattern(c, depth + 1, pattern.emplace())) return false;
    } else if (c.rule() == Rule::where_clause) {
      if (!build_where(c, depth + 2, where.emplace(Expr::Null{}))) return false;
    }
  }
  if (pattern && !where) {
    subquery = ExistsSubquery{std::move(*pattern)};
  } else if (pattern) {
    SinglePartQuery single;
    single.reading_clauses.push_back(
        ReadingClause{ReadingClause::Match{false, std::move(*pattern), std::move(where)}});
    subquery =
        ExistsSubquery{RegularQuery{SingleQuery(std::in_place_index<0>, std::move(single)), {}}};
  }
  if (!subquery) return failed(fail(count ? "Empty COUNT subquery" : "Empty EXISTS"));
  Box<ExistsSubquery> boxed(std::move(*subquery));
  if (count) {
    out.node.emplace<Expr::CountSubquery>(Expr::CountSubquery{std::move(boxed)});
  } else {
    out.node.emplace<Expr::Exists>(Expr::Exists{std::move(boxed)});
  }
  return true;
}

bool TreeBuilder::build_collect(NodeRef node, int depth, Expr& out) {
  NodeRef query = node.child(Rule::regular_query);
  if (!query.valid()) return failed(fail("Empty COLLECT subquery"));
  Box<ExistsSubquery> subquery(std::in_place, ExistsSubquery{RegularQuery{}});
  if (!build_regular_query(query, depth + 1, std::get<RegularQuery>(subquery->value))) return false;
  out.node.emplace<Expr::CollectSubquery>(Expr::CollectSubquery{std::move(subquery)});
  return true;
}

}  // namespace quorvane
