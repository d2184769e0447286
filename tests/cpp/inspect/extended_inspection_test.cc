// Inspection in the extended language lists every name, wherever it stands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inspect/query_info.h"

namespace quorvane {
namespace {

using Names = std::vector<std::string>;

QueryInfo inspect(std::string_view query) {
  QueryInfo info = inspect_query(query, Language::Extended);
  EXPECT_TRUE(info.is_valid) << query << "\n" << (info.errors.empty() ? "" : info.errors[0]);
  return info;
}

TEST(ExtendedInspection, NamesInsideEveryConstruct) {
  struct Case {
    const char* query;
    Names labels;
    Names types;
    Names properties;
  };
  const std::vector<Case> cases = {
      {"MATCH (a) WHERE EXISTS { (a)-[:R]->(b:B) WHERE b.x = 1 } RETURN a", {"B"}, {"R"}, {"x"}},
      {"MATCH (a) RETURN COUNT { MATCH (a)-[:R]->(b:B {y: 1}) RETURN b.z } AS n",
       {"B"},
       {"R"},
       {"y", "z"}},
      {"MATCH (a) RETURN COLLECT { MATCH (a:A) RETURN a.v } AS vs", {"A"}, {}, {"v"}},
      {"MATCH (a) WHERE NOT (a)-[:R|S]->(:B) RETURN a", {"B"}, {"R", "S"}, {}},
      {"MATCH (a) RETURN [(a)-[:R]->(b:B) WHERE b.p > 1 | b.q] AS x", {"B"}, {"R"}, {"p", "q"}},
      {"MATCH p = shortestPath((a:A)-[:R*]-(b:B)) RETURN p", {"A", "B"}, {"R"}, {}},
      {"MATCH (x) ((a:A)-[:R]->(b) WHERE a.k < b.k){1,3} (y:C) RETURN x", {"A", "C"}, {"R"}, {"k"}},
      {"MATCH (n:A|B&!C) WHERE n:D OR n IS E RETURN n", {"A", "B", "C", "D", "E"}, {}, {}},
      {"MATCH ()-[r:!R&S]->() RETURN r", {}, {"R", "S"}, {}},
      {"MATCH (n) RETURN n{.a, .*, b: n.c} AS m", {}, {}, {"a", "c"}},
      {"CALL { MATCH (n:A) RETURN n } WITH n ORDER BY n.o RETURN n", {"A"}, {}, {"o"}},
      {"MATCH (n) FOREACH (x IN n.list | SET n:T, n.p = x REMOVE n.q)", {"T"}, {}, {"list", "p", "q"}},
      {"LOAD CSV WITH HEADERS FROM 'f' AS row MERGE (n:N {id: row.id}) ON CREATE SET n.c = 1",
       {"N"},
       {},
       {"c", "id"}},
      {"UNWIND [1] AS x WITH x WHERE x.w > 0 RETURN reduce(s = 0, y IN x.l | s + y.v) AS t",
       {},
       {},
       {"l", "v", "w"}},
      {"MATCH (n:A WHERE n.age > 3)-[r:R WHERE r.since > 1]->() RETURN 1", {"A"}, {"R"},
       {"age", "since"}},
  };
  for (const Case& c : cases) {
    QueryInfo info = inspect(c.query);
    EXPECT_EQ(info.labels_used, c.labels) << c.query;
    EXPECT_EQ(info.rel_types_used, c.types) << c.query;
    EXPECT_EQ(info.properties_used, c.properties) << c.query;
  }
}

TEST(ExtendedInspection, TheSubsetKeepsItsNarrowerView) {
  // The subset looks only at patterns, MATCH WHERE and RETURN items.
  const char* query = "MATCH (n:A) WITH n ORDER BY n.o SET n:T RETURN n.p";
  QueryInfo subset = inspect_query(query);
  EXPECT_EQ(subset.labels_used, Names{"A"});
  EXPECT_EQ(subset.properties_used, Names{"p"});
  QueryInfo all = inspect(query);
  EXPECT_EQ(all.labels_used, (Names{"A", "T"}));
  EXPECT_EQ(all.properties_used, (Names{"o", "p"}));
}

TEST(ExtendedInspection, ParseFailuresAreReported) {
  QueryInfo info = inspect_query("MATCH (n:A|) RETURN n", Language::Extended);
  EXPECT_FALSE(info.is_valid);
  ASSERT_EQ(info.errors.size(), 1u);
  EXPECT_EQ(info.errors[0].rfind("Parse error: ", 0), 0u) << info.errors[0];
}

}  // namespace
}  // namespace quorvane
