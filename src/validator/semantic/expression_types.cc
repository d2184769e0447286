#include "validator/semantic/expression_types.h"

#include <array>
#include <type_traits>
#include <utility>
#include <variant>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/function_types.h"

namespace quorvane {

namespace {

using K = TypeKind;

constexpr StaticType t(K kind) {
  return {kind, K::Any};
}

bool is_temporal(K kind) {
  return (type_bit(kind) & kTemporals) != 0;
}

// INTEGER with INTEGER stays INTEGER, a FLOAT makes a FLOAT, NUMBER stays
// unsure.
StaticType number_result(StaticType a, StaticType b) {
  if (a.kind == K::Integer && b.kind == K::Integer) return t(K::Integer);
  if (a.kind == K::Float || b.kind == K::Float) return t(K::Float);
  return t(K::Number);
}

// Operands of which either is unknown or null give that, before any rule.
std::optional<StaticType> unknown_or_null(StaticType a, StaticType b) {
  if (!a.known() || !b.known()) return kAnyType;
  if (a.kind == K::Null || b.kind == K::Null) return t(K::Null);
  return std::nullopt;
}

}  // namespace

StaticType element_type(StaticType list) {
  return list.kind == K::List ? t(list.element) : kAnyType;
}

std::optional<StaticType> Typer::add(StaticType a, StaticType b) {
  if (auto early = unknown_or_null(a, b)) return early;
  if (a.kind == K::List && b.kind == K::List) return join(a, b);
  if (a.kind == K::List) return StaticType::list_of(join(element_type(a), b).kind);
  if (b.kind == K::List) return StaticType::list_of(join(a, element_type(b)).kind);
  if (is_number(a.kind) && is_number(b.kind)) return number_result(a, b);
  // Cypher joins a string with a number as text.
  if ((a.kind == K::String && (b.kind == K::String || is_number(b.kind))) ||
      (b.kind == K::String && is_number(a.kind))) {
    return t(K::String);
  }
  if (is_temporal(a.kind) && b.kind == K::Duration) return a;
  if (a.kind == K::Duration && is_temporal(b.kind)) return b;
  if (a.kind == K::Duration && b.kind == K::Duration) return a;
  return std::nullopt;
}

std::optional<StaticType> Typer::subtract(StaticType a, StaticType b) {
  if (auto early = unknown_or_null(a, b)) return early;
  if (is_number(a.kind) && is_number(b.kind)) return number_result(a, b);
  if ((is_temporal(a.kind) || a.kind == K::Duration) && b.kind == K::Duration) return a;
  return std::nullopt;
}

std::optional<StaticType> Typer::multiply(StaticType a, StaticType b) {
  if (auto early = unknown_or_null(a, b)) return early;
  if (is_number(a.kind) && is_number(b.kind)) return number_result(a, b);
  if (a.kind == K::Duration && is_number(b.kind)) return a;
  if (is_number(a.kind) && b.kind == K::Duration) return b;
  return std::nullopt;
}

std::optional<StaticType> Typer::divide(StaticType a, StaticType b) {
  if (auto early = unknown_or_null(a, b)) return early;
  if (is_number(a.kind) && is_number(b.kind)) return number_result(a, b);
  if (a.kind == K::Duration && is_number(b.kind)) return a;
  return std::nullopt;
}

std::optional<StaticType> Typer::numeric(StaticType a, StaticType b) {
  if (auto early = unknown_or_null(a, b)) return early;
  if (is_number(a.kind) && is_number(b.kind)) return t(K::Number);
  return std::nullopt;
}

std::optional<StaticType> Typer::declared_type(const Expr& expr) const {
  if (schema_ == nullptr) return std::nullopt;
  const auto* property = expr.as<Expr::Property>();
  const auto* variable = property ? property->target->as<Expr::Variable>() : nullptr;
  const KnownLabels* known = variable ? scope_.find(variable->name) : nullptr;
  if (known == nullptr) return std::nullopt;
  std::optional<StaticType> found;
  bool conflicting = false;
  const auto look = [&](std::string_view label) {
    std::optional<std::string_view> declared;
    if (known->kind() != VariableKind::Relationship) {
      declared = schema_->node_property_type(label, property->key);
    }
    if (!declared && known->kind() != VariableKind::Node) {
      declared = schema_->rel_property_type(label, property->key);
    }
    const std::optional<StaticType> type = declared ? parse_type_name(*declared) : std::nullopt;
    if (!type || !type->known()) return;
    if (found && *found != *type) conflicting = true;
    found = type;
  };
  known->for_each(look);
  if (known->empty() && !known->inferred().empty()) look(known->inferred());
  if (conflicting) return std::nullopt;
  return found;
}

StaticType Typer::call_type(const Expr::FunctionCall& call) const {
  const FunctionType* function = find_function_type(call.name);
  if (function == nullptr) return kAnyType;
  const StaticType first = call.args.empty() ? kAnyType : type_of(call.args.front());
  switch (function->rule) {
    case ResultRule::Fixed:
      return function->result;
    case ResultRule::SameAsFirst:
      // Aggregates of nothing known, and tail of a list of unknown elements,
      // keep what the table says.
      return first.known() ? first : function->result;
    case ResultRule::ElementOfFirst:
      return element_type(first);
    case ResultRule::ListOfFirst:
      return StaticType::list_of(first.kind == K::List ? K::Any : first.kind);
    case ResultRule::JoinAll: {
      if (call.args.empty()) return kAnyType;
      StaticType joined = t(K::Null);
      for (const Expr& arg : call.args) joined = join(joined, type_of(arg));
      return joined;
    }
    case ResultRule::NumberOrFirst:
      return is_number(first.kind) ? t(K::Float) : first.kind == K::Duration ? first : kAnyType;
  }
  return kAnyType;
}

namespace {

// Names and literals, which cost less to type than to look up in a memo.
template <class T>
constexpr bool kTypedAtOnce =
    std::is_same_v<T, Expr::Integer> || std::is_same_v<T, Expr::Float> ||
    std::is_same_v<T, Expr::String> || std::is_same_v<T, Expr::Boolean> ||
    std::is_same_v<T, Expr::Null> || std::is_same_v<T, Expr::Variable> ||
    std::is_same_v<T, Expr::Parameter> || std::is_same_v<T, Expr::CountStar>;

template <size_t... I>
constexpr std::array<bool, sizeof...(I)> typed_at_once(std::index_sequence<I...>) {
  return {kTypedAtOnce<std::variant_alternative_t<I, Expr::Variant>>...};
}

constexpr auto kTypedAtOnceByKind =
    typed_at_once(std::make_index_sequence<std::variant_size_v<Expr::Variant>>());

}  // namespace

StaticType Typer::remembered_type_of(const Expr& expr) const {
  const bool remembered = memo_ != nullptr && !kTypedAtOnceByKind[expr.kind()];
  if (remembered) {
    if (const StaticType* known = memo_->find(expr, scope_)) return *known;
  }
  ++depth_;
  const StaticType type = work_out(expr);
  --depth_;
  if (remembered) memo_->keep(expr, type);
  return type;
}

StaticType Typer::work_out(const Expr& expr) const {
  return std::visit(
      [&](const auto& node) -> StaticType {
        using T = std::decay_t<decltype(node)>;
        const auto binary = [&](auto rule, const Expr::Binary& operands) {
          return rule(type_of(*operands.left), type_of(*operands.right)).value_or(kAnyType);
        };
        if constexpr (std::is_same_v<T, Expr::Integer>) {
          return t(K::Integer);
        } else if constexpr (std::is_same_v<T, Expr::Float>) {
          return t(K::Float);
        } else if constexpr (std::is_same_v<T, Expr::String>) {
          return t(K::String);
        } else if constexpr (std::is_same_v<T, Expr::Boolean>) {
          return t(K::Boolean);
        } else if constexpr (std::is_same_v<T, Expr::Null>) {
          return t(K::Null);
        } else if constexpr (std::is_same_v<T, Expr::List>) {
          StaticType element = t(K::Null);
          for (const Expr& item : node.items) {
            const StaticType type = type_of(item);
            // A list of lists is only known to be a list.
            element = join(element, type.kind == K::List ? t(K::List) : type);
          }
          return StaticType::list_of(element.kind == K::Null ? K::Any : element.kind);
        } else if constexpr (std::is_same_v<T, Expr::Map> ||
                             std::is_same_v<T, Expr::MapProjection>) {
          return t(K::Map);
        } else if constexpr (std::is_same_v<T, Expr::Variable>) {
          const KnownLabels* known = scope_.find(node.name);
          return known ? known->type() : kAnyType;
        } else if constexpr (std::is_same_v<T, Expr::Property>) {
          if (type_of(*node.target).kind == K::Null) return t(K::Null);
          return declared_type(expr).value_or(kAnyType);
        } else if constexpr (std::is_same_v<T, Expr::Index>) {
          return element_type(type_of(*node.target));
        } else if constexpr (std::is_same_v<T, Expr::Slice>) {
          const StaticType target = type_of(*node.target);
          return target.kind == K::List ? target : kAnyType;
        } else if constexpr (kIsPredicate<T> || std::is_base_of_v<Expr::Quantifier, T>) {
          return t(K::Boolean);
        } else if constexpr (std::is_same_v<T, Expr::Add>) {
          return binary(&Typer::add, node);
        } else if constexpr (std::is_same_v<T, Expr::Subtract>) {
          return binary(&Typer::subtract, node);
        } else if constexpr (std::is_same_v<T, Expr::Multiply>) {
          return binary(&Typer::multiply, node);
        } else if constexpr (std::is_same_v<T, Expr::Divide>) {
          return binary(&Typer::divide, node);
        } else if constexpr (std::is_same_v<T, Expr::Modulo> || std::is_same_v<T, Expr::Power>) {
          return binary(&Typer::numeric, node);
        } else if constexpr (std::is_same_v<T, Expr::Negate>) {
          const StaticType operand = type_of(*node.operand);
          return is_number(operand.kind) || operand.kind == K::Duration ? operand : kAnyType;
        } else if constexpr (std::is_same_v<T, Expr::Concatenate>) {
          const StaticType left = type_of(*node.left);
          return left.kind == K::String || left.kind == K::List ? left : kAnyType;
        } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
          return call_type(node);
        } else if constexpr (std::is_same_v<T, Expr::CountStar> ||
                             std::is_same_v<T, Expr::CountSubquery>) {
          return t(K::Integer);
        } else if constexpr (std::is_same_v<T, Expr::Case>) {
          StaticType joined = node.else_expr ? type_of(**node.else_expr) : t(K::Null);
          for (const Expr::CaseAlternative& alternative : node.alternatives) {
            joined = join(joined, type_of(alternative.then));
          }
          return joined;
        } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
          // Without a projection the elements stay what they were.
          const StaticType list = type_of(*node.list);
          if (!node.projection && list.kind == K::List) return list;
          return StaticType::list_of(K::Any);
        } else if constexpr (std::is_same_v<T, Expr::PatternComprehension> ||
                             std::is_same_v<T, Expr::CollectSubquery>) {
          return StaticType::list_of(K::Any);
        } else if constexpr (std::is_same_v<T, Expr::ShortestPath>) {
          return node.all ? StaticType::list_of(K::Path) : t(K::Path);
        } else {
          // Parameters, pattern predicates (a condition only where the walk
          // allows one) and reduce: their type depends on what the text does
          // not say.
          return kAnyType;
        }
      },
      expr.node);
}

}  // namespace quorvane
