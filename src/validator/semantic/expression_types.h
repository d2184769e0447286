// The static type of an expression (extended language): literals, the
// variables of a scope, operators and the typed built-ins
// (function_types.h). What depends on data (a parameter, a procedure's
// result, a property) is ANY, except a property whose type the schema
// declares, when a Typer is given the schema.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_

#include <cstdint>
#include <optional>
#include <unordered_map>

#include "parser/ast.h"
#include "schema/schema.h"
#include "validator/semantic/scope.h"
#include "validator/semantic/static_types.h"

namespace quorvane {

// The types a Typer has worked out for the operators of one tree, kept
// while the scope they were typed in stays as it is (its generation). The
// walk checks every level of an operator chain and asks each time for the
// types of all the levels below, which makes a long chain quadratic without
// it. A memo serves one tree, one scope object and one kind of Typer (with or
// without a schema); forget() before it serves another tree.
class TypeMemo {
 public:
  const StaticType* find(const Expr& expr, const Scope& scope) {
    if (&scope != scope_ || scope.generation() != generation_) {
      forget();
      scope_ = &scope;
      generation_ = scope.generation();
      return nullptr;
    }
    if (!types_) return nullptr;
    const auto it = types_->find(&expr);
    return it == types_->end() ? nullptr : &it->second;
  }
  void keep(const Expr& expr, StaticType type) {
    // Made on first use: most walks never keep a type, and a map costs to
    // make and to free.
    if (!types_) types_.emplace();
    types_->emplace(&expr, type);
  }
  void forget() {
    if (types_) types_->clear();
    scope_ = nullptr;
  }

 private:
  const Scope* scope_ = nullptr;
  uint64_t generation_ = 0;
  std::optional<std::unordered_map<const Expr*, StaticType>> types_;
};

// A memo for each kind of Typer a walk uses.
struct TypeMemos {
  TypeMemo without_schema;
  TypeMemo with_schema;
  void forget() {
    without_schema.forget();
    with_schema.forget();
  }
};

class Typer {
 public:
  // Without a schema every property is ANY: the rules that report errors use
  // such a typer, so that a declared type (which data may not follow) never
  // makes a query invalid. With a memo, operators already typed in this
  // scope are not typed again.
  explicit Typer(const Scope& scope, const Schema* schema = nullptr, TypeMemo* memo = nullptr)
      : scope_(scope), schema_(schema), memo_(memo) {}

  StaticType type_of(const Expr& expr) const {
    if (depth_ < kMemoDepth) {
      ++depth_;
      const StaticType type = work_out(expr);
      --depth_;
      return type;
    }
    return remembered_type_of(expr);
  }

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
  StaticType work_out(const Expr& expr) const;
  StaticType remembered_type_of(const Expr& expr) const;

  // Only operators this far below the expression asked about go to the
  // memo: the usual expression is never deep enough to touch it, and each
  // level of a long chain types a few levels below it before it finds the
  // rest.
  static constexpr int kMemoDepth = 8;

  const Scope& scope_;
  const Schema* schema_;
  TypeMemo* memo_;
  mutable int depth_ = 0;  // of type_of calls under way
};

// The type of a list's elements; ANY when `list` is not known to be a list.
StaticType element_type(StaticType list);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TYPES_H_
