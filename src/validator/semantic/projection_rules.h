// Rules of the extended language about projections and aggregation: where
// an aggregate may stand, what the ORDER BY and WHERE of a DISTINCT or
// aggregating projection may use, implicit grouping keys, names for WITH
// items, column names that repeat, and literal SKIP and LIMIT values.
// Findings are appended in the order the clause is read.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_PROJECTION_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_PROJECTION_RULES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/ast.h"
#include "validator/diagnostic.h"
#include "validator/semantic/scope.h"

namespace quorvane {

// A WITH or RETURN, seen through what both have.
struct Projection {
  std::string_view keyword;  // "WITH" or "RETURN"
  bool distinct;
  const TreeList<ReturnItem>& items;  // empty for *
  const Nullable<TreeList<SortItem>>& order_by;
  const Nullable<Expr>& skip;
  const Nullable<Expr>& limit;
  const Nullable<Expr>* where;  // WITH only
};

// Checks a projection; `before` is the scope the projection reads from.
void check_projection(const Projection& projection, const Scope& before, Findings& findings);

// Reports aggregates in the reading and updating clauses of a query part,
// where none is allowed (WHERE, patterns, SET, CREATE, MERGE, UNWIND, DELETE,
// FOREACH, procedure arguments, LOAD CSV).
void check_clause_aggregates(const TreeList<ReadingClause>& reading,
                             const TreeList<UpdatingClause>& updating, Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_PROJECTION_RULES_H_
