// Trees that once came out wrong: a CASE operand that begins like ELSE, a
// comment inside a range or quantifier, and keywords written against the
// next word in the extended language. Each tree is pinned as the matcher's
// path and the direct parser build it, in both languages where both read
// the text.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "../../support/tree_text.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

// The tree of `query` in `language`, which the grammar accepts.
std::string tree(std::string_view query, Language language) {
  auto parsed = parse(query, language);
  EXPECT_TRUE(parsed.ok() && check_with_matcher(query, language).ok()) << query;
  if (!parsed.ok()) return {};
  return testing::tree_text(parsed.value());
}

void expect_tree_contains(std::string_view query, std::string_view part) {
  for (Language language : {Language::Subset, Language::Extended}) {
    EXPECT_NE(tree(query, language).find(part), std::string::npos) << query;
  }
}

TEST(TreeMends, ACaseOperandMayBeginLikeItsKeywords) {
  // (e38 operand when then else)
  expect_tree_contains("RETURN CASE elsewhere WHEN 1 THEN 2 END",
                       "(e38 (e7 \"elsewhere\") (e0 1) (e0 2) -)");
  expect_tree_contains("RETURN CASE thence WHEN 1 THEN 2 ELSE 3 END",
                       "(e38 (e7 \"thence\") (e0 1) (e0 2) (e0 3))");
  expect_tree_contains("RETURN CASE whence WHEN 1 THEN 2 END", "(e38 (e7 \"whence\") (e0 1)");
  // A function named WHEN as the operand was dropped from the tree.
  expect_tree_contains("RETURN CASE when(1) WHEN 1 THEN 2 END",
                       "(e38 (e36 \"when\" F (e0 1)) (e0 1) (e0 2) -)");
  // Without an operand the slots stay as they were.
  expect_tree_contains("RETURN CASE WHEN a THEN b ELSE c END",
                       "(e38 - (e7 \"a\") (e7 \"b\") (e7 \"c\"))");
}

TEST(TreeMends, CommentsInsideRangesAndQuantifiers) {
  // (rel variable types properties direction min max ...)
  expect_tree_contains("MATCH (a)-[*/*3*/1..2]->(b) RETURN a", "(rel - [] - 0 1 2 - -)");
  expect_tree_contains("MATCH (a)-[*1/* ..9 */..2]->(b) RETURN a", "(rel - [] - 0 1 2 - -)");
  expect_tree_contains("MATCH (a)-[* /*x*/ 4]->(b) RETURN a", "(rel - [] - 0 4 4 - -)");
  EXPECT_NE(tree("MATCH (a)-[:R]->{/*5*/1,3}(b) RETURN a", Language::Extended)
                .find("(rel - [ \"R\"] - 0 1 3 - -)"),
            std::string::npos);
}

TEST(TreeMends, ExtendedKeywordsEndWhereTheWordEnds) {
  // The subset reads DISTINCT (and the rest as a name); the extended
  // language reads the whole word as a name.
  const std::string query = "MATCH (p) WITH count(p) AS distinctPeople RETURN distinctPeople";
  EXPECT_NE(tree(query, Language::Subset).find("(return T F(item (e7 \"People\")"),
            std::string::npos);
  EXPECT_NE(tree(query, Language::Extended).find("(return F F(item (e7 \"distinctPeople\")"),
            std::string::npos);
  const std::string call = "MATCH (p) WITH p AS distinctive RETURN count(distinctive)";
  EXPECT_NE(tree(call, Language::Subset).find("(e36 \"count\" T (e7 \"ive\"))"),
            std::string::npos);
  EXPECT_NE(tree(call, Language::Extended).find("(e36 \"count\" F (e7 \"distinctive\"))"),
            std::string::npos);
  // Written apart, both read the keyword.
  expect_tree_contains("MATCH (p) RETURN DISTINCT count(DISTINCT p)",
                       "(return T F(item (e36 \"count\" T (e7 \"p\"))");
  expect_tree_contains("RETURN 1 AS x UNION ALL RETURN 2 AS x", "(union T");
  // Glued clause keywords are one word in the extended language.
  for (std::string_view glued : {"MATCH (n) RETURNn", "MATCH (n) RETURN n LIMIT10",
                                 "MATCH (n) WITHn RETURN n", "UNWIND [1] ASx RETURN x"}) {
    EXPECT_TRUE(parse(glued, Language::Subset).ok()) << glued;
    EXPECT_FALSE(parse(glued, Language::Extended).ok()) << glued;
    EXPECT_FALSE(check_with_matcher(glued, Language::Extended).ok()) << glued;
  }
}

}  // namespace
}  // namespace quorvane
