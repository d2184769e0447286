// The type rules of the extended language: operators and functions given a
// value of a type they cannot take, each with its exact message, and the
// neighbouring forms that must stay silent because a type is unknown or
// allowed.
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

// The codes of every finding (errors and warnings) of the extended language.
std::vector<std::string> codes(std::string_view query) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema(), Language::Extended).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty()) << query;
  std::vector<std::string> out;
  for (const Diagnostic& d : result.diagnostics) out.emplace_back(rule_info(d.code).name);
  return out;
}

TEST(TypeRules, BooleanOperatorsNeedBooleans) {
  EXPECT_THAT(extended("RETURN 123 OR true"),
              ElementsAre("In 123 OR true, 123 is an INTEGER, but OR needs a BOOLEAN"));
  EXPECT_THAT(extended("RETURN NOT {a: 0}"),
              ElementsAre("In NOT {a: 0}, {a: 0} is a MAP, but NOT needs a BOOLEAN"));
  EXPECT_THAT(extended("RETURN true AND 'yes', 1.5 XOR false"),
              ElementsAre("In true AND 'yes', 'yes' is a STRING, but AND needs a BOOLEAN",
                          "In 1.5 XOR false, 1.5 is a FLOAT, but XOR needs a BOOLEAN"));
  EXPECT_THAT(extended("MATCH (n:Person) WHERE n AND true RETURN n"),
              ElementsAre("In n AND true, n is a NODE, but AND needs a BOOLEAN"));
  EXPECT_THAT(codes("RETURN CASE WHEN 1 THEN 2 END"), ElementsAre("type-mismatch"));
}

TEST(TypeRules, PropertiesOfValuesThatHaveNone) {
  EXPECT_THAT(extended("WITH false AS b RETURN b.num"),
              ElementsAre("In b.num, b is a BOOLEAN, but only a node, a relationship, a map or a "
                          "temporal or spatial value has properties"));
  EXPECT_THAT(codes("UNWIND [1, 2] AS x RETURN x.name"), ElementsAre("type-mismatch"));
  EXPECT_THAT(codes("RETURN [x IN ['a'] | x.name]"), ElementsAre("type-mismatch"));
  EXPECT_THAT(codes("MATCH p = (:Person)-->() RETURN p.name"), ElementsAre("type-mismatch"));
  EXPECT_THAT(codes("LOAD CSV FROM 'f.csv' AS row RETURN row.name"),
              ElementsAre("type-mismatch"));
}

TEST(TypeRules, FunctionArguments) {
  EXPECT_THAT(extended("MATCH (r) RETURN type(r)"),
              ElementsAre("In type(r), r is a NODE, but type() needs a RELATIONSHIP"));
  EXPECT_THAT(extended("MATCH ()-[r:ACTED_IN]->() RETURN labels(r)"),
              ElementsAre("In labels(r), r is a RELATIONSHIP, but labels() needs a NODE"));
  EXPECT_THAT(extended("RETURN toUpper(1), size(2)"),
              ElementsAre("In toUpper(1), 1 is an INTEGER, but toUpper() needs a STRING",
                          "In size(2), 2 is an INTEGER, but size() needs a STRING or a LIST"));
  EXPECT_THAT(extended("RETURN range(1, 2.5)"),
              ElementsAre("In range(1, 2.5), 2.5 is a FLOAT, but range() needs an INTEGER"));
  EXPECT_THAT(codes("MATCH ()-[r*]-() RETURN type(r)"), ElementsAre("type-mismatch"));
  EXPECT_THAT(codes("RETURN sum('a'), toInteger([1])"),
              ElementsAre("type-mismatch", "type-mismatch"));
  // Result types feed the next call.
  EXPECT_THAT(codes("MATCH (n:Person) RETURN toUpper(size(labels(n)))"),
              ElementsAre("type-mismatch"));
}

