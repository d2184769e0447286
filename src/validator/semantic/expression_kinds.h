// What an expression certainly is, as far as the query text alone tells, and
// the extended-language rules that follow from it: functions that need a
// path, patterns used as values, nested aggregates, pattern predicates that
// introduce variables, and one kind per variable. Calls are also checked
// against the function catalogue (function_catalogue.h).
//
// Every rule here is certain or silent: where the answer depends on a
// parameter, a function's result or a property's value type, nothing is
// reported.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_KINDS_H_
#define QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_KINDS_H_

#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "parser/ast.h"
#include "validator/diagnostic.h"
#include "validator/semantic/scope.h"

namespace quorvane {

// The operators and predicates whose value is always a boolean (or null).
template <class T>
inline constexpr bool kIsPredicate =
    std::is_same_v<T, Expr::Or> || std::is_same_v<T, Expr::Xor> || std::is_same_v<T, Expr::And> ||
    std::is_same_v<T, Expr::Not> || std::is_same_v<T, Expr::Equal> ||
    std::is_same_v<T, Expr::NotEqual> || std::is_same_v<T, Expr::LessThan> ||
    std::is_same_v<T, Expr::LessOrEqual> || std::is_same_v<T, Expr::GreaterThan> ||
    std::is_same_v<T, Expr::GreaterOrEqual> || std::is_same_v<T, Expr::RegexMatch> ||
    std::is_same_v<T, Expr::IsNull> || std::is_same_v<T, Expr::IsNotNull> ||
    std::is_same_v<T, Expr::In> || std::is_same_v<T, Expr::StartsWith> ||
    std::is_same_v<T, Expr::EndsWith> || std::is_same_v<T, Expr::Contains> ||
    std::is_same_v<T, Expr::Exists> || std::is_same_v<T, Expr::LabelCheck> ||
    std::is_same_v<T, Expr::TypePredicate>;

// count, sum, avg, min, max, collect, stDev, stDevP, percentileCont and
// percentileDisc, in any letter case.
bool is_aggregating_function(std::string_view name);

// An aggregating function call or count(*).
bool is_aggregate(const Expr& expr);

// Kinds with no expression directly inside them: literals, names, count(*),
// and the kinds whose insides are patterns or subqueries.
template <class T>
inline constexpr bool is_leaf_or_pattern_kind =
    std::is_same_v<T, Expr::Integer> || std::is_same_v<T, Expr::Float> ||
    std::is_same_v<T, Expr::String> || std::is_same_v<T, Expr::Boolean> ||
    std::is_same_v<T, Expr::Null> || std::is_same_v<T, Expr::Variable> ||
    std::is_same_v<T, Expr::Parameter> || std::is_same_v<T, Expr::CountStar> ||
    std::is_same_v<T, Expr::Exists> || std::is_same_v<T, Expr::CountSubquery> ||
    std::is_same_v<T, Expr::CollectSubquery> || std::is_same_v<T, Expr::PatternPredicate> ||
    std::is_same_v<T, Expr::ShortestPath>;

// False for every type; a dependent name so the assertion fires only for a
// kind that reaches it.
template <class T>
inline constexpr bool kNewExpressionKind = false;

// Calls `f` on each expression directly inside `expr`, stopping when it
// returns true; returns whether it stopped. Patterns and subqueries are not
// entered: what they hold belongs to another scope or to the pattern. Every
// kind is named, so a new kind fails to compile here until it is.
template <class F>
bool any_child(const Expr& expr, F&& f) {
  return std::visit(
      [&](const auto& node) -> bool {
        using T = std::decay_t<decltype(node)>;
        const auto opt = [&](const auto& child) { return child && f(**child); };
        if constexpr (std::is_base_of_v<Expr::Binary, T>) {
          return f(*node.left) || f(*node.right);
        } else if constexpr (std::is_base_of_v<Expr::Unary, T>) {
          return f(*node.operand);
        } else if constexpr (std::is_same_v<T, Expr::Property>) {
          return f(*node.target);
        } else if constexpr (std::is_same_v<T, Expr::Index>) {
          return f(*node.target) || f(*node.index);
        } else if constexpr (std::is_same_v<T, Expr::Slice>) {
          return f(*node.target) || opt(node.from) || opt(node.to);
        } else if constexpr (std::is_same_v<T, Expr::List>) {
          for (const Expr& item : node.items) {
            if (f(item)) return true;
          }
          return false;
        } else if constexpr (std::is_same_v<T, Expr::Map>) {
          for (const MapEntry& entry : node.entries) {
            if (f(entry.value)) return true;
          }
          return false;
        } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
          for (const Expr& arg : node.args) {
            if (f(arg)) return true;
          }
          return false;
        } else if constexpr (std::is_same_v<T, Expr::Case>) {
          if (opt(node.operand)) return true;
          for (const Expr::CaseAlternative& alternative : node.alternatives) {
            if (f(alternative.when) || f(alternative.then)) return true;
          }
          return opt(node.else_expr);
        } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
          return f(*node.list) || opt(node.predicate) || opt(node.projection);
        } else if constexpr (std::is_base_of_v<Expr::Quantifier, T>) {
          return f(*node.list) || opt(node.predicate);
        } else if constexpr (std::is_same_v<T, Expr::PatternComprehension>) {
          return opt(node.predicate) || f(*node.projection);
        } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
          return f(*node.target);
        } else if constexpr (std::is_same_v<T, Expr::MapProjection>) {
          for (const Expr::MapProjectionItem& item : node.items) {
            if (opt(item.value)) return true;
          }
          return false;
        } else if constexpr (std::is_same_v<T, Expr::Reduce>) {
          return f(*node.init) || f(*node.iteration->list) || opt(node.iteration->projection);
        } else if constexpr (std::is_same_v<T, Expr::TypePredicate>) {
          return f(*node.operand);
        } else if constexpr (is_leaf_or_pattern_kind<T>) {
          return false;
        } else {
          static_assert(kNewExpressionKind<T>, "say which expressions a new kind holds");
          return false;
        }
      },
      expr.node);
}

