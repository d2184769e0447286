// The text the validator quotes for expressions and patterns: the shape it
// gives each construct, and that reading the text back gives the same text.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "../../support/corpus_files.h"
#include "../../support/tree_text.h"
#include "parser/parse.h"
#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_text.h"

namespace quorvane {
namespace {

// The expression of `RETURN <text>` in the extended language, printed.
std::string printed(std::string_view text) {
  Result<CypherQuery> tree = parse("RETURN " + std::string(text), Language::Extended);
  EXPECT_TRUE(tree.ok()) << text << "\n" << (tree.ok() ? "" : tree.error().message);
  if (!tree.ok()) return "";
  const auto& query = std::get<RegularQuery>(tree.value());
  const auto& single = std::get<SinglePartQuery>(query.first());
  return expression_text(single.return_clause->items.items.front().expr);
}

void expect_stable(std::string_view text, std::string_view expected) {
  const std::string once = printed(text);
  EXPECT_EQ(once, expected) << "from " << text;
  EXPECT_EQ(printed(once), once) << "reprinting " << once;
}

TEST(ExpressionText, SpacingAndCaseAreNormalised) {
  expect_stable("a.name+ 1", "a.name + 1");
  expect_stable("NOT  a   or b xor c and d", "NOT a OR b XOR c AND d");
  expect_stable("x is not null", "x IS NOT NULL");
  expect_stable("a starts with 'x' and b ends with \"y\" or c contains 'z'",
                "a STARTS WITH 'x' AND b ENDS WITH 'y' OR c CONTAINS 'z'");
  expect_stable("Count( DISTINCT n )", "Count(DISTINCT n)");
  expect_stable("COUNT(*)", "count(*)");
}

TEST(ExpressionText, ParenthesesOnlyWherePrecedenceNeedsThem) {
  expect_stable("(a + b) * c", "(a + b) * c");
  expect_stable("a + (b * c)", "a + b * c");
  expect_stable("a - (b - c)", "a - (b - c)");
  expect_stable("(a - b) - c", "a - b - c");
  expect_stable("-(a + b)", "-(a + b)");
  expect_stable("(a OR b) AND c", "(a OR b) AND c");
  expect_stable("NOT (a = b)", "NOT a = b");
  expect_stable("(a + b).x", "(a + b).x");
  expect_stable("(a = b) IS NULL", "(a = b) IS NULL");
  expect_stable("a ^ (b ^ c)", "a ^ (b ^ c)");
}

TEST(ExpressionText, Literals) {
  expect_stable("[1, -2, 2.5, 1e3, true, null, \"it's\", {a: 1, `b c`: [2]}]",
                "[1, -2, 2.5, 1000.0, true, null, \"it's\", {a: 1, `b c`: [2]}]");
  expect_stable("\"say \\\"hi\\\"\"", "'say \\\"hi\\\"'");
  expect_stable("$param", "$param");
  // A numbered parameter as a query writes it: `$`0`` would not read back.
  expect_stable("$0 + $12", "$0 + $12");
  expect_stable("'say \\'hi\\''", "'say \\'hi\\''");
}

TEST(ExpressionText, NamesThatNeedBackticks) {
  expect_stable("`my var`.`first name`", "`my var`.`first name`");
  EXPECT_EQ(name_text("2fast"), "`2fast`");
  EXPECT_EQ(name_text(""), "``");
  EXPECT_EQ(name_text("n\xC3\xA9"), "n\xC3\xA9");
  EXPECT_EQ(name_text("_x1"), "_x1");
}

TEST(ExpressionText, CompoundExpressions) {
  expect_stable("case x when 1 then 'a' else 'b' end", "CASE x WHEN 1 THEN 'a' ELSE 'b' END");
  expect_stable("case when a then b end", "CASE WHEN a THEN b END");
  expect_stable("[x in xs where x > 1 | x * 2]", "[x IN xs WHERE x > 1 | x * 2]");
  expect_stable("[x in xs]", "[x IN xs]");
  expect_stable("all(x in xs where x > 1)", "all(x IN xs WHERE x > 1)");
  expect_stable("single(x in xs where x)", "single(x IN xs WHERE x)");
  expect_stable("reduce(s = 0, x in xs | s + x)", "reduce(s = 0, x IN xs | s + x)");
  expect_stable("xs[1..2]", "xs[1..2]");
  expect_stable("xs[..2]", "xs[..2]");
  expect_stable("xs[0]", "xs[0]");
  expect_stable("n{.name, .*, total: 1, other}", "n{.name, .*, total: 1, other}");
  expect_stable("n:A:B", "n:A:B");
  expect_stable("n:A|(B&!C)", "n:A|B&!C");
  expect_stable("n:(A|B)&C", "n:(A|B)&C");
  expect_stable("x IS :: INTEGER", "x IS :: INTEGER");
  expect_stable("x IS NOT :: STRING", "x IS NOT :: STRING");
  expect_stable("a || b", "a || b");
}

// The tree of `RETURN <text>` as text, without positions.
std::string tree_of(std::string_view text) {
  Result<CypherQuery> tree = parse("RETURN " + std::string(text), Language::Extended);
  return tree.ok() ? testing::TreeText().query(tree.value()) : "rejected: " + std::string(text);
}

// Printed text must read back as the tree it was printed from, not only as
// the same text: a missing pair of parentheses prints stably but regroups.
// Every pair of operator levels, grouped either way.
TEST(ExpressionText, EveryGroupingOfTwoOperatorsReadsBackAsItsTree) {
  const std::string_view operators[] = {
      "OR", "XOR", "AND", "=", "<>", "<", "<=", ">=",          ">",         "=~",      "IN",
      "+",  "-",   "||",  "*", "/",  "%", "^",  "STARTS WITH", "ENDS WITH", "CONTAINS"};
  for (std::string_view first : operators) {
    for (std::string_view second : operators) {
      const std::string op1(first);
      const std::string op2(second);
      for (const std::string& text :
           {"(a " + op1 + " b) " + op2 + " c", "a " + op1 + " (b " + op2 + " c)",
            "NOT (a " + op1 + " b) " + op2 + " c", "-(a " + op1 + " b) " + op2 + " c"}) {
        const std::string once = printed(text);
        EXPECT_EQ(tree_of(once), tree_of(text)) << text << " printed as " << once;
      }
    }
  }
}

TEST(ExpressionText, ModuloBindsTighterThanMultiplication) {
  expect_stable("(a * b) % c", "(a * b) % c");
  expect_stable("a * (b % c)", "a * b % c");
  expect_stable("(a % b) * c", "a % b * c");
  expect_stable("a % (b * c)", "a % (b * c)");
  expect_stable("(a % b) ^ c", "(a % b) ^ c");
}

TEST(ExpressionText, PatternsAndSubqueries) {
  expect_stable("(a)-->()", "(a)-->()");
  expect_stable("(a:Person {name: 'x'})<-[r:ACTED_IN|DIRECTED*1..3]-(:Movie)",
                "(a:Person {name: 'x'})<-[r:ACTED_IN|DIRECTED*1..3]-(:Movie)");
  expect_stable("(a)-[*]-(b)", "(a)-[*]-(b)");
  expect_stable("(a)-[*2]->(b)", "(a)-[*2]->(b)");
  expect_stable("(a)-[:R*..4 {w: 1}]->(b)", "(a)-[:R*..4 {w: 1}]->(b)");
  expect_stable("(a $props)-[$1]->(b)", "(a $props)-[$1]->(b)");
  // Nothing before the map or WHERE: no space after the bracket.
  expect_stable("({x: 1})-[{w: 2}]-()", "({x: 1})-[{w: 2}]-()");
  expect_stable("[(a)-[WHERE 1 = 1]->() | a]", "[(a)-[WHERE 1 = 1]->() | a]");
  expect_stable("[(a)-->(b) WHERE b.x > 1 | b.x]", "[(a)-->(b) WHERE b.x > 1 | b.x]");
  expect_stable("[p = (a)-->(b) | p]", "[p = (a)-->(b) | p]");
  expect_stable("shortestPath((a)-[*]-(b))", "shortestPath((a)-[*]-(b))");
  expect_stable("EXISTS { (a)-->(b) }", "EXISTS { (a)-->(b) }");
  expect_stable("COUNT { (a)-->(), (b) }", "COUNT { (a)-->(), (b) }");
  // A query inside braces is not reproduced.
  EXPECT_EQ(printed("COLLECT { MATCH (a) RETURN a }"), "COLLECT { ... }");
}

// The tree of `RETURN <text>`, without spans; empty when it does not parse.
std::string tree_of_return(std::string_view text) {
  Result<CypherQuery> tree = parse("RETURN " + std::string(text), Language::Extended);
  return tree.ok() ? testing::TreeText().query(tree.value()) : "";
}

// Every expression of every query the tests hold, and every expression
// inside it: its text printed and read back gives the tree its own text
// gives. Expressions holding a query in braces, which is not reproduced,
// are left out.
class ReadBack {
 public:
  void query(const std::string& text) {
    text_ = text;
    Result<CypherQuery> tree = parse(text, Language::Extended);
    if (!tree.ok()) return;
    const auto* regular = std::get_if<RegularQuery>(&tree.value());
    if (regular == nullptr) return;
    single(regular->first());
    for (const UnionPart& branch : regular->unions()) single(branch.query);
  }
  int checked = 0;