TEST(TypeRules, ArithmeticAndStrings) {
  EXPECT_THAT(extended("RETURN 'a' + true"),
              ElementsAre("In 'a' + true, true is a BOOLEAN, but + needs a NUMBER, a temporal "
                          "value, a STRING, a LIST or a DURATION"));
  EXPECT_THAT(extended("RETURN date() + 1"),
              ElementsAre("In date() + 1, 1 is an INTEGER, but + cannot combine it with date(), "
                          "a DATE"));
  EXPECT_THAT(codes("RETURN 1 - 'a', {} * 2, -'a', 2 ^ '1'"),
              ElementsAre("type-mismatch", "type-mismatch", "type-mismatch", "type-mismatch"));
  EXPECT_THAT(codes("RETURN 1 STARTS WITH 'a', 'a' =~ 1, 1 IN 2"),
              ElementsAre("type-mismatch", "type-mismatch", "type-mismatch"));
  EXPECT_THAT(codes("RETURN 'a' || 1"), ElementsAre("type-mismatch"));
}

TEST(TypeRules, ValidNeighboursStayClean) {
  testing::expect_extended_clean({
      "RETURN true OR null",
      "WITH 'a' AS s RETURN s + 'b'",
      "RETURN 1 + 2.5",
      "RETURN [1] + 2, 2 + [1], [1] + [2]",
      "RETURN 'a' + 1, 1.5 + 'a'",
      "MATCH (n) WITH n MATCH (n)-->() RETURN n",
      "RETURN $p OR true, NOT $q",
      "MATCH (n:Person) RETURN n.name + 1, n.age * 2, toUpper(n.name), NOT n.name",
      "RETURN date() + duration('P1D'), duration('P1D') * 2, date() - duration('P1D')",
      "RETURN date('2020-01-01') < date(), datetime().year, point({x: 1, y: 2}).x",
      "CALL db.labels() YIELD label RETURN label + 1",
      "RETURN 1 + null, null + 'a', NOT null, null.x",
      "MATCH p = (:Person)-->() RETURN size(nodes(p)), [n IN nodes(p) | n.name]",
      "MATCH (n:Person) WITH collect(n) AS people RETURN [p IN people | p.name], head(people).name",
      "MATCH ()-[r*]-() RETURN size(r), [x IN r | type(x)]",
      "MATCH (n:Person) RETURN coalesce(n.name, 'x') + 'y', toString(n.age) + 1",
      "RETURN 'a' || 'b', [1] || [2], 'a' =~ 'b', 2 IN [1, 2]",
      "RETURN CASE WHEN true THEN 1 ELSE 2 END + 1, CASE 1 WHEN 1 THEN 'a' END",
      "UNWIND $rows AS row RETURN row.name",
      "LOAD CSV WITH HEADERS FROM 'f.csv' AS row RETURN row.name, toInteger(row.id)",
      "LOAD CSV FROM 'f.csv' AS row RETURN toInteger(row[0])",
      "WITH {a: 1} AS m RETURN m.a, keys(m), properties(m)",
      "MATCH (n:Person) RETURN id(n), elementId(n), keys(n), properties(n)",
      "MATCH (a:Person)-[r:ACTED_IN]->(m) RETURN startNode(r).name, type(r), id(r)",
  });
}

TEST(TypeRules, SubsetReportsNone) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema()).validate("RETURN 123 OR true");
  EXPECT_TRUE(result.is_valid);
}

// ---- Variables bound as one kind and used as another ----

