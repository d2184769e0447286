// Texts the matcher accepts in unusual shapes, which the direct parser once
// declined: a keyword glued to the next word, a rule of the matcher that
// fails as a whole and gives its first word back as a name, a list that
// fails and is read again as a comprehension, a path that gives back its
// last relationship, integer bounds in other bases. Each must be taken and
// give the matcher's tree; each near miss the matcher rejects must be
// declined.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
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

struct Construct {
  std::string_view name;
  // Taken in both languages, in the subset only, in the extended only.
  std::string_view both;
  std::string_view subset;
  std::string_view extended;
  // Rejected by the matcher in both languages.
  std::string_view rejected;
};

const Construct kConstructs[] = {
    {"CASE glued to the next word",
     "RETURN CASEWHEN()\n"
     "RETURN CASEx\n"
     "MATCH () RETURN CASEWHEN\n"
     "RETURN [CASEWHEN], f(CASEWHEN);",
     "RETURN CASEWHEN x THEN 1 END\n"
     "RETURN CASEx WHEN 1 THEN 2 END\n"
     "MATCH (n) RETURN CASEn.x WHEN 1 THEN 'a' ELSE 'b' END AS v\n"
     "RETURN CASEWHEN() WHEN 1 THEN 2 END\n"
     "RETURN CASE WHEN(x)WHENy THEN 1 END",
     "",
     "RETURN CASEWHENx THEN 1 END\n"
     "RETURN CASE\n"
     "RETURN CASEx WHEN 1 THEN 2"},
    {"CASE read as the name of a function",
     "RETURN case(x)\n"
     "RETURN case()\n"
     "RETURN case(x, y)\n"
     "RETURN case/**/(n, 1)\n"
     "RETURN case(x, \"a,b\")\n"
     "RETURN case((x), y)\n"
     "RETURN case($p)\n"
     "RETURN case(x) WHEN 1 THEN 2 END",
     "", "",
     "RETURN case(x) WHEN\n"
     "RETURN case(\n"
     "RETURN case(x,)"},
    {"a list that fails and is read as a comprehension",
     "RETURN [x IN NOT []]\n"
     "RETURN [x IN NOT NOT (y)]\n"
     "RETURN [x IN NOT (y) | y]\n"
     "RETURN [a IN [b IN [c IN [d IN [e IN [f IN l WHERE f | f] WHERE e] | d] | c] | b] | a]\n"
     "RETURN [x IN a OR b | x]\n"
     "RETURN [`x` IN l | x]",
     "RETURN [x INl]\n"
     "RETURN [x IN l WHEREx > 1]\n"
     "RETURN [x INcollect(y)]\n"
     "MATCH (p) RETURN [x IN (p) WHEREx]",
     "",
     "RETURN [x INl\n"
     "RETURN [x IN NOT]\n"
     "RETURN [x IN l WHERE]"},
    {"EXISTS with a path variable",
     "MATCH (a) WHERE EXISTS { p = (a)-->(b) } RETURN a\n"
     "MATCH (a) WHERE EXISTS { p = (a)-[:R]->(b), (b)-->(c) } RETURN a",
     "", "", "MATCH (a) WHERE EXISTS { p = } RETURN a"},
    {"a path that gives back a relationship no node follows",
     "RETURN (a)--1\n"
     "RETURN (a)--v\n"
     "RETURN (a)--(b)--1\n"
     "RETURN (a)--(1)\n"
     "MATCH (a) WHERE (a)--x RETURN a\n"
     "RETURN (a)-[]\n"
     "RETURN (a)-[1]\n"
     "RETURN (a)--(b)-[x]\n"
     "RETURN (a)-[r]-(b)-[]\n"
     "RETURN (a)--{a: 1}",
     "",
     "RETURN (a:B)--(c)--1\n"
     "RETURN (a)--(b {.x})",
     "RETURN (a)-->1\n"
     "RETURN (a)--\n"
     "RETURN (a)-[*1x]\n"
     "RETURN (a)-["},
    {"reduce, all and any read as the names of functions",
     "RETURN reduce(acc = 1)\n"
     "RETURN reduce(acc = 1, x)\n"
     "RETURN {a: reduce(a = l)}\n"
     "MATCH () WHERE all(t IN m, 1) RETURN 1\n"
     "RETURN any(x IN l, y)",
     "", "",
     "RETURN reduce(acc = 1, x IN l |)\n"
     "RETURN all(x IN l WHERE x, 1)"},
    {"names and dots that are no function's",
     "RETURN n[l..(1)]\n"
     "RETURN e[n..t()]",
     "", "RETURN a.CASE.b(1)", "RETURN n[l..(]"},
    {"SET and REMOVE with a label expression", "", "",
     "MATCH (p) SET p:(c)\n"
     "MATCH (p) SET p:!i\n"
     "MATCH (p) SET p:A|B, p.x = 1\n"
     "MATCH (p) SET p:(A|B)&C:D\n"
     "MATCH (p) SET p:%\n"
     "MATCH (p) SET p IS A\n"
     "MATCH (p) REMOVE p:A|B\n"
     "MATCH (p) REMOVE p IS !A",
     "MATCH (p) SET p:\n"
     "MATCH (p) SET p IS\n"
     "MATCH (p) REMOVE p:A|"},
    {"a name in backticks with a word right after it",
     "RETURN `x`AS y\n"
     "RETURN CASE `x`WHEN 1 THEN 2 END\n"
     "WITH 1 AS x RETURN `x`AS y ORDER BY `x`DESC\n"
     "RETURN CASE `x`WHEN (1) THEN 2 END\n"
     "RETURN CASE `x`WHEN(1)THEN 1 END\n"
     "RETURN `x`IN(1)",
     "", "", "RETURN `x`y\nRETURN `x`AS(y)\nRETURN `f` /* call */ (1)"},
    {"a word right after a parameter's or a bound's digits",
     "MATCH () WHERE $1RETURN 1\n"
     "RETURN $1AS x\n"
     "MATCH ()-[*2{a: 1}]-() RETURN 1",
     "", "MATCH ()-[*2WHERE e]-() RETURN 1\nMATCH ()-[*1..2WHERE e]-() RETURN 1",
     "MATCH ()-[*2x]-() RETURN 1\nMATCH ()-[*1e5]-() RETURN 1"},
    {"label checks that give back what cannot follow them", "", "",
     "RETURN x IS L IS NOT, 1\n"
     "RETURN 1 IS NOT < D AS t\n"
     "RETURN e((L), [x IN []:A|(1)])\n"
     "RETURN [x IN l:A|(1)]\n"
     "RETURN [x IN x:A|(n.p)]\n"
     "RETURN [x IN x:A|B|(n.p)]\n"
     "MATCH (n) RETURN n:A|((B)|C)",
     "RETURN x IS NOT A\n"
     "RETURN n:A:(1)\n"
     "RETURN [x IN l WHERE x:A|() | 1]"},
    {"FOREACH lists that end before the bar", "", "",
     "MATCH (a) FOREACH (n IN (m:A)|SET n.x = 1)\n"
     "MATCH (a) FOREACH (n IN a > (m:Movie)| FOREACH (m IN [n] | SET m.seen = true))\n"
     "MATCH (a) FOREACH (n IN a:A IS NULL | SET n.x = 1)\n"
     "MATCH (a) FOREACH (n IN a:A = b | SET n.x = 1)\n"
     "MATCH (a) FOREACH (n IN a IS :: INT | STRING | SET n.x = 1)\n"
     "MATCH (a) FOREACH (n IN (a IS :: INT NOT NULL) | CREATE (b))",
     "MATCH (a) FOREACH (n IN a:A | SET n.x = 1)\n"
     "MATCH (a) FOREACH (n IN a:(A) | CREATE (b))\n"
     "MATCH (a) FOREACH (n IN a IS NOT A | CREATE (b))"},
    {"range and quantifier bounds in any base",
     "MATCH ()-[*0x7]-() RETURN 1\n"
     "MATCH ()-[*0o7..0x3]-() RETURN 1\n"
     "MATCH ()-[*99999999999999999999]-() RETURN 1\n"
     "MATCH ()-[* 0x1F .. 0o17 ]-() RETURN 1",
     "",
     "MATCH (()-->()){0x2} RETURN 1\n"
     "MATCH (()-->()){0x2,} RETURN 1\n"
     "MATCH (()-->()){,0o3} RETURN 1",
     "MATCH ()-[*0x]-() RETURN 1\n"
     "MATCH ()-[*0xg]-() RETURN 1\n"
     "MATCH ()-[*0o8]-() RETURN 1"},
};

