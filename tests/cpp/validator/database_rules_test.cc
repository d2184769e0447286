// The rules of the extended language that a database enforces before it
// runs a query: each finding with its exact message, the nearby forms that
// must stay silent, and the subset, which reports none of them.
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> extended(std::string_view query) {
  return testing::extended_findings(query);
}

void expect_clean(std::initializer_list<std::string_view> queries) {
  testing::expect_extended_clean(queries);
}

// ---- Functions that need a path ----

TEST(PathFunctionRule, ValuesThatAreCertainlyNotPaths) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN length(n.name)"),
              ElementsAre("length(n.name) needs a path, but n.name is a property value; use "
                          "size(n.name) for the length of a string or list"));
  EXPECT_THAT(extended("RETURN length('abc'), LENGTH([1, 2])"),
              ElementsAre("length('abc') needs a path, but 'abc' is a string; use size('abc') "
                          "for the length of a string",
                          "LENGTH([1, 2]) needs a path, but [1, 2] is a list; use size([1, 2]) "
                          "for the length of a list"));
  EXPECT_THAT(extended("MATCH (n:Person)-[r:ACTED_IN]->(m) RETURN length(n), nodes(r)"),
              ElementsAre("length(n) needs a path, but n is a node",
                          "nodes(r) needs a path, but r is a relationship"));
  EXPECT_THAT(extended("RETURN length(3), relationships({a: 1}), length(1 = 1)"),
              ElementsAre("length(3) needs a path, but 3 is a number",
                          "relationships({a: 1}) needs a path, but {a: 1} is a map",
                          "length(1 = 1) needs a path, but 1 = 1 is a boolean"));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN length([x IN [1] | x]), length(n{.name})"),
              ElementsAre("length([x IN [1] | x]) needs a path, but [x IN [1] | x] is a list; use "
                          "size([x IN [1] | x]) for the length of a list",
                          "length(n{.name}) needs a path, but n{.name} is a map"));
}

TEST(PathFunctionRule, SilentWhenTheValueMayBeAPath) {
  expect_clean({
      "MATCH p = (a:Person)-[:ACTED_IN]->(m) RETURN length(p), nodes(p), relationships(p)",
      "MATCH p = shortestPath((a:Person)-[*]-(b:Person)) RETURN length(p)",
      "RETURN length($path), length(null)",
      "UNWIND $paths AS p RETURN length(p)",
      "MATCH p = (a:Person)-->(b) WITH {route: p} AS m RETURN length(m.route)",
      "MATCH p = (a:Person)-->(b) WITH p AS q RETURN length(q)",
      "MATCH (a:Person) RETURN length(head([(a)-->(b) | b]))",
      // An iteration variable hides the node of the same name.
      "MATCH p = (n:Person)-->() RETURN [n IN [p] | length(n)], all(n IN [p] WHERE length(n) > 1)",
      "MATCH (a:Person) RETURN reduce(s = 0, a IN [] | s + length(a))",
      // A variable-length relationship is a list, not a relationship.
      "MATCH (a:Person)-[r*1..3]->(b) RETURN size(r)",
      "MATCH (a:Person) CALL { MATCH p = (x)-->() RETURN p } RETURN length(p)",
  });
}

// ---- Patterns are conditions, not values ----

std::string pattern_value(std::string_view pattern) {
  const std::string p(pattern);
  return "Pattern " + p + " is used as a value; a pattern expression is only a condition: write " +
         "COUNT { " + p + " } to count its matches or EXISTS { " + p + " } to test for one";
}

TEST(PatternExpressionRule, PatternsUsedAsValues) {
  EXPECT_THAT(extended("MATCH (a:Person) RETURN (a)-->()"), ElementsAre(pattern_value("(a)-->()")));
  EXPECT_EQ(pattern_value("(a)-->()"),
            "Pattern (a)-->() is used as a value; a pattern expression is only a condition: "
            "write COUNT { (a)-->() } to count its matches or EXISTS { (a)-->() } to test for "
            "one");
  EXPECT_THAT(extended("MATCH (a:Person) WITH (a)-[:ACTED_IN]->(:Movie) AS acted RETURN acted"),
              ElementsAre(pattern_value("(a)-[:ACTED_IN]->(:Movie)")));
  EXPECT_THAT(
      extended("MATCH (a:Person) RETURN size((a)-->()) AS n, count((a)<--()) AS c, "
               "collect((a)--()) AS l, 1 + (a)-->() AS s, -(a)-->() AS m"),
      ElementsAre(pattern_value("(a)-->()"), pattern_value("(a)<--()"), pattern_value("(a)--()"),
                  pattern_value("(a)-->()"), pattern_value("(a)-->()")));
}

