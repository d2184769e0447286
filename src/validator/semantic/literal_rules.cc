#include "validator/semantic/literal_rules.h"

#include <charconv>
#include <cstdint>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_text.h"

namespace quorvane {

namespace {

// Whether the literal, too large as written, is exactly 2 to the power 63:
// the one magnitude that fits once negated.
bool is_negatable_limit(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with("0o")) {
    base = 8;
    text.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  return ec == std::errc() && end == text.data() + text.size() && magnitude == (uint64_t{1} << 63);
}

// Whether a literal `value` is certainly not a non-negative integer.
bool certainly_not_a_count(const Expr& value) {
  if (const auto* negate = value.as<Expr::Negate>()) {
    if (const auto* integer = negate->operand->as<Expr::Integer>()) {
      return integer->value != 0 || !integer->too_large.empty();  // -0 is 0
    }
    return negate->operand->as<Expr::Float>() != nullptr;
  }
  return value.as<Expr::Float>() || value.as<Expr::String>() || value.as<Expr::Boolean>() ||
         value.as<Expr::List>() || value.as<Expr::Map>();
}

// The first variable `value` reads, when it binds none of its own (a
// comprehension's variable is local to it); nullptr when there is none.
const Expr* first_variable(const Expr& value) {
  if (value.as<Expr::Variable>() || value.as<Expr::MapProjection>()) return &value;
  const Expr* found = nullptr;
  any_child(value, [&](const Expr& child) {
    found = first_variable(child);
    return found != nullptr;
  });
  return found;
}

}  // namespace

void check_float_size(const Expr& expr, const Expr::Float& number, Findings& findings) {
  if (number.too_large.empty()) return;
  findings.error(Code::FloatTooLarge, expr.span,
                 "Float literal " + number.too_large +
                     " is too large for a 64-bit float, whose largest value is about 1.8e308");
}

void check_integer_size(const Expr& expr, const Expr::Integer& integer, bool negated,
                        Findings& findings) {
  if (integer.too_large.empty()) return;
  if (negated && is_negatable_limit(integer.too_large)) return;
  findings.error(Code::IntegerTooLarge, expr.span,
                 "Integer literal " + integer.too_large + " is too large for a 64-bit integer");
}

void check_row_count(std::string_view keyword, const Nullable<Expr>& value, Findings& findings) {
  if (!value) return;
  if (!binds_variables(*value)) {
    if (const Expr* variable = first_variable(*value)) {
      findings.error(Code::NonConstantExpression, variable->span,
                     std::string(keyword) + " takes a constant (literals, parameters and " +
                         "expressions of them), but " + expression_text(*value) +
                         " reads the variable " + expression_text(*variable));
      return;
    }
  }
  if (!certainly_not_a_count(*value)) return;
  findings.error(
      Code::InvalidRowCount, value->span,
      std::string(keyword) + " must be a non-negative integer, but is " + expression_text(*value));
}

}  // namespace quorvane
