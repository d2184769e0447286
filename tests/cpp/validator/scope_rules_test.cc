// Which variables are bound where: collection, WITH, UNION, iteration
// variables, YIELD and UNWIND.
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::findings;
using ::testing::IsEmpty;
using testing::unbound;

TEST(UnboundVariableTest, ReportedOncePerOccurrence) {
  EXPECT_THAT(findings("RETURN x"), ElementsAre("Variable 'x' is not bound in this scope"));
  EXPECT_THAT(findings("RETURN x, x"), ElementsAre(unbound("x"), unbound("x")));
  EXPECT_THAT(findings("MATCH (n) RETURN m"), ElementsAre(unbound("m")));
}

TEST(UnboundVariableTest, NamesCompareExactly) {
  EXPECT_THAT(findings("MATCH (n) RETURN N"), ElementsAre(unbound("N")));
  EXPECT_THAT(findings("MATCH (`my var`) RETURN `my var`"), IsEmpty());
}

TEST(UnboundVariableTest, EveryExpressionPositionIsWalked) {
  EXPECT_THAT(findings("RETURN a + b * -c, NOT d, e IS NULL, f[g], h[i..j], k.key, "
                       "CASE l WHEN m THEN n ELSE o END, size(p), {key: q}, [r]"),
              ElementsAre(unbound("a"), unbound("b"), unbound("c"), unbound("d"), unbound("e"),
                          unbound("f"), unbound("g"), unbound("h"), unbound("i"), unbound("j"),
                          unbound("k"), unbound("l"), unbound("m"), unbound("n"), unbound("o"),
                          unbound("p"), unbound("q"), unbound("r")));
}

TEST(UnboundVariableTest, OperatorsOfEveryKind) {
  std::vector<std::string> expected = {unbound("a"), unbound("b"), unbound("c"), unbound("d")};
  for (int pair = 0; pair < 15; ++pair) {
    expected.push_back(unbound("a"));
    expected.push_back(unbound("b"));
  }
  expected.push_back(unbound("c"));
  EXPECT_EQ(findings("RETURN a OR b XOR c AND d, a = b, a <> b, a < b, a <= b, a > b, a >= b, "
                     "a =~ b, a IN b, a STARTS WITH b, a ENDS WITH b, a CONTAINS b, a - b, "
                     "a / b, a % b, a ^ b, c IS NOT NULL"),
            expected);
}

TEST(UnboundVariableTest, LiteralsParametersAndCountStarHoldNoVariables) {
  EXPECT_THAT(findings("RETURN 1, 2.5, 'x', true, null, $p, count(*), [1, {a: 2}]"), IsEmpty());
}

TEST(UnboundVariableTest, SearchedCaseWithoutOperand) {
  EXPECT_THAT(findings("RETURN CASE WHEN a THEN b END"), ElementsAre(unbound("a"), unbound("b")));
}

TEST(CollectionTest, AllBindingsOfAPartComeBeforeItsChecks) {
  EXPECT_THAT(findings("MATCH (a) WHERE b.x = 1 MATCH (b) RETURN a"), IsEmpty());
  EXPECT_THAT(findings("MATCH (a) WHERE c = 1 CREATE (c) RETURN a"), IsEmpty());
}

TEST(CollectionTest, LabelsFromALaterClauseAreKnownEarlier) {
  EXPECT_THAT(findings("MATCH (a) WHERE a.nme = 1 MATCH (a:Person) RETURN a"),
              ElementsAre("Unknown property 'nme' on variable 'a' with label :Person"));
}

TEST(CollectionTest, PatternsBindNodesRelationshipsAndPaths) {
  EXPECT_THAT(findings("MATCH p = (a)-[r]->(b), (c) RETURN p, a, r, b, c"), IsEmpty());
  EXPECT_THAT(findings("CREATE (a)-[r:ACTED_IN]->(b) RETURN a, r, b"), IsEmpty());
  EXPECT_THAT(findings("MERGE (a)-[r:ACTED_IN]->(b) RETURN a, r, b"), IsEmpty());
  EXPECT_THAT(findings("MATCH ()-[]->() RETURN x"), ElementsAre(unbound("x")));
}

TEST(CollectionTest, SetRemoveAndDeleteBindNothing) {
  EXPECT_THAT(findings("MATCH (n) SET m.x = 1 RETURN m"), ElementsAre(unbound("m")));
  EXPECT_THAT(findings("MATCH (n) DELETE m"), ElementsAre(unbound("m")));
}

TEST(CollectionTest, PathVariableReplacesEarlierLabels) {
  // After p is rebound as a path it knows no labels, so p.nme is not checked.
  EXPECT_THAT(findings("MATCH (p:Person) MATCH p = (a)-->(b) RETURN p.nme"), IsEmpty());
}

