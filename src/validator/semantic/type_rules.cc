#include "validator/semantic/type_rules.h"

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "validator/semantic/expression_text.h"
#include "validator/semantic/expression_types.h"
#include "validator/semantic/function_types.h"

namespace quorvane {

namespace {

using K = TypeKind;

constexpr TypeSet kBoolean = type_bit(K::Boolean);
constexpr TypeSet kString = type_bit(K::String);
constexpr TypeSet kList = type_bit(K::List);
constexpr TypeSet kDuration = type_bit(K::Duration);
// What has properties: `x.key` on anything else is refused.
constexpr TypeSet kHasProperties = type_bit(K::Node) | type_bit(K::Relationship) |
                                   type_bit(K::Map) | kTemporals | kDuration | type_bit(K::Point);

// One operand an operator or function cannot take.
struct Mismatch {
  size_t position;  // 0: the left operand, target or first argument; 1: the right, ...
  const Expr* operand;
  StaticType type;
  std::string problem;  // what follows "but": "OR needs a BOOLEAN"
  TypeSet needed = 0;   // what would fit, when one type would
};

using Rule = std::optional<StaticType> (*)(StaticType, StaticType);

class MismatchFinder {
 public:
  MismatchFinder(const Typer& typer, std::vector<Mismatch>& out) : typer_(typer), out_(out) {}

  void needs(size_t position, const Expr& operand, TypeSet accepted, std::string_view what) {
    const StaticType type = typer_.type_of(operand);
    if (may_be(type, accepted)) return;
    out_.push_back({position, &operand, type,
                    std::string(what) + " needs " + accepted_phrase(accepted), accepted});
  }

  // An arithmetic operator: fine when its rule gives a result; otherwise the
  // operand it cannot take at all, or else the right one, which it cannot
  // combine with the left.
  void arithmetic(const Expr::Binary& node, std::string_view op, TypeSet accepted, Rule rule) {
    const StaticType a = typer_.type_of(*node.left);
    const StaticType b = typer_.type_of(*node.right);
    if (rule(a, b)) return;
    const std::string needs = std::string(op) + " needs " + accepted_phrase(accepted);
    if (!may_be(a, accepted)) {
      out_.push_back({0, node.left.get(), a, needs, accepted});
    } else if (!may_be(b, accepted)) {
      out_.push_back({1, node.right.get(), b, needs, accepted});
    } else {
      out_.push_back({1, node.right.get(), b,
                      std::string(op) + " cannot combine it with " + expression_text(*node.left) +
                          ", " + type_phrase(a),
                      0});
    }
  }

  void call(const Expr::FunctionCall& call) {
    const FunctionType* function = find_function_type(call.name);
    if (function == nullptr) return;
    for (size_t i = 0; i < call.args.size() && i < function->args.size(); ++i) {
      if (function->args[i] != 0) needs(i, call.args[i], function->args[i], call.name + "()");
    }
  }

  void visit(const Expr& expr) {
    std::visit([&](const auto& node) { visit_node(node); }, expr.node);
  }

