// Validation in the extended language: schema facts inside every new
// construct, label expressions, and the scopes of subqueries and local
// variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace quorvane {
namespace {

using testing::small_movie_schema;
using testing::unbound;
using Findings = std::vector<std::string>;

Findings extended(std::string_view query) {
  const ValidationResult result =
      CypherValidator(small_movie_schema(), Language::Extended).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty())
      << query << "\n"
      << (result.syntax_errors.empty() ? "" : result.syntax_errors.front());
  return result.semantic_errors;
}

const std::string kUnknownMovei = "Unknown node label: :Movei, did you mean :Movie?";
const std::string kUnknownNme =
    "Unknown property 'nme' on variable 'p' with label :Person, did you mean 'name'?";
const std::string kUnknownActed = "Unknown relationship type: :ACTED, did you mean :ACTED_IN?";

TEST(ExtendedChecks, SchemaFactsInsideEveryConstruct) {
  const std::vector<std::string> label_queries = {
      "MATCH (p:Person) WHERE EXISTS { (p)-[:ACTED_IN]->(:Movei) } RETURN p",
      "MATCH (p:Person) WHERE EXISTS { MATCH (p)-[:ACTED_IN]->(m:Movei) RETURN m } RETURN p",
      "MATCH (p:Person) RETURN COUNT { (p)-[:ACTED_IN]->(:Movei) } AS n",
      "MATCH (p:Person) RETURN COLLECT { MATCH (p)-[:ACTED_IN]->(m:Movei) RETURN m } AS ms",
      "MATCH (p:Person) WHERE (p)-[:ACTED_IN]->(:Movei) RETURN p",
      "MATCH (p:Person) RETURN [(p)-[:ACTED_IN]->(m:Movei) | m] AS ms",
      "MATCH (p:Person) RETURN shortestPath((p)-[*]-(:Movei)) AS path",
      "MATCH ((p:Person)-[:ACTED_IN]->(m:Movei)){1,2} RETURN 1 AS one",
      "CALL { MATCH (m:Movei) RETURN m } RETURN m",
      "MATCH (p:Person) FOREACH (x IN [1] | CREATE (:Movei))",
      "MATCH (n:Person|Movei) RETURN n",
      "MATCH (n:!Movei) RETURN n",
      "MATCH (n) WHERE n:Movei RETURN n",
      "MATCH (n) WHERE n IS Movei RETURN n",
      "MATCH (n:Person WHERE EXISTS { (n)-->(:Movei) }) RETURN n",
  };
  for (const std::string& q : label_queries) {
    EXPECT_EQ(extended(q), Findings{kUnknownMovei}) << q;
  }
  const std::vector<std::string> type_queries = {
      "MATCH (p:Person) WHERE EXISTS { (p)-[:ACTED]->() } RETURN p",
      "MATCH (p:Person) WHERE NOT (p)-[:ACTED]->() RETURN p",
      "MATCH (p:Person) RETURN [(p)-[:ACTED]->(m) | m] AS ms",
      "MATCH (p:Person)-[:ACTED]->+(m) RETURN p",
      "MATCH (p:Person)-[:!ACTED]->(m) RETURN p",
      "MATCH (x) ((p:Person)-[:ACTED]->(m)){1,3} (y) RETURN x",
  };
  for (const std::string& q : type_queries) {
    EXPECT_EQ(extended(q), Findings{kUnknownActed}) << q;
  }
  // Property keys, through variables and in maps, and relationship ends.
  EXPECT_EQ(extended("MATCH (p:Person) WHERE EXISTS { MATCH (p) WHERE p.nme = 'x' } RETURN p"),
            Findings{kUnknownNme});
  EXPECT_EQ(extended("MATCH (p:Person) RETURN p{.name, .nme} AS m"), Findings{kUnknownNme});
  EXPECT_EQ(extended("MATCH (p) RETURN COUNT { (p)-[:ACTED_IN]->(:Movie {name: 'x'}) } AS n"),
            Findings{"Unknown property 'name' for node label :Movie; declared properties of "
                     ":Movie: 'title'"});
  EXPECT_EQ(extended("MATCH (m) WHERE (m:Movie)-[:ACTED_IN]->(:Movie) RETURN m"),
            (Findings{"Relationship :ACTED_IN expects source label :Person, but node has "
                      "label(s): :Movie"}));
  EXPECT_EQ(extended("MATCH (n:Person WHERE n.agee > 3) RETURN n"),
            Findings{"Unknown property 'agee' on variable 'n' with label :Person, did you mean "
                     "'age'?"});
  EXPECT_EQ(extended("UNWIND [1] AS x CALL (x) { MATCH (p:Person) RETURN p.nme AS n } RETURN n"),
            Findings{kUnknownNme});
}

