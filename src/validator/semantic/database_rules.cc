// Where the walk meets the rules a database enforces before it runs a query
// (extended language only). Part of SemanticValidator; the rules themselves
// live in expression_kinds.cc, literal_rules.cc, projection_rules.cc and
// query_shape_rules.cc.
#include <utility>
#include <variant>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/literal_rules.h"
#include "validator/semantic/query_shape_rules.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

const RegularQuery* query_form(const ExistsSubquery& subquery) {
  return std::get_if<RegularQuery>(&subquery.value);
}

}  // namespace

void SemanticValidator::check_expression_rules(const Expr& expr) {
  check_expression_node(expr, scope_, scope_open_, errors_);
  // The walk visits what a minus sign negates right after the minus sign.
  const Expr* negated = std::exchange(negated_, nullptr);
  if (const auto* negate = expr.as<Expr::Negate>()) {
    negated_ = negate->operand.get();
  } else if (const auto* integer = expr.as<Expr::Integer>()) {
    check_integer_size(*integer, &expr == negated, errors_);
  }
  if (const auto* collect = expr.as<Expr::CollectSubquery>()) {
    if (const RegularQuery* query = query_form(*collect->subquery)) {
      check_query_shape(*query, QueryForm::Collect, errors_);
    }
  } else if (const auto* count = expr.as<Expr::CountSubquery>()) {
    if (const RegularQuery* query = query_form(*count->subquery)) {
      check_query_shape(*query, QueryForm::ExistsOrCount, errors_);
    }
  } else if (const auto* exists = expr.as<Expr::Exists>()) {
    if (const RegularQuery* query = query_form(*exists->subquery)) {
      check_query_shape(*query, QueryForm::ExistsOrCount, errors_);
    }
  }
}

// A name keeps the kind a pattern first gave it: a node stays a node.
void SemanticValidator::check_kind(std::string_view variable, VariableKind kind) {
  if (language_ != Language::Extended || kind == VariableKind::Unknown) return;
  const KnownLabels* known = scope_.find(variable);
  if (known == nullptr || known->kind() == VariableKind::Unknown || known->kind() == kind) return;
  errors_.push_back(kind_conflict_message(variable, known->kind(), kind));
}

}  // namespace quorvane
