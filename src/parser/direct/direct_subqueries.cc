// Subqueries and the clauses of the extended language: CALL { }, LOAD CSV,
// FOREACH, and EXISTS, COUNT and COLLECT around a whole query.
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

// The words a clause starts with, in the extended language.
constexpr std::string_view kClauseWords[] = {"MATCH",    "OPTIONAL", "UNWIND", "CALL",    "LOAD",
                                             "CREATE",   "MERGE",    "SET",    "REMOVE",  "DETACH",
                                             "NODETACH", "DELETE",   "WITH",   "FOREACH", "RETURN"};

}  // namespace

bool DirectReader::read_regular_query(RegularQuery& out) {
  if (!read_single_query(out.first())) return false;
  while (keyword("UNION")) {
    UnionPart& branch = add(out.unions());
    branch.all = keyword("ALL");
    if (!read_single_query(branch.query)) return false;
  }
  return true;
}

// A query inside a clause or an expression. Its nodes count towards the
// clause around it, and it is one more level of nesting, as the matcher
// counts CALL { } and FOREACH (a little more than it counts EXISTS { }).
bool DirectReader::read_nested_query(RegularQuery& out) {
  if (!nest() || !count_node()) return false;
  ++subquery_depth_;
  const bool ok = read_regular_query(out);
  --subquery_depth_;
  --depth_;
  return ok;
}

// After `[OPTIONAL] CALL`: `[(a, b) | (*) | ()] { query } [IN TRANSACTIONS
// ...]`.
bool DirectReader::read_call_subquery(ReadingClause& out, bool optional) {
  ReadingClause::Subquery& call = out.clause.emplace<ReadingClause::Subquery>(
      ReadingClause::Subquery{.optional = optional, .query = box<RegularQuery>()});
  if (accept('(')) {
    call.has_scope = true;
    if (accept('*')) {
      call.import_all = true;
    } else if (peek() != ')') {
      do {
        if (!read_name(NameKind::kVariable, add(call.scope), add(call.scope_spans))) return false;
      } while (accept(','));
    }
    if (!accept(')')) return false;
  }
  if (!accept('{') || !read_nested_query(*call.query) || !accept('}')) return false;
  if (!keyword("IN")) return true;
  call.in_transactions = true;
  return read_in_transactions(call);
}

// After IN: `[[n] CONCURRENT] TRANSACTIONS [OF n ROWS] [ON ERROR CONTINUE |
// BREAK | FAIL] [REPORT STATUS AS name]`. The error mode is not kept.
bool DirectReader::read_in_transactions(ReadingClause::Subquery& call) {
  const Mark start = mark();
  if (keyword("CONCURRENT") && keyword("TRANSACTIONS")) {
    call.concurrent = true;
  } else {
    rewind(start);
    // The matcher then reads an expression before CONCURRENT, which may be
    // the name TRANSACTIONS itself.
    if (word_here("TRANSACTIONS")) {
      const size_t after = skip_ignorable(text_, pos_ + 12);
      if (starts_with_keyword(text_, after, "CONCURRENT")) return false;
    } else {
      if (!read_expression(call.concurrency.emplace_in(arena_, Expr::Null{})) ||
          !keyword("CONCURRENT")) {
        return false;
      }
      call.concurrent = true;
    }
    if (!keyword("TRANSACTIONS")) return false;
  }
  if (keyword("OF")) {
    if (!read_expression(call.batch_rows.emplace_in(arena_, Expr::Null{}))) return false;
    if (!keyword("ROWS") && !keyword("ROW")) return false;
  }
  if (keyword("ON")) {
    if (!keyword("ERROR")) return false;
    if (!keyword("CONTINUE") && !keyword("BREAK") && !keyword("FAIL")) return false;
  }
  if (keyword("REPORT")) {
    if (!keyword("STATUS") || !keyword("AS")) return false;
    std::string_view status;
    if (!read_name(NameKind::kVariable, status, call.status_span)) return false;
    call.status.emplace_in(arena_, TreeString::view(status));
  }
  return true;
}

