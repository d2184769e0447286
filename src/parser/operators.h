// The expression operators: how tightly each binds and how it is written.
// The parser reads operators by this table and the expression printer
// writes them by it, so that printed text reads back as the same tree.
//
// Binary operators of one level fold to the left (`a - b - c` is
// `(a - b) - c`); an operand of a level is an expression of the next
// tighter level. NOT and unary minus are prefixes at their own levels.
// `%` binds tighter than `*` and `/`: `a * b % c` is `a * (b % c)`.
#ifndef QUORVANE_PARSER_OPERATORS_H_
#define QUORVANE_PARSER_OPERATORS_H_

#include <string_view>
#include <type_traits>

#include "parser/ast.h"

namespace quorvane {

// Binding strength, loosest first. kNoOperator stands below every level:
// what a reader finds where no operator stands.
enum Precedence : int {
  kNoOperator = 0,
  kOr,
  kXor,
  kAnd,
  kNot,
  kComparison,
  kAdditive,
  kMultiplicative,
  kModulo,
  kPower,
  kUnary,
  kPostfix,
  kAtom,
};

template <class T>
constexpr Precedence binary_precedence() {
  static_assert(std::is_base_of_v<Expr::Binary, T>, "not a binary operator");
  if constexpr (std::is_same_v<T, Expr::Or>) return kOr;
  if constexpr (std::is_same_v<T, Expr::Xor>) return kXor;
  if constexpr (std::is_same_v<T, Expr::And>) return kAnd;
  if constexpr (std::is_same_v<T, Expr::Add> || std::is_same_v<T, Expr::Subtract> ||
                std::is_same_v<T, Expr::Concatenate>) {
    return kAdditive;
  }
  if constexpr (std::is_same_v<T, Expr::Multiply> || std::is_same_v<T, Expr::Divide>) {
    return kMultiplicative;
  }
  if constexpr (std::is_same_v<T, Expr::Modulo>) return kModulo;
  if constexpr (std::is_same_v<T, Expr::Power>) return kPower;
  return kComparison;
}

// The operator as the printer writes it, with the spaces around it.
template <class T>
constexpr std::string_view binary_spelling() {
  static_assert(std::is_base_of_v<Expr::Binary, T>, "not a binary operator");
  if constexpr (std::is_same_v<T, Expr::Or>) return " OR ";
  if constexpr (std::is_same_v<T, Expr::Xor>) return " XOR ";
  if constexpr (std::is_same_v<T, Expr::And>) return " AND ";
  if constexpr (std::is_same_v<T, Expr::Equal>) return " = ";
  if constexpr (std::is_same_v<T, Expr::NotEqual>) return " <> ";
  if constexpr (std::is_same_v<T, Expr::LessThan>) return " < ";
  if constexpr (std::is_same_v<T, Expr::LessOrEqual>) return " <= ";
  if constexpr (std::is_same_v<T, Expr::GreaterThan>) return " > ";
  if constexpr (std::is_same_v<T, Expr::GreaterOrEqual>) return " >= ";
  if constexpr (std::is_same_v<T, Expr::RegexMatch>) return " =~ ";
  if constexpr (std::is_same_v<T, Expr::In>) return " IN ";
  if constexpr (std::is_same_v<T, Expr::StartsWith>) return " STARTS WITH ";
  if constexpr (std::is_same_v<T, Expr::EndsWith>) return " ENDS WITH ";
  if constexpr (std::is_same_v<T, Expr::Contains>) return " CONTAINS ";
  if constexpr (std::is_same_v<T, Expr::Add>) return " + ";
  if constexpr (std::is_same_v<T, Expr::Subtract>) return " - ";
  if constexpr (std::is_same_v<T, Expr::Concatenate>) return " || ";
  if constexpr (std::is_same_v<T, Expr::Multiply>) return " * ";
  if constexpr (std::is_same_v<T, Expr::Divide>) return " / ";
  if constexpr (std::is_same_v<T, Expr::Modulo>) return " % ";
  if constexpr (std::is_same_v<T, Expr::Power>) return " ^ ";
  return "";
}

// How tightly the node at the top of `expr` binds.
Precedence precedence(const Expr& expr);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_OPERATORS_H_