TEST(BindingRules, ValuesRebindAsPatternElements) {
  EXPECT_THAT(extended("WITH 'foo' AS n MATCH (n) RETURN n"),
              ElementsAre("Variable 'n' is a STRING and cannot be reused as a node"));
  EXPECT_THAT(extended("WITH [] AS r MATCH ()-[r]-() RETURN r"),
              ElementsAre("Variable 'r' is a LIST and cannot be reused as a relationship"));
  EXPECT_THAT(extended("MATCH p = ()-[p*]-() RETURN p"),
              ElementsAre("Variable 'p' is a path and cannot be reused as the relationship list "
                          "of a variable-length pattern"));
  EXPECT_THAT(extended("MATCH ()-[r*]-() MATCH ()-[r]-() RETURN r"),
              ElementsAre("Variable 'r' is the relationship list of a variable-length pattern "
                          "and cannot be reused as a relationship"));
  EXPECT_THAT(codes("UNWIND [1, 2] AS n MATCH (n) RETURN n"), ElementsAre("variable-kind"));
  testing::expect_extended_clean({
      "UNWIND $nodes AS n MATCH (n)-->() RETURN n",
      "MATCH (n:Person) WITH collect(n) AS ns UNWIND ns AS n MATCH (n)-->() RETURN n",
      "MATCH ()-[r*]-() WITH r MATCH ()-[r*]-() RETURN r",
      "MATCH p = (:Person)-->() WITH p MATCH p = (:Person)-->() RETURN p",
  });
}

TEST(BindingRules, BoundElementsMadeAgain) {
  EXPECT_THAT(extended("MATCH (a) CREATE (a {name: 'foo'})"),
              ElementsAre("Node 'a' is already bound, so CREATE cannot make it again with labels "
                          "or properties; write (a) alone and add them with SET, or use a new "
                          "variable"));
  EXPECT_THAT(codes("MATCH (a) MERGE (a:Person)"), ElementsAre("variable-already-bound"));
  EXPECT_THAT(codes("MATCH ()-[r]->() CREATE (:Person)-[r:ACTED_IN]->(:Movie)"),
              ElementsAre("variable-already-bound"));
  EXPECT_THAT(extended("MATCH (a)-[r]->()-[r]->() RETURN a"),
              ElementsAre("Relationship variable 'r' stands for two relationships of one "
                          "pattern, but one relationship is never matched twice in a pattern; "
                          "use two variables"));
  EXPECT_THAT(codes("MATCH (a)-[r]->(), ()-[r]->(b) RETURN a"),
              ElementsAre("variable-already-bound"));
  testing::expect_extended_clean({
      "MATCH (a:Person) CREATE (a)-[:ACTED_IN]->(b:Movie)",
      "MATCH (a:Person), (b:Movie) MERGE (a)-[:ACTED_IN]->(b)",
      "MATCH (a)-[r]->() MATCH ()-[r]->(b) RETURN b",
      "CREATE (a:Person) CREATE (a)-[:ACTED_IN]->(:Movie)",
      "MATCH (a)-[r]->(b) WITH a, r MATCH (a)-[r]->() RETURN r",
  });
}

// ---- What CREATE, MERGE and DELETE can make or remove ----

TEST(UpdateRules, RelationshipsCreateAndMergeCannotMake) {
  EXPECT_THAT(extended("CREATE ()-->()"),
              ElementsAre("A relationship CREATE makes needs exactly one type, a direction and a "
                          "fixed length, but this one has no type; give it exactly one, such as "
                          ":TYPE"));
  EXPECT_THAT(extended("CREATE ()-[:ACTED_IN|ACTED_IN]->()"),
              ElementsAre("A relationship CREATE makes needs exactly one type, a direction and a "
                          "fixed length, but this one has several types; give it exactly one, "
                          "such as :ACTED_IN"));
  EXPECT_THAT(extended("CREATE (a)-[:ACTED_IN]-(b)"),
              ElementsAre("A relationship CREATE makes needs exactly one type, a direction and a "
                          "fixed length, but this one has no direction; draw it as -[...]-> or "
                          "<-[...]-"));
  EXPECT_THAT(codes("CREATE ()-[:ACTED_IN*2]->()"), ElementsAre("invalid-update-pattern"));
  EXPECT_THAT(codes("MERGE ()-[:ACTED_IN*2]->()"), ElementsAre("invalid-update-pattern"));
  EXPECT_THAT(codes("MERGE (a)-[]->(b)"), ElementsAre("invalid-update-pattern"));
  testing::expect_extended_clean({
      "CREATE (a:Person)-[:ACTED_IN]->(b:Movie)",
      "CREATE (b:Movie)<-[:ACTED_IN]-(a:Person)",
      "MATCH (a)-[r:ACTED_IN|ACTED_IN]-(b) RETURN r",
      "MERGE (a:Person)-[:ACTED_IN]-(b:Movie)",
  });
}