TEST(ExtendedChecks, LabelExpressionsNeverClaimMoreThanTheSchemaProves) {
  // Any of the alternatives may declare a property.
  EXPECT_EQ(extended("MATCH (n:Person|Movie {title: 'x'}) RETURN n.name, n.title"), Findings{});
  EXPECT_EQ(extended("MATCH (n:Person&Movie) RETURN n.age"), Findings{});
  EXPECT_EQ(extended("MATCH (n:Person|Movie {rating: 1}) RETURN n"),
            (Findings{"Unknown property 'rating' for node label :Person; declared properties "
                      "of :Person: 'name', 'age'",
                      "Unknown property 'rating' for node label :Movie; declared properties of "
                      ":Movie: 'title'"}));
  EXPECT_EQ(extended("MATCH (n:Person|Movie) RETURN n.rating"),
            (Findings{"Unknown property 'rating' on variable 'n' with label :Person; declared "
                      "properties of :Person: 'name', 'age'",
                      "Unknown property 'rating' on variable 'n' with label :Movie; declared "
                      "properties of :Movie: 'title'"}));
  // Negations and wildcards give no facts at all.
  EXPECT_EQ(extended("MATCH (n:!Movie)-[:ACTED_IN]->(m:%) RETURN n.anything, m.whatever"),
            Findings{});
  // An endpoint passes when any label fits.
  EXPECT_EQ(extended("MATCH (n:Person|Movie)-[:ACTED_IN]->(m:Movie) RETURN n"), Findings{});
  // A node of a colon list carries every label, so it may hold the keys of
  // any of them.
  EXPECT_EQ(extended("MATCH (n:Person:Movie) RETURN n.title"), Findings{});
  // A label check may name a relationship type.
  EXPECT_EQ(extended("MATCH ()-[r]->() WHERE r:ACTED_IN RETURN r"), Findings{});
}

TEST(ExtendedChecks, SubqueryExpressionsSeeOutsideButKeepTheirOwn) {
  EXPECT_EQ(extended("MATCH (a:Person) WHERE EXISTS { (a)-->(b) } RETURN b"),
            Findings{unbound("b")});
  EXPECT_EQ(extended("MATCH (a:Person) WHERE COUNT { MATCH (a)-->(b) RETURN b } > 1 RETURN b"),
            Findings{unbound("b")});
  EXPECT_EQ(extended("MATCH (a) RETURN COLLECT { MATCH (a)-->(b) RETURN b.x } AS xs, a"),
            Findings{});
  EXPECT_EQ(extended("MATCH (a) WHERE EXISTS { MATCH (c) WHERE c = z } RETURN a"),
            Findings{unbound("z")});
  // Each UNION branch inside starts from the outer scope.
  EXPECT_EQ(extended("MATCH (a) WHERE EXISTS { MATCH (a)-->(b) RETURN b UNION MATCH (a)<--(b) "
                     "RETURN b } RETURN a"),
            Findings{});
  // Variables of pattern predicates, comprehensions, reduce and FOREACH are
  // local to them.
  // (A pattern predicate may not introduce them in the first place.)
  EXPECT_EQ(extended("MATCH (a) WHERE (a)-[r]->(b) RETURN r"),
            (Findings{"Pattern predicate (a)-[r]->(b) introduces the new variables 'r', 'b'; a "
                      "pattern predicate can only use variables bound before it: bind them in "
                      "EXISTS { MATCH (a)-[r]->(b) } instead",
                      unbound("r")}));
  EXPECT_EQ(extended("MATCH (a) RETURN [p = (a)-->(b) | [p, b]] AS x, p"), Findings{unbound("p")});
  EXPECT_EQ(extended("RETURN reduce(s = 0, x IN [1, 2] | s + x) AS t, s"), Findings{unbound("s")});
  EXPECT_EQ(extended("MATCH (n) FOREACH (x IN [1] | SET n.v = x CREATE (m:Person)) RETURN x, m"),
            (Findings{unbound("x"), unbound("m")}));
  EXPECT_EQ(extended("MATCH (n) RETURN n{.name, other} AS m"), Findings{unbound("other")});
  EXPECT_EQ(extended("RETURN q{.name} AS m"), Findings{unbound("q")});
}

