#include "validator/semantic/expression_kinds.h"

#include <algorithm>
#include <array>
#include <optional>

#include "validator/semantic/expression_text.h"
#include "validator/semantic/function_catalogue.h"

namespace quorvane {

namespace {

template <size_t N>
bool one_of(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view candidate) {
    return same_function_name(name, candidate);
  });
}

// What a value certainly is, when it is certainly not a path: the words for
// it, and what size() would measure on it (empty when size() does not apply).
struct NotAPath {
  std::string_view what;
  std::string_view sized;
};

VariableKind variable_kind(const Expr& expr, const Scope& scope) {
  const Expr::Variable* variable = expr.as<Expr::Variable>();
  if (variable == nullptr) return VariableKind::Unknown;
  const KnownLabels* known = scope.find(variable->name);
  return known ? known->kind() : VariableKind::Unknown;
}

std::optional<NotAPath> not_a_path(const Expr& expr, const Scope& scope) {
  return std::visit(
      [&](const auto& node) -> std::optional<NotAPath> {
        using T = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<T, Expr::String>) {
          return NotAPath{"a string", "a string"};
        } else if constexpr (std::is_same_v<T, Expr::List> ||
                             std::is_same_v<T, Expr::ListComprehension> ||
                             std::is_same_v<T, Expr::PatternComprehension> ||
                             std::is_same_v<T, Expr::CollectSubquery>) {
          return NotAPath{"a list", "a list"};
        } else if constexpr (std::is_same_v<T, Expr::Integer> || std::is_same_v<T, Expr::Float> ||
                             std::is_same_v<T, Expr::CountSubquery>) {
          return NotAPath{"a number", ""};
        } else if constexpr (std::is_same_v<T, Expr::Map> ||
                             std::is_same_v<T, Expr::MapProjection>) {
          return NotAPath{"a map", ""};
        } else if constexpr (std::is_same_v<T, Expr::Boolean> || kIsPredicate<T>) {
          return NotAPath{"a boolean", ""};
        } else if constexpr (std::is_same_v<T, Expr::Property>) {
          // A property of a map may be anything; of a node or relationship it
          // is a stored value, never a path.
          const VariableKind owner = variable_kind(*node.target, scope);
          if (owner == VariableKind::Node || owner == VariableKind::Relationship) {
            return NotAPath{"a property value", "a string or list"};
          }
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, Expr::Variable>) {
          const VariableKind kind = variable_kind(expr, scope);
          if (kind == VariableKind::Node || kind == VariableKind::Relationship) {
            return NotAPath{kind_description(kind), ""};
          }
          return std::nullopt;
        } else {
          return std::nullopt;
        }
      },
      expr.node);
}

void check_path_function(const Expr& expr, const Expr::FunctionCall& call, const Scope& scope,
                         Findings& findings) {
  static constexpr std::array<std::string_view, 3> kPathFunctions = {"length", "nodes",
                                                                     "relationships"};
  if (call.args.size() != 1 || !one_of(call.name, kPathFunctions)) return;
  const Expr& arg = call.args.front();
  const std::optional<NotAPath> found = not_a_path(arg, scope);
  if (!found) return;
  const std::string arg_text = expression_text(arg);
  std::string message =
      expression_text(expr) + " needs a path, but " + arg_text + " is " + std::string(found->what);
  if (same_function_name(call.name, "length") && !found->sized.empty()) {
    message += "; use size(" + arg_text + ") for the length of " + std::string(found->sized);
  }
  findings.error(Code::PathFunctionArgument, arg.span, std::move(message));
}

// A call of rand() in `expr`, first in reading order; nullptr when none.
const Expr* find_random(const Expr& expr) {
  const auto* call = expr.as<Expr::FunctionCall>();
  if (call != nullptr && same_function_name(call->name, "rand")) return &expr;
  const Expr* found = nullptr;
  any_child(expr, [&](const Expr& child) {
    found = find_random(child);
    return found != nullptr;
  });
  return found;
}