std::vector<std::string> texts_of(std::string_view block) {
  return block.empty() ? std::vector<std::string>{} : lines_of(block);
}

TEST(DirectGaps, TakesTheUnusualShapesTheMatcherAccepts) {
  for (const Construct& construct : kConstructs) {
    for (const std::string& text : texts_of(construct.both)) {
      for (Language language : kLanguages) {
        EXPECT_TRUE(expect_agrees(text, language))
            << construct.name << ", declined (" << language_name(language) << "): " << text;
      }
    }
    for (const std::string& text : texts_of(construct.subset)) {
      EXPECT_TRUE(expect_agrees(text, Language::Subset))
          << construct.name << ", declined: " << text;
      EXPECT_FALSE(check_with_matcher(text, Language::Extended).ok()) << text;
    }
    for (const std::string& text : texts_of(construct.extended)) {
      EXPECT_TRUE(expect_agrees(text, Language::Extended))
          << construct.name << ", declined: " << text;
      EXPECT_FALSE(check_with_matcher(text, Language::Subset).ok()) << text;
    }
  }
}

TEST(DirectGaps, DeclinesTheNearMissesTheMatcherRejects) {
  for (const Construct& construct : kConstructs) {
    for (const std::string& text : texts_of(construct.rejected)) {
      for (Language language : kLanguages) {
        ASSERT_FALSE(check_with_matcher(text, language).ok())
            << language_name(language) << ": " << text;
        RegularQuery tree;
        EXPECT_FALSE(parse_directly(text, language, tree))
            << construct.name << ", taken (" << language_name(language) << "): " << text;
      }
    }
  }
}

