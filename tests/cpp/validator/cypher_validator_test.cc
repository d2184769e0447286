// The facade: how parse failures and findings become a ValidationResult.
#include "validator/cypher_validator.h"

#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;

void expect_invariants(const ValidationResult& result) {
  EXPECT_FALSE(!result.syntax_errors.empty() && !result.semantic_errors.empty());
  EXPECT_LE(result.syntax_errors.size(), 1u);
  std::vector<std::string> joined = result.syntax_errors;
  joined.insert(joined.end(), result.semantic_errors.begin(), result.semantic_errors.end());
  EXPECT_EQ(result.errors, joined);
  EXPECT_EQ(result.is_valid, result.errors.empty());
}

TEST(CypherValidatorTest, FittingQueryIsValid) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema()).validate("MATCH (n:Person) RETURN n");
  EXPECT_TRUE(result.is_valid);
  EXPECT_THAT(result.errors, IsEmpty());
  EXPECT_THAT(result.syntax_errors, IsEmpty());
  EXPECT_THAT(result.semantic_errors, IsEmpty());
}

TEST(CypherValidatorTest, SchemaFindingsAreSemanticErrors) {
  const ValidationResult result = CypherValidator(Schema()).validate("MATCH (n:Person) RETURN n");
  EXPECT_FALSE(result.is_valid);
  EXPECT_THAT(result.syntax_errors, IsEmpty());
  EXPECT_THAT(result.semantic_errors, ElementsAre("Unknown node label: :Person"));
  EXPECT_EQ(result.errors, result.semantic_errors);
  expect_invariants(result);
}

TEST(CypherValidatorTest, SeveralFindingsKeepTheirOrderInBothLists) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema()).validate("MATCH (p:Persn) RETURN p.name, q");
  EXPECT_THAT(result.semantic_errors,
              ElementsAre("Unknown node label: :Persn, did you mean :Person?",
                          "Variable 'q' is not bound in this scope"));
  expect_invariants(result);
}

TEST(CypherValidatorTest, DuplicateFindingsStay) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema()).validate("RETURN x, x");
  EXPECT_THAT(result.errors, SizeIs(2));
  EXPECT_EQ(result.errors[0], result.errors[1]);
  expect_invariants(result);
}

TEST(CypherValidatorTest, SyntaxErrorGivesOneBareMessage) {
  for (const char* text : {"MATCH (n RETURN n", "", "RETURN", "MATCH (n:Persn) RETURN n n"}) {
    SCOPED_TRACE(text);
    const ValidationResult result = CypherValidator(testing::small_movie_schema()).validate(text);
    EXPECT_FALSE(result.is_valid);
    ASSERT_THAT(result.syntax_errors, SizeIs(1));
    EXPECT_THAT(result.semantic_errors, IsEmpty());
    EXPECT_EQ(result.errors, result.syntax_errors);
    EXPECT_THAT(result.syntax_errors[0], ::testing::Not(StartsWith("Parse error: ")));
    EXPECT_FALSE(result.syntax_errors[0].empty());
    expect_invariants(result);
  }
}

TEST(CypherValidatorTest, SyntaxErrorDoesNotDependOnTheSchema) {
  const char* text = "MATCH (n:Persn RETURN n";
  const ValidationResult with_schema =
      CypherValidator(testing::small_movie_schema()).validate(text);
  const ValidationResult without = CypherValidator(Schema()).validate(text);
  EXPECT_EQ(with_schema, without);
}

TEST(CypherValidatorTest, StandaloneCallIsNeverChecked) {
  for (const char* text : {"CALL db.labels()", "CALL db.thing(x, y.z)"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(CypherValidator(Schema()).validate(text).is_valid);
    EXPECT_TRUE(CypherValidator(testing::small_movie_schema()).validate(text).is_valid);
  }
}

TEST(CypherValidatorTest, KeepsItsOwnCopyOfTheSchema) {
  Schema schema = testing::small_movie_schema();
  const CypherValidator validator(schema);
  schema.add_node_label("Studio", {});
  EXPECT_FALSE(validator.validate("MATCH (s:Studio) RETURN s").is_valid);
  EXPECT_FALSE(validator.schema().has_node_label("Studio"));
}

TEST(CypherValidatorTest, RepeatedValidationGivesEqualResults) {
  const CypherValidator validator(testing::small_movie_schema());
  const char* text = "MATCH (p:Persn)-[:ACTD_IN]->(m) RETURN p.x, z";
  EXPECT_EQ(validator.validate(text), validator.validate(text));
}

TEST(CypherValidatorTest, ThreadsSeeTheSerialResults) {
  const CypherValidator validator(testing::small_movie_schema());
  const std::vector<std::string> texts = {
      "MATCH (p:Persn) RETURN p",
      "MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN m",
      "MATCH (p:Person) RETURN p.nme",
      "MATCH (n) WITH n.name AS nm WHERE nm = 'x' RETURN nm",
      "RETURN [x IN [1] | x], x",
      "MATCH (a) RETURN 1 UNION MATCH (b) RETURN a",
      "MATCH (n RETURN n",
      "MATCH (p:Person) SET p:Persn REMOVE p:Mvie",
      "CALL db.labels()",
      "MATCH (p:Person {nme: 1})-[r:ACTED_IN {rol: 2}]->(m:Movie) RETURN r.x, m.y",
  };
  std::vector<ValidationResult> serial;
  for (const std::string& text : texts) serial.push_back(validator.validate(text));

  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::vector<std::vector<ValidationResult>> parallel(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < texts.size(); ++i) {
          // Each thread starts at a different text so the calls interleave.
          const size_t at = (i + t) % texts.size();
          ValidationResult result = validator.validate(texts[at]);
          if (round == kRounds - 1) parallel[t].push_back(result);
          if (!(result == serial[at])) {
            parallel[t].clear();
            return;
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(parallel[t].size(), texts.size()) << "thread " << t << " saw a different result";
    for (size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(parallel[t][i], serial[(i + t) % texts.size()]);
    }
  }
}

}  // namespace
}  // namespace quorvane
