// The parser against the matcher at corners the
// broad checks in direct_parser_test.cc do not reach: comments after a
// relationship's arrows, the tree-depth limit reached through nested
// pattern subqueries, and texts where keywords, names, numbers and arrows
// meet. Wherever the direct parser takes a text, the matcher must accept it
// and build exactly the same tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../../support/tree_text.h"
#include "direct_agreement.h"
#include "parser/direct/direct_parser.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using testing::expect_agrees;
using testing::kLanguages;
using testing::lines_of;
using testing::repeat;

// A comment after a relationship changes nothing: each text must give the
// tree of the same text without its comments, in both parsers. The comments
// hold the characters that make up arrows.
TEST(DirectCorners, CommentsAfterRelationshipsKeepTheirDirection) {
  const std::pair<std::string_view, std::string_view> texts[] = {
      {"MATCH (a)-[r]- /* > */ (b) RETURN a", "MATCH (a)-[r]-(b) RETURN a"},
      {"MATCH (a)-[r]-/*>*/(b) RETURN a", "MATCH (a)-[r]-(b) RETURN a"},
      {"MATCH (a)-- // >\n(b) RETURN a", "MATCH (a)--(b) RETURN a"},
      {"MATCH (a)-[r]->/* - */(b) RETURN a", "MATCH (a)-[r]->(b) RETURN a"},
      {"MATCH (a)-->/* a-b */(b) RETURN a", "MATCH (a)-->(b) RETURN a"},
      {"MATCH (a)<-[r]- /* > */ (b) RETURN a", "MATCH (a)<-[r]-(b) RETURN a"},
      {"MATCH (a)-[r]- /* -> */ (b)-[s]->/* <- */(c) RETURN a",
       "MATCH (a)-[r]-(b)-[s]->(c) RETURN a"},
      {"CREATE (a)-[:R]-/* > */(b)", "CREATE (a)-[:R]-(b)"},
      {"MERGE (a)-[:R]->/* - */(b)", "MERGE (a)-[:R]->(b)"},
      {"MATCH (a) WHERE EXISTS { (a)-[:R]- /* > */ (b) } RETURN a",
       "MATCH (a) WHERE EXISTS { (a)-[:R]-(b) } RETURN a"},
  };
  for (const auto& [commented, plain] : texts) {
    for (Language language : kLanguages) {
      const Result<CypherQuery> with_comments = parse(commented, language);
      const Result<CypherQuery> without = parse(plain, language);
      ASSERT_TRUE(with_comments.ok()) << language_name(language) << ": " << commented;
      ASSERT_TRUE(without.ok()) << language_name(language) << ": " << plain;
      EXPECT_EQ(testing::tree_text(with_comments.value()), testing::tree_text(without.value()))
          << language_name(language) << ": " << commented;
      expect_agrees(commented, language);
    }
  }
}

// Label negations and CALL scopes were once read again from their text,
// comments included.
TEST(DirectCorners, CommentsInLabelNegationsAndScopesAreNotRead) {
  const std::pair<std::string_view, std::string_view> texts[] = {
      {"MATCH (n:! /* ! */ A) RETURN n", "MATCH (n:!A) RETURN n"},
      {"MATCH (n:!/*!!*/!A) RETURN n", "MATCH (n:!!A) RETURN n"},
      {"MATCH (n) WHERE n:! // !\nA RETURN n", "MATCH (n) WHERE n:!A RETURN n"},
      {"MATCH (a) CALL (a /* * */) { RETURN 1 AS x } RETURN x",
       "MATCH (a) CALL (a) { RETURN 1 AS x } RETURN x"},
      {"MATCH (a) CALL (/* a */ *) { RETURN 1 AS x } RETURN x",
       "MATCH (a) CALL (*) { RETURN 1 AS x } RETURN x"},
  };
  for (const auto& [commented, plain] : texts) {
    const Result<CypherQuery> with_comments = parse(commented, Language::Extended);
    const Result<CypherQuery> without = parse(plain, Language::Extended);
    ASSERT_TRUE(with_comments.ok()) << commented;
    ASSERT_TRUE(without.ok()) << plain;
    EXPECT_EQ(testing::tree_text(with_comments.value()), testing::tree_text(without.value()))
        << commented;
  }
}