TEST(CollectionTest, UnwindReplacesEarlierLabels) {
  EXPECT_THAT(findings("MATCH (p:Person) UNWIND [1] AS p RETURN p.nme"), IsEmpty());
  EXPECT_THAT(findings("UNWIND [1, 2] AS x RETURN x"), IsEmpty());
  EXPECT_THAT(findings("UNWIND [y] AS x RETURN x"), ElementsAre(unbound("y")));
}

TEST(CollectionTest, LabelsMergeInFirstSeenOrder) {
  EXPECT_THAT(findings("MATCH (p:Movie) MATCH (p:Person:Movie) RETURN p.title, p.name"),
              ElementsAre("Unknown property 'title' on variable 'p' with label :Person",
                          "Unknown property 'name' on variable 'p' with label :Movie"));
}

TEST(CollectionTest, RelationshipTypesBecomeKnownLabels) {
  EXPECT_THAT(findings("MATCH ()-[r:ACTED_IN]->() MATCH ()-[r]->() RETURN r.nme"),
              ElementsAre("Unknown property 'nme' on variable 'r' with relationship type "
                          ":ACTED_IN"));
}

TEST(CallBindingTest, YieldBindsTheVariableNotTheField) {
  EXPECT_THAT(findings("MATCH (n) CALL db.labels() YIELD label RETURN label"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n) CALL db.labels() YIELD label AS l RETURN l"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n) CALL db.labels() YIELD label AS l RETURN label"),
              ElementsAre(unbound("label")));
}

TEST(CallBindingTest, YieldReplacesEarlierLabelsAndArgumentsAreNotChecked) {
  EXPECT_THAT(findings("MATCH (n:Person) CALL db.labels() YIELD label AS n RETURN n.nme"),
              IsEmpty());
  EXPECT_THAT(findings("MATCH (n) CALL db.thing(q, r.x) RETURN n"), IsEmpty());
}

