// The types of deep expressions with a memo: the same as without one,
// and never a type worked out before the scope changed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "parser/parse.h"
#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_types.h"
#include "validator/semantic/scope.h"

namespace quorvane {
namespace {

// `x` joined `count` times by `op`, as the one item of a RETURN.
std::string chain(const std::string& op, int count) {
  std::string text = "RETURN x";
  for (int i = 1; i < count; ++i) text += " " + op + " x";
  return text;
}

const Expr& returned(const Result<CypherQuery>& tree) {
  const auto& query = std::get<RegularQuery>(tree.value());
  return std::get<SinglePartQuery>(query.first()).return_clause->items.items.front().expr;
}

// Every expression of `root`, outermost first: the order the walk asks in.
void all_of(const Expr& root, std::vector<const Expr*>& out) {
  out.push_back(&root);
  any_child(root, [&](const Expr& child) {
    all_of(child, out);
    return false;
  });
}

KnownLabels typed(TypeKind kind) {
  return KnownLabels().set_type(StaticType{kind, TypeKind::Any});
}

TEST(TypeMemo, DeepChainsTypeAsWithoutAMemo) {
  for (const char* op : {"+", "-", "*", "AND", "=", "||"}) {
    const Result<CypherQuery> tree = parse(chain(op, 40), Language::Extended);
    ASSERT_TRUE(tree.ok()) << op;
    std::vector<const Expr*> nodes;
    all_of(returned(tree), nodes);
    for (TypeKind kind : {TypeKind::Integer, TypeKind::String, TypeKind::Boolean}) {
      Scope scope;
      scope.bind("x", typed(kind));
      TypeMemo memo;
      for (const Expr* node : nodes) {
        EXPECT_EQ(Typer(scope, nullptr, &memo).type_of(*node), Typer(scope).type_of(*node)) << op;
      }
    }
  }
}

// `-(-(...(x)))`, `count` minus signs: a number stays one, anything else
// becomes ANY, so what the innermost `x` is shows at the top.
std::string negations(int count) {
  std::string text = "x";
  for (int i = 0; i < count; ++i) text = "-(" + text + ")";
  return "RETURN " + text;
}

// The same nodes typed again after `x` changes type: a memo that outlived
// the change would still say integer.
TEST(TypeMemo, ForgetsWhatTheScopeNoLongerSays) {
  const Result<CypherQuery> tree = parse(negations(40), Language::Extended);
  ASSERT_TRUE(tree.ok());
  std::vector<const Expr*> nodes;
  all_of(returned(tree), nodes);
  Scope scope;
  scope.bind("x", typed(TypeKind::Integer));
  TypeMemo memo;
  for (const Expr* node : nodes) Typer(scope, nullptr, &memo).type_of(*node);
  EXPECT_EQ(Typer(scope, nullptr, &memo).type_of(*nodes[0]).kind, TypeKind::Integer);

  scope.bind("x", typed(TypeKind::String));
  for (const Expr* node : nodes) {
    EXPECT_EQ(Typer(scope, nullptr, &memo).type_of(*node), Typer(scope).type_of(*node));
  }
  EXPECT_EQ(Typer(scope, nullptr, &memo).type_of(*nodes[0]).kind, TypeKind::Any);

  // Another scope object is not the memo's scope.
  Scope elsewhere;
  elsewhere.bind("x", typed(TypeKind::Float));
  EXPECT_EQ(Typer(elsewhere, nullptr, &memo).type_of(*nodes[0]).kind, TypeKind::Float);
}

}  // namespace
}  // namespace quorvane
