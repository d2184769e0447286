// The rules of the extended language about the columns a projection makes,
// the values of SKIP and LIMIT, the size of integer literals and aggregates
// in ORDER BY: each finding with its exact message, the nearby forms that
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

std::string repeated(std::string_view name, std::string_view clause) {
  return "Column name '" + std::string(name) + "' appears twice in this " + std::string(clause) +
         "; give one of them another name with AS";
}

std::string too_large(std::string_view literal) {
  return "Integer literal " + std::string(literal) + " is too large for a 64-bit integer";
}

// ---- Column names ----

TEST(ColumnNameRule, NamesThatRepeat) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n, n"), ElementsAre(repeated("n", "RETURN")));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n.name AS x, n.age AS x, n AS x"),
              ElementsAre(repeated("x", "RETURN")));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n AS `m`, n.age AS m, n.name, n.name"),
              ElementsAre(repeated("m", "RETURN"), repeated("n.name", "RETURN")));
  EXPECT_THAT(extended("MATCH (n:Person) WITH n.name AS n, n RETURN n"),
              ElementsAre(repeated("n", "WITH")));
  EXPECT_THAT(extended("MATCH (n:Person) CALL { WITH n RETURN n.age AS a, n.name AS a } "
                       "RETURN a"),
              ElementsAre(repeated("a", "RETURN")));
}

TEST(ColumnNameRule, DistinctNamesAndUnnamedWithItems) {
  expect_clean({
      "MATCH (n:Person) RETURN n.name, n.age, n",
      "MATCH (n:Person) RETURN n.name AS name, n.name",
      "MATCH (n:Person) RETURN n.name, n.name + 1, count(*)",
      "MATCH (n:Person) RETURN *",
      "MATCH (n:Person) WITH * RETURN n",
      "MATCH (n:Person) WITH n RETURN n",
      "MATCH (n:Person) WITH n.name AS name, n RETURN name, n",
      "RETURN 1, 2, '1'",
      // A literal's column is named as it was written, which the tree does
      // not keep: 0 and 00 make two columns.
      "MATCH (n:Person) RETURN 0, 00, 'a', \"a\", n.age + 1, n.age + 01",
      "RETURN 1 AS a UNION RETURN 2 AS a",
  });
  // An unnamed WITH item is reported as needing a name, not again as a
  // repeated column.
  EXPECT_THAT(extended("MATCH (n:Person) WITH n.name, n.name RETURN 1"),
              ElementsAre("WITH item n.name needs an alias: write n.name AS name",
                          "WITH item n.name needs an alias: write n.name AS name"));
}

// ---- SKIP and LIMIT ----

TEST(RowCountRule, LiteralsThatAreNotCounts) {
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n LIMIT -1"),
              ElementsAre("LIMIT must be a non-negative integer, but is -1"));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n SKIP 1.5"),
              ElementsAre("SKIP must be a non-negative integer, but is 1.5"));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n SKIP true LIMIT '10'"),
              ElementsAre("SKIP must be a non-negative integer, but is true",
                          "LIMIT must be a non-negative integer, but is '10'"));
  EXPECT_THAT(extended("MATCH (n:Person) WITH n SKIP -2 LIMIT 2.0 RETURN n"),
              ElementsAre("SKIP must be a non-negative integer, but is -2",
                          "LIMIT must be a non-negative integer, but is 2.0"));
  EXPECT_THAT(extended("MATCH (n:Person) WITH * LIMIT [1] RETURN n LIMIT -0.5"),
              ElementsAre("LIMIT must be a non-negative integer, but is [1]",
                          "LIMIT must be a non-negative integer, but is -0.5"));
}

TEST(RowCountRule, CountsAndValuesTheTextDoesNotGive) {
  expect_clean({
      "MATCH (n:Person) RETURN n LIMIT 0",
      "MATCH (n:Person) RETURN n SKIP 0 LIMIT 10",
      "MATCH (n:Person) RETURN n SKIP $skip LIMIT $limit",
      "MATCH (n:Person) RETURN n LIMIT -0",
      "MATCH (n:Person) RETURN n LIMIT 1 + 1",
      "MATCH (n:Person) RETURN n SKIP -$n LIMIT toInteger('3')",
      "MATCH (n:Person) RETURN n LIMIT 0x10",
      "MATCH (n:Person) RETURN n LIMIT null",
      "MATCH (n:Person) WITH n LIMIT 9223372036854775807 RETURN n",
  });
  // A literal too large to read is reported as such, not as a negative count.
  EXPECT_THAT(extended("MATCH (n:Person) RETURN n LIMIT 9223372036854775808"),
              ElementsAre(too_large("9223372036854775808")));
}

// ---- Integer literals ----