TEST(ExtendedChecks, CallSubqueriesSeeOnlyWhatTheyImport) {
  EXPECT_EQ(extended("MATCH (a:Person) CALL { RETURN a AS x } RETURN x"), Findings{unbound("a")});
  EXPECT_EQ(extended("MATCH (a:Person) CALL { WITH a RETURN a.name AS x } RETURN x"), Findings{});
  EXPECT_EQ(extended("MATCH (a:Person), (b) CALL (a) { RETURN a.name AS x, b AS y } RETURN x, y"),
            Findings{unbound("b")});
  EXPECT_EQ(extended("MATCH (a:Person) CALL (*) { RETURN a.name AS x } RETURN x, a"), Findings{});
  EXPECT_EQ(extended("CALL (nobody) { RETURN 1 AS x } RETURN x"), Findings{unbound("nobody")});
  // What the subquery returns joins the outer scope, with the labels known
  // inside; nothing else does.
  EXPECT_EQ(extended("CALL { MATCH (p:Person)-->(m) RETURN p } RETURN p.nme, m"),
            (Findings{kUnknownNme, unbound("m")}));
  EXPECT_EQ(extended("CALL { MATCH (p:Person) RETURN p AS q UNION MATCH (q:Person) RETURN q } "
                     "RETURN q"),
            Findings{});
  EXPECT_EQ(extended("UNWIND [1] AS row CALL (row) { CREATE (:Person {name: row}) } "
                     "IN TRANSACTIONS OF 10 ROWS"),
            Findings{});
}

TEST(ExtendedChecks, ACallThatReturnsStarOpensTheScopeAfterIt) {
  // `RETURN *` in a CALL body may return anything bound inside it.
  EXPECT_EQ(extended("MATCH (p:Person) CALL { MATCH (m:Movie) RETURN * } RETURN m"), Findings{});
  EXPECT_EQ(extended("MATCH (p:Person) CALL { MATCH (m:Movie) RETURN * } RETURN m.nme"),
            Findings{});
  // ... but a body that names its columns returns only those.
  EXPECT_EQ(extended("MATCH (p:Person) CALL { MATCH (m:Movie) RETURN m AS x } RETURN m"),
            Findings{unbound("m")});
}

TEST(ExtendedChecks, EachUnionBranchOfASubqueryStartsClosed) {
  // The first branch is opened by a CALL that returns `*`; the second must
  // not inherit that.
  for (const char* subquery : {"EXISTS", "COUNT"}) {
    const std::string query =
        std::string("MATCH (p:Person) WHERE ") + subquery +
        " { MATCH (a:Person) CALL { MATCH (b:Movie) RETURN * } RETURN a UNION "
        "MATCH (c:Person) RETURN q AS a }" +
        (std::string(subquery) == "COUNT" ? " > 0" : "") + " RETURN p";
    EXPECT_EQ(extended(query), Findings{unbound("q")}) << query;
  }
  EXPECT_EQ(extended("MATCH (p:Person) RETURN COLLECT { MATCH (a:Person) CALL db.labels() YIELD * "
                     "RETURN a UNION MATCH (c:Person) RETURN q AS a } AS xs"),
            Findings{unbound("q")});
  // Within the opened branch itself, any name may be bound.
  EXPECT_EQ(extended("MATCH (p:Person) WHERE EXISTS { MATCH (a:Person) CALL { MATCH (b:Movie) "
                     "RETURN * } RETURN q AS a UNION MATCH (c:Person) RETURN c AS a } RETURN p"),
            Findings{});
}

TEST(ExtendedChecks, OtherBindings) {
  EXPECT_EQ(extended("LOAD CSV WITH HEADERS FROM 'file:///p.csv' AS row "
                     "CREATE (:Person {name: row.name})"),
            Findings{});
  EXPECT_EQ(extended("LOAD CSV FROM $url AS row RETURN line"), Findings{unbound("line")});
  // Quantified-path variables stay visible after the pattern.
  EXPECT_EQ(extended("MATCH ((a:Person)-[r:ACTED_IN]->(m:Movie)){1,3} RETURN a, r, m"), Findings{});
  // After YIELD * any name may have been bound.
  EXPECT_EQ(extended("CALL db.labels() YIELD * RETURN label"), Findings{});
  EXPECT_EQ(extended("CALL db.labels() YIELD * WITH label AS l RETURN label"),
            Findings{unbound("label")});
  EXPECT_EQ(extended("CALL db.index.fulltext.queryNodes('x', nope) YIELD node RETURN node"),
            Findings{unbound("nope")});
}

