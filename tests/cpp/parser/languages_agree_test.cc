// Everything the subset accepts, the extended language accepts with the same
// tree, unless the subset read a keyword written against the next word:
// checked on the golden cases, on generated queries and on thousands of
// mutations of both.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../../support/glued_keyword.h"
#include "../../support/movies_schema.h"
#include "../../support/tree_text.h"
#include "generator/cypher_generator.h"
#include "golden_reader.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

// Returns false (with a failure recorded) when the languages disagree.
bool expect_same_tree(const std::string& query) {
  auto subset = parse(query, Language::Subset);
  if (!subset.ok()) return true;
  auto extended = parse(query, Language::Extended);
  if (testing::has_glued_keyword(query) &&
      (!extended.ok() || testing::tree_text(subset.value()) != testing::tree_text(extended.value()))) {
    return true;
  }
  EXPECT_TRUE(extended.ok()) << query << "\n" << (extended.ok() ? "" : extended.error().message);
  if (!extended.ok()) return false;
  EXPECT_EQ(testing::tree_text(subset.value()), testing::tree_text(extended.value())) << query;
  return !::testing::Test::HasFailure();
}

std::vector<std::string> generated_queries(int per_type) {
  std::vector<std::string> out;
  auto generator = CypherGenerator::create(testing::movies_schema(), 20261208);
  EXPECT_TRUE(generator.ok());
  for (std::string_view type : CypherGenerator::supported_types()) {
    for (int i = 0; i < per_type; ++i) {
      auto query = generator.value().generate(type);
      EXPECT_TRUE(query.ok());
      if (query.ok()) out.push_back(query.value());
    }
  }
  return out;
}

// Small edits that keep a query near the language: a character dropped,
// doubled or replaced with punctuation the grammar cares about, or two
// neighbours swapped.
std::string mutate(const std::string& query, std::mt19937_64& rng) {
  static constexpr std::string_view kPieces[] = {
      "(", ")", "[", "]", "{", "}", "-", "--", "->", "<-", ":", "|", ".", "..", "*", ",",
      " ", "'", "$", "=", "+", "e", "E", "0", "1.5", " AS ", " WHERE ", " IS ", " NOT ", "`"};
  if (query.empty()) return query;
  const size_t at = rng() % query.size();
  const std::string_view text(query);
  const std::string_view head = text.substr(0, at);
  switch (rng() % 4) {
    case 0:
      return std::string(head).append(text.substr(at + 1));
    case 1:
      return std::string(head).append(1, query[at]).append(text.substr(at));
    case 2:
      return std::string(head).append(kPieces[rng() % std::size(kPieces)]).append(text.substr(at));
    default: {
      std::string out(query);
      if (at + 1 < out.size()) std::swap(out[at], out[at + 1]);
      return out;
    }
  }
}

TEST(LanguagesAgree, OnTextsWhereTheGrammarsDiffer) {
  // A CASE operand that calls a function named WHEN, read as the subset
  // reads it.
  for (const std::string query :
       {"RETURN CASE WHEN(1) WHEN 1 THEN 2 END AS x", "RETURN CASE when(1) WHEN 1 THEN 2 END"}) {
    ASSERT_TRUE(parse(query).ok()) << query;
    if (!expect_same_tree(query)) return;
  }
  // Keywords against the next word: the subset reads DISTINCT there, the
  // extended language a name; RETURNn is one word there.
  auto subset_distinct = parse("WITH 1 AS distinctCount RETURN distinctCount", Language::Subset);
  auto extended_distinct =
      parse("WITH 1 AS distinctCount RETURN distinctCount", Language::Extended);
  ASSERT_TRUE(subset_distinct.ok() && extended_distinct.ok());
  EXPECT_NE(testing::tree_text(subset_distinct.value()).find("(return T F(item (e7 \"Count\")"),
            std::string::npos);
  EXPECT_NE(
      testing::tree_text(extended_distinct.value()).find("(return F F(item (e7 \"distinctCount\")"),
      std::string::npos);
  EXPECT_TRUE(parse("MATCH (n) RETURN n SKIPn.x", Language::Subset).ok());
  EXPECT_FALSE(parse("MATCH (n) RETURN n SKIPn.x", Language::Extended).ok());
  // The one deliberate difference: a pattern in the extended language.
  auto subset = parse("RETURN (a)--(b) AS x", Language::Subset);
  auto extended = parse("RETURN (a)--(b) AS x", Language::Extended);
  ASSERT_TRUE(subset.ok() && extended.ok());
  EXPECT_FALSE(testing::has_pattern_predicate(testing::tree_text(subset.value())));
  EXPECT_TRUE(testing::has_pattern_predicate(testing::tree_text(extended.value())));
}

TEST(LanguagesAgree, OnTheGoldenCases) {
  auto cases = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_FALSE(cases.empty());
  int accepted = 0;
  for (const auto& c : cases) {
    accepted += parse(c.query).ok();
    if (!expect_same_tree(c.query)) return;
  }
  EXPECT_GT(accepted, 100);
}

TEST(LanguagesAgree, OnGeneratedAndMutatedQueries) {
  std::vector<std::string> seeds = generated_queries(40);
  for (const auto& c : testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl")) {
    seeds.push_back(c.query);
  }
  std::mt19937_64 rng(7);
  int compared = 0;
  for (const std::string& seed : seeds) {
    if (!expect_same_tree(seed)) return;
    for (int chain = 0; chain < 4; ++chain) {
      std::string query = seed;
      for (int round = 0; round < 2; ++round) {
        query = mutate(query, rng);
        compared += parse(query).ok();
        if (!expect_same_tree(query)) return;
      }
    }
  }
  // Enough mutations stay in the subset for the comparison to mean something.
  EXPECT_GT(compared, 2000);
}

}  // namespace
}  // namespace quorvane
