// Syntax messages of the extended language: the token found, what could
// stand there in Cypher's words, hints for common mistakes, and never a
// grammar rule's identifier. The subset's messages are held by the golden
// test.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "golden_reader.h"
#include "parser/parse.h"
#include "parser/readable_syntax_error.h"
#include "parser/rule.h"

namespace quorvane {
namespace {

// The message line of the six-line text, without its "  = ".
std::string message(std::string_view query) {
  auto result = parse(query, Language::Extended);
  EXPECT_FALSE(result.ok()) << query;
  if (result.ok()) return {};
  const std::string& text = result.error().message;
  return text.substr(text.rfind('\n') + 5);
}

TEST(ReadableSyntaxError, NamesTheTokenAndWhatCouldStandThere) {
  EXPECT_EQ(message("MATCH (n RETURN n"),
            "unexpected 'RETURN'; expected 'WHERE', a label such as ':Person' or a property map "
            "such as '{name: $name}'");
  EXPECT_EQ(message("MATCH (n) RETURN n,"), "unexpected end of query; expected an expression");
  EXPECT_EQ(message(""),
            "unexpected end of query; expected a clause such as MATCH, WITH or RETURN");
  EXPECT_EQ(message("MATCH (n:) RETURN n"), "unexpected ')'; expected a label name");
  // Clauses first, UNION and the end of the query last.
  EXPECT_EQ(message("MATCH (n) RETURN n LIMIT 1 2"),
            "unexpected '2'; expected an operator, 'UNION' or the end of the query");
}

TEST(ReadableSyntaxError, StringsAreShownWhole) {
  EXPECT_EQ(message("RETURN 'abc' 'd\\'e'"),
            "unexpected string 'd\\'e'; expected 'ORDER BY', 'SKIP', 'LIMIT', an operator, "
            "'UNION' or the end of the query");
  EXPECT_EQ(message("MATCH (n {name: 'Tom RETURN n"),
            "unexpected string starting 'Tom RETURN n, with no closing quote; expected an "
            "expression");
  // Long tokens are cut short.
  const std::string long_name(100, 'x');
  EXPECT_EQ(message("RETURN 1 " + long_name).substr(0, 40),
            "unexpected '" + std::string(24, 'x') + "...'");
}

TEST(ReadableSyntaxError, MisspeltKeywordsAreNamed) {
  EXPECT_NE(message("MATCH (n) RETRUN n").find("; did you mean RETURN?"), std::string::npos);
  EXPECT_NE(message("MATHC (n) RETURN n").find("; did you mean MATCH?"), std::string::npos);
  EXPECT_NE(message("MATCH (n) WEHRE n.a = 1 RETURN n").find("; did you mean WHERE?"),
            std::string::npos);
  // A cut-off keyword reads as the keyword it starts.
  EXPECT_NE(message("MATCH (n) RETURN n ORD BY n").find("; did you mean ORDER?"),
            std::string::npos);
  EXPECT_NE(message("MATCH (n) RET n").find("; did you mean RETURN?"), std::string::npos);
  // Case does not count as a slip; letters missing or added do, one each,
  // and a short keyword allows only one.
  EXPECT_NE(message("match (n) retrun n").find("; did you mean RETURN?"), std::string::npos);
  EXPECT_NE(message("MATCH (n) RETURNNN n").find("; did you mean RETURN?"), std::string::npos);
  EXPECT_EQ(message("MATCH (n) RETURNNNN n").find("did you mean"), std::string::npos);
  EXPECT_NE(message("MATCH (n) RETURN n LIMT 1").find("; did you mean LIMIT?"), std::string::npos);
  EXPECT_EQ(message("MATCH (n) RETURN n SKIPPED 1").find("did you mean"), std::string::npos);
  // A word far from every keyword that fits there gets no guess.
  EXPECT_EQ(message("MATCH (n) BANANA n").find("did you mean"), std::string::npos);
  // Only keywords that fit the place are offered: no clause after LIMIT's
  // value.
  EXPECT_EQ(message("MATCH (n) RETURN n LIMIT 1 MACTH").find("did you mean"), std::string::npos);
}

TEST(ReadableSyntaxError, HabitsFromElsewhereGetAHint) {
  EXPECT_EQ(message("SELECT * FROM t"),
            "unexpected 'SELECT'; expected a clause such as MATCH, WITH or RETURN; Cypher has no "
            "SELECT: write MATCH ... RETURN");
  EXPECT_NE(message("MATCH (n) RETURN n.a, count(*) GROUP BY n.a").find("Cypher has no GROUP BY"),
            std::string::npos);
  EXPECT_NE(message("MATCH (n) WHERE n.a == 1 RETURN n").find("compares with '=', not '=='"),
            std::string::npos);
  EXPECT_NE(message("MATCH (n) WHERE n.a != 1 RETURN n").find("'not equal' as '<>'"),
            std::string::npos);
  EXPECT_NE(message("```cypher\nMATCH (n) RETURN n\n```").find("Markdown code fence"),
            std::string::npos);
  EXPECT_NE(message("MATCH (a)-[:KNOWS->(b) RETURN a").find("is a ']' missing before the arrow?"),
            std::string::npos);
  // A closed relationship gets no such hint.
  EXPECT_EQ(message("MATCH (a)-[:KNOWS]->(b) RETURN a -> b").find("']' missing"),
            std::string::npos);
}

TEST(ReadableSyntaxError, ReservedWordsAreSaidToBeReserved) {
  const std::string m = message("MATCH (n) RETURN n AS where");
  EXPECT_NE(m.find("'where', a reserved word"), std::string::npos) << m;
}

// Every golden case read in the extended language: a message that starts with
// "unexpected", in the six-line layout at the same place as the subset's
// pointer, and holding no rule identifier.
TEST(ReadableSyntaxError, NoMessageNamesAGrammarRule) {
  const auto cases = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_GT(cases.size(), 1900u);
  int checked = 0;
  for (const auto& c : cases) {
    auto result = parse(c.query, Language::Extended);
    if (result.ok()) continue;
    const std::string& text = result.error().message;
    const std::string line = text.substr(text.rfind('\n') + 1);
    ASSERT_EQ(line.substr(0, 4), "  = ") << c.query;
    const std::string said = line.substr(4);
    if (said.find("nested too deeply") != std::string::npos ||
        said.find("too complex") != std::string::npos) {
      continue;
    }
    ++checked;
    EXPECT_EQ(said.substr(0, 11), "unexpected ") << c.query << "\n" << said;
    for (int r = 0; r < kRuleCount; ++r) {
      const std::string_view name = rule_name(static_cast<Rule>(r));
      // Names of one plain word ("pattern", "expression") are English too;
      // the identifiers to keep out are the compound and upper-case ones.
      if (name.find('_') == std::string_view::npos && name != "EOI" && name != "WHITESPACE" &&
          name != "COMMENT") {
        continue;
      }
      EXPECT_EQ(said.find(name), std::string::npos) << c.query << "\n" << said;
    }
  }
  EXPECT_GT(checked, 1300);
}

TEST(ReadableSyntaxError, TokenAt) {
  EXPECT_EQ(token_at("MATCH (n)", 0), "MATCH");
  EXPECT_EQ(token_at("a -> b", 2), "->");
  EXPECT_EQ(token_at("RETURN $param + 1", 7), "$param");
  EXPECT_EQ(token_at("RETURN `a b` x", 7), "`a b`");
  EXPECT_EQ(token_at("RETURN 1.5e3", 7), "1.5e3");
  EXPECT_EQ(token_at("RETURN", 6), "");
  EXPECT_EQ(token_at("x ä", 2), "ä");
}

}  // namespace
}  // namespace quorvane