void check_pattern_operand(const Expr& operand, Findings& findings) {
  if (const auto* pattern = operand.as<Expr::PatternPredicate>()) {
    findings.error(Code::PatternAsValue, operand.span, pattern_value_message(*pattern));
  }
}

// The variables a pattern predicate writes that the scope does not hold, in
// order, each once. Quantified groups are left out: their variables are
// lists local to the pattern.
void check_new_variables(const Expr& expr, const Expr::PatternPredicate& predicate,
                         const Scope& scope, Findings& findings) {
  std::vector<std::string_view> fresh;
  const auto note = [&](const Nullable<TreeString>& variable) {
    if (variable && !scope.contains(*variable) &&
        std::find(fresh.begin(), fresh.end(), *variable) == fresh.end()) {
      fresh.push_back(*variable);
    }
  };
  const PatternPart& part = *predicate.pattern;
  note(part.start.variable);
  for (const PatternLink& link : part.chain) {
    if (!link.group) note(link.relationship.variable);
    note(link.node.variable);
  }
  if (fresh.empty()) return;
  std::string names;
  for (std::string_view name : fresh) names += (names.empty() ? "" : ", ") + quoted(name);
  const std::string text = pattern_text(part);
  findings.error(Code::PatternIntroducesVariable, expr.span,
                 "Pattern predicate " + text + " introduces the new variable" +
                     (fresh.size() > 1 ? "s " : " ") + names +
                     "; a pattern predicate can only use variables bound before it: bind " +
                     (fresh.size() > 1 ? "them" : "it") + " in EXISTS { MATCH " + text +
                     " } instead");
}

}  // namespace

bool is_aggregating_function(std::string_view name) {
  static constexpr std::array<std::string_view, 10> kAggregates = {
      "count",          "sum",           "avg", "min", "max", "collect", "stdev", "stdevp",
      "percentilecont", "percentiledisc"};
  return one_of(name, kAggregates);
}

bool is_aggregate(const Expr& expr) {
  if (expr.as<Expr::CountStar>() != nullptr) return true;
  const auto* call = expr.as<Expr::FunctionCall>();
  return call != nullptr && is_aggregating_function(call->name);
}

const Expr* find_aggregate(const Expr& expr) {
  if (is_aggregate(expr)) return &expr;
  const Expr* found = nullptr;
  any_child(expr, [&](const Expr& child) {
    found = find_aggregate(child);
    return found != nullptr;
  });
  return found;
}

bool binds_variables(const Expr& expr) {
  if (expr.as<Expr::ListComprehension>() || expr.as<Expr::All>() || expr.as<Expr::Any>() ||
      expr.as<Expr::None>() || expr.as<Expr::Single>() || expr.as<Expr::Reduce>() ||
      expr.as<Expr::PatternComprehension>() || expr.as<Expr::PatternPredicate>() ||
      expr.as<Expr::ShortestPath>() || expr.as<Expr::Exists>() || expr.as<Expr::CountSubquery>() ||
      expr.as<Expr::CollectSubquery>()) {
    return true;
  }
  return any_child(expr, [](const Expr& child) { return binds_variables(child); });
}

namespace {

Span written_within(Span written, Span node, size_t length) {
  if (!written.empty() && written.begin >= node.begin && written.end <= node.end) return written;
  return Span{node.begin, node.begin + static_cast<uint32_t>(length)};
}

}  // namespace

Span name_span(const Expr::FunctionCall& call, Span node) {
  const auto length = static_cast<uint32_t>(call.name.size());
  return written_within(Span{call.name_begin, call.name_begin + length}, node, length);
}

Span variable_span(const Expr::MapProjection& projection, Span node) {
  return written_within(projection.variable_span, node, projection.variable.size());
}