// The readings above are the ones these plainer texts spell out: the direct
// parser's tree (positions aside) is the matcher's tree of the plain text.
TEST(DirectGaps, ReadsTheShapesAsTheirPlainForms) {
  struct Pair {
    Language language;
    std::string_view unusual;
    std::string_view plain;
  };
  const Pair pairs[] = {
      {Language::Subset, "RETURN CASEWHEN x THEN 1 END", "RETURN CASE WHEN x THEN 1 END"},
      {Language::Subset, "RETURN CASEx WHEN 1 THEN 2 END", "RETURN CASE x WHEN 1 THEN 2 END"},
      {Language::Subset, "RETURN [x INl WHERE x]", "RETURN [x IN l WHERE x]"},
      {Language::Subset, "RETURN [x IN l WHEREx]", "RETURN [x IN l WHERE x]"},
      {Language::Extended, "RETURN (a)--1", "RETURN (a) - -1"},
      {Language::Extended, "RETURN (a)--(b)--1", "RETURN (a)--(b) - -1"},
      {Language::Extended, "MATCH ()-[*0x7..2]-() RETURN 1", "MATCH ()-[*..2]-() RETURN 1"},
      {Language::Extended, "MATCH (()-->()){0x2,} RETURN 1", "MATCH (()-->()){,} RETURN 1"},
      {Language::Extended, "MATCH (p) SET p:(A|B)&!C", "MATCH (p) SET p:A:B:C"},
      {Language::Extended, "RETURN (a)-[]", "RETURN (a) - []"},
      {Language::Extended, "RETURN x IS NOT, 1", "RETURN x IS `NOT`, 1"},
      {Language::Extended, "RETURN [x IN l:A|(1)]", "RETURN [x IN l:A | (1)]"},
      {Language::Extended, "RETURN [x IN x:A|B|(n.p)]", "RETURN [x IN x:A|B | (n.p)]"},
      {Language::Subset, "RETURN CASE `x`WHEN(1) THEN 2 END", "RETURN CASE x WHEN (1) THEN 2 END"},
      {Language::Extended, "RETURN `x`IN(1)", "RETURN x IN (1)"},
  };
  for (const Pair& pair : pairs) {
    RegularQuery direct;
    ASSERT_TRUE(parse_directly(pair.unusual, pair.language, direct)) << pair.unusual;
    const Result<CypherQuery> plain = parse(pair.plain, pair.language);
    ASSERT_TRUE(plain.ok()) << pair.plain;
    EXPECT_EQ(testing::tree_text(CypherQuery{std::move(direct)}), testing::tree_text(plain.value()))
        << pair.unusual;
  }
}

}  // namespace
}  // namespace quorvane
