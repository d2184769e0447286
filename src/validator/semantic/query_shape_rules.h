// Rules of the extended language about the shape of a whole query: how it
// ends, what a subquery returns, and how UNION branches line up.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_

#include <string>
#include <vector>

#include "parser/ast.h"

namespace quorvane {

// Where a query stands, which decides how it may end.
enum class QueryForm {
  Query,          // the whole query: RETURN, an update, FOREACH or a procedure call
  CallBody,       // CALL { }: as a query; returned columns need names
  ExistsOrCount,  // EXISTS { } and COUNT { }: may end anywhere
  Collect,        // COLLECT { }: RETURN of exactly one column
};

void check_query_shape(const RegularQuery& query, QueryForm form, std::vector<std::string>& errors);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_QUERY_SHAPE_RULES_H_