// The outermost aggregate in `expr` (itself included), first in reading
// order; nullptr when there is none.
const Expr* find_aggregate(const Expr& expr);

// Whether `expr` binds variables of its own (comprehensions, quantifiers,
// reduce, patterns, subqueries), anywhere inside it.
bool binds_variables(const Expr& expr);

// Where a call's name and a map projection's variable are written, within
// `node`, the expression's span (which takes in parentheses around it); a
// tree made without the parser's positions has the expression start with
// the name.
Span name_span(const Expr::FunctionCall& call, Span node);
Span variable_span(const Expr::MapProjection& projection, Span node);

// "a node", "a relationship", "a path"; empty for Unknown.
std::string_view kind_description(VariableKind kind);

// The kinds check_expression_node judges: calls, arithmetic (a pattern is
// no operand), and pattern predicates. The walk calls it for no other kind.
template <class T>
inline constexpr bool kJudgedByKindRules =
    std::is_same_v<T, Expr::FunctionCall> || std::is_same_v<T, Expr::Add> ||
    std::is_same_v<T, Expr::Subtract> || std::is_same_v<T, Expr::Multiply> ||
    std::is_same_v<T, Expr::Divide> || std::is_same_v<T, Expr::Modulo> ||
    std::is_same_v<T, Expr::Power> || std::is_same_v<T, Expr::Concatenate> ||
    std::is_same_v<T, Expr::Negate> || std::is_same_v<T, Expr::PatternPredicate>;

// Checks one expression (not what it holds: the walk calls this for every
// expression it visits) against the scope it is evaluated in. `scope_open`:
// the scope may hold names nobody wrote (after YIELD *).
void check_expression_node(const Expr& expr, const Scope& scope, bool scope_open,
                           Findings& findings);

// The finding for a pattern used as a value: `RETURN (a)-->()`.
std::string pattern_value_message(const Expr::PatternPredicate& pattern);

// The finding for `variable`, bound as `bound`, written again as `reused`.
std::string kind_conflict_message(std::string_view variable, VariableKind bound,
                                  VariableKind reused);
// The same for any two types a binding may have.
std::string kind_conflict_message(std::string_view variable, StaticType bound, StaticType reused);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_KINDS_H_