 private:
  template <class T>
  void visit_node(const T& node) {
    if constexpr (std::is_same_v<T, Expr::Or>) {
      both(node, kBoolean, "OR");
    } else if constexpr (std::is_same_v<T, Expr::And>) {
      both(node, kBoolean, "AND");
    } else if constexpr (std::is_same_v<T, Expr::Xor>) {
      both(node, kBoolean, "XOR");
    } else if constexpr (std::is_same_v<T, Expr::Not>) {
      needs(0, *node.operand, kBoolean, "NOT");
    } else if constexpr (std::is_same_v<T, Expr::RegexMatch>) {
      both(node, kString, "=~");
    } else if constexpr (std::is_same_v<T, Expr::StartsWith>) {
      both(node, kString, "STARTS WITH");
    } else if constexpr (std::is_same_v<T, Expr::EndsWith>) {
      both(node, kString, "ENDS WITH");
    } else if constexpr (std::is_same_v<T, Expr::Contains>) {
      both(node, kString, "CONTAINS");
    } else if constexpr (std::is_same_v<T, Expr::In>) {
      needs(1, *node.right, kList, "IN");
    } else if constexpr (std::is_same_v<T, Expr::Add>) {
      arithmetic(node, "+", kNumbers | kString | kList | kTemporals | kDuration, &Typer::add);
    } else if constexpr (std::is_same_v<T, Expr::Subtract>) {
      arithmetic(node, "-", kNumbers | kTemporals | kDuration, &Typer::subtract);
    } else if constexpr (std::is_same_v<T, Expr::Multiply>) {
      arithmetic(node, "*", kNumbers | kDuration, &Typer::multiply);
    } else if constexpr (std::is_same_v<T, Expr::Divide>) {
      arithmetic(node, "/", kNumbers | kDuration, &Typer::divide);
    } else if constexpr (std::is_same_v<T, Expr::Modulo>) {
      arithmetic(node, "%", kNumbers, &Typer::numeric);
    } else if constexpr (std::is_same_v<T, Expr::Power>) {
      arithmetic(node, "^", kNumbers, &Typer::numeric);
    } else if constexpr (std::is_same_v<T, Expr::Concatenate>) {
      arithmetic(node, "||", kString | kList, &concatenation);
    } else if constexpr (std::is_same_v<T, Expr::Negate>) {
      needs(0, *node.operand, kNumbers | kDuration, "-");
    } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
      call(node);
    } else if constexpr (std::is_same_v<T, Expr::Property>) {
      const StaticType target = typer_.type_of(*node.target);
      if (!may_be(target, kHasProperties)) {
        out_.push_back({0, node.target.get(), target,
                        "only a node, a relationship, a map or a temporal or spatial value has "
                        "properties",
                        0});
      }
    } else if constexpr (std::is_same_v<T, Expr::Index>) {
      const StaticType target = typer_.type_of(*node.target);
      if (target.kind == K::Boolean || is_number(target.kind)) {
        out_.push_back(
            {0, node.target.get(), target, "[] needs a LIST, a MAP, a NODE or a RELATIONSHIP", 0});
      }
    } else if constexpr (std::is_same_v<T, Expr::Case>) {
      if (node.operand) return;
      for (size_t i = 0; i < node.alternatives.size(); ++i) {
        needs(i, node.alternatives[i].when, kBoolean, "WHEN");
      }
    } else if constexpr (std::is_same_v<T, Expr::ListComprehension> ||
                         std::is_base_of_v<Expr::Quantifier, T>) {
      needs(0, *node.list, kList, node.variable + " IN");
    } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
      needs(0, *node.target, type_bit(K::Node) | type_bit(K::Relationship), "a label check");
    } else {
      static_assert(!kJudgedByTypeRules<T>, "a judged kind needs its rule here");
    }
  }

  void both(const Expr::Binary& node, TypeSet accepted, std::string_view what) {
    needs(0, *node.left, accepted, what);
    needs(1, *node.right, accepted, what);
  }

  static std::optional<StaticType> concatenation(StaticType a, StaticType b) {
    if (!a.known() || !b.known()) return kAnyType;
    if (a.kind == K::Null || b.kind == K::Null) return StaticType{K::Null, K::Any};
    if (a.kind == K::String && b.kind == K::String) return a;
    if (a.kind == K::List && b.kind == K::List) return join(a, b);
    return std::nullopt;
  }

  const Typer& typer_;
  std::vector<Mismatch>& out_;
};

std::vector<Mismatch> mismatches(const Expr& expr, const Typer& typer) {
  std::vector<Mismatch> found;
  MismatchFinder(typer, found).visit(expr);
  return found;
}

// Whether a comparison of the two may hold: numbers with numbers, lists of
// comparable elements, otherwise one kind with itself.
bool comparable(StaticType a, StaticType b) {
  if (!a.known() || !b.known() || a.kind == K::Null || b.kind == K::Null) return true;
  if (is_number(a.kind) && is_number(b.kind)) return true;
  if (a.kind != b.kind) return false;
  return a.kind != K::List || comparable({a.element, K::Any}, {b.element, K::Any});
}

// The function that turns a value into `type`; empty when none does.
std::string_view conversion_to(StaticType type) {
  switch (type.kind) {
    case K::Integer:
      return "toInteger";
    case K::Float:
    case K::Number:
      return "toFloat";
    case K::String:
      return "toString";
    case K::Boolean:
      return "toBoolean";
    case K::Date:
      return "date";
    case K::DateTime:
      return "datetime";
    case K::LocalDateTime:
      return "localdatetime";
    case K::Time:
      return "time";
    case K::LocalTime:
      return "localtime";
    case K::Duration:
      return "duration";
    default:
      return "";
  }
}