// `MATCH (a {k: EXISTS { (a {k: ... NOT NOT ... true}) }})`: the first
// EXISTS sits at tree depth 2 and each level adds two (its pattern, then the
// property map), so with 199 levels the NOT chain starts at depth 400 and its
// operand lands on the tree-depth limit (1000) after 600 NOTs, one past it
// after 601. The same holds for a WHERE inside each EXISTS (extended).
TEST(DirectCorners, NestedPatternSubqueriesStraddleTheTreeDepthLimit) {
  // 199 pattern subqueries in each other, within the nesting limit, with a
  // chain of NOTs innermost: the tree's depth counts across them all.
  constexpr int kLevels = 199;
  for (int nots : {600, 900}) {
    const std::string inner = repeat("NOT ", nots) + "true";
    std::string by_map = inner;
    std::string by_where = inner;
    for (int i = 0; i < kLevels; ++i) {
      by_map = "EXISTS { (a {k: " + by_map + "}) }";
      by_where = "EXISTS { (a) WHERE " + by_where + " }";
    }
    by_map = "MATCH (a {k: " + by_map + "}) RETURN a";
    by_where = "MATCH (a {k: " + by_where + "}) RETURN a";
    std::vector<std::pair<std::string, Language>> cases = {{by_where, Language::Extended}};
    for (Language language : kLanguages) cases.emplace_back(by_map, language);
    for (const auto& [text, language] : cases) {
      ASSERT_TRUE(check_with_matcher(text, language).ok()) << language_name(language);
      const Result<CypherQuery> parsed = parse(text, language);
      EXPECT_EQ(parsed.ok(), nots == 600) << language_name(language) << ", " << nots << " NOTs";
      if (!parsed.ok()) {
        EXPECT_EQ(parsed.error().summary, "query nested too deeply (tree depth limit 1000)");
      }
    }
  }
}

// Valid in both languages: CASE operands that begin like its keywords,
// function and quantifier names next to calls, DISTINCT and AS written
// against the next word, slice bounds with property lookups, numbers before
// dots, YIELD fields, sort keys next to clauses, range bounds with comments
// and leading zeros, arrows split by spaces.
constexpr std::string_view kValid = R"(RETURN CASE `when` WHEN 1 THEN 2 END
RETURN CASE $when WHEN 1 THEN 2 END
RETURN CASE n.when WHEN 1 THEN 2 END
RETURN CASE endx WHEN 1 THEN 2 END
RETURN CASE /* WHEN */ x WHEN 1 THEN 2 END
RETURN CASE whenx WHEN 1 THEN 2 END
RETURN CASE elsewhere WHEN 1 THEN 2 END
RETURN case(1)
RETURN all(1)
RETURN nonex(x IN [1])
RETURN n.match(1)
RETURN a.b.c.d /* x */ (1)
RETURN f(distinct)
RETURN f(distinct_x)
RETURN l[n.x..n.y]
RETURN 1 .x
RETURN 1.5.x
RETURN [x IN y IN z WHERE x | x]
CALL db.labels() YIELD count
CALL db.labels() YIELD order AS o RETURN o
MATCH (n) WITH n ORDER BY n.x DESC DETACH DELETE n
MATCH (n) RETURN n ORDER BY n.x /* DESC */
RETURN 1 AS order ORDER BY order SKIP 1
MATCH (n)-[*00..007]->(m) RETURN m
MATCH (n)-[*1 /* 5 */]->(m) RETURN m
MATCH (n)-[* /* 5 */]->(m) RETURN m
MATCH (n)-[*1..2 /* 5 */ {a: 1}]->(m) RETURN m
MATCH (n)-[*0o7]->(m) RETURN m
MATCH (n)< -[r]- >(m) RETURN m
MATCH (n)< --(m), (n)-- >(m) RETURN m
RETURN (1)--(2))";
const std::vector<std::string> kValidWithBreaks = {"MATCH (n)-[*\t1\t..\t2\t]->(m) RETURN m",
                                                   "MATCH (n)-[*\n1\n..\n2\n]->(m) RETURN m",
                                                   "RETURN 1 UNION\n// ALL\nRETURN 1"};

// Valid in the extended language: names the subset reserves, label checks
// on atoms of every kind, `||` and `|` after a list element, parentheses
// that cannot open a pattern, subqueries with WHERE.
constexpr std::string_view kValidExtended = R"(MATCH (n) RETURN n ORDER BY desc DESC, asc ASC, by
WITH 1 AS limit RETURN limit LIMIT 1
CALL db.labels() YIELD any AS x RETURN x
MATCH (n) WHERE n:IS RETURN n
MATCH (n) WHERE f(n):A AND [1]:A AND (1):A AND n.x:A RETURN n
MATCH (n) RETURN n {.x}:A, n {x: n:A}
RETURN [x IN a || b]
RETURN [x IN n:A | x]
RETURN (f (1)), (n.x), (n - 1), (null = x), (`a` + 1)
MATCH (n) RETURN COUNT { (n)WHERE n.x }, EXISTS { (n) WHERE n:A }
RETURN REDUCE (a = 0, x IN [1] | a + x))";
const std::vector<std::string> kValidExtendedWithBreaks = {"RETURN CASE WHEN\n(x) THEN 1 END"};

// Syntax errors in both languages.
constexpr std::string_view kInvalid = R"(RETURN n.count(*)
RETURN 1.x
MATCH (n)-[*1...2]->(m) RETURN m
MATCH (n)- -(m) RETURN m
MATCH (n)-/**/-(m) RETURN m
MATCH (n)-[r]-->(m) RETURN m
MATCH (n)<--[r]-(m) RETURN m
MATCH (n) SET n =~ 1
MATCH (n) SET n..x = 1
MATCH (n) REMOVE n.x:A
MERGE (a), (b)
MATCH (n) WHERE n:A(1) RETURN n
MATCH (n) RETURN n{.k:A}
MATCH (n) RETURN exists {.x})";

