// Where the walk meets the rules a database enforces before it runs a query
// (extended language only). Part of SemanticValidator; the rules themselves
// live in expression_kinds.cc, function_catalogue.cc, literal_rules.cc,
// projection_rules.cc and query_shape_rules.cc.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/function_catalogue.h"
#include "validator/semantic/literal_rules.h"
#include "validator/semantic/query_shape_rules.h"
#include "validator/semantic/semantic_validator.h"
#include "validator/semantic/type_rules.h"
#include "validator/semantic/update_rules.h"

namespace quorvane {

namespace {

const RegularQuery* query_form(const ExistsSubquery& subquery) {
  return std::get_if<RegularQuery>(&subquery.value);
}

// Which rules judge an expression of each kind, so that the walk calls only
// those: most expressions are names, literals and comparisons, which no
// rule of an untyped schema judges by themselves. (Literal sizes are told
// apart below, where the minus sign is followed.)
enum RuleSet : uint8_t {
  kKindRules = 1,   // check_expression_node
  kTypeRules = 2,   // check_expression_types
  kTypedRules = 4,  // check_expression_types, when the schema declares types
  kShapeRules = 8,  // the query shape of a subquery expression
};

template <class T>
constexpr uint8_t rules_for() {
  uint8_t rules = 0;
  if (kJudgedByKindRules<T>) rules |= kKindRules;
  if (kJudgedByTypeRules<T>) rules |= kTypeRules | kTypedRules;
  if (kComparison<T>) rules |= kTypedRules;
  if (std::is_same_v<T, Expr::CollectSubquery> || std::is_same_v<T, Expr::CountSubquery> ||
      std::is_same_v<T, Expr::Exists>) {
    rules |= kShapeRules;
  }
  return rules;
}

template <size_t... I>
constexpr std::array<uint8_t, sizeof...(I)> rule_table(std::index_sequence<I...>) {
  return {rules_for<std::variant_alternative_t<I, Expr::Variant>>()...};
}

constexpr auto kRulesByKind =
    rule_table(std::make_index_sequence<std::variant_size_v<Expr::Variant>>());

}  // namespace

void SemanticValidator::check_expression_rules(const Expr& expr) {
  const uint8_t rules = kRulesByKind[expr.kind()];
  if (rules & kKindRules) check_expression_node(expr, scope_, scope_open_, findings_);
  if (rules & (typed_schema_ ? kTypedRules : kTypeRules)) {
    check_expression_types(expr, scope_, schema_, typed_schema_, findings_, &type_memos_);
  }
  // The walk visits what a minus sign negates right after the minus sign.
  const Expr* negated = std::exchange(negated_, nullptr);
  if (const auto* negate = expr.as<Expr::Negate>()) {
    negated_ = negate->operand.get();
  } else if (const auto* integer = expr.as<Expr::Integer>()) {
    check_integer_size(expr, *integer, &expr == negated, findings_);
  } else if (const auto* number = expr.as<Expr::Float>()) {
    check_float_size(expr, *number, findings_);
  }
  if (!(rules & kShapeRules)) return;
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

// The values of a pattern's map are expressions like any other: a database
// rejects `MATCH (p:Person {name: q})` with `q` unbound, a misspelt function
// in `CREATE (:A {x: lenght(y)})` and a key no label of `m` declares in
// `{title: m.titel}`. The subset leaves them alone.
void SemanticValidator::validate_property_map_values(const Nullable<MapOrParam>& properties) {
  if (language_ != Language::Extended || !properties) return;
  if (const auto* map = std::get_if<MapOrParam::Map>(&properties->value)) {
    for (const MapEntry& entry : map->entries) validate_expr(entry.value);
  }
}

void SemanticValidator::check_update_rules(std::span<const PatternPart> parts,
                                           std::string_view clause) {
  check_update_pattern(parts, clause, findings_);
  check_rebound_variables(parts, clause, scope_, findings_);
  if (clause == "MERGE") check_parameter_maps(parts, clause, findings_);
}

void SemanticValidator::check_updating_clause_rules(const UpdatingClause& clause) {
  if (const auto* del = std::get_if<UpdatingClause::Delete>(&clause.clause)) {
    check_delete_items(*del, scope_, findings_);
  }
}

// A name keeps the kind a pattern first gave it: a node stays a node.
void SemanticValidator::check_kind(std::string_view variable, VariableKind kind, Span span) {
  if (kind == VariableKind::Unknown) return;
  check_binding_type(variable, KnownLabels().set_kind(kind).type(), span);
}

// A value a WITH or UNWIND gave a name is not a node or relationship a
// pattern may bind it as (a null may be anything); a list fits a list whose
// elements are not known.
void SemanticValidator::check_binding_type(std::string_view variable, StaticType needed,
                                           Span span) {
  if (language_ != Language::Extended || !needed.known()) return;
  const KnownLabels* known = scope_.find(variable);
  if (known == nullptr) return;
  const StaticType bound = known->type();
  if (!bound.known() || bound.kind == TypeKind::Null || bound == needed) return;
  if (bound.kind == TypeKind::List && needed.kind == TypeKind::List &&
      (bound.element == TypeKind::Any || needed.element == TypeKind::Any)) {
    return;
  }
  findings_.error(Code::VariableKind, span, kind_conflict_message(variable, bound, needed));
}

}  // namespace quorvane