// After LOAD: `CSV [WITH HEADERS] FROM source AS row [FIELDTERMINATOR 'x']`.
bool DirectReader::read_load_csv(ReadingClause& out) {
  ReadingClause::LoadCsv& load = out.clause.emplace<ReadingClause::LoadCsv>(
      ReadingClause::LoadCsv{false, Box<Expr>::in(arena_, Expr::Null{}), {}, std::nullopt});
  if (!keyword("CSV")) return false;
  if (keyword("WITH")) {
    if (!keyword("HEADERS")) return false;
    load.with_headers = true;
  }
  if (!keyword("FROM") || !read_expression(*load.source) || !keyword("AS") ||
      !read_name(NameKind::kVariable, load.variable, load.variable_span)) {
    return false;
  }
  if (!keyword("FIELDTERMINATOR")) return true;
  return (peek() == '\'' || peek() == '"') && read_string(load.field_terminator.emplace_in(arena_));
}

// After FOREACH: `(x IN list | updating clauses)`, one more level of
// nesting, as the matcher counts it. Where the list ends with a label check
// (`n IN x:A | SET ...`), the matcher takes the bar and the clause's first
// word for one more label, and the clause fails; a type (`x IS :: INT`)
// takes no clause word, and a closing parenthesis or a further operator
// (`(x:A)`, `x:A IS NULL`) ends the check before the bar.
bool DirectReader::read_foreach(UpdatingClause& out) {
  UpdatingClause::Foreach& foreach = out.clause.emplace<UpdatingClause::Foreach>(
      UpdatingClause::Foreach{{}, Expr(Expr::Null{}), {}});
  if (!nest() || !count_node()) return false;
  if (!accept('(') || !read_name(NameKind::kVariable, foreach.variable) || !keyword("IN") ||
      !read_expression(foreach.list) || end_ == label_check_end_ || !accept('|')) {
    return false;
  }
  do {
    const size_t before = foreach.clauses.size();
    if (!read_updating_clause(foreach.clauses) || foreach.clauses.size() == before) return false;
  } while (peek() != ')');
  --depth_;
  return accept(')');
}

// Whether the brace at `brace` after `word` opens a subquery whose body is
// a whole query: the matcher tries a query first, and a query starts with a
// clause.
bool DirectReader::query_subquery_at(std::string_view word, size_t brace) const {
  if (!same_word(word, "EXISTS") && !same_word(word, "COUNT") && !same_word(word, "COLLECT")) {
    return false;
  }
  const size_t body = skip_ignorable(text_, brace + 1);
  for (std::string_view clause : kClauseWords) {
    if (starts_with_keyword(text_, body, clause) &&
        (body + clause.size() >= text_.size() ||
         !is_word_char(static_cast<unsigned char>(text_[body + clause.size()])))) {
      return true;
    }
  }
  return false;
}

// `EXISTS { query }`, `COUNT { query }` or `COLLECT { query }`, from the
// word; `brace` is where its brace stands.
bool DirectReader::read_query_subquery(Expr& out, std::string_view word, size_t brace) {
  pos_ = brace;
  // The query sits one level below the expression.
  if (!count_node() || !accept('{')) return false;
  Box<ExistsSubquery> subquery = box<ExistsSubquery>(ExistsSubquery{RegularQuery{}});
  if (!read_nested_query(std::get<RegularQuery>(subquery->value)) || !accept('}')) return false;
  if (word.size() == 7) {
    out.node.emplace<Expr::CollectSubquery>(Expr::CollectSubquery{std::move(subquery)});
  } else if (word.size() == 5) {
    out.node.emplace<Expr::CountSubquery>(Expr::CountSubquery{std::move(subquery)});
  } else {
    out.node.emplace<Expr::Exists>(Expr::Exists{std::move(subquery)});
  }
  return true;
}

}  // namespace quorvane
