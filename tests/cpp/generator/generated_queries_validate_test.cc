// Generated queries must parse and, when every name they use is declared,
// pass validation against the very schema they were generated from.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generator/cypher_generator.h"
#include "parser/parse.h"
#include "schema/schema.h"
#include "validator/cypher_validator.h"

namespace quorvane {
namespace {

constexpr int kRoundsPerSeed = 100;
constexpr uint64_t kSeeds[] = {0, 1, 42, 0xffffffffffffffffULL};

Schema ordinary() {
  Schema schema;
  schema.add_node_label("Person", {"name", "born"});
  schema.add_node_label("Movie", {"title", "released", "tagline"});
  schema.add_node_label("Genre", {"name"});
  schema.add_node_label("User", {"userId", "name", "email"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"roles"});
  schema.add_rel_type("DIRECTED", "Person", "Movie", {});
  schema.add_rel_type("FOLLOWS", "Person", "Person", {});
  schema.add_rel_type("IN_GENRE", "Movie", "Genre", {});
  schema.add_rel_type("RATED", "User", "Movie", {"rating", "timestamp"});
  return schema;
}

// Names the grammar only accepts in backticks (spaces, leading digits,
// punctuation, non-ASCII letters, the empty name), mixed with reserved words,
// which it accepts plain as labels, types and keys.
Schema awkward() {
  Schema schema;
  schema.add_node_label("My Label", {"first name", "2nd", "order", "IN"});
  schema.add_node_label("2fast", {"count", "x-y"});
  schema.add_node_label("n\xC3\xA9", {"\xC3\xA9t\xC3\xA9", "Return"});
  schema.add_node_label("Match", {"where", "ASC"});
  schema.add_node_label("", {""});
  schema.add_node_label("ORDER", {"limit", "DESCENDING"});
  schema.add_rel_type("HAS-PART", "My Label", "2fast", {});
  schema.add_rel_type("Create", "Match", "n\xC3\xA9", {});
  schema.add_rel_type("", "", "ORDER", {});
  schema.add_rel_type("ends", "ORDER", "My Label", {});
  return schema;
}

Schema labels_without_properties() {
  Schema schema;
  schema.add_node_label("A", {});
  schema.add_node_label("B", {});
  schema.add_rel_type("TO", "A", "B", {});
  schema.add_rel_type("SELF", "B", "B", {});
  return schema;
}

Schema labels_only() {
  Schema schema;
  schema.add_node_label("Solo", {"p"});
  schema.add_node_label("Dup", {"x", "x", "y"});
  return schema;
}

// Runs every query type many times and returns a description of each query
// whose findings differ from `allowed` (empty: the query must be valid).
std::vector<std::string> misfits(const Schema& schema, const std::vector<std::string>& allowed = {},
                                 Language language = Language::Subset) {
  const CypherValidator validator(schema, language);
  std::vector<std::string> problems;
  int checked = 0;
  for (uint64_t seed : kSeeds) {
    CypherGenerator generator(schema, seed);
    for (int round = 0; round < kRoundsPerSeed; ++round) {
      for (std::string_view type : CypherGenerator::supported_types()) {
        const std::string query = generator.generate(type).value();
        ++checked;
        const ValidationResult result = validator.validate(query);
        const bool fits =
            result.syntax_errors.empty() &&
            std::all_of(result.semantic_errors.begin(), result.semantic_errors.end(),
                        [&](const std::string& e) {
                          return std::find(allowed.begin(), allowed.end(), e) != allowed.end();
                        });
        if (!fits && problems.size() < 10) {
          std::string text = std::string(type) + ": " + query;
          for (const std::string& error : result.errors) text += "\n    " + error;
          problems.push_back(std::move(text));
        }
      }
    }
  }
  EXPECT_EQ(checked, 4 * kRoundsPerSeed * 13);
  return problems;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

TEST(GeneratedQueriesValidate, OrdinarySchema) {
  const std::vector<std::string> problems = misfits(ordinary());
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

TEST(GeneratedQueriesValidate, NamesThatNeedBackticks) {
  const std::vector<std::string> problems = misfits(awkward());
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

TEST(GeneratedQueriesValidate, LabelsWithoutProperties) {
  const std::vector<std::string> problems = misfits(labels_without_properties());
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

TEST(GeneratedQueriesValidate, LabelsWithoutRelationshipTypes) {
  const std::vector<std::string> problems = misfits(labels_only());
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

// Without labels the generator falls back to :Node, which the empty schema
// does not declare; that is the only finding allowed.
TEST(GeneratedQueriesValidate, EmptySchemaOnlyLacksTheFallbackLabel) {
  const std::vector<std::string> problems = misfits(Schema{}, {"Unknown node label: :Node"});
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

// The extended language adds the rules a database enforces before it runs a
// query; every generated query is one a database accepts, so none of them
// may fire.
TEST(GeneratedQueriesValidate, ExtendedLanguageAcceptsEveryGeneratedQuery) {
  for (const Schema& schema : {ordinary(), awkward(), labels_without_properties(), labels_only()}) {
    const std::vector<std::string> problems = misfits(schema, {}, Language::Extended);
    EXPECT_TRUE(problems.empty()) << joined(problems);
  }
  const std::vector<std::string> problems =
      misfits(Schema{}, {"Unknown node label: :Node"}, Language::Extended);
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

TEST(GeneratedQueriesValidate, EveryQueryOfTheAwkwardSchemaParses) {
  CypherGenerator generator(awkward(), 9);
  for (int round = 0; round < 200; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      const std::string query = generator.generate(type).value();
      Result<CypherQuery> parsed = parse(query);
      ASSERT_TRUE(parsed.ok()) << query << "\n" << parsed.error().message;
    }
  }
}

// Sanity check of the check itself: the awkward names written without
// backticks are rejected by the parser, so the quoting is what makes the
// queries above pass.
TEST(GeneratedQueriesValidate, UnquotedAwkwardNamesWouldNotParse) {
  EXPECT_FALSE(parse("MATCH (n:My Label) DETACH DELETE n").ok());
  EXPECT_FALSE(parse("MATCH (n:2fast) DETACH DELETE n").ok());
  EXPECT_FALSE(parse("CREATE (n:A {x-y: 1}) RETURN n").ok());
  EXPECT_TRUE(parse("MATCH (n:`2fast`) RETURN count(n.`x-y`) AS result").ok());
}

}  // namespace
}  // namespace quorvane
