// The projection rules look at each item once: which items aggregate, which
// unnamed items may share a column name, which ORDER BY expressions are
// items. These cases pin what that sharing must not change: items that
// differ only in a variable or a key deep in a chain of properties, items
// past the first sixteen, and aggregates that only an ORDER BY holds.
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

std::string repeated(std::string_view name) {
  return "Column name '" + std::string(name) +
         "' appears twice in this RETURN; give one of them another name with AS";
}

// "n.name, n.name, ..." : `count` items that each read a property of `n`.
std::string many_items(size_t count) {
  std::string items;
  for (size_t i = 0; i < count; ++i) {
    items += (i == 0 ? "" : ", ") + std::string(i % 2 == 0 ? "n.name" : "n.age") + " AS c" +
             std::to_string(i);
  }
  return items;
}

TEST(ProjectionItemsTest, UnnamedItemsRepeatOnlyWhenWrittenAlike) {
  EXPECT_THAT(extended("MATCH (a:Person), (b:Person) RETURN a.name, b.name"), IsEmpty());
  EXPECT_THAT(extended("MATCH (a:Person) RETURN a.name, a.age"), IsEmpty());
  EXPECT_THAT(extended("MATCH (a:Person), (b:Person) RETURN a.name, b.name, a.name"),
              ElementsAre(repeated("a.name")));
  // The same key on another target, then on the same one.
  EXPECT_THAT(extended("MATCH (a:Person) RETURN {k: a}.k.name, {k: a}.k.name, {j: a}.k.name"),
              ElementsAre(repeated("{k: a}.k.name")));
  EXPECT_THAT(extended("MATCH (a:Person) RETURN a.name + a.age, a.age + a.name, a.name + a.age"),
              ElementsAre(repeated("a.name + a.age")));
  // Backticks are part of the text; the name they quote is what counts.
  EXPECT_THAT(extended("MATCH (a:Person) RETURN a.`name`, a.name"),
              ElementsAre(repeated("a.name")));
}

TEST(ProjectionItemsTest, ItemsPastTheSixteenthAreJudgedLikeTheFirst) {
  const std::string items = many_items(17);
  EXPECT_THAT(extended("MATCH (n:Person) RETURN " + items + ", count(*) AS total ORDER BY total"),
              IsEmpty());
  EXPECT_THAT(
      extended("MATCH (n:Person) RETURN " + items + ", count(*) AS total ORDER BY max(n.age)"),
      ElementsAre("ORDER BY max(n.age) aggregates, but max(n.age) is not one of the "
                  "RETURN items; add max(n.age) to the RETURN items with an alias and "
                  "order by the alias"));
  EXPECT_THAT(extended("MATCH (n:Person) RETURN " + items + ", max(n.age) ORDER BY MAX(n.age)"),
              IsEmpty());
  EXPECT_THAT(extended("MATCH (n:Person) RETURN " + items + ", n.age + count(*) AS x"), IsEmpty());
  EXPECT_THAT(
      extended("MATCH (n:Person)-[r:ACTED_IN]->(m) RETURN " + items + ", r.role + count(*) AS x"),
      ElementsAre("RETURN item r.role + count(*) mixes an aggregate with r.role, which "
                  "is not a grouping key; make it an item of its own or aggregate it"));
  EXPECT_THAT(extended("MATCH (n:Person)-[r:ACTED_IN]->(m) RETURN " + items +
                       ", count(*) AS total ORDER BY m.title"),
              ElementsAre("Variable 'm' is not available in ORDER BY after a RETURN that "
                          "aggregates; only the returned items (" +
                          std::string("c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, c10, c11, c12, ") +
                          "c13, c14, c15, c16, total) can be used"));
}

// Past the few items searched in place, names are hashed: the same
// findings, each name once, in the order the repeats are met.
TEST(ProjectionItemsTest, RepeatedNamesAmongManyItems) {
  for (size_t count : {8, 31, 32, 200}) {
    SCOPED_TRACE(count);
    const std::string items = many_items(count);
    EXPECT_THAT(extended("MATCH (n:Person) RETURN " + items), IsEmpty());
    EXPECT_THAT(
        extended("MATCH (n:Person) RETURN " + items + ", n.age AS c1, n AS c0, n.name AS c1"),
        ElementsAre(repeated("c1"), repeated("c0")));
    EXPECT_THAT(extended("MATCH (n:Person) RETURN n, " + items + ", n.name AS n"),
                ElementsAre(repeated("n")));
  }
}

TEST(ProjectionItemsTest, OrderByExpressionsThatAreItems) {
  // After DISTINCT, an ORDER BY expression written as an item reads no
  // dropped variable; one that differs in a key or a variable does.
  EXPECT_THAT(extended("MATCH (g:Person)-[:ACTED_IN]->(m:Movie) RETURN DISTINCT g.name, m.title "
                       "ORDER BY m.title, g.name"),
              IsEmpty());
  EXPECT_THAT(extended("MATCH (g:Person)-[:ACTED_IN]->(m:Movie) RETURN DISTINCT g.name "
                       "ORDER BY g.age"),
              ElementsAre("Variable 'g' is not available in ORDER BY after a RETURN DISTINCT; "
                          "only the returned items (g.name) can be used"));
  EXPECT_THAT(extended("MATCH (g:Person), (h:Person) RETURN DISTINCT g.name ORDER BY h.name"),
              ElementsAre("Variable 'h' is not available in ORDER BY after a RETURN DISTINCT; "
                          "only the returned items (g.name) can be used"));
}

}  // namespace
}  // namespace quorvane
