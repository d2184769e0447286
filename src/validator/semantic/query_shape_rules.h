// Rules of the extended language about the shape of a whole query: how it
// ends, what a subquery returns, and how UNION branches line up.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_

#include <string>
#include <vector>

#include "parser/ast.h"
#include "validator/diagnostic.h"

namespace quorvane {

// Where a query stands, which decides how it may end.
enum class QueryForm {
  Query,          // the whole query: RETURN, an update, FOREACH or a procedure call
  CallBody,       // CALL { }: as a query; returned columns need names
  ExistsOrCount,  // EXISTS { } and COUNT { }: may end anywhere
  Collect,        // COLLECT { }: RETURN of exactly one column
};

// `where` places the findings about the whole query (mixed UNION forms).
void check_query_shape(const RegularQuery& query, QueryForm form, Findings& findings, Span where);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_
