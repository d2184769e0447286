// Where the walk meets the rules a database enforces before it runs a query
// (extended language only). Part of SemanticValidator; the rules themselves
// live in expression_kinds.cc, function_catalogue.cc, literal_rules.cc,
// projection_rules.cc and query_shape_rules.cc.
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/function_catalogue.h"
#include "validator/semantic/literal_rules.h"
#include "validator/semantic/query_shape_rules.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

const RegularQuery* query_form(const ExistsSubquery& subquery) {
  return std::get_if<RegularQuery>(&subquery.value);
}

// Every call in `expr` checked against the function catalogue; what
// subqueries hold is left to their own walk.
void check_calls(const Expr& expr, Findings& findings) {
  if (const auto* call = expr.as<Expr::FunctionCall>()) check_function_call(expr, *call, findings);
  any_child(expr, [&](const Expr& child) {
    check_calls(child, findings);
    return false;
  });
}

}  // namespace

void SemanticValidator::check_expression_rules(const Expr& expr) {
  check_expression_node(expr, scope_, scope_open_, findings_);
  // The walk visits what a minus sign negates right after the minus sign.
  const Expr* negated = std::exchange(negated_, nullptr);
  if (const auto* negate = expr.as<Expr::Negate>()) {
    negated_ = negate->operand.get();
  } else if (const auto* integer = expr.as<Expr::Integer>()) {
    check_integer_size(expr, *integer, &expr == negated, findings_);
  }
  if (const auto* collect = expr.as<Expr::CollectSubquery>()) {
    if (const RegularQuery* query = query_form(*collect->subquery)) {
      check_query_shape(*query, QueryForm::Collect, findings_, expr.span);
    }
  } else if (const auto* count = expr.as<Expr::CountSubquery>()) {
    if (const RegularQuery* query = query_form(*count->subquery)) {
      check_query_shape(*query, QueryForm::ExistsOrCount, findings_, expr.span);
    }
  } else if (const auto* exists = expr.as<Expr::Exists>()) {
    if (const RegularQuery* query = query_form(*exists->subquery)) {
      check_query_shape(*query, QueryForm::ExistsOrCount, findings_, expr.span);
    }
  }
}

// Only the function catalogue applies here: the values of a pattern's map
// are otherwise left alone, and a misspelt function in `CREATE (:A {x:
// lenght(y)})` fails in a database all the same.
void SemanticValidator::check_property_map_calls(const std::optional<MapOrParam>& properties) {
  if (language_ != Language::Extended || !properties) return;
  if (const auto* map = std::get_if<MapOrParam::Map>(&properties->value)) {
    for (const MapEntry& entry : map->entries) check_calls(entry.value, findings_);
  }
}

// A name keeps the kind a pattern first gave it: a node stays a node.
void SemanticValidator::check_kind(std::string_view variable, VariableKind kind, Span span) {
  if (language_ != Language::Extended || kind == VariableKind::Unknown) return;
  const KnownLabels* known = scope_.find(variable);
  if (known == nullptr || known->kind() == VariableKind::Unknown || known->kind() == kind) return;
  findings_.error(Code::VariableKind, span, kind_conflict_message(variable, known->kind(), kind));
}

}  // namespace quorvane
