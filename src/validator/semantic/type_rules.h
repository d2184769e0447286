// The type rules of the extended language: an operator or built-in function
// given an operand whose type it cannot take (an error: a database refuses
// the query before running it), and, when the schema declares property
// types, a typed property compared with or passed as a value of another
// type (a warning: the data may not follow the schema).
//
// Only known types are judged (expression_types.h); an unknown operand is
// never reported.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_TYPE_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_TYPE_RULES_H_

#include "parser/ast.h"
#include "schema/schema.h"
#include "validator/diagnostic.h"
#include "validator/semantic/scope.h"

namespace quorvane {

// Checks one expression (not what it holds: the walk calls this for every
// expression it visits). `typed_schema`: whether the schema declares any
// property type, so that the warnings are looked for at all.
void check_expression_types(const Expr& expr, const Scope& scope, const Schema& schema,
                            bool typed_schema, Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_TYPE_RULES_H_