// The one type a set asks for, when a conversion can make it.
StaticType wanted(TypeSet needed) {
  if ((needed & kNumbers) == type_bit(K::Integer)) return {K::Integer, K::Any};
  if ((needed & kNumbers) != 0) return {K::Float, K::Any};
  if ((needed & kString) != 0) return {K::String, K::Any};
  if ((needed & kBoolean) != 0) return {K::Boolean, K::Any};
  return kAnyType;
}

// `expr` with its child at `position` wrapped in a call of `function`.
Expr with_converted(const Expr& expr, size_t position, std::string_view function) {
  Expr copy = expr;
  const auto wrap = [&](Expr& child) {
    Expr::FunctionCall call{std::string(function), {}, false};
    call.args.push_back(std::move(child));
    child = Expr(std::move(call));
  };
  std::visit(
      [&](auto& node) {
        using T = std::decay_t<decltype(node)>;
        if constexpr (std::is_base_of_v<Expr::Binary, T>) {
          wrap(position == 0 ? *node.left : *node.right);
        } else if constexpr (std::is_base_of_v<Expr::Unary, T>) {
          wrap(*node.operand);
        } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
          if (position < node.args.size()) wrap(node.args[position]);
        }
      },
      copy.node);
  return copy;
}

void report_errors(const Expr& expr, const Typer& typer, Findings& findings) {
  for (const Mismatch& m : mismatches(expr, typer)) {
    findings.error(Code::TypeMismatch, m.operand->span,
                   "In " + expression_text(expr) + ", " + expression_text(*m.operand) + " is " +
                       type_phrase(m.type) + ", but " + m.problem);
  }
}

std::string declared_prefix(const Expr& property, StaticType declared) {
  return "Property " + expression_text(property) + " is declared " + type_name(declared);
}

void report_property_use(const Expr& expr, const Typer& typed, Findings& findings) {
  for (const Mismatch& m : mismatches(expr, typed)) {
    const std::optional<StaticType> declared = typed.declared_type(*m.operand);
    if (!declared) continue;
    std::string message = declared_prefix(*m.operand, *declared) + ", but " + m.problem;
    const std::string_view convert = conversion_to(wanted(m.needed));
    if (!convert.empty()) {
      message += "; convert it: " + expression_text(with_converted(expr, m.position, convert));
    }
    findings.warning(Code::PropertyTypeMismatch, m.operand->span, std::move(message));
  }
}

// A typed property compared with a value of a type it never equals.
void report_comparison(const Expr& expr, const Expr::Binary& node, const Typer& typed,
                       Findings& findings) {
  const Expr* sides[2] = {node.left.get(), node.right.get()};
  for (size_t i = 0; i < 2; ++i) {
    const std::optional<StaticType> declared = typed.declared_type(*sides[i]);
    if (!declared) continue;
    const Expr& other = *sides[1 - i];
    StaticType value = typed.type_of(other);
    if (expr.as<Expr::In>() && i == 0) value = element_type(value);
    if (comparable(*declared, value)) continue;
    std::string message = declared_prefix(*sides[i], *declared) + ", but is compared with " +
                          expression_text(other) + ", " + type_phrase(value);
    // A temporal property compared with text: make the text a value of that
    // type; otherwise make the property the value's type.
    const bool convert_other = (type_bit(declared->kind) & kTemporals) != 0 &&
                               value.kind == K::String && !expr.as<Expr::In>();
    const std::string_view convert = conversion_to(convert_other ? *declared : value);
    if (!convert.empty()) {
      message += "; convert it: " +
                 expression_text(with_converted(expr, convert_other ? 1 - i : i, convert));
    }
    findings.warning(Code::PropertyTypeMismatch, sides[i]->span, std::move(message));
    return;
  }
}

}  // namespace

void check_expression_types(const Expr& expr, const Scope& scope, const Schema& schema,
                            bool typed_schema, Findings& findings, TypeMemos* memos) {
  report_errors(expr, Typer(scope, nullptr, memos ? &memos->without_schema : nullptr), findings);
  if (!typed_schema) return;
  const Typer typed(scope, &schema, memos ? &memos->with_schema : nullptr);
  report_property_use(expr, typed, findings);
  std::visit(
      [&](const auto& node) {
        using T = std::decay_t<decltype(node)>;
        if constexpr (kComparison<T>) {
          report_comparison(expr, node, typed, findings);
        }
      },
      expr.node);
}

}  // namespace quorvane
