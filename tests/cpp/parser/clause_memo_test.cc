// Remembering matched clauses and bracketed expressions must never change a
// match: same outcome, failure position, expected rules and limit note.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "golden_reader.h"
#include "parser/grammar.h"

namespace quorvane {
namespace {

void expect_same_match(const std::string& text, Language language = Language::Subset) {
  MatchResult fast = match_cypher(text, language, true);
  MatchResult plain = match_cypher(text, language, false);
  ASSERT_EQ(fast.ok, plain.ok) << text;
  if (fast.ok) return;
  EXPECT_EQ(fast.failure.position, plain.failure.position) << text;
  EXPECT_EQ(fast.failure.expected, plain.failure.expected) << text;
  EXPECT_EQ(fast.failure.limit_note, plain.failure.limit_note) << text;
}

TEST(ClauseMemo, GoldenQueriesAndAllTheirPrefixes) {
  auto cases = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_FALSE(cases.empty());
  for (Language language : {Language::Subset, Language::Extended}) {
    for (const auto& c : cases) {
      for (size_t n = 0; n <= c.query.size(); ++n) {
        expect_same_match(c.query.substr(0, n), language);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

// The snapshot's queries: generated, golden and edited ones, most of them
// valid and rich in operators.
TEST(ClauseMemo, SnapshotQueries) {
  std::ifstream in(QUORVANE_DATA_DIR "/subset_snapshot.jsonl");
  std::string line;
  int read = 0;
  while (std::getline(in, line)) {
    size_t pos = line.find('"', line.find(':'));
    ASSERT_NE(pos, std::string::npos) << line;
    const std::string query = testing::read_json_string(line, pos);
    expect_same_match(query);
    expect_same_match(query, Language::Extended);
    if (::testing::Test::HasFailure()) return;
    ++read;
  }
  EXPECT_GT(read, 3000);
}

TEST(ClauseMemo, ManyClausesAndUpdates) {
  expect_same_match(
      "MATCH (a) MATCH (b) UNWIND [1] AS x CREATE (c) SET c.x = 1 REMOVE c.y DELETE c");
  expect_same_match("MATCH (a) CREATE (b) MERGE (c) ON CREATE SET c.x = 1 RETURN a");
  expect_same_match("MATCH (a) CREATE (b) MATCH (c) RETURN a");
  expect_same_match(
      "MATCH (a) WITH a MATCH (b) SET b.x = 1 WITH b RETURN b UNION MATCH (c) RETURN c");
  expect_same_match("MATCH (a) WHERE a.x = 1 CREATE (b) SET b.");
  // A multi-part reading that fails late and a single-part reading that
  // replays its clauses: WITH after updates, a query ending in WITH, no
  // clause before the first WITH, comments and spaces where the rules skip.
  for (const char* query : {
           "CREATE (a) WITH a CREATE (b) RETURN b",
           "MATCH (a) WITH a",
           "WITH 1 AS x RETURN x",
           "WITH 1 AS x WITH x AS y UNWIND [y] AS z",
           "CREATE (a) /* c */ SET a.x = 1 // end\n",
           "MATCH (a)\n WITH a /* c */ MATCH (b) \n CREATE (c) \t",
           "RETURN 1 ",
           "CREATE (a) ",
           "MATCH (a) WITH a RETURN a UNION  MATCH (b) WITH b CREATE (c)",
           "MATCH (a) RETURN a RETURN b",
       }) {
    expect_same_match(query);
    expect_same_match(query, Language::Extended);
  }
}

// Subqueries nest whole queries (and their remembered clauses) inside
// clauses and expressions.
TEST(ClauseMemo, ExtendedQueriesAndAllTheirPrefixes) {
  const std::vector<std::string> queries = {
      "MATCH (a) CALL { WITH a MATCH (a)-->(b) CREATE (c) RETURN b } MATCH (d) CREATE (e) RETURN b",
      "MATCH (a) WHERE EXISTS { MATCH (a)-->(b) WITH b MATCH (c) RETURN c } CREATE (x) WITH x "
      "RETURN COUNT { MATCH (y) CREATE (z) } AS n",
      "UNWIND [1] AS r FOREACH (x IN [r] | CREATE (a) SET a.v = x) WITH r MATCH (n) RETURN n",
      "MATCH (a) OPTIONAL CALL (a) { MATCH (a)-->(b) RETURN b UNION MATCH (a)<--(b) RETURN b } "
      "RETURN COLLECT { MATCH (q) RETURN q } AS qs",
  };
  for (const std::string& query : queries) {
    for (size_t n = 0; n <= query.size(); ++n) {
      expect_same_match(query.substr(0, n), Language::Extended);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

// Bracketed atoms and subscripts are remembered with their failures too, and
// replayed at other nesting depths and inside `|`-blocked predicates. Every
// prefix ends the match somewhere inside the nesting, where the same failure
// is replayed at several levels.
TEST(ExpressionMemo, NestedBracketsAndAllTheirPrefixes) {
  auto nest = [](std::string inner, const std::string& open, const std::string& close, int levels) {
    for (int i = 0; i < levels; ++i) inner = open + inner + close;
    return inner;
  };
  const std::vector<std::string> subset = {
      "RETURN " + nest("x", "[x IN ", " WHERE x > 0 | x]", 5),
      "RETURN " + nest("x", "[x IN ", "]", 4) + ", " + nest("1", "[", ", 2]", 3),
      "WITH [1] AS x RETURN " + nest("1", "x[x[", "..2]..]", 3),
      "WITH [1] AS x RETURN " + nest("0", "x[", "]", 4) + " + " +
          nest("x", "[x IN ", " | x[0..]]", 3),
      "MATCH (n) WHERE " + nest("n.a", "any(x IN [", "] WHERE x IS NULL)", 3) + " RETURN n",
      "RETURN " + nest("1", "({a: [(", ")]})", 3) + " AS m",
      "RETURN [x IN [1] WHERE [y IN [x] WHERE (y = x)] | [x[0], x[1..2], {a: [x]}]] AS z",
  };
  const std::vector<std::string> extended = {
      "RETURN " + nest("1", "({a: ", "})", 5),
      "MATCH (n) RETURN " + nest("n", "[x IN [", "] WHERE x:A&B | x:C|D]", 3),
      "MATCH (n) RETURN [(n)-->(m {v: " + nest("1", "({a: ", "})", 3) + "}) WHERE m:A&B | m]",
      "RETURN " + nest("[1]", "COUNT { MATCH (a) WHERE a.x IN ", " RETURN a }", 2),
      "MATCH (n) RETURN " + nest("n", "[x IN [", "] WHERE x IS :: INTEGER | [(x)-->(y) | y]]", 2),
  };
  for (const std::string& query : subset) {
    for (size_t n = 0; n <= query.size(); ++n) {
      expect_same_match(query.substr(0, n));
      expect_same_match(query.substr(0, n), Language::Extended);
      if (::testing::Test::HasFailure()) return;
    }
    EXPECT_TRUE(match_cypher(query, Language::Subset).ok) << query;
  }
  for (const std::string& query : extended) {
    for (size_t n = 0; n <= query.size(); ++n) {
      expect_same_match(query.substr(0, n), Language::Extended);
      if (::testing::Test::HasFailure()) return;
    }
    EXPECT_TRUE(match_cypher(query, Language::Extended).ok) << query;
  }
}

}  // namespace
}  // namespace quorvane