// Keywords written against the next word: the subset reads them as keywords
// all the same, the extended language (as current Cypher) does not.
constexpr std::string_view kValidSubsetOnly = R"(RETURN [x INlist]
CALL db.labels() YIELD a ASb RETURN b
MATCH (n) RETURNn
MATCH (n) RETURN n SKIPn.x
MATCH (n) RETURN n LIMIT10)";

// Either way, as the grammar has it; only agreement is checked.
constexpr std::string_view kEither = R"(RETURN l[1...2]
RETURN l[1.. .5]
RETURN count.x(1)
RETURN [x IN l WHERE x:A | x]
MATCH (n) RETURN n {k :A}
RETURN shortestPath((a)-->(b)))";

TEST(DirectCorners, AgreesOnKeywordNameAndArrowCorners) {
  std::vector<std::string> all;
  std::vector<std::string> valid = lines_of(kValid);
  valid.insert(valid.end(), kValidWithBreaks.begin(), kValidWithBreaks.end());
  for (const std::string& text : valid) {
    for (Language language : kLanguages) {
      EXPECT_TRUE(check_with_matcher(text, language).ok())
          << language_name(language) << ": " << text;
    }
  }
  all.insert(all.end(), valid.begin(), valid.end());
  std::vector<std::string> extended = lines_of(kValidExtended);
  extended.insert(extended.end(), kValidExtendedWithBreaks.begin(), kValidExtendedWithBreaks.end());
  for (const std::string& text : extended) {
    EXPECT_TRUE(check_with_matcher(text, Language::Extended).ok()) << text;
    all.push_back(text);
  }
  for (const std::string& text : lines_of(kInvalid)) {
    for (Language language : kLanguages) {
      EXPECT_FALSE(check_with_matcher(text, language).ok())
          << language_name(language) << ": " << text;
    }
    all.push_back(text);
  }
  for (const std::string& text : lines_of(kValidSubsetOnly)) {
    EXPECT_TRUE(check_with_matcher(text, Language::Subset).ok()) << text;
    EXPECT_FALSE(check_with_matcher(text, Language::Extended).ok()) << text;
    all.push_back(text);
  }
  for (const std::string& text : lines_of(kEither)) all.push_back(text);
  int taken = 0;
  for (const std::string& text : all) {
    for (Language language : kLanguages) taken += expect_agrees(text, language);
  }
  ::testing::Test::RecordProperty("taken", taken);
}

}  // namespace
}  // namespace quorvane

namespace quorvane {
namespace {

using testing::expect_agrees;
using testing::repeat;

// Constructs whose first reading fails and which are read again as
// something else, nested in each other: each is read again once, not once
// per enclosing level, so deep nests are still taken directly.
TEST(DirectCorners, ConstructsReadAgainNestWithoutDeclining) {
  struct Case {
    std::string text;
    std::vector<Language> languages;
  };
  const std::vector<Language> both(std::begin(testing::kLanguages), std::end(testing::kLanguages));
  const std::vector<Case> cases = {
      {"RETURN case(case(case(case(1))))", both},
      {"RETURN " + repeat("case(", 20) + "1" + repeat(")", 20), both},
      {"RETURN " + repeat("case(-(1 AND ", 12) + "1" + repeat("))", 12), both},
      {"RETURN " + repeat("all(x IN ", 20) + "l" + repeat(", 1)", 20), both},
      {"RETURN " + repeat("[", 20) + "x IN l" + repeat(" IN m]", 20), both},
      {"RETURN " + repeat("reduce(a = ", 20) + "l" + repeat(")", 20), {Language::Extended}},
      {"RETURN reduce(a = case(x))", {Language::Extended}},
      {"RETURN " + repeat("({a: ", 20) + "1" + repeat("})", 20), {Language::Extended}},
      // A first element that fails: NOT read as a call, then a list that is
      // no relationship.
      {"RETURN [x IN NOT (a)-[*2..3]-(b) | x]", {Language::Extended}},
      // A path that fails in shortestPath is a call's argument.
      {"RETURN shortestPath((a) - (count(DISTINCT x)))", {Language::Extended}},
      // A node whose property map fails is a map projection.
      {"MATCH (a)-->(b) WHERE (a)--(b {p: x, y}) RETURN a", {Language::Extended}},
      // A relationship whose inside fails is given back: a minus and a list.
      {"RETURN (a)-[*2..3]-(b) - [n {.a, b: true}, 's']", {Language::Extended}},
  };
  for (const Case& c : cases) {
    for (Language language : c.languages) {
      const Result<std::monostate> exact = check_with_matcher(c.text, language);
      if (exact.ok()) {
        EXPECT_TRUE(expect_agrees(c.text, language))
            << "declined (" << language_name(language) << "): " << c.text;
        continue;
      }
      // Deep nests of these run out of the matcher's backtracking budget,
      // which the parser does not share.
      EXPECT_NE(exact.error().message.find("backtracking limit"), std::string::npos)
          << exact.error().message;
      RegularQuery direct;
      EXPECT_TRUE(parse_directly(c.text, language, direct)) << c.text;
    }
  }
}

}  // namespace
}  // namespace quorvane
