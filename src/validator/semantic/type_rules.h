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

#include <type_traits>

#include "parser/ast.h"
#include "schema/schema.h"
#include "validator/diagnostic.h"
#include "validator/semantic/expression_types.h"
#include "validator/semantic/scope.h"

namespace quorvane {

// The kinds whose operands the type rules judge: operators, calls, property
// and index access, CASE conditions, iteration lists and label checks.
template <class T>
inline constexpr bool kJudgedByTypeRules =
    std::is_same_v<T, Expr::Or> || std::is_same_v<T, Expr::And> || std::is_same_v<T, Expr::Xor> ||
    std::is_same_v<T, Expr::Not> || std::is_same_v<T, Expr::RegexMatch> ||
    std::is_same_v<T, Expr::StartsWith> || std::is_same_v<T, Expr::EndsWith> ||
    std::is_same_v<T, Expr::Contains> || std::is_same_v<T, Expr::In> ||
    std::is_same_v<T, Expr::Add> || std::is_same_v<T, Expr::Subtract> ||
    std::is_same_v<T, Expr::Multiply> || std::is_same_v<T, Expr::Divide> ||
    std::is_same_v<T, Expr::Modulo> || std::is_same_v<T, Expr::Power> ||
    std::is_same_v<T, Expr::Concatenate> || std::is_same_v<T, Expr::Negate> ||
    std::is_same_v<T, Expr::FunctionCall> || std::is_same_v<T, Expr::Property> ||
    std::is_same_v<T, Expr::Index> || std::is_same_v<T, Expr::Case> ||
    std::is_same_v<T, Expr::ListComprehension> || std::is_base_of_v<Expr::Quantifier, T> ||
    std::is_same_v<T, Expr::LabelCheck>;

// The comparisons, which the typed-property warnings also judge.
template <class T>
inline constexpr bool kComparison =
    std::is_same_v<T, Expr::Equal> || std::is_same_v<T, Expr::NotEqual> ||
    std::is_same_v<T, Expr::LessThan> || std::is_same_v<T, Expr::LessOrEqual> ||
    std::is_same_v<T, Expr::GreaterThan> || std::is_same_v<T, Expr::GreaterOrEqual> ||
    std::is_same_v<T, Expr::In>;

// Checks one expression (not what it holds: the walk calls this for every
// expression it visits). The walk calls it only for a kind judged above, or
// a comparison when the schema is typed. `typed_schema`: whether the schema declares any
// property type, so that the warnings are looked for at all. `memos`, when
// given, keep the types worked out for the walk's next checks.
void check_expression_types(const Expr& expr, const Scope& scope, const Schema& schema,
                            bool typed_schema, Findings& findings, TypeMemos* memos = nullptr);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_TYPE_RULES_H_
