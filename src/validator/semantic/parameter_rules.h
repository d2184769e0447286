// Parameters the caller says are set: every other `$name` a query reads is
// a warning, with the closest set name proposed.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_PARAMETER_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_PARAMETER_RULES_H_

#include <span>
#include <string>

#include "parser/ast.h"
#include "validator/diagnostic.h"

namespace quorvane {

// One unknown-parameter warning per `$name` of `query` that `known` lacks,
// in the order the names stand in each clause. Commands read no parameters
// of interest and get none.
void check_parameters(const CypherQuery& query, std::span<const std::string> known,
                      Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_PARAMETER_RULES_H_