TEST(UpdateRules, DeleteTakesElements) {
  EXPECT_THAT(extended("MATCH (n) DELETE n:Person"),
              ElementsAre("DELETE takes nodes, relationships or paths, but n:Person is a BOOLEAN"));
  EXPECT_THAT(codes("WITH 1 AS x DELETE x"), ElementsAre("type-mismatch"));
  testing::expect_extended_clean({
      "MATCH p = (:Person)-->() DELETE p",
      "MATCH (n:Person) DETACH DELETE n",
      "MATCH ()-[r:ACTED_IN]->() DELETE r",
      "MATCH (n:Person) WITH collect(n) AS ns FOREACH (x IN ns | DELETE x)",
      "UNWIND $ids AS id MATCH (n) WHERE id(n) = id DELETE n",
  });
}

// ---- Arguments that must be constant, deterministic or in range ----

TEST(ConstantRules, SkipAndLimitReadNoVariable) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n SKIP n.age"),
              ElementsAre("SKIP takes a constant (literals, parameters and expressions of them), "
                          "but n.age reads the variable n"));
  EXPECT_THAT(codes("WITH 5 AS x RETURN x LIMIT x + 1"), ElementsAre("non-constant-expression"));
  testing::expect_extended_clean({
      "RETURN 1 LIMIT $n",
      "RETURN 1 SKIP 1 + 2 LIMIT toInteger($n * 2)",
      "RETURN 1 LIMIT size([x IN [1] | x])",
  });
}

TEST(ConstantRules, RandomValuesInAggregates) {
  EXPECT_THAT(extended("RETURN count(rand())"),
              ElementsAre("count(rand()) aggregates the random value rand(); an aggregating "
                          "function cannot take a random value: compute it in a preceding WITH "
                          "and aggregate its alias"));
  EXPECT_THAT(codes("MATCH (n:Person) RETURN collect(n.age + RAND())"),
              ElementsAre("nondeterministic-aggregate"));
  testing::expect_extended_clean({"RETURN rand()", "WITH rand() AS r RETURN count(r)"});
}

TEST(ConstantRules, ParametersAsPropertyMapsWhereAPatternMatches) {
  EXPECT_THAT(extended("MATCH (n $param) RETURN n"),
              ElementsAre("MATCH cannot take the parameter $param as a property map; write the "
                          "keys out ({key: $param.key}) or test them in WHERE"));
  EXPECT_THAT(codes("MERGE (n:Person $props)"), ElementsAre("parameter-property-map"));
  EXPECT_THAT(codes("MATCH ()-[r $p]->() RETURN r"), ElementsAre("parameter-property-map"));
  testing::expect_extended_clean({
      "CREATE (n:Person $props)",
      "MATCH (n:Person {name: $name}) RETURN n",
  });
}

TEST(ConstantRules, FloatsBeyondTheLargestDouble) {
  EXPECT_THAT(extended("RETURN 1e309"),
              ElementsAre("Float literal 1e309 is too large for a 64-bit float, whose largest "
                          "value is about 1.8e308"));
  EXPECT_THAT(codes("RETURN -18.0e308, 0.0001e313, 1e99999999999999999999"),
              ElementsAre("float-too-large", "float-too-large", "float-too-large"));
  testing::expect_extended_clean(
      {"RETURN 1e308, 1.7976931348623157e308, 1e-400, 0.0e999, 1e-99999999999999999999"});
}

}  // namespace
}  // namespace quorvane
