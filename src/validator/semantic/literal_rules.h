// Rules of the extended language about literal values a database checks
// before it runs a query: integer and float literals that do not fit in 64
// bits, and SKIP and LIMIT values that are certainly not a count of rows or
// not constant.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_LITERAL_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_LITERAL_RULES_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/ast.h"
#include "validator/diagnostic.h"

namespace quorvane {

// Reports `integer` when it does not fit in a signed 64-bit integer.
// `negated`: a minus sign stands right before it, so -9223372036854775808,
// one further than the largest positive value, still fits.
void check_integer_size(const Expr& expr, const Expr::Integer& integer, bool negated,
                        Findings& findings);

// Reports a float literal beyond the largest 64-bit float.
void check_float_size(const Expr& expr, const Expr::Float& number, Findings& findings);

// Reports the value of a SKIP or LIMIT (`keyword`) when it is a literal that
// is negative or not an integer, or when it reads a variable: a database
// takes literals, parameters and expressions of them. Parameters and other
// expressions, whose value the text does not give, pass, and so does null.
void check_row_count(std::string_view keyword, const Nullable<Expr>& value, Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_LITERAL_RULES_H_