TEST(PatternExpressionRule, PatternsAsConditionsAreFine) {
  expect_clean({
      "MATCH (a:Person) WHERE (a)-->() RETURN a",
      "MATCH (a:Person) WHERE NOT (a)-[:ACTED_IN]->(:Movie) AND (a)<--() RETURN a",
      "MATCH (a:Person) WHERE exists((a)-[:ACTED_IN]->()) RETURN a",
      "MATCH (a:Person) RETURN (a)-->() OR a.age > 1 AS x, NOT (a)-->() AS y",
      "MATCH (a:Person) RETURN COUNT { (a)-->() } AS n, EXISTS { (a)-->() } AS e",
      "MATCH (a:Person) RETURN [(a)-->(b) | b] AS friends, size([(a)-->(b) | b]) AS n",
      "MATCH (a:Person) RETURN [x IN [1] WHERE (a)-->()] AS l",
  });
}

TEST(PatternExpressionRule, PatternPredicatesMayNotIntroduceVariables) {
  EXPECT_THAT(extended("MATCH (a:Person) WHERE (a)-[r]->(b) RETURN a"),
              ElementsAre("Pattern predicate (a)-[r]->(b) introduces the new variables 'r', 'b'; a "
                          "pattern predicate can only use variables bound before it: bind them in "
                          "EXISTS { MATCH (a)-[r]->(b) } instead"));
  EXPECT_THAT(
      extended("MATCH (a:Person), (b:Movie) WHERE (a)-[:ACTED_IN]->(x)-->(b)<--(x) RETURN a"),
      ElementsAre("Pattern predicate (a)-[:ACTED_IN]->(x)-->(b)<--(x) introduces the new "
                  "variable 'x'; a pattern predicate can only use variables bound before it: "
                  "bind it in EXISTS { MATCH (a)-[:ACTED_IN]->(x)-->(b)<--(x) } instead"));
  expect_clean({
      "MATCH (a:Person)-[r:ACTED_IN]->(b) WHERE (a)-[r]->(b) RETURN a",
      "MATCH (a:Person) WHERE EXISTS { MATCH (a)-[r]->(b) } RETURN a",
      "MATCH (a:Person) RETURN [(a)-[r]->(b) | r] AS rs",
      "MATCH (a:Person) RETURN [x IN [a] WHERE (x)-->(a)] AS l",
  });
}

// ---- Aggregation placement ----

std::string misplaced(std::string_view aggregate, std::string_view place) {
  return "Aggregating function " + std::string(aggregate) + " is not allowed in " +
         std::string(place) +
         (place == "WHERE" ? "; compute it in a WITH item with an alias and filter on the alias"
                           : "; compute it in a preceding WITH and use its alias");
}

TEST(AggregationRule, AggregatesOutsideProjections) {
  EXPECT_THAT(extended("MATCH (a:Person)-[:ACTED_IN]->(m:Movie) WHERE count(m) > 1 RETURN a"),
              ElementsAre("Aggregating function count(m) is not allowed in WHERE; compute it in a "
                          "WITH item with an alias and filter on the alias"));
  EXPECT_THAT(extended("MATCH (a:Person) WITH a, count(*) AS c WHERE count(*) > 1 RETURN a"),
              ElementsAre(misplaced("count(*)", "WHERE")));
  EXPECT_THAT(extended("MATCH (a:Person) SET a.age = count(*)"),
              ElementsAre("Aggregating function count(*) is not allowed in SET; compute it in a "
                          "preceding WITH and use its alias"));
  EXPECT_THAT(extended("MATCH (a:Person {age: max(1)}) CREATE (b:Person {name: collect(a)}) "
                       "MERGE (c:Person {age: sum(1)}) ON CREATE SET c.name = min(1)"),
              ElementsAre(misplaced("max(1)", "MATCH"), misplaced("collect(a)", "CREATE"),
                          misplaced("sum(1)", "MERGE"), misplaced("min(1)", "SET")));
  EXPECT_THAT(
      extended("MATCH (a:Person) UNWIND collect(a.age) AS x DELETE avg(x) "
               "FOREACH (y IN stDev(x) | SET y.age = percentileDisc(x, 0.5))"),
      ElementsAre(misplaced("collect(a.age)", "UNWIND"), misplaced("avg(x)", "DELETE"),
                  misplaced("stDev(x)", "FOREACH"), misplaced("percentileDisc(x, 0.5)", "SET")));
  EXPECT_THAT(extended("MATCH (a:Person) RETURN a SKIP count(*) LIMIT sum(1)"),
              ElementsAre(misplaced("count(*)", "SKIP"), misplaced("sum(1)", "LIMIT")));
}

