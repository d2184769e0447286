#include "validator/semantic/update_rules.h"

#include <algorithm>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "validator/semantic/expression_text.h"
#include "validator/semantic/expression_types.h"

namespace quorvane {

namespace {

// `$(type)` names one type when the query runs; `$any(types)` may name
// several.
bool one_dynamic_type(const RelationshipPattern& relationship) {
  const LabelExpr* e = relationship.type_expr ? &**relationship.type_expr : nullptr;
  return e != nullptr && e->kind == LabelExpr::Kind::Dynamic && !e->any;
}

std::string relationship_problem(const RelationshipPattern& relationship, bool create) {
  const bool one_type =
      one_dynamic_type(relationship) || (!relationship.type_expr && relationship.types.size() == 1);
  if (!one_type && (relationship.type_expr || relationship.types.size() > 1)) {
    return "has several types; give it exactly one, such as :" +
           name_text(relationship.types.empty() ? "TYPE" : relationship.types.front());
  }
  if (!one_type) return "has no type; give it exactly one, such as :TYPE";
  if (relationship.range) return "has a variable length; it makes exactly one relationship";
  if (create && relationship.direction == Direction::Undirected) {
    return "has no direction; draw it as -[...]-> or <-[...]-";
  }
  return "";
}

template <class F>
void for_each_link(std::span<const PatternPart> parts, F&& f) {
  for (const PatternPart& part : parts) {
    for (const PatternLink& link : part.chain) {
      if (!link.group) f(link);
    }
  }
}

template <class F>
void for_each_node(std::span<const PatternPart> parts, F&& f) {
  for (const PatternPart& part : parts) {
    f(part.start);
    for (const PatternLink& link : part.chain) f(link.node);
  }
}

}  // namespace

void check_update_pattern(std::span<const PatternPart> parts, std::string_view clause,
                          Findings& findings) {
  for_each_link(parts, [&](const PatternLink& link) {
    const std::string problem = relationship_problem(link.relationship, clause == "CREATE");
    if (problem.empty()) return;
    findings.error(Code::InvalidUpdatePattern, link.relationship.span,
                   "A relationship " + std::string(clause) + " makes needs exactly one type" +
                       (clause == "CREATE" ? ", a direction" : "") +
                       " and a fixed length, but this one " + problem);
  });
}

void check_rebound_variables(std::span<const PatternPart> parts, std::string_view clause,
                             const Scope& scope, Findings& findings) {
  for_each_node(parts, [&](const NodePattern& node) {
    if (!node.variable || !scope.contains(*node.variable)) return;
    if (node.labels.empty() && !node.label_expr && !node.properties) return;
    findings.error(
        Code::VariableAlreadyBound, node.variable_span,
        "Node " + quoted(*node.variable) + " is already bound, so " + std::string(clause) +
            " cannot make it again with labels or properties; write (" + name_text(*node.variable) +
            ") alone and add them with SET, or use a new variable");
  });
  for_each_link(parts, [&](const PatternLink& link) {
    const Nullable<TreeString>& variable = link.relationship.variable;
    if (!variable || !scope.contains(*variable)) return;
    findings.error(Code::VariableAlreadyBound, link.relationship.variable_span,
                   "Relationship " + quoted(*variable) + " is already bound, but " +
                       std::string(clause) +
                       " makes a relationship of its own; use a new "
                       "variable");
  });
}

void check_repeated_relationships(std::span<const PatternPart> parts, Findings& findings) {
  std::vector<std::string_view> seen;
  for_each_link(parts, [&](const PatternLink& link) {
    const Nullable<TreeString>& variable = link.relationship.variable;
    if (!variable) return;
    if (std::find(seen.begin(), seen.end(), *variable) == seen.end()) {
      seen.push_back(*variable);
      return;
    }
    findings.error(Code::VariableAlreadyBound, link.relationship.variable_span,
                   "Relationship variable " + quoted(*variable) +
                       " stands for two relationships of one pattern, but one relationship is "
                       "never matched twice in a pattern; use two variables");
  });
}

void check_parameter_maps(std::span<const PatternPart> parts, std::string_view clause,
                          Findings& findings) {
  const auto check = [&](const Nullable<MapOrParam>& properties, Span span) {
    if (!properties) return;
    const auto* parameter = std::get_if<MapOrParam::Parameter>(&properties->value);
    if (parameter == nullptr) return;
    findings.error(Code::ParameterPropertyMap, span,
                   std::string(clause) + " cannot take the parameter $" + parameter->name +
                       " as a property map; write the keys out ({key: $" + parameter->name +
                       ".key}) or test them in WHERE");
  };
  for_each_node(parts, [&](const NodePattern& node) { check(node.properties, node.span); });
  for_each_link(parts, [&](const PatternLink& link) {
    check(link.relationship.properties, link.relationship.span);
  });
}

void check_delete_items(const UpdatingClause::Delete& del, const Scope& scope, Findings& findings) {
  constexpr TypeSet kDeletable = type_bit(TypeKind::Node) | type_bit(TypeKind::Relationship) |
                                 type_bit(TypeKind::Path) | type_bit(TypeKind::List);
  const Typer typer(scope);
  for (const Expr& item : del.exprs) {
    const StaticType type = typer.type_of(item);
    if (may_be(type, kDeletable)) continue;
    findings.error(Code::TypeMismatch, item.span,
                   "DELETE takes nodes, relationships or paths, but " + expression_text(item) +
                       " is " + type_phrase(type));
  }
}

}  // namespace quorvane