 private:
  void single(const SingleQuery& query) {
    if (const auto* one = std::get_if<SinglePartQuery>(&query)) {
      clauses(one->reading_clauses);
      if (one->return_clause) items(one->return_clause->items.items);
      return;
    }
    const auto& multi = std::get<MultiPartQuery>(query);
    for (const QueryPart& part : multi.parts) {
      clauses(part.reading_clauses);
      items(part.with_clause.items);
      if (part.with_clause.where_clause) expr(*part.with_clause.where_clause);
    }
    clauses(multi.reading_clauses);
    if (multi.return_clause) items(multi.return_clause->items.items);
  }
  void clauses(const TreeList<ReadingClause>& reading) {
    for (const ReadingClause& clause : reading) {
      if (const auto* match = std::get_if<ReadingClause::Match>(&clause.clause)) {
        if (match->where_clause) expr(*match->where_clause);
      } else if (const auto* unwind = std::get_if<ReadingClause::Unwind>(&clause.clause)) {
        expr(unwind->expr);
      }
    }
  }
  void items(const TreeList<ReturnItem>& list) {
    for (const ReturnItem& item : list) expr(item.expr);
  }
  void expr(const Expr& e) {
    const std::string printed = expression_text(e);
    if (printed.find("{ ... }") == std::string::npos && e.span.end <= text_.size()) {
      const std::string_view written =
          std::string_view(text_).substr(e.span.begin, e.span.end - e.span.begin);
      const std::string expected = tree_of_return(written);
      if (!expected.empty()) {
        ++checked;
        EXPECT_EQ(tree_of_return(printed), expected) << written << "\nprinted as " << printed;
      }
    }
    any_child(e, [&](const Expr& child) {
      expr(child);
      return false;
    });
  }

  std::string text_;
};

TEST(ExpressionText, EveryExpressionOfTheTestQueriesReadsBackAsItsTree) {
  ReadBack read_back;
  for (const std::string& q : testing::bench_queries()) read_back.query(q);
  for (const char* file : {"/syntax_cases.jsonl", "/extended_findings.jsonl"}) {
    for (const std::string& q : testing::jsonl_queries(std::string(QUORVANE_DATA_DIR) + file)) {
      read_back.query(q);
    }
  }
  for (const std::string& q : testing::snapshot_queries()) read_back.query(q);
  // The fuzzers' seeds, whole files.
  for (const auto& entry :
       std::filesystem::directory_iterator(QUORVANE_SOURCE_DIR "/fuzz/corpus/parse")) {
    std::ifstream in(entry.path(), std::ios::binary);
    read_back.query(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  EXPECT_GT(read_back.checked, 5000);
}

}  // namespace
}  // namespace quorvane