TEST(AggregationRule, NestedAggregates) {
  EXPECT_THAT(extended("MATCH (a:Person) RETURN count(count(a)) AS c"),
              ElementsAre("Aggregate count(a) is nested inside count(count(a)); aggregates cannot "
                          "be nested: compute the inner one in a preceding WITH and aggregate its "
                          "alias"));
  EXPECT_THAT(extended("MATCH (a:Person) RETURN sum(1 + avg(a.age)) AS c"),
              ElementsAre("Aggregate avg(a.age) is nested inside sum(1 + avg(a.age)); aggregates "
                          "cannot be nested: compute the inner one in a preceding WITH and "
                          "aggregate its alias"));
}

TEST(AggregationRule, OrderByMayAggregateAfterAProjectionThatDoesNot) {
  // Databases accept these: the ORDER BY aggregates over the sorted rows.
  expect_clean({
      "MATCH (a:Person) RETURN a.name ORDER BY count(a)",
      "MATCH (a:Person) WITH * ORDER BY max(a.age) RETURN a",
      "MATCH (a:Person) WITH a ORDER BY collect(a.name) RETURN a",
  });
}

TEST(AggregationRule, AllowedPlaces) {
  expect_clean({
      "MATCH (a:Person)-[:ACTED_IN]->(m) RETURN a.name, count(m) AS c ORDER BY count(m) DESC",
      "MATCH (a:Person)-[:ACTED_IN]->(m) WITH a, count(m) AS c WHERE c > 1 RETURN a.name, c",
      "MATCH (a:Person) RETURN count(*), collect(DISTINCT a.name), avg(a.age) + 1 AS x",
      "MATCH (a:Person) WHERE COUNT { (a)-->() } > 1 RETURN a",
      "MATCH (a:Person) RETURN COLLECT { MATCH (a)-->(b) RETURN count(b) } AS c",
      "MATCH (a:Person) CALL { WITH a MATCH (a)-->(b) RETURN count(b) AS c } RETURN a, c",
      "MATCH (a:Person) WHERE a.age > 1 WITH a.name AS name, count(*) AS n RETURN name, n",
  });
}

// ---- After DISTINCT or aggregation ----

TEST(ProjectedItemsRule, DroppedVariablesInOrderByAndWhere) {
  EXPECT_THAT(
      extended("MATCH (g:Person)-[:ACTED_IN]->(m:Movie) RETURN g.name, count(*) AS c "
               "ORDER BY m.title"),
      ElementsAre("Variable 'm' is not available in ORDER BY after a RETURN that aggregates; "
                  "only the returned items (g.name, c) can be used"));
  EXPECT_THAT(extended("MATCH (g:Person) RETURN DISTINCT g.name ORDER BY g.age"),
              ElementsAre("Variable 'g' is not available in ORDER BY after a RETURN DISTINCT; "
                          "only the returned items (g.name) can be used"));
  EXPECT_THAT(extended("MATCH (g:Person)-[:ACTED_IN]->(m) WITH DISTINCT g.name AS name "
                       "WHERE m.title <> g.name AND g.age > 1 RETURN name"),
              ElementsAre("Variable 'm' is not available in WHERE after a WITH DISTINCT; only "
                          "the projected items (name) can be used",
                          "Variable 'g' is not available in WHERE after a WITH DISTINCT; only "
                          "the projected items (name) can be used"));
  EXPECT_THAT(extended("MATCH (g:Person) WITH g.name AS name, count(*) AS c ORDER BY g.age "
                       "RETURN name"),
              ElementsAre("Variable 'g' is not available in ORDER BY after a WITH that "
                          "aggregates; only the projected items (name, c) can be used"));
  EXPECT_THAT(extended("MATCH (g:Person) RETURN DISTINCT g.name AS name ORDER BY g{.age}, "
                       "g.age + size(g.name)"),
              ElementsAre("Variable 'g' is not available in ORDER BY after a RETURN DISTINCT; "
                          "only the returned items (name) can be used"));
}