// MERGE's actions are checked as SET is, in the order they are written,
// which the tree does not keep (it holds ON MATCH and ON CREATE apart).
TEST(ExtendedChecks, MergeActionsAreCheckedLikeSet) {
  EXPECT_EQ(extended("MERGE (p:Person {name: $n}) ON CREATE SET p.age = 1 ON MATCH SET p.nme = $n"),
            Findings{kUnknownNme});
  EXPECT_EQ(extended("MERGE (p:Person {name: $n}) ON MATCH SET p.nme = 1 ON CREATE SET p:Movei, "
                     "p.age = q ON MATCH SET p.age = p.nme"),
            (Findings{kUnknownNme, "Unknown node label in SET: :Movei, did you mean :Movie?",
                      unbound("q"), kUnknownNme}));
  EXPECT_EQ(extended("MERGE (p:Person {name: $n}) ON CREATE SET p.age = 1, p += $props, p = $all "
                     "ON MATCH SET p:Person RETURN p"),
            Findings{});
  // The subset leaves them unchecked.
  EXPECT_EQ(testing::findings("MERGE (p:Person {name: $n}) ON MATCH SET p.nme = 1"), Findings{});
}

// A dynamic label or type is named when the query runs: no finding about
// the schema, but its expression is checked like any other, and MERGE and
// CREATE take `$(type)` as their one type.
TEST(ExtendedChecks, DynamicLabelsCheckTheirExpressionOnly) {
  for (const char* q : {
           "MATCH (n:$($label)) RETURN n.anything",
           "MATCH (p:Person:$any($labels))-[r:$($type)]->(m) RETURN p.name",
           "UNWIND $rows AS row MATCH (a:Person {name: row.a}), (b:Movie {title: row.b}) "
           "MERGE (a)-[:$(row.type)]->(b)",
           "UNWIND $rows AS row CREATE (n:$(row.labels) {name: row.name}) RETURN n",
           "MATCH (n) WHERE n:$($label) SET n:$('Seen') REMOVE n:$($old) RETURN n",
       }) {
    EXPECT_EQ(extended(q), Findings{}) << q;
  }
  EXPECT_EQ(extended("MATCH (n:$(lbl)) RETURN n"), Findings{unbound("lbl")});
  EXPECT_EQ(extended("MATCH ()-[r:$any(types)]->() RETURN r"), Findings{unbound("types")});
  EXPECT_EQ(extended("MATCH (n) WHERE n:$(toUpperr($l)) RETURN n"),
            Findings{"Unknown function 'toUpperr', did you mean 'toUpper'?"});
  EXPECT_EQ(extended("MATCH (n) SET n:Movei:$(x) REMOVE n:$(y)"),
            (Findings{"Unknown node label in SET: :Movei, did you mean :Movie?", unbound("x"),
                      unbound("y")}));
  EXPECT_EQ(extended("MATCH (a:Person), (b:Movie) MERGE (a)-[:$any($t)]->(b)"),
            Findings{"A relationship MERGE makes needs exactly one type and a fixed length, but "
                     "this one has several types; give it exactly one, such as :TYPE"});
}

// UNWIND, LOAD CSV, YIELD, a CALL { }'s columns and REPORT STATUS declare
// new variables: a name bound before them is refused, in the extended
// language only, and a new scope (WITH, UNION) frees the name again.
TEST(ExtendedChecks, DeclaringABoundNameAgain) {
  const auto again = [](const char* name, const char* clause) {
    return "Variable '" + std::string(name) + "' is already bound, so " + clause +
           " cannot declare it again; use a new name";
  };
  EXPECT_EQ(extended("UNWIND [1] AS x UNWIND [2] AS x RETURN x"), Findings{again("x", "UNWIND")});
  EXPECT_EQ(extended("MATCH (label) CALL db.labels() YIELD label RETURN label"),
            Findings{again("label", "YIELD")});
  EXPECT_EQ(extended("MATCH (p:Person) CALL { MATCH (p:Person) RETURN p } RETURN p"),
            Findings{again("p", "CALL { }")});
  EXPECT_EQ(extended("MATCH (p:Person) WHERE EXISTS { UNWIND [1] AS p RETURN p } RETURN p"),
            Findings{again("p", "UNWIND")});
  // A column named twice is the RETURN's mistake alone.
  EXPECT_EQ(extended("CALL { RETURN 1 AS a, 2 AS a } RETURN a"),
            Findings{"Column name 'a' appears twice in this RETURN; give one of them another name "
                     "with AS"});
  for (const char* q : {
           "UNWIND [1] AS x WITH x AS y UNWIND [2] AS x RETURN x, y",
           "UNWIND [1] AS x RETURN x UNION UNWIND [2] AS x RETURN x",
           "UNWIND [0, 1] AS x CALL { WITH x RETURN x * 2 AS y } RETURN x, y",
           "MATCH (p:Person) CALL { MATCH (m:Movie) RETURN m } RETURN p, m",
           "MATCH (p:Person) WITH * UNWIND [1] AS x RETURN p, x",
       }) {
    EXPECT_EQ(extended(q), Findings{}) << q;
  }
  EXPECT_EQ(testing::findings("UNWIND [1] AS x UNWIND [2] AS x RETURN x"), Findings{});
}