TEST(WithProjectionTest, OnlyProjectedVariablesSurvive) {
  EXPECT_THAT(findings("MATCH (n) WITH n RETURN n"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n), (m) WITH n RETURN m"), ElementsAre(unbound("m")));
  EXPECT_THAT(findings("MATCH (n) WITH n.name AS nm RETURN nm"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n) WITH n.name AS nm RETURN n"), ElementsAre(unbound("n")));
}

TEST(WithProjectionTest, ItemsAreCheckedBeforeTheProjection) {
  EXPECT_THAT(findings("MATCH (n) WITH n AS m, m AS k RETURN k"), ElementsAre(unbound("m")));
  EXPECT_THAT(findings("WITH x RETURN x"), ElementsAre(unbound("x")));
}

TEST(WithProjectionTest, AliasOfAVariableKeepsItsLabels) {
  EXPECT_THAT(findings("MATCH (n:Person) WITH n AS p RETURN p.nme"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  EXPECT_THAT(findings("MATCH (n:Person) WITH n RETURN n.nme"),
              ElementsAre("Unknown property 'nme' on variable 'n' with label :Person"));
}

TEST(WithProjectionTest, OtherAliasesKnowNoLabels) {
  EXPECT_THAT(findings("MATCH (n:Person) WITH n.name AS p RETURN p.nme"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n:Person) WITH [n][0] AS p RETURN p.nme"), IsEmpty());
}

TEST(WithProjectionTest, LaterItemOfTheSameNameWins) {
  EXPECT_THAT(findings("MATCH (n:Person), (m:Movie) WITH n AS x, m AS x RETURN x.name"),
              ElementsAre("Unknown property 'name' on variable 'x' with label :Movie"));
}

TEST(WithProjectionTest, ChainsOfWithCarryTheScopeAlong) {
  EXPECT_THAT(findings("MATCH (a:Person) WITH a MATCH (a)-[:ACTED_IN]->(m) WITH a, m "
                       "RETURN a.nme, m"),
              ElementsAre("Unknown property 'nme' on variable 'a' with label :Person"));
  EXPECT_THAT(findings("MATCH (a) WITH a MATCH (b) WITH b RETURN a"), ElementsAre(unbound("a")));
}

TEST(WithProjectionTest, ClausesAfterWithAreCollectedFirst) {
  EXPECT_THAT(findings("MATCH (a) WITH a WHERE a IS NOT NULL MATCH (b) WHERE c = 1 "
                       "UNWIND [1] AS c RETURN b"),
              IsEmpty());
}

TEST(WithProjectionTest, UpdatingClausesBeforeWith) {
  EXPECT_THAT(findings("CREATE (p:Person) SET p.nme = 1 WITH p RETURN p.agee"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person",
                          "Unknown property 'agee' on variable 'p' with label :Person"));
}

TEST(UnionTest, ScopesDoNotCrossUnion) {
  EXPECT_THAT(findings("MATCH (a) RETURN 1 UNION MATCH (b) RETURN a"), ElementsAre(unbound("a")));
  EXPECT_THAT(findings("MATCH (a) RETURN a UNION ALL MATCH (a) RETURN a"), IsEmpty());
}

TEST(UnionTest, EveryBranchIsChecked) {
  EXPECT_THAT(findings("MATCH (p:Persn) RETURN p UNION MATCH (m:Mvie) RETURN m UNION ALL "
                       "RETURN z"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?",
                          "Unknown node label: :Mvie, did you mean :Movie?", unbound("z")));
}

TEST(UnionTest, LabelsDoNotCrossUnionEither) {
  EXPECT_THAT(findings("MATCH (p:Person) RETURN p.name UNION MATCH (p) RETURN p.nme"), IsEmpty());
}

TEST(IterationVariableTest, VisibleOnlyInsideTheExpression) {
  EXPECT_THAT(findings("RETURN [x IN [1, 2] WHERE x > 1 | x]"), IsEmpty());
  EXPECT_THAT(findings("RETURN [x IN [1] | x], x"), ElementsAre(unbound("x")));
  EXPECT_THAT(findings("RETURN all(x IN [1] WHERE x > 0), any(y IN [1] WHERE y = 1), "
                       "none(z IN [1] WHERE z < 0), single(w IN [1] WHERE w = 1), x, y, z, w"),
              ElementsAre(unbound("x"), unbound("y"), unbound("z"), unbound("w")));
}

TEST(IterationVariableTest, TheListIsCheckedOutsideTheIteration) {
  EXPECT_THAT(findings("RETURN [x IN x | 1]"), ElementsAre(unbound("x")));
  EXPECT_THAT(findings("RETURN any(x IN [x] WHERE true)"), ElementsAre(unbound("x")));
}

TEST(IterationVariableTest, ABoundNameIsUsedUnchangedAndStaysBound) {
  EXPECT_THAT(findings("MATCH (x:Person) RETURN [x IN [1] | x.nme], x.name"),
              ElementsAre("Unknown property 'nme' on variable 'x' with label :Person"));
  EXPECT_THAT(findings("MATCH (x) RETURN [x IN [1] | x], x"), IsEmpty());
}

TEST(IterationVariableTest, NestedIterationsUnwindInOrder) {
  EXPECT_THAT(findings("RETURN [x IN [1] | [y IN [x] WHERE y > x | y + x]], y, x"),
              ElementsAre(unbound("y"), unbound("x")));
  EXPECT_THAT(findings("RETURN [x IN [1] | [x IN [x] | x]], x"), ElementsAre(unbound("x")));
}

TEST(ExistsTest, SubqueryPatternIsNeitherBoundNorChecked) {
  EXPECT_THAT(findings("RETURN EXISTS { (z)-->(q) }"), IsEmpty());
  EXPECT_THAT(findings("MATCH (a) WHERE EXISTS { (a)-[:NOPE]->(:Nope {x: 1}) } RETURN z"),
              ElementsAre(unbound("z")));
}

// "(v0:Person), (v1:Person), ..." with `count` nodes.
std::string numbered_nodes(int count, std::string_view labels) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += "(v";
    out += std::to_string(i);
    out += labels;
    out += ')';
  }
  return out;
}

TEST(LargeScopeTest, ManyVariablesStayFindable) {
  std::string query = "MATCH " + numbered_nodes(200, ":Person") + " RETURN ";
  for (int i = 199; i >= 0; --i) {
    query += 'v';
    query += std::to_string(i);
    query += ".name, ";
  }
  query += "[v200 IN [1] | v200], v200, v17.nme";
  EXPECT_THAT(findings(query), ElementsAre(unbound("v200"),
                                           "Unknown property 'nme' on variable 'v17' with label "
                                           ":Person"));
}

TEST(LargeScopeTest, ProjectionAndIterationAcrossTheIndexThreshold) {
  // Grows the scope across the size at which lookups switch to a hash index
  // and back again through iteration variables and projections.
  const std::string query =
      "MATCH " + numbered_nodes(15, "") +
      " RETURN [a IN [1] | [b IN [a] | [c IN [b] | a + b + c + v0 + v14]]], a, b, c, v14";
  EXPECT_THAT(findings(query), ElementsAre(unbound("a"), unbound("b"), unbound("c")));

  const std::string with = "MATCH " + numbered_nodes(40, "") + " WITH v3, v39 RETURN v3, v39, v4";
  EXPECT_THAT(findings(with), ElementsAre(unbound("v4")));
}

TEST(DeepNestingTest, DeepExpressionsAreWalkedToTheBottom) {
  const std::string query =
      "MATCH (p:Person) RETURN " + std::string(200, '[') + "p.nme, q" + std::string(200, ']');
  EXPECT_THAT(
      findings(query),
      ElementsAre("Unknown property 'nme' on variable 'p' with label :Person", unbound("q")));
}

}  // namespace
}  // namespace quorvane