TEST(IntegerSizeRule, LiteralsBeyond64Bits) {
  EXPECT_THAT(extended("RETURN 9223372036854775808"),
              ElementsAre(too_large("9223372036854775808")));
  EXPECT_THAT(extended("RETURN -9223372036854775809, 1 - 9223372036854775808"),
              ElementsAre(too_large("9223372036854775809"), too_large("9223372036854775808")));
  EXPECT_THAT(extended("RETURN 0x8000000000000000, 0xFFFFFFFFFFFFFFFFF, 0o1000000000000000000000"),
              ElementsAre(too_large("0x8000000000000000"), too_large("0xFFFFFFFFFFFFFFFFF"),
                          too_large("0o1000000000000000000000")));
  EXPECT_THAT(extended("MATCH (n:Person) WHERE n.age IN [x IN [1] | x + 18446744073709551616] "
                       "SET n.age = 99999999999999999999"),
              ElementsAre(too_large("18446744073709551616"), too_large("99999999999999999999")));
}

TEST(IntegerSizeRule, LiteralsThatFit) {
  expect_clean({
      "RETURN 9223372036854775807, -9223372036854775808, 0 AS a, 00 AS b, 0x0 AS c",
      "RETURN 0x7FFFFFFFFFFFFFFF, -0x8000000000000000",
      "RETURN 0o777777777777777777777, -0o1000000000000000000000",
      "RETURN 9223372036854775808.0, 1e30",
      "RETURN -9223372036854775808 + 1",
  });
}

// ---- Aggregates in ORDER BY ----

TEST(OrderByAggregateRule, AggregatesThatAreNotProjected) {
  EXPECT_THAT(extended("MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, collect(m.title) AS t "
                       "ORDER BY count(m)"),
              ElementsAre("ORDER BY count(m) aggregates, but count(m) is not one of the RETURN "
                          "items; add count(m) to the RETURN items with an alias and order by "
                          "the alias"));
  EXPECT_THAT(extended("MATCH (g:Person)-[:ACTED_IN]->(m) RETURN g.name, count(m) AS c "
                       "ORDER BY max(m.title)"),
              ElementsAre("ORDER BY max(m.title) aggregates, but max(m.title) is not one of the "
                          "RETURN items; add max(m.title) to the RETURN items with an alias and "
                          "order by the alias"));
  EXPECT_THAT(extended("MATCH (p:Person)-[:ACTED_IN]->(m) WITH p, collect(m) AS ms "
                       "ORDER BY size(ms) + count(m) DESC RETURN p"),
              ElementsAre("ORDER BY count(m) aggregates, but count(m) is not one of the WITH "
                          "items; add count(m) to the WITH items with an alias and order by the "
                          "alias"));
  // Inside a larger item is not an item of its own.
  EXPECT_THAT(extended("MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, count(m) + 1 AS c "
                       "ORDER BY count(m)"),
              ElementsAre("ORDER BY count(m) aggregates, but count(m) is not one of the RETURN "
                          "items; add count(m) to the RETURN items with an alias and order by "
                          "the alias"));
  // Without any aggregate among the items the ORDER BY may aggregate.
  EXPECT_THAT(extended("MATCH (p:Person) RETURN p.name ORDER BY count(p)"), IsEmpty());
}

TEST(OrderByAggregateRule, ProjectedAggregatesAndAliases) {
  expect_clean({
      "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, count(m) AS c ORDER BY count(m)",
      "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, count(m) AS c ORDER BY c DESC",
      "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, count(m) ORDER BY COUNT(m)",
      "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name AS name, count(m.title) AS cnt "
      "ORDER BY name, name + count(m.title)",
      "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, count(m) + 1 AS c ORDER BY count(m) + 1",
      "MATCH (p:Person) RETURN count(*) ORDER BY count(*)",
      "MATCH (p:Person)-[:ACTED_IN]->(m) WITH p, count(m) AS c ORDER BY count(m) RETURN p, c",
      "MATCH (p:Person) RETURN count(*) AS c ORDER BY COUNT { (p)-->() }",
  });
}

// ---- The subset reports none of this ----

TEST(ProjectionValueRules, SubsetFindingsAreUnchanged) {
  for (std::string_view query : {
           "MATCH (n:Person) RETURN n, n",
           "MATCH (n:Person) RETURN n LIMIT -1",
           "MATCH (n:Person) RETURN n SKIP 1.5",
           "RETURN 9223372036854775808",
           "MATCH (p:Person)-[:ACTED_IN]->(m) RETURN p.name, collect(m.title) AS t "
           "ORDER BY count(m)",
       }) {
    EXPECT_THAT(testing::findings(query), IsEmpty()) << query;
    EXPECT_THAT(extended(query), ::testing::Not(IsEmpty())) << query;
  }
}

}  // namespace
}  // namespace quorvane