// REPORT STATUS AS s binds s after the subquery; the number of concurrent
// transactions is an expression like the rows.
TEST(ExtendedChecks, TransactionStatusIsBoundAndConcurrencyChecked) {
  EXPECT_EQ(
      extended("UNWIND $rows AS row CALL (row) { CREATE (:Person {name: row}) } IN "
               "CONCURRENT TRANSACTIONS REPORT STATUS AS s RETURN s.committed, s.errorMessage"),
      Findings{});
  EXPECT_EQ(extended("UNWIND $rows AS row CALL (row) { CREATE (:Person {name: row}) } IN q "
                     "CONCURRENT TRANSACTIONS OF z ROWS RETURN row"),
            (Findings{unbound("q"), unbound("z")}));
  // Not inside the subquery it reports on.
  EXPECT_EQ(extended("UNWIND $rows AS row CALL (row) { CREATE (:Person {name: s}) } IN "
                     "TRANSACTIONS REPORT STATUS AS s RETURN s"),
            Findings{unbound("s")});
}

// A pattern's property map holds expressions like any other: unbound
// variables, keys and calls in them are found, once; a variable the same
// pattern binds may be read there.
TEST(ExtendedChecks, PropertyMapValuesAreExpressions) {
  EXPECT_EQ(extended("MATCH (p:Person {name: q}) RETURN p"), Findings{unbound("q")});
  EXPECT_EQ(extended("MATCH (x:Person) WITH x MATCH (p:Person)-[:ACTED_IN {role: x.nme}]->(m) "
                     "RETURN p"),
            (Findings{"Unknown property 'nme' on variable 'x' with label :Person, did you mean "
                      "'name'?"}));
  EXPECT_EQ(extended("CREATE (:Person {name: toUpperr('x')})"),
            Findings{"Unknown function 'toUpperr', did you mean 'toUpper'?"});
  EXPECT_EQ(extended("MATCH (a:Person), (b:Person {name: a.name}) RETURN b"), Findings{});
  EXPECT_EQ(extended("CREATE (a:Person {name: 'x'})-[:ACTED_IN {role: a.name}]->(:Movie "
                     "{title: a.name})"),
            Findings{});
  EXPECT_EQ(extended("MATCH (p:Person) WHERE (p)-[:ACTED_IN]->(:Movie {title: p.nme}) RETURN p"),
            Findings{kUnknownNme});
  // A row read without headers is a list, which has no keys.
  EXPECT_EQ(extended("LOAD CSV FROM 'file:///p.csv' AS row CREATE (:Person {name: row.name})"),
            Findings{"In row.name, row is a LIST<STRING>, but only a node, a relationship, a map "
                     "or a temporal or spatial value has properties"});
  // The subset leaves them alone.
  EXPECT_EQ(testing::findings("MATCH (p:Person {name: q}) RETURN p"), Findings{});
}

TEST(ExtendedChecks, SubsetFindingsAreUnchanged) {
  // The subset leaves EXISTS subqueries unchecked; the extended language
  // does not, and otherwise reports the same.
  const std::string query = "MATCH (p:Persn) WHERE EXISTS { (p)-->(:Movei) } RETURN p.name";
  EXPECT_EQ(testing::findings(query),
            Findings{"Unknown node label: :Persn, did you mean :Person?"});
  EXPECT_EQ(extended(query),
            (Findings{"Unknown node label: :Persn, did you mean :Person?", kUnknownMovei}));
}

}  // namespace
}  // namespace quorvane