TEST(ProjectedItemsRule, ProjectedItemsAliasesAndAggregatesAreAvailable) {
  expect_clean({
      "MATCH (g:Person)-[:ACTED_IN]->(m) RETURN g.name, count(*) AS c ORDER BY c DESC, g.name",
      "MATCH (g:Person) RETURN DISTINCT g.name AS name ORDER BY name",
      "MATCH (g:Person) RETURN DISTINCT g.name ORDER BY g.name",
      "MATCH (g:Person) RETURN DISTINCT g ORDER BY g.age",
      "MATCH (g:Person) RETURN DISTINCT g AS person ORDER BY person.age",
      "MATCH (g:Person) RETURN g.name AS name ORDER BY g.age",
      "MATCH (g:Person) WITH g.name AS name WHERE g.age > 1 RETURN name",
      "MATCH (g:Person) RETURN DISTINCT g.name AS name ORDER BY [g IN [1] | g][0]",
      "MATCH (g:Person) RETURN DISTINCT g.name AS name ORDER BY size(name) + 1",
  });
}

// ---- Implicit grouping keys ----

TEST(GroupingKeyRule, MixedItems) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n.name, n.name + n.age + count(*)"),
              ElementsAre("RETURN item n.name + n.age + count(*) mixes an aggregate with n.age, "
                          "which is not a grouping key; make it an item of its own or aggregate "
                          "it"));
  EXPECT_THAT(extended("MATCH (n:Person)-[r:ACTED_IN]->(m) WITH n.age * count(*) + r.role AS x "
                       "RETURN x"),
              ElementsAre("WITH item n.age * count(*) + r.role mixes an aggregate with n.age, "
                          "r.role, which are not grouping keys; make them items of their own or "
                          "aggregate them"));
  expect_clean({
      "MATCH (n:Person) RETURN n, n.age + count(*) AS x",
      "MATCH (n:Person) RETURN n.age, n.age + count(*) AS x",
      "MATCH (n:Person) RETURN 1 + count(*) AS x, $p * sum(n.age) AS y",
      "MATCH (n:Person) RETURN n.name, size(n.name) * count(*) AS x",
      "MATCH (n:Person) RETURN n.name, [x IN collect(n.age) WHERE x > 1] AS ages",
  });
  // An unbound name is reported as such, and only as such.
  EXPECT_THAT(extended("MATCH (n:Person) RETURN count(*) + missing AS x"),
              ElementsAre(testing::unbound("missing")));
}

// ---- How a query ends ----

std::string bad_end(std::string_view clause) {
  return "A query cannot end with " + std::string(clause) +
         "; end it with RETURN, an updating clause, FOREACH or a procedure call";
}

TEST(QueryEndRule, QueriesThatEndWithoutAResult) {
  EXPECT_THAT(extended("MATCH (n:Person)"),
              ElementsAre("A query cannot end with MATCH; end it with RETURN, an updating "
                          "clause, FOREACH or a procedure call"));
  EXPECT_THAT(extended("MATCH (n:Person) WITH n"), ElementsAre(bad_end("WITH")));
  EXPECT_THAT(extended("MATCH (n:Person) OPTIONAL MATCH (n)-->(m)"),
              ElementsAre(bad_end("OPTIONAL MATCH")));
  EXPECT_THAT(extended("UNWIND [1, 2] AS x"), ElementsAre(bad_end("UNWIND")));
  EXPECT_THAT(extended("LOAD CSV FROM 'file:///x.csv' AS row"), ElementsAre(bad_end("LOAD CSV")));
  EXPECT_THAT(extended("MATCH (a:Person) CALL { WITH a RETURN a.name AS n }"),
              ElementsAre(bad_end("CALL { }")));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n UNION MATCH (n:Person)"),
              ElementsAre(bad_end("MATCH")));
}