std::string_view kind_description(VariableKind kind) {
  switch (kind) {
    case VariableKind::Node:
      return "a node";
    case VariableKind::Relationship:
      return "a relationship";
    case VariableKind::Path:
      return "a path";
    case VariableKind::Unknown:
      break;
  }
  return "";
}

void check_expression_node(const Expr& expr, const Scope& scope, bool scope_open,
                           Findings& findings) {
  std::visit(
      [&](const auto& node) {
        using T = std::decay_t<decltype(node)>;
        if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
          check_function_call(expr, node, findings);
          check_path_function(expr, node, scope, findings);
          static constexpr std::array<std::string_view, 3> kValueFunctions = {"size", "count",
                                                                              "collect"};
          if (one_of(node.name, kValueFunctions)) {
            for (const Expr& arg : node.args) check_pattern_operand(arg, findings);
          }
          if (is_aggregating_function(node.name)) {
            for (const Expr& arg : node.args) {
              if (const Expr* random = find_random(arg)) {
                findings.error(Code::NondeterministicAggregate, random->span,
                               expression_text(expr) + " aggregates the random value " +
                                   expression_text(*random) +
                                   "; an aggregating function cannot take a random value: "
                                   "compute it in a preceding WITH and aggregate its alias");
              }
              if (const Expr* inner = find_aggregate(arg)) {
                findings.error(Code::NestedAggregate, inner->span,
                               "Aggregate " + expression_text(*inner) + " is nested inside " +
                                   expression_text(expr) +
                                   "; aggregates cannot be nested: compute the inner one in a "
                                   "preceding WITH and aggregate its alias");
              }
            }
          }
        } else if constexpr (std::is_same_v<T, Expr::Add> || std::is_same_v<T, Expr::Subtract> ||
                             std::is_same_v<T, Expr::Multiply> || std::is_same_v<T, Expr::Divide> ||
                             std::is_same_v<T, Expr::Modulo> || std::is_same_v<T, Expr::Power> ||
                             std::is_same_v<T, Expr::Concatenate>) {
          check_pattern_operand(*node.left, findings);
          check_pattern_operand(*node.right, findings);
        } else if constexpr (std::is_same_v<T, Expr::Negate>) {
          check_pattern_operand(*node.operand, findings);
        } else if constexpr (std::is_same_v<T, Expr::PatternPredicate>) {
          if (!scope_open) check_new_variables(expr, node, scope, findings);
        } else {
          static_assert(!kJudgedByKindRules<T>, "a judged kind needs its rules here");
        }
      },
      expr.node);
}

std::string pattern_value_message(const Expr::PatternPredicate& pattern) {
  const std::string text = pattern_text(*pattern.pattern);
  return "Pattern " + text +
         " is used as a value; a pattern expression is only a condition: " + "write COUNT { " +
         text + " } to count its matches or EXISTS { " + text + " } to test for one";
}

std::string kind_conflict_message(std::string_view variable, VariableKind bound,
                                  VariableKind reused) {
  return "Variable " + quoted(variable) + " is " + std::string(kind_description(bound)) +
         " and cannot be reused as " + std::string(kind_description(reused));
}

}  // namespace quorvane

namespace quorvane {

namespace {

// "a node", "a variable-length relationship's list", "a STRING".
std::string binding_description(StaticType type) {
  switch (type.kind) {
    case TypeKind::Node:
      return "a node";
    case TypeKind::Relationship:
      return "a relationship";
    case TypeKind::Path:
      return "a path";
    default:
      break;
  }
  if (type == StaticType::list_of(TypeKind::Relationship)) {
    return "the relationship list of a variable-length pattern";
  }
  return type_phrase(type);
}

}  // namespace

std::string kind_conflict_message(std::string_view variable, StaticType bound, StaticType reused) {
  return "Variable " + quoted(variable) + " is " + binding_description(bound) +
         " and cannot be reused as " + binding_description(reused);
}

}  // namespace quorvane
