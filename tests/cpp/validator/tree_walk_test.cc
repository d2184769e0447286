// The walk over trees built by hand: shapes the grammar never produces, and
// the validator on its own, without the parser.
#include "validator/semantic/semantic_validator.h"

#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::unbound;

Expr var(std::string name) {
  return Expr(Expr::Variable{std::move(name)});
}

Expr prop(std::string variable, std::string key) {
  return Expr(Expr::Property{var(std::move(variable)), std::move(key), {}});
}

NodePattern node(std::string variable, TreeList<TreeString> labels) {
  return NodePattern{std::move(variable), std::move(labels), std::nullopt, std::nullopt,
                     std::nullopt};
}

ReadingClause match(NodePattern start) {
  return ReadingClause{ReadingClause::Match{
      false, Pattern{PatternPart{std::nullopt, start, {}, PathSelector::All, std::nullopt}},
      std::nullopt}};
}

ReturnClause returning(TreeList<Expr> exprs) {
  ReturnClause clause;
  clause.items.all = false;
  for (Expr& expr : exprs) clause.items.items.push_back(ReturnItem{std::move(expr), std::nullopt});
  return clause;
}

std::vector<std::string> walk(const CypherQuery& query) {
  const Schema schema = testing::small_movie_schema();
  SemanticValidator validator(schema, Language::Subset);
  validator.validate_query(query);
  return validator.errors();
}

CypherQuery single(SinglePartQuery part) {
  return RegularQuery{std::move(part), {}};
}

TEST(TreeWalkTest, StandaloneCallIsNotChecked) {
  CallClause call{"db.thing", {}, {}, false, std::nullopt, false};
  call.args.push_back(var("nowhere"));
  call.args.push_back(prop("p", "nme"));
  EXPECT_THAT(walk(CypherQuery(call)), IsEmpty());
}

TEST(TreeWalkTest, MatchAndReturnWithoutTheParser) {
  SinglePartQuery part;
  part.reading_clauses.push_back(match(node("p", {"Person", "Persn"})));
  part.return_clause = returning({});
  part.return_clause->items.items.push_back(ReturnItem{prop("p", "nme"), std::nullopt});
  part.return_clause->items.items.push_back(ReturnItem{var("q"), std::nullopt});
  EXPECT_THAT(
      walk(single(std::move(part))),
      ElementsAre("Unknown node label: :Persn, did you mean :Person?",
                  "Unknown property 'nme' on variable 'p' with label :Person", unbound("q")));
}

TEST(TreeWalkTest, AllReturnItemsCheckNothing) {
  SinglePartQuery part;
  part.return_clause = ReturnClause{};  // items start as All
  ASSERT_TRUE(part.return_clause->items.all);
  EXPECT_THAT(walk(single(std::move(part))), IsEmpty());
}

TEST(TreeWalkTest, ExistsWithAWholeQueryIsNotChecked) {
  SinglePartQuery inner;
  inner.reading_clauses.push_back(match(node("x", {"Nope"})));
  inner.return_clause = returning({});
  inner.return_clause->items.items.push_back(ReturnItem{var("unbound_inside"), std::nullopt});
  ExistsSubquery subquery{RegularQuery{std::move(inner), {}}};

  SinglePartQuery outer;
  outer.return_clause = returning({});
  outer.return_clause->items.items.push_back(
      ReturnItem{Expr(Expr::Exists{std::move(subquery)}), std::nullopt});
  EXPECT_THAT(walk(single(std::move(outer))), IsEmpty());
}

TEST(TreeWalkTest, RepeatedLabelOnFirstBindingIsKeptAsWritten) {
  SinglePartQuery part;
  part.reading_clauses.push_back(match(node("p", {"Person", "Person"})));
  part.return_clause = returning({});
  part.return_clause->items.items.push_back(ReturnItem{prop("p", "nme"), std::nullopt});
  EXPECT_THAT(walk(single(std::move(part))),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person",
                          "Unknown property 'nme' on variable 'p' with label :Person"));
}

TEST(TreeWalkTest, ValidatorCanBeReadWithoutTakingTheMessages) {
  const Schema schema;
  SemanticValidator validator(schema, Language::Subset);
  SinglePartQuery part;
  part.return_clause = returning({});
  part.return_clause->items.items.push_back(ReturnItem{var("a"), std::nullopt});
  validator.validate_query(single(std::move(part)));
  EXPECT_THAT(validator.errors(), ElementsAre(unbound("a")));
}

}  // namespace
}  // namespace quorvane
