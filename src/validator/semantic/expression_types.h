// The static type of an expression (extended language): literals, the
// variables of a scope, operators and the typed built-ins
// (function_types.h). What depends on data (a parameter, a procedure's
// result, a property) is ANY, except a property whose type the schema
// declares, when a Typer is given the schema.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_

#include <optional>

#include "parser/ast.h"
#include "schema/schema.h"
#include "validator/semantic/scope.h"
#include "validator/semantic/static_types.h"

namespace quorvane {

class Typer {
 public:
  // Without a schema every property is ANY: the rules that report errors use
  // such a typer, so that a declared type (which data may not follow) never
  // makes a query invalid.
  explicit Typer(const Scope& scope, const Schema* schema = nullptr)
      : scope_(scope), schema_(schema) {}

  StaticType type_of(const Expr& expr) const;

  // The type the schema declares for `expr` when it is a property of a
  // variable whose labels (or relationship type) declare the key with one
  // type; nothing otherwise, or without a schema.
  std::optional<StaticType> declared_type(const Expr& expr) const;

  // The result of an arithmetic operator on two known operand types; nothing
  // when the operator cannot take them (ANY when either is unknown).
  static std::optional<StaticType> add(StaticType a, StaticType b);
  static std::optional<StaticType> subtract(StaticType a, StaticType b);
  static std::optional<StaticType> multiply(StaticType a, StaticType b);
  static std::optional<StaticType> divide(StaticType a, StaticType b);
  static std::optional<StaticType> numeric(StaticType a, StaticType b);  // % and ^

 private:
  StaticType call_type(const Expr::FunctionCall& call) const;

  const Scope& scope_;
  const Schema* schema_;
};

// The type of a list's elements; ANY when `list` is not known to be a list.
StaticType element_type(StaticType list);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_
