// Exact syntax-error texts and the matching rules behind them.
#include <gtest/gtest.h>

#include "parse_test_util.h"
#include "parser/syntax_error.h"

namespace quorvane {
namespace {

using testing::error_of;
using testing::first_line;
using testing::last_line;

TEST(SyntaxErrorText, WorkedExample) {
  EXPECT_EQ(error_of("MATCH (n RETURN n"),
            " --> 1:10\n"
            "  |\n"
            "1 | MATCH (n RETURN n\n"
            "  |          ^---\n"
            "  |\n"
            "  = expected node_labels or properties");
}

TEST(SyntaxErrorText, EmptyTextAndTrailingGarbage) {
  EXPECT_EQ(error_of(""), " --> 1:1\n  |\n1 | \n  | ^---\n  |\n  = expected statement");
  EXPECT_EQ(last_line(error_of("MATCH (n) RETURN n xyz")),
            "  = expected EOI, union_clause, order_clause, skip_clause, limit_clause, or_kw, "
            "xor_kw, and_kw, comparison_op, or postfix_op");
}

TEST(SyntaxErrorText, FailureOnEmptyLastLineAfterLineFeed) {
  // The dangling operator makes the failure sit at the start of line 2.
  EXPECT_EQ(error_of("RETURN n +\n"), " --> 2:1\n  |\n2 | \n  | ^---\n  |\n  = expected atom");
}

TEST(SyntaxErrorText, MultiDigitLineNumbersWidenTheGutter) {
  std::string query;
  for (int i = 0; i < 11; ++i) query += "\n";
  query += "MATCH (n RETURN n";
  EXPECT_EQ(error_of(query),
            "  --> 12:10\n"
            "   |\n"
            "12 | MATCH (n RETURN n\n"
            "   |          ^---\n"
            "   |\n"
            "   = expected node_labels or properties");
}

TEST(SyntaxErrorText, TabsAreKeptInTheUnderline) {
  std::string message = error_of("MATCH\t(n RETURN n");
  EXPECT_NE(message.find("\n  | "
                         "     \t   "
                         "^---\n"),
            std::string::npos)
      << message;
}

TEST(SyntaxErrorText, MultiByteCharactersCountAsOneColumn) {
  // "é" is two bytes but one column.
  std::string message = error_of("RETURN 'é' xyz");
  EXPECT_EQ(first_line(message), " --> 1:12");
  EXPECT_NE(message.find("  |            ^---"), std::string::npos) << message;
}

TEST(SyntaxErrorText, CrLfCountsAsOneLineBreak) {
  std::string message = error_of("MATCH (n)\r\nRETURN n xyz");
  EXPECT_EQ(first_line(message), " --> 2:10");
  EXPECT_NE(message.find("2 | RETURN n xyz\n"), std::string::npos) << message;
}

TEST(SyntaxErrorText, LineBreakAtFailureIsMadeVisible) {
  // Failures land after skipped whitespace, so render one on a break directly.
  std::string message = render_syntax_error("MATCH (n\r\nRETURN n", 8, "expected x");
  EXPECT_NE(message.find("1 | MATCH (n\u240D\u240A\n"), std::string::npos) << message;
  // Elsewhere the line ends are dropped.
  std::string plain = render_syntax_error("MATCH (n\r\nRETURN n", 3, "expected x");
  EXPECT_NE(plain.find("1 | MATCH (n\n"), std::string::npos) << plain;
}

TEST(SyntaxErrorText, TheMessageStaysOnItsLine) {
  // A message quoting the query's text keeps to the sixth line.
  EXPECT_EQ(last_line(render_syntax_error("RETURN x", 7, "quoted: a\nb\r\nc")),
            "  = quoted: a b  c");
  EXPECT_EQ(render_syntax_error("RETURN x", 7, "expected y"),
            " --> 1:8\n  |\n1 | RETURN x\n  |        ^---\n  |\n  = expected y");
}

TEST(SyntaxErrorText, DescribeFailureListForms) {
  EXPECT_EQ(describe_failure({}, {}), "unknown parsing error");
  EXPECT_EQ(describe_failure({Rule::pattern}, {}), "expected pattern");
  EXPECT_EQ(describe_failure({}, {Rule::keyword}), "unexpected keyword");
  EXPECT_EQ(describe_failure({Rule::atom}, {Rule::keyword}), "unexpected keyword; expected atom");
  EXPECT_EQ(describe_failure({Rule::EOI, Rule::atom, Rule::variable}, {}),
            "expected EOI, atom, or variable");
}

TEST(MatchingRules, FurthestFailureAndMoreSpecificRules) {
  // A rule whose body recorded exactly one rule at its own start yields to it.
  EXPECT_EQ(last_line(error_of("MATCH ")), "  = expected pattern_part");
  EXPECT_EQ(last_line(error_of("MATCH (desc) RETURN desc")),
            "  = expected node_labels, properties, or variable");
  EXPECT_EQ(first_line(error_of("MATCH (desc) RETURN desc")), " --> 1:8");
}

TEST(MatchingRules, KeywordsIgnoreCaseButLiteralsDoNot) {
  EXPECT_TRUE(parse("match (n) return n").ok());
  EXPECT_TRUE(parse("MATCH(n)RETURN n").ok());
  EXPECT_EQ(first_line(error_of("RETURN 0X1F")), " --> 1:9");
}

TEST(MatchingRules, CommentsAreSkippableText) {
  EXPECT_TRUE(parse("MATCH (n) // note\nRETURN n").ok());
  EXPECT_TRUE(parse("MATCH (n) /* note */ RETURN n").ok());
  EXPECT_TRUE(parse("MATCH (n) RETURN n // trailing").ok());
  EXPECT_FALSE(parse("MATCH (n) /* never closed RETURN n").ok());
}

TEST(MatchingRules, NothingIsSkippedInsideAtomicRules) {
  EXPECT_TRUE(parse("RETURN $name, $_x1, $0").ok());
  EXPECT_FALSE(parse("RETURN $ name").ok());
}

TEST(MatchingRules, OrderedChoiceCommitsForReservedWords) {
  // AS wins over ASC and fails the boundary test, so asc is a name.
  EXPECT_TRUE(parse("MATCH (asc) RETURN asc").ok());
  EXPECT_TRUE(parse("MATCH (order) RETURN order").ok());
  EXPECT_FALSE(parse("MATCH (in) RETURN in").ok());
  EXPECT_FALSE(parse("MATCH (return) RETURN 1").ok());
}

TEST(MatchingRules, StatementShapes) {
  EXPECT_TRUE(parse("  MATCH (n) RETURN n ;  ").ok());
  EXPECT_FALSE(parse("MATCH (n) RETURN n; MATCH (m) RETURN m").ok());
  EXPECT_FALSE(parse("RETURN *, n").ok());
  EXPECT_TRUE(parse("MATCH (n) RETURN * ORDER BY n.x").ok());
  EXPECT_TRUE(parse("WITH 1 AS x").ok());
  EXPECT_TRUE(parse("MATCH (a)-[:A|B|:C]->(b) RETURN a").ok());
  EXPECT_FALSE(parse("MATCH (a)- -(b) RETURN a").ok());
  EXPECT_EQ(first_line(error_of("RETURN --1")), " --> 1:9");
}

TEST(Corrections, IsNullTakesNoRightOperand) {
  EXPECT_TRUE(parse("MATCH (n) WHERE n.x IS NULL RETURN n").ok());
  EXPECT_TRUE(parse("MATCH (n) WHERE n.x IS NOT NULL RETURN n").ok());
  EXPECT_FALSE(parse("RETURN 1 IS NULL 5").ok());
  EXPECT_FALSE(parse("RETURN 1 = ").ok());
}

TEST(Corrections, BooleanAndNullAreWholeWords) {
  EXPECT_TRUE(parse("MATCH (nullable) RETURN nullable").ok());
  EXPECT_TRUE(parse("MATCH (trueValue) RETURN trueValue").ok());
  EXPECT_TRUE(parse("RETURN true, FALSE, null").ok());
}

TEST(Corrections, FloatsNeverTakeTheDotOfARange) {
  EXPECT_TRUE(parse("MATCH (n) RETURN n.x[1..3]").ok());
  EXPECT_TRUE(parse("RETURN 1., 1.5, 1.e3, 2.5E-3").ok());
}

TEST(Corrections, BackslashEscapesInStrings) {
  EXPECT_TRUE(parse("RETURN 'It\\'s'").ok());
  EXPECT_TRUE(parse("RETURN \"say \\\"hi\\\"\"").ok());
  EXPECT_FALSE(parse("RETURN \"open \\\"").ok());
  // A doubled quote is still no escape.
  EXPECT_FALSE(parse("RETURN 'It''s'").ok());
}

TEST(Corrections, ReservedWordsAsSchemaNames) {
  EXPECT_TRUE(parse("MATCH (a) RETURN a.count").ok());
  EXPECT_TRUE(parse("MATCH (:End) RETURN 1").ok());
  EXPECT_TRUE(parse("MATCH (a)-[r:FROM]->(b) RETURN r.from").ok());
  EXPECT_TRUE(parse("RETURN {limit: 1}").ok());
  EXPECT_TRUE(parse("RETURN count(*) AS count").ok());
  EXPECT_TRUE(parse("MATCH (any) RETURN any").ok());
  EXPECT_EQ(last_line(error_of("MATCH (desc) RETURN desc")),
            "  = expected node_labels, properties, or variable");
}

TEST(Corrections, UpperBoundAloneInVariableLength) {
  EXPECT_TRUE(parse("MATCH (a)-[:KNOWS*..3]->(b) RETURN a").ok());
  EXPECT_TRUE(parse("MATCH (a)-[*..]->(b) RETURN a").ok());
  EXPECT_TRUE(parse("MATCH (a)-[*2..]->(b) RETURN a").ok());
  EXPECT_TRUE(parse("MATCH (a)-[*1 .. 3]->(b) RETURN a").ok());
}

}  // namespace
}  // namespace quorvane