TEST(QueryEndRule, ProperEnds) {
  expect_clean({
      "MATCH (n:Person) RETURN n",
      "CREATE (a:Person {name: 'x'})",
      "MATCH (a:Person) MERGE (a)-[:ACTED_IN]->(m:Movie)",
      "MATCH (a:Person) SET a.age = 1",
      "MATCH (a:Person) REMOVE a.age",
      "MATCH (a:Person) DETACH DELETE a",
      "MATCH (a:Person) FOREACH (x IN [1] | CREATE (:Person))",
      "MATCH (a:Person) CALL db.labels()",
      "MATCH (a:Person) CALL { WITH a CREATE (a)-[:ACTED_IN]->(:Movie) }",
      "MATCH (a:Person) WITH a CALL { WITH a SET a.age = 1 }",
      "CALL db.labels() YIELD label",
  });
}

TEST(QueryEndRule, Subqueries) {
  EXPECT_THAT(extended("MATCH (a:Person) CALL { WITH a MATCH (a)-->(b) } RETURN a"),
              ElementsAre("A CALL { } subquery cannot end with MATCH; end it with RETURN, an "
                          "updating clause, FOREACH or a procedure call"));
  EXPECT_THAT(extended("MATCH (a:Person) RETURN COLLECT { MATCH (a)-->(b) RETURN b, a } AS x"),
              ElementsAre("COLLECT { } must return exactly one column, but it returns 2: b, a"));
  EXPECT_THAT(extended("MATCH (a:Person) RETURN COLLECT { MATCH (a)-->(b) WITH b } AS x"),
              ElementsAre("COLLECT { } must end with a RETURN of exactly one column, but it ends "
                          "with WITH"));
  expect_clean({
      "MATCH (a:Person) WHERE EXISTS { MATCH (a)-->(b) } RETURN a",
      "MATCH (a:Person) WHERE EXISTS { MATCH (a)-->(b) WITH b WHERE b.x > 1 } RETURN a",
      "MATCH (a:Person) RETURN COUNT { MATCH (a)-->(b) } AS n",
      "MATCH (a:Person) RETURN COUNT { MATCH (a)-->(b) RETURN b } AS n",
      "MATCH (a:Person) RETURN COLLECT { MATCH (a)-->(b) RETURN b.name } AS names",
      "MATCH (a:Person) CALL { WITH a MATCH (a)-->(b) RETURN b } RETURN a, b",
  });
}

// ---- WITH items need names ----

TEST(ItemNameRule, WithItemsAndCallColumns) {
  EXPECT_THAT(extended("MATCH (a:Person) WITH a.name RETURN 1 AS x"),
              ElementsAre("WITH item a.name needs an alias: write a.name AS name"));
  EXPECT_THAT(extended("MATCH (a:Person) WITH a, count(*) RETURN a"),
              ElementsAre("WITH item count(*) needs an alias: add AS and a name after it"));
  EXPECT_THAT(extended("MATCH (a:Person) CALL { WITH a RETURN a.name } RETURN a"),
              ElementsAre("Column a.name returned by CALL { } needs an alias: write a.name AS "
                          "name"));
  EXPECT_THAT(extended("CALL { RETURN 1 UNION RETURN 2 } RETURN 3 AS x"),
              ElementsAre("Column 1 returned by CALL { } needs an alias: add AS and a name after "
                          "it",
                          "Column 2 returned by CALL { } needs an alias: add AS and a name after "
                          "it",
                          "Every branch of a UNION must return the same columns in the same "
                          "order, but the first returns (1) and branch 2 returns (2)"));
  expect_clean({
      "MATCH (a:Person) WITH a, a.name AS name RETURN a, name",
      "MATCH (a:Person) WITH * RETURN a",
      "MATCH (a:Person) CALL { WITH a RETURN a.name AS name } RETURN name",
      "MATCH (a:Person) RETURN a.name",
  });
}

// ---- UNION ----

