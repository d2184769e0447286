// The direct parser on the patterns and expressions of the extended
// language (label expressions, quantified paths, selectors, pattern
// predicates and comprehensions, reduce, type predicates, number forms) and
// on the subset's forms of them: it must take every text below, as the
// matcher does, and refuse the texts near them that the matcher rejects.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
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
using testing::repeat;

// The same text written differently: comments and line breaks for its
// spaces, and all in lower case (keywords, names and type words alike).
std::vector<std::string> variants(std::string_view text) {
  std::string commented;
  std::string lower;
  for (char c : text) {
    commented += c == ' ' ? std::string(" /* - */\n\t") : std::string(1, c);
    lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return {std::move(commented), std::move(lower)};
}

// Tokens that start, end or join the constructs under test.
constexpr std::string_view kEdgeTokens[] = {" ",        "(",       ")",       "[",
                                            "]",        "{",       "}",       ":",
                                            "::",       "|",       "||",      "&",
                                            "!",        "%",       "-",       "--",
                                            "->",       "<-",      "<",       ">",
                                            "=",        "+",       "*",       "{1,2}",
                                            "{,3}",     ".",       "..",      ",",
                                            "$p",       "0x1F",    "1e5",     ".5",
                                            "1.",       " IS ",    " NOT ",   " NULL ",
                                            "TYPED",    "WHERE",   " ANY ",   " ALL ",
                                            "SHORTEST", "2",       "reduce(", "shortestPath(",
                                            "INTEGER",  "LIST<",   "`x`",     "a",
                                            "A",        "/* c */", " IN ",    " AS ",
                                            "CASE",     " WHEN "};

// Each text with a few tokens inserted, removed or replaced: wherever the
// direct parser takes a mutant, it must agree with the matcher.
void expect_mutants_agree(std::string_view text, std::mt19937& random) {
  const int stop_at = testing::disagreements + 5;
  for (int round = 0; round < 12 && testing::disagreements < stop_at; ++round) {
    std::string mutant(text);
    for (int edits = 1 + static_cast<int>(random() % 3); edits > 0; --edits) {
      const size_t at = random() % (mutant.size() + 1);
      const std::string_view token = kEdgeTokens[random() % std::size(kEdgeTokens)];
      switch (random() % 3) {
        case 0:
          mutant.insert(at, token);
          break;
        case 1:
          mutant.erase(at, 1 + random() % 3);
          break;
        default:
          mutant.replace(at, 1 + random() % 2, token);
          break;
      }
    }
    for (Language language : testing::kLanguages) expect_agrees(mutant, language);
  }
}

// Where the matcher accepts `text`, the direct parser must take it and
// agree.
void expect_taken_where_valid(std::string_view text, Language language) {
  const bool valid = check_with_matcher(text, language).ok();
  const bool taken = expect_agrees(text, language);
  if (valid) {
    EXPECT_TRUE(taken) << "declined (" << language_name(language) << "): " << text;
  }
}

// Each text must be taken directly, and agree, in the extended language,
// written in any of its variants; the subset must agree wherever it takes
// one, and so must both on the text's mutants.
void expect_taken_extended(const std::vector<std::string_view>& texts) {
  std::mt19937 random(static_cast<uint32_t>(texts.size()));
  for (std::string_view text : texts) {
    expect_mutants_agree(text, random);
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << "declined: " << text;
    expect_agrees(text, Language::Subset);
    for (const std::string& variant : variants(text)) {
      expect_taken_where_valid(variant, Language::Extended);
      expect_agrees(variant, Language::Subset);
    }
  }
}

// Each text must be taken directly, and agree, in both languages and in
// its variants.
void expect_taken_in_both(const std::vector<std::string_view>& texts) {
  std::mt19937 random(static_cast<uint32_t>(texts.size()));
  for (std::string_view text : texts) {
    expect_mutants_agree(text, random);
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << "declined (extended): " << text;
    EXPECT_TRUE(expect_agrees(text, Language::Subset)) << "declined (subset): " << text;
    for (const std::string& variant : variants(text)) {
      for (Language language : testing::kLanguages) expect_taken_where_valid(variant, language);
    }
  }
}

// Texts the matcher rejects: the direct parser must decline them too.
void expect_declined(const std::vector<std::string_view>& texts, Language language) {
  for (std::string_view text : texts) {
    ASSERT_FALSE(check_with_matcher(text, language).ok()) << "accepted: " << text;
    RegularQuery out;
    EXPECT_FALSE(parse_directly(text, language, out)) << "taken: " << text;
  }
}

std::string tree_of(std::string_view text, bool spans = true) {
  RegularQuery out;
  if (!parse_directly(text, Language::Extended, out)) return "declined";
  return testing::tree_text(CypherQuery{std::move(out)}, spans);
}

TEST(DirectExtended, LabelExpressionsInNodesRelationshipsAndChecks) {
  expect_taken_extended({
      "MATCH (n:A|B) RETURN n",
      "MATCH (n:A&B) RETURN n",
      "MATCH (n:!A) RETURN n",
      "MATCH (n:%) RETURN n",
      "MATCH (n:!%) RETURN n",
      "MATCH (n:(A|B)&!C) RETURN n",
      "MATCH (n:A:B|C) RETURN n",
      "MATCH (n:A|:B) RETURN n",
      "MATCH (n:(A)) RETURN n",
      "MATCH (n:A:(B)) RETURN n",
      "MATCH (n IS A) RETURN n",
      "MATCH (n IS A|B) RETURN n",
      "MATCH (IS A) RETURN 1",
      "MATCH (n: ! /* x */ A & `B c` | /* y */ C) RETURN n",
      "MATCH (n:!!A) RETURN n",
      "MATCH (n:((A|B))) RETURN n",
      "MATCH (:A|B {x: 1} WHERE true) RETURN 1",
      "MATCH ()-[r:A|B]->() RETURN r",
      "MATCH ()-[r:A|:B]->() RETURN r",
      "MATCH ()-[r:A&B]->() RETURN r",
      "MATCH ()-[r:!A]->() RETURN r",
      "MATCH ()-[r:%]->() RETURN r",
      "MATCH ()-[r:(A|B)&C]->() RETURN r",
      "MATCH ()-[r:(A|B)]->() RETURN r",
      "MATCH ()-[r IS A]->() RETURN r",
      "MATCH ()-[IS A|B]->() RETURN 1",
      "MATCH ()-[r:!A*1..3]->() RETURN r",
      "MATCH (n) WHERE n:A RETURN n",
      "MATCH (n) WHERE n:A|B RETURN n",
      "MATCH (n) WHERE n:A:B RETURN n",
      "MATCH (n) WHERE n:A&!B OR n:% RETURN n",
      "MATCH (n) WHERE n:(A|B) AND NOT n:C RETURN n",
      "MATCH (n) WHERE n IS A RETURN n",
      "MATCH (n) WHERE n IS A|B&C RETURN n",
      "MATCH (n) WHERE n IS NULLABLE RETURN n",
      "MATCH (n) RETURN n:A || 'x' AS s",
      "MATCH (n) RETURN n:A % 2 AS s",
      "MATCH (n) RETURN -n:A AS s",
      "MATCH (n) RETURN [x IN [n] WHERE x:A | x.name] AS s",
      "MATCH (n) RETURN [x IN [n] WHERE (x:A|B) | x.name] AS s",
      "MATCH (n) RETURN [x IN [n] WHERE x:A|B] AS s",
      "MATCH (n) RETURN [x IN [n] | x:A|B] AS s",
      "MATCH (n) RETURN any(x IN [n] WHERE x:A|B) AS s",
      "MATCH (n) RETURN [x IN [n] WHERE x:A AND x:B|C] AS s",
      "match (n) where n:a|b return n",
  });
}

TEST(DirectExtended, QuantifiedPathsAndSelectors) {
  expect_taken_extended({
      "MATCH ((a)-[:R]->(b)){1,3} RETURN a",
      "MATCH ((a)-[:R]->(b))+ RETURN a",
      "MATCH ((a)-[:R]->(b))* RETURN a",
      "MATCH ((a)-[:R]->(b)){2} RETURN a",
      "MATCH ((a)-[:R]->(b)){,3} RETURN a",
      "MATCH ((a)-[:R]->(b)){2,} RETURN a",
      "MATCH ((a)-[:R]->(b)){ 1 , 3 } RETURN a",
      "MATCH ((a)-[:R]->(b) WHERE a.x < b.x){1,3} RETURN a",
      "MATCH (x) ((a)-[:R]->(b))+ (y) RETURN x",
      "MATCH (x)-->(z) ((a)-[:R]->(b))+ (y) RETURN x",
      "MATCH (x) ((a)-->(b))+ ((c)-->(d))+ (y) RETURN x",
      "MATCH (x) ((a)-->(b))+ RETURN x",
      "MATCH ((a)-->(b))+ (y)-->(z) RETURN y",
      "MATCH (x) ((a)-->(b)){1,2} -->(y) RETURN x",
      "MATCH (((a)-->(b)){2} (c)-->(d))+ RETURN a",
      "MATCH ((a))+ RETURN a",
      "MATCH p = ((a)-[:R]->(b))+ RETURN p",
      "MATCH (a)-[:R]->{2}(b) RETURN a",
      "MATCH (a)-[:R]->+(b) RETURN a",
      "MATCH (a)-->*(b) RETURN a",
      "MATCH (a)<--{1,}(b) RETURN a",
      "MATCH (a)-[r:R*2]->{3}(b) RETURN a",
      "MATCH (a)-[:R]- /* q */ {1, 2} (b) RETURN a",
      "MATCH ANY SHORTEST (a)-[:R]->+(b) RETURN a",
      "MATCH ALL SHORTEST (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 2 (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 2 PATHS (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 2 GROUPS (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 3 PATH GROUPS (a)-[:R]->+(b) RETURN a",
      "MATCH ANY (a)-[:R]->+(b) RETURN a",
      "MATCH ANY 2 PATHS (a)-[:R]->+(b) RETURN a",
      "MATCH ALL PATHS (a)-[:R]->+(b) RETURN a",
      "MATCH ALL (a)-->(b) RETURN a",
      "MATCH p = ANY SHORTEST PATH (a)-[:R]->+(b) RETURN p",
      "MATCH p = any shortest (a)-[:R]->+(b) RETURN p",
      "MATCH p = shortestPath((a)-[:R*]->(b)) RETURN p",
      "MATCH p = allShortestPaths((a)-[:R*]->(b)) RETURN p",
      "MATCH p = SHORTESTPATH ( (a)-[*]-(b) ) RETURN p",
      "MATCH p = ALL SHORTEST shortestPath((a)-[*]-(b)) RETURN p",
      "MATCH (a), p = shortestPath((a)-[*..5]->(b:B)) RETURN p",
      "MATCH p = shortestPath(((a)-->(b))+) RETURN p",
      "MATCH (a)-[r WHERE r.x > 1]->(b WHERE b.y = 2) RETURN a",
      "MATCH (a WHERE a:A|B)-->(b) RETURN a",
      "MERGE (a)-[:R]->(b)",
      "MATCH (a) WHERE EXISTS { (a)-->+(b) } RETURN a",
      "MATCH (a) WHERE COUNT { (a)-->+(b) WHERE b:A|B } > 1 RETURN a",
      "MATCH (a) WHERE EXISTS { p = (a)-->(b) WHERE length(p) > 1 } RETURN a",
      "MATCH (a) RETURN COUNT { ANY SHORTEST (a)-->+(b:B) } AS n",
      "MATCH (a) RETURN COUNT { p = SHORTEST 1 (a)-->+(b) } AS n",
  });
}

TEST(DirectExtended, PatternPredicatesAndComprehensions) {
  expect_taken_extended({
      "MATCH (a) WHERE (a)-[:R]->() RETURN a",
      "MATCH (a) WHERE (a)-->(:B) AND NOT (a)<--() RETURN a",
      "MATCH (a) WHERE (a)--(b) RETURN a",
      "MATCH (a) WHERE (a) < -[:R]- () RETURN a",
      "MATCH (a) WHERE (a)-[:R*1..2]->(b {x: 1}) RETURN a",
      "MATCH (a) WHERE (a:A)-->(b WHERE b.x > 1) RETURN a",
      "MATCH (a) WHERE (a)-->+(b) RETURN a",
      "MATCH (a) RETURN (a)-->(b) - 1 AS x",
      "MATCH (a) RETURN (a) AS x",
      "MATCH (a) RETURN (a:A) AS x",
      "MATCH (a) RETURN (a IS NULL) AS x",
      "MATCH (a) RETURN (a) - 1 AS x",
      "MATCH (a) RETURN (a) < 1 AS x",
      "MATCH (a) RETURN (a {.name}) AS x",
      "MATCH (a) RETURN (a {k: 1}) AS x",
      "MATCH (a) RETURN ({k: 1}) AS x",
      "MATCH (a) RETURN ($p) AS x",
      "MATCH (a) RETURN ((a)-->(b)) AS x",
      "MATCH (a) RETURN [(a)-->(b) | b.name] AS x",
      "MATCH (a) RETURN [(a)-[:R]->(b:B) WHERE b.x > 1 | b.name] AS x",
      "MATCH (a) RETURN [p = (a)-->(b) | p] AS x",
      "MATCH (a) RETURN [p=(a)-->()-->(c) WHERE c:A | [c, p]] AS x",
      "MATCH (a) RETURN [(a)-->(b) WHERE b:A | b] AS x",
      "MATCH (a) RETURN [(a)-->(b) WHERE (b:A|B) | b] AS x",
      "MATCH (a) RETURN [(a)-->(b)] AS x",
      "MATCH (a) RETURN [x IN (a)-->(b) | x] AS x",
      "MATCH (a) RETURN size([(a)-->() | 1]) AS x",
      "MATCH (a) RETURN [ ( a ) -- > ( b ) | b ] AS x",
  });
}

TEST(DirectExtended, ReduceShortestPathsAndTypePredicates) {
  expect_taken_extended({
      "RETURN reduce(acc = 0, x IN [1, 2] | acc + x) AS s",
      "RETURN REDUCE ( s = '', w IN ['a'] | s || w ) AS s",
      "RETURN reduce(x) AS s",
      "RETURN reduce(a, b) AS s",
      "RETURN reduce(acc = 0, x IN reduce(b = 1, y IN [1] | b) | acc) AS s",
      "MATCH (a), (b) RETURN shortestPath((a)-[*]-(b)) AS p",
      "MATCH (a), (b) RETURN allShortestPaths((a)-[:R*..3]->(b)) AS p",
      "RETURN shortestPath(1) AS p",
      "RETURN 1 IS :: INTEGER AS t",
      "RETURN 1 IS NOT :: INTEGER AS t",
      "RETURN 1 :: INTEGER AS t",
      "RETURN 1 IS TYPED INTEGER AS t",
      "RETURN 1 IS NOT TYPED INTEGER AS t",
      "RETURN 1 :: INTEGER NOT NULL AS t",
      "RETURN 1 :: INTEGER | STRING AS t",
      "RETURN 1 :: list < string not null > AS t",
      "RETURN 1 :: LIST<LIST<INT>> NOT NULL AS t",
      "RETURN 1 :: ARRAY<ANY> AS t",
      "RETURN 1 :: ANY<INT | FLOAT> AS t",
      "RETURN 1 :: ANY NODE AS t",
      "RETURN 1 :: ANY PROPERTY VALUE AS t",
      "RETURN 1 :: ANY AS t",
      "RETURN 1 :: PROPERTY VALUE AS t",
      "RETURN 1 :: SIGNED INTEGER AS t",
      "RETURN 1 :: LOCAL DATETIME AS t",
      "RETURN 1 :: ZONED TIME AS t",
      "RETURN 1 :: TIME WITHOUT TIME ZONE AS t",
      "RETURN 1 :: TIMESTAMP WITH TIME ZONE AS t",
      "RETURN 1 :: TIME AS t",
      "RETURN 1 :: /* c */ Int64 | /* d */ NOTHING AS t",
      "RETURN 1 :: INTEGER = true AS t",
      "RETURN [x IN [1] WHERE x :: INTEGER | x] AS t",
      "RETURN [x IN [1] WHERE x :: INTEGER | STRING] AS t",
      "MATCH (n) WHERE n.x IS :: STRING AND n.y IS NOT NULL RETURN n",
      "RETURN [x IN $m IS NOT TYPED MAP | x] AS t",
      "RETURN [x IN $m IS A WHERE x | x] AS t",
      "RETURN [x IN $m :: LIST<INT> | x] AS t",
  });
}

// Every word that names a type, and words that do not, after `::`: taken
// exactly where the matcher accepts them.
TEST(DirectExtended, TypeWords) {
  constexpr std::string_view kWords[] = {"BOOLEAN",       "BOOL",
                                         "STRING",        "VARCHAR",
                                         "INTEGER",       "INT",
                                         "INTEGER8",      "INTEGER16",
                                         "INTEGER32",     "INTEGER64",
                                         "INT8",          "INT16",
                                         "INT32",         "INT64",
                                         "FLOAT",         "FLOAT32",
                                         "FLOAT64",       "DATE",
                                         "DATETIME",      "TIMESTAMP",
                                         "TIME",          "DURATION",
                                         "POINT",         "NODE",
                                         "VERTEX",        "RELATIONSHIP",
                                         "EDGE",          "MAP",
                                         "PATH",          "NOTHING",
                                         "NULL",          "ANY VALUE",
                                         "ANY EDGE",      "ZONED DATETIME",
                                         "LOCAL TIME",    "TIMESTAMP WITHOUT TIME ZONE",
                                         "ARRAY<STRING>", "INTEGERS",
                                         "LIST",          "ANYTHING",
                                         "SIGNED",        "LOCAL",
                                         "PROPERTY",      "TIME WITH ZONE"};
  int taken = 0;
  for (std::string_view word : kWords) {
    for (const std::string& text : {"RETURN 1 :: " + std::string(word) + " AS t",
                                    "RETURN 1 IS NOT TYPED " + std::string(word) + " AS t"}) {
      expect_taken_where_valid(text, Language::Extended);
      taken += expect_agrees(text, Language::Extended);
    }
  }
  EXPECT_GE(taken, 2 * 37);
}

TEST(DirectExtended, NumbersMapsFunctionsAndConcatenation) {
  expect_taken_extended({
      "RETURN all('abc') AS x, any(1, 2) AS y, none() AS z",
      "RETURN 1 IS TYPED AS t",
      "MATCH (n) RETURN CASEn AS x, n:A || CASE1 AS y",
      "MATCH ANY 2PATHS (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 3PATH GROUPS (a)-[:R]->+(b) RETURN a",
      "MATCH SHORTEST 0x1F (a)-[:R]->+(b) RETURN a",
      "MATCH ANY 0o17 PATHS (a)-[:R]->+(b) RETURN a",
      "RETURN 1e9 AS x",
      "RETURN 1E-3 AS x",
      "RETURN .5 AS x",
      "RETURN .5e2 AS x",
      "RETURN 1e999 AS x",
      "RETURN 'a' || 'b' || $c AS x",
      "RETURN [1] || [2] AS x",
      "RETURN apoc.create.node(['A'], {}) AS x",
      "RETURN db.match.call(1) AS x",
      "MATCH (p) RETURN p {.*, .name, key: p.x + 1, other} AS x",
      "MATCH (p) RETURN p { .* , `k`: 1 } AS x",
      "MATCH (p) RETURN p {} AS x",
  });
  expect_taken_extended({
      "RETURN CASE WHEN (1 > 0) THEN 'yes' WHEN(2 > 1) THEN 'no' END AS s",
      "MATCH (a) RETURN CASE WHEN (a)-->() THEN 1 ELSE 0 END AS has",
      "RETURN CASE WHEN ($x) OR true THEN 1 END AS s",
  });
  expect_taken_in_both({
      "RETURN CASE whence WHEN 1 THEN 2 END AS s",
      "RETURN CASE thence WHEN 1 THEN 2 ELSE 3 END AS s",
      "RETURN CASE elsewhere WHEN endless THEN thence ELSE whence END AS s",
      "RETURN CASE when(1) WHEN 1 THEN 2 END AS s",
      "RETURN CASE WHEN (1) + 1 WHEN 2 THEN 3 END AS s",
      "MATCH (a)-[* /*x*/ 4]->(b) RETURN a",
      "MATCH (a)-[*/*3*/1..2]->(b) RETURN a",
      "MATCH (a)-[*1/* ..9 */..2]->(b) RETURN a",
      "MATCH (a)-[* .. /* 2 */ 3]->(b) RETURN a",
      "WITH 1 AS `v` RETURN `v`.x AS x, `v`[0] AS y",
      "RETURN `my ns`.fn(1) AS x, a.`b c`.d(2) AS y, `a`.match(3) AS z",
      "RETURN [x IN $l IS NULL | x] AS x",
      "RETURN 0x1F AS x",
      "RETURN 0o17 AS x",
      "RETURN 0x7FFFFFFFFFFFFFFF AS x",
      "RETURN 0xFFFFFFFFFFFFFFFFF AS x",
      "RETURN 99999999999999999999 AS x",
      "RETURN -9223372036854775808 AS x",
      "RETURN 1. AS x",
      "RETURN 1.e5 AS x",
      "RETURN 1.5E+3 AS x",
      "RETURN 1AS x, 0x1F AS y, 2.5AS z, [1.0.x] AS w",
      "RETURN CASE WHEN true THEN 1.0ELSE 2END AS x",
      "RETURN 1.0e400 AS x",
      "RETURN 1.0e-400 AS x",
      "RETURN 'a\\'b\\\\' AS x",
      "RETURN \"q\\\"\" AS x",
      "MATCH ()-[r:A|:B|C]->() RETURN r",
      "MATCH (n:A:B) RETURN n",
  });
}

// Maps of any size are read directly; a repeated key keeps its first place
// and takes its last value, past the point where keys are indexed too.
TEST(DirectExtended, MapsOfManyKeys) {
  std::string keys;
  for (int i = 0; i < 40; ++i) {
    const std::string number = std::to_string(i);
    keys.append("k").append(number).append(": ").append(number).append(", ");
  }
  const std::string map = "{" + keys + "k3: 'again', k30: 'again', k40: 40}";
  const std::string texts[] = {"RETURN " + map + " AS m", "CREATE (n " + map + ")",
                               "MATCH (n " + map + ") RETURN n"};
  for (const std::string& text : texts) {
    for (Language language : testing::kLanguages) {
      EXPECT_TRUE(expect_agrees(text, language)) << text;
    }
  }
  const std::string tree = tree_of(texts[0]);
  EXPECT_EQ(tree.find("\"k3\""), tree.rfind("\"k3\"")) << tree;
  EXPECT_NE(tree.find("again"), std::string::npos);
}

// Nesting that the matcher counts (groups, label parentheses, list types)
// is read up to a depth far from its limit; deeper texts are declined.
TEST(DirectExtended, DeepNestingIsReadOrDeclined) {
  for (int n : {5, 40, 150, 260}) {
    const std::string labels = "MATCH (x:" + repeat("(", n) + "A" + repeat(")", n) + ") RETURN x";
    const std::string groups =
        "MATCH " + repeat("(", n) + "(a)-->(b)" + repeat("){1,2}", n) + " RETURN a";
    const std::string types = "RETURN 1 :: " + repeat("LIST<", n) + "INT" + repeat(">", n);
    const std::string negations = "MATCH (x:" + repeat("!", 5 * n) + "A) RETURN x";
    for (const std::string& text : {labels, groups, types, negations}) {
      const bool taken = expect_agrees(text, Language::Extended);
      if (n <= 40) {
        EXPECT_TRUE(taken) << text.substr(0, 80);
      } else if (n >= 260) {
        EXPECT_FALSE(taken) << text.substr(0, 80);
      }
    }
  }
}

// A chain of label negations nests one level per `!`: the parser once
// built a chain of any length, and a long enough one overflowed the stack.
// Past the tree-depth limit it is a syntax error now, in every place a label
// expression stands.
TEST(DirectExtended, NegationChainsStopAtTheTreeDepthLimit) {
  const std::string places[] = {"MATCH (n:#A) RETURN n", "MATCH ()-[r:#A]->() RETURN r",
                                "MATCH (n) WHERE n:#A RETURN n"};
  for (const std::string& place : places) {
    const size_t hole = place.find('#');
    for (int n : {900, 1100, 300000}) {
      const std::string text = place.substr(0, hole) + repeat("!", n) + place.substr(hole + 1);
      const Result<CypherQuery> result = parse(text, Language::Extended);
      RegularQuery out;
      EXPECT_EQ(parse_directly(text, Language::Extended, out), result.ok())
          << place << " with " << n;
      if (n < kMaxTreeDepth) {
        EXPECT_TRUE(result.ok()) << place << " with " << n;
      } else {
        ASSERT_FALSE(result.ok()) << place << " with " << n;
        EXPECT_EQ(result.error().summary, "query nested too deeply (tree depth limit 1000)")
            << result.error().message.substr(0, 200);
      }
    }
  }
}

TEST(DirectExtended, DeclinesWhatTheMatcherRejects) {
  expect_declined(
      {
          "MATCH (n:A|) RETURN n",
          "MATCH (n:A&) RETURN n",
          "MATCH (n:!) RETURN n",
          "MATCH (n:A||B) RETURN n",
          "MATCH (n:(A) RETURN n",
          "MATCH (n IS) RETURN n",
          "MATCH ()-[r:A:B]->() RETURN r",
          "MATCH ((a)-->(b)) RETURN a",
          "MATCH ((a)-->(b)){} RETURN a",
          "MATCH ((a)-->(b)){1,2 RETURN a",
          "MATCH (a) (b) RETURN a",
          "MATCH (a)-->{x}(b) RETURN a",
          "MATCH SHORTEST (a)-->(b) RETURN a",
          "MATCH ANY SHORTEST 2 (a)-->(b) RETURN a",
          "MATCH p = shortestPath(a) RETURN p",
          "MATCH p = shortestPath((a)-->(b) RETURN p",
          "RETURN [(a)-->(b) WHERE] AS x",
          "RETURN [(a)-->(b) WHERE true] AS x",
          "RETURN [p = (a) | p] AS x",
          "RETURN reduce(acc = 0 x IN [1] | acc) AS s",
          "RETURN 1 :: AS t",
          "RETURN 1 :: LIST<INT AS t",
          "RETURN 1 IS NOT TYPED AS t",
          "RETURN 1 ::: INT AS t",
          "RETURN n:A: AS t",
          "RETURN 0x AS x",
          "RETURN 0X1F AS x",
          "RETURN 0x1FAS y",
          "RETURN 0o8 AS x",
          "RETURN 1e AS x",
          "RETURN . 5 AS x",
          "RETURN 'a' | | 'b' AS x",
          "MATCH p = shortestPath(a)-[:R*]->(b)) RETURN p",
          "MATCH p = SHORTESTPATH (a)-[*]-(b) ) RETURN p",
          "RETURN CASE WHEN (1) THEN END AS x",
          "RETURN CASE WHEN (1) WHEN 2 END AS x",
          "MATCH (a)-[* /*x*/ 4 5]->(b) RETURN a",
      },
      Language::Extended);
  expect_declined(
      {
          "MATCH (n:A|B) RETURN n",
          "MATCH (n IS A) RETURN n",
          "MATCH (n) WHERE n:A RETURN n",
          "MATCH ((a)-->(b))+ RETURN a",
          "MATCH (a)-->+(b) RETURN a",
          "MATCH ANY SHORTEST (a)-->(b) RETURN a",
          "MATCH (a) WHERE (a)-->() RETURN a",
          "RETURN [(a)-->(b) | b] AS x",
          "RETURN reduce(acc = 0, x IN [1] | acc + x) AS s",
          "RETURN 1 :: INTEGER AS t",
          "RETURN 1 IS :: INTEGER AS t",
          "RETURN 'a' || 'b' AS x",
          "RETURN 1e9 AS x",
          "RETURN .5 AS x",
          "MATCH (p) RETURN p {.name} AS x",
          "RETURN CASE WHEN (1 > 0) THEN 'yes' END AS s",
          "RETURN `a`.`b`(1) AS x",
          "RETURN `a` . b(1) AS x",
      },
      Language::Subset);
}

// Where the tree builder once built the wrong tree, the right one, pinned.
// The first pattern part of `MATCH <pattern> RETURN 1`, read in the extended
// language.
PatternPart first_part(const std::string& pattern) {
  Result<CypherQuery> tree = parse("MATCH " + pattern + " RETURN 1", Language::Extended);
  EXPECT_TRUE(tree.ok()) << pattern;
  if (!tree.ok()) return {};
  const auto& single = std::get<SinglePartQuery>(std::get<RegularQuery>(tree.value()).first());
  return std::get<ReadingClause::Match>(single.reading_clauses.front().clause).pattern.front();
}

// Plain labels and one plain type go straight into the pattern; an operator
// after a name makes the whole a label expression, whose names are listed
// too. Either way the names and their spans are those written.
TEST(DirectExtended, PlainLabelsAreListedAndOperatorsKeepTheExpression) {
  const PatternPart plain = first_part("(n:A:`B c`)-[r:R]->(m)");
  EXPECT_EQ(plain.start.labels, (std::vector<std::string>{"A", "B c"}));
  ASSERT_EQ(plain.start.label_spans.size(), 2u);
  EXPECT_EQ(plain.start.label_spans[1].begin, 11u);
  EXPECT_EQ(plain.start.label_spans[1].end, 16u);
  EXPECT_FALSE(plain.start.label_expr.has_value());
  EXPECT_EQ(plain.chain.front().relationship.types, std::vector<std::string>{"R"});
  EXPECT_EQ(plain.chain.front().relationship.type_spans.front().begin, 21u);
  EXPECT_FALSE(plain.chain.front().relationship.type_expr.has_value());

  const PatternPart mixed = first_part("(n:A:B|C)-[r:R&S]->(m)");
  EXPECT_EQ(mixed.start.labels, (std::vector<std::string>{"A", "B", "C"}));
  ASSERT_TRUE(mixed.start.label_expr.has_value());
  EXPECT_EQ((**mixed.start.label_expr).kind, LabelExpr::Kind::And);
  EXPECT_EQ(mixed.chain.front().relationship.types, (std::vector<std::string>{"R", "S"}));
  EXPECT_TRUE(mixed.chain.front().relationship.type_expr.has_value());

  // Alternatives of plain types stay a list, as in the subset.
  const PatternPart alternatives = first_part("()-[:R|S]->()");
  EXPECT_EQ(alternatives.chain.front().relationship.types, (std::vector<std::string>{"R", "S"}));
  EXPECT_FALSE(alternatives.chain.front().relationship.type_expr.has_value());

  // A long list of plain labels that an operator ends is read twice at most.
  std::string many = "(n";
  for (int i = 0; i < 20000; ++i) many += ":A";
  const PatternPart long_list = first_part(many + "|B)");
  EXPECT_EQ(long_list.start.labels.size(), 20001u);
  EXPECT_TRUE(long_list.start.label_expr.has_value());
}

// `$(names)`, `$all(names)` and `$any(names)` name labels and types when the
// query runs; the tree keeps the expression, and lists no name for it.
TEST(DirectExtended, DynamicLabelsKeepTheirExpression) {
  const PatternPart node = first_part("(n:$($label))");
  EXPECT_TRUE(node.start.labels.empty());
  ASSERT_TRUE(node.start.label_expr.has_value());
  const LabelExpr& dynamic = **node.start.label_expr;
  EXPECT_EQ(dynamic.kind, LabelExpr::Kind::Dynamic);
  EXPECT_FALSE(dynamic.any);
  ASSERT_NE((**dynamic.names).as<Expr::Parameter>(), nullptr);
  EXPECT_EQ((**dynamic.names).as<Expr::Parameter>()->name, "label");
  EXPECT_EQ(dynamic.span.begin, 9u);  // "MATCH (n:" comes first
  EXPECT_EQ(dynamic.span.end, 18u);

  const PatternPart mixed = first_part("(n:Person:$ANY(['A', 'B']))-[r:$all(r.t)]->(m)");
  ASSERT_TRUE(mixed.start.label_expr.has_value());
  const LabelExpr& both = **mixed.start.label_expr;
  ASSERT_EQ(both.kind, LabelExpr::Kind::And);
  ASSERT_EQ(both.operands.size(), 2u);
  EXPECT_EQ(both.operands[0].name, "Person");
  EXPECT_EQ(both.operands[1].kind, LabelExpr::Kind::Dynamic);
  EXPECT_TRUE(both.operands[1].any);
  EXPECT_NE((**both.operands[1].names).as<Expr::List>(), nullptr);
  const RelationshipPattern& rel = mixed.chain.front().relationship;
  EXPECT_TRUE(rel.types.empty());
  ASSERT_TRUE(rel.type_expr.has_value());
  EXPECT_EQ((**rel.type_expr).kind, LabelExpr::Kind::Dynamic);
  EXPECT_FALSE((**rel.type_expr).any);

  // SET and REMOVE keep the names and, apart, the expressions.
  const Result<CypherQuery> set = parse("MATCH (n) SET n:A:$(x):$any(y)", Language::Extended);
  ASSERT_TRUE(set.ok());
  const auto& part = std::get<SinglePartQuery>(std::get<RegularQuery>(set.value()).first());
  const auto& items = std::get<UpdatingClause::Set>(part.updating_clauses.front().clause).items;
  const auto& labels = std::get<SetItem::Labels>(items.front().item);
  EXPECT_EQ(labels.labels, std::vector<std::string>{"A"});
  ASSERT_EQ(labels.dynamic.size(), 2u);
  EXPECT_EQ(labels.dynamic[1].as<Expr::Variable>()->name, "y");

  for (std::string_view text : {
           "MATCH (n:$($l)) RETURN n",
           "MATCH (n:$all($l)&!Person|$any(['A'])) RETURN n",
           "MATCH (n IS $($l)) RETURN n",
           "MATCH ()-[r:$any($types)|KNOWS]->() RETURN r",
           "MATCH (n) WHERE n:$(toUpper($l)) AND n:A|$($m) RETURN n",
           "MATCH (n) RETURN [x IN [n] WHERE x:$($l) | x]",
           "CREATE (n:$( $l /* c */ ) {name: 1})",
           "UNWIND $rows AS row MERGE (a)-[:$(row.type)]->(b)",
           "MATCH (n) SET n:$(n.kind) REMOVE n:$($old), n:Temp",
           "MATCH (n:$(($l))) RETURN n",
       }) {
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << text;
    EXPECT_FALSE(expect_agrees(text, Language::Subset)) << text;
  }
  for (std::string_view text : {
           "MATCH (n:$ ($l)) RETURN n",
           "MATCH (n:$l) RETURN n",
           "MATCH (n:$an($l)) RETURN n",
           "MATCH (n:$any ($l)) RETURN n",
           "MATCH (n:$()) RETURN n",
           "MATCH (n:$($l) RETURN n",
           "MATCH (n:$anyx($l)) RETURN n",
       }) {
    EXPECT_FALSE(expect_agrees(text, Language::Extended)) << text;
  }
  // Each `$(` is a level of nesting, in both readers.
  const std::string deep =
      "MATCH (n) WHERE " + repeat("n:$(", 300) + "true" + repeat(")", 300) + " RETURN n";
  EXPECT_FALSE(expect_agrees(deep, Language::Extended));
  EXPECT_FALSE(parse(deep, Language::Extended).ok());
  const std::string shallow =
      "MATCH (n) WHERE " + repeat("n:$(", 60) + "true" + repeat(")", 60) + " RETURN n";
  EXPECT_TRUE(expect_agrees(shallow, Language::Extended));
}

TEST(DirectExtended, BuildsTheMendedTrees) {
  // The first `!` is the outermost negation and spans from itself.
  const std::string negations = tree_of("MATCH (n:!!A) RETURN n");
  const size_t outer = negations.find("@9-12");
  const size_t inner = negations.find("@10-12");
  ASSERT_NE(outer, std::string::npos) << negations;
  ASSERT_NE(inner, std::string::npos) << negations;
  EXPECT_LT(outer, inner) << negations;
  EXPECT_TRUE(expect_agrees("MATCH (n:!!A) RETURN n", Language::Extended));

  // Comments inside a selector are not read as its words or its count.
  EXPECT_EQ(tree_of("MATCH ANY /* 5 */ 2 (a)-->+(b) RETURN a", false),
            tree_of("MATCH ANY 2 (a)-->+(b) RETURN a", false));
  EXPECT_EQ(tree_of("MATCH ALL /* SHORTEST */ PATHS (a)-->+(b) RETURN a", false),
            tree_of("MATCH ALL PATHS (a)-->+(b) RETURN a", false));
  EXPECT_EQ(tree_of("MATCH SHORTEST 2 /* GROUPS */ (a)-->+(b) RETURN a", false),
            tree_of("MATCH SHORTEST 2 (a)-->+(b) RETURN a", false));
  for (std::string_view text : {"MATCH ANY /* 5 */ 2 (a)-->+(b) RETURN a",
                                "MATCH ALL /* SHORTEST */ PATHS (a)-->+(b) RETURN a",
                                "MATCH SHORTEST 2 /* GROUPS */ (a)-->+(b) RETURN a"}) {
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << text;
  }

  // A hexadecimal or octal count is read in its base: (path variable
  // selector count ...), ShortestK being 4 and ShortestKGroups 6.
  const std::pair<std::string_view, std::string_view> counts[] = {
      {"MATCH SHORTEST 0x1F (a)-->+(b) RETURN a", "(path - 4 31"},
      {"MATCH SHORTEST 0o37 GROUPS (a)-->+(b) RETURN a", "(path - 6 31"}};
  for (const auto& [text, path] : counts) {
    EXPECT_NE(tree_of(text, false).find(path), std::string::npos) << tree_of(text, false);
    EXPECT_TRUE(expect_agrees(text, Language::Extended)) << text;
  }

  // A group followed by a relationship comes before it in the path.
  const std::string text = "MATCH (x) ((a)-->(b)){1,2} -[r]->(y) RETURN x";
  const std::string tree = tree_of(text);
  EXPECT_LT(tree.find("group"), tree.find("\"r\"")) << tree;
  EXPECT_TRUE(expect_agrees(text, Language::Extended));
}

}  // namespace
}  // namespace quorvane
