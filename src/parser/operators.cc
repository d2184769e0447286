#include "parser/operators.h"

#include <variant>

namespace quorvane {

Precedence precedence(const Expr& expr) {
  return std::visit(
      [](const auto& node) -> Precedence {
        using T = std::decay_t<decltype(node)>;
        if constexpr (std::is_base_of_v<Expr::Binary, T>) {
          return binary_precedence<T>();
        } else if constexpr (std::is_same_v<T, Expr::Not>) {
          return kNot;
        } else if constexpr (std::is_same_v<T, Expr::IsNull> ||
                             std::is_same_v<T, Expr::IsNotNull> ||
                             std::is_same_v<T, Expr::TypePredicate> ||
                             std::is_same_v<T, Expr::LabelCheck>) {
          return kComparison;
        } else if constexpr (std::is_same_v<T, Expr::Negate>) {
          return kUnary;
        } else if constexpr (std::is_same_v<T, Expr::Property> || std::is_same_v<T, Expr::Index> ||
                             std::is_same_v<T, Expr::Slice>) {
          return kPostfix;
        } else {
          return kAtom;
        }
      },
      expr.node);
}

}  // namespace quorvane