TEST(UnionRule, BranchesReturnTheSameColumns) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n.name AS a UNION MATCH (n:Movie) RETURN "
                       "n.title AS b"),
              ElementsAre("Every branch of a UNION must return the same columns in the same "
                          "order, but the first returns (a) and branch 2 returns (b)"));
  EXPECT_THAT(extended("RETURN 1 AS a, 2 AS b UNION RETURN 1 AS a, 2 AS b UNION RETURN 2 AS b, "
                       "1 AS a"),
              ElementsAre("Every branch of a UNION must return the same columns in the same "
                          "order, but the first returns (a, b) and branch 3 returns (b, a)"));
  EXPECT_THAT(extended("RETURN 1 AS a UNION RETURN 2 AS a UNION ALL RETURN 3 AS a"),
              ElementsAre("UNION and UNION ALL cannot be mixed in one query; use one of them "
                          "throughout"));
  expect_clean({
      "MATCH (n:Person) RETURN n.name AS name UNION MATCH (m:Movie) RETURN m.title AS name",
      "MATCH (n:Person) RETURN n.name UNION MATCH (n:Person) RETURN n.name",
      "RETURN 1 AS a UNION ALL RETURN 2 AS a UNION ALL RETURN 3 AS a",
      "MATCH (n:Person) RETURN n UNION MATCH (n:Movie) RETURN *",
  });
}

// ---- One variable, one kind ----

TEST(VariableKindRule, ANameKeepsItsKind) {
  EXPECT_THAT(extended("MATCH (a)-[a]->() RETURN a"),
              ElementsAre("Variable 'a' is a node and cannot be reused as a relationship"));
  EXPECT_THAT(extended("MATCH ()-[r]->() MATCH (r) RETURN r"),
              ElementsAre("Variable 'r' is a relationship and cannot be reused as a node"));
  EXPECT_THAT(extended("MATCH p = (a)-->() MATCH (p) RETURN p"),
              ElementsAre("Variable 'p' is a path and cannot be reused as a node"));
  EXPECT_THAT(extended("MATCH (a:Person) WITH a AS p MATCH p = ()-->() RETURN p"),
              ElementsAre("Variable 'p' is a node and cannot be reused as a path"));
  EXPECT_THAT(extended("MATCH (a:Person) WHERE EXISTS { MATCH ()-[a]->() } RETURN a"),
              ElementsAre("Variable 'a' is a node and cannot be reused as a relationship"));
  expect_clean({
      "MATCH (a:Person)-[r:ACTED_IN]->(m) MATCH (a)-[r]->(m) RETURN a",
      "UNWIND $nodes AS n MATCH (n)-->() RETURN n",
      "MATCH (a:Person) WITH a.name AS a MATCH ()-[a]->() RETURN a",
      "MATCH (a:Person)-[r*1..2]->() MATCH (a)-->() RETURN r",
      "MATCH (a:Person) CALL { MATCH ()-[a]->() RETURN a AS r } RETURN r",
  });
}

// An iteration variable hides what its name held outside, as reduce's does:
// neither its labels nor its kind apply to the list element. The subset
// keeps using the outer binding.
TEST(IterationVariableHiding, OuterLabelsAndKindDoNotApplyInside) {
  const char* query =
      "MATCH (n:Person) RETURN [n IN [{foo: 1}] | n.foo] AS a, any(n IN [{foo: 1}] WHERE n.foo) "
      "AS b, [n IN $paths | length(n)] AS c, n.nme AS d";
  EXPECT_THAT(extended(query), ElementsAre("Unknown property 'nme' on variable 'n' with label "
                                           ":Person, did you mean 'name'?"));
  EXPECT_THAT(testing::findings(query),
              ElementsAre("Unknown property 'foo' on variable 'n' with label :Person",
                          "Unknown property 'foo' on variable 'n' with label :Person",
                          "Unknown property 'nme' on variable 'n' with label :Person"));
}

// ---- The subset reports none of this ----

TEST(DatabaseRules, SubsetFindingsAreUnchanged) {
  for (std::string_view query : {
           "MATCH (n:Person) RETURN length(n.name)",
           "MATCH (a:Person) WITH a.name RETURN 1",
           "MATCH (n:Person)",
           "MATCH (a)-[a]->() RETURN a",
           "MATCH (g:Person) RETURN DISTINCT g.name ORDER BY g.age",
           "MATCH (a:Person) WHERE count(a) > 1 RETURN a",
           "MATCH (n:Person) RETURN n.name, n.name + n.age + count(*)",
           "RETURN 1 AS a UNION RETURN 2 AS b",
       }) {
    EXPECT_THAT(testing::findings(query), IsEmpty()) << query;
    EXPECT_THAT(extended(query), ::testing::Not(IsEmpty())) << query;
  }
}

}  // namespace
}  // namespace quorvane
