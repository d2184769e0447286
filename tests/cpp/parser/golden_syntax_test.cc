// Conformance: about 2,000 queries with the exact syntax-error text each must
// produce (or none).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/corpus_files.h"
#include "golden_reader.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

TEST(GoldenSyntax, EveryCaseMatchesExactly) {
  auto cases = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_GT(cases.size(), 1900u);
  int failures = 0;
  for (const auto& c : cases) {
    auto result = parse(c.query);
    if (c.valid) {
      if (!result.ok()) {
        ++failures;
        ADD_FAILURE() << "line " << c.line << ": expected to parse: " << c.query << "\n"
                      << result.error().message;
      }
      continue;
    }
    if (result.ok()) {
      ++failures;
      ADD_FAILURE() << "line " << c.line << ": expected a syntax error: " << c.query;
      continue;
    }
    if (result.error().message != *c.message) {
      ++failures;
      ADD_FAILURE() << "line " << c.line << ": query: " << c.query << "\nexpected:\n"
                    << *c.message << "\nactual:\n"
                    << result.error().message;
    }
    if (failures > 30) break;
  }
  EXPECT_EQ(failures, 0);
}

// parses() answers as parse_unexplained() does, in both languages, for the
// golden cases, the corpus, the snapshot's queries and commands (valid and
// not), without explaining a failure.
TEST(GoldenSyntax, ParsesAgreesWithTheParse) {
  std::vector<std::string> texts;
  for (const auto& c : testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl")) {
    texts.push_back(c.query);
  }
  for (std::string& q : testing::bench_queries()) texts.push_back(std::move(q));
  for (std::string& q : testing::snapshot_queries()) texts.push_back(std::move(q));
  for (const char* command :
       {"CREATE INDEX FOR (n:Person) ON (n.name)", "CREATE INDEX FOR (n:Person) ON n.name",
        "SHOW INDEXES YIELD name", "SHOW INDEXES YIELD", "DROP CONSTRAINT c", "DROP CONSTRAINT",
        "MATCH (n) RETURN n MATCH (m) RETURN m", "EXPLAIN MATCH (n) RETURN n", "USE db RETURN"}) {
    texts.emplace_back(command);
  }
  size_t accepted = 0;
  for (Language language : {Language::Subset, Language::Extended}) {
    for (const std::string& text : texts) {
      const bool ok = parse_unexplained(text, language).ok();
      accepted += ok;
      ASSERT_EQ(parses(text, language), ok)
          << text << " (" << (language == Language::Subset ? "subset" : "extended") << ")";
    }
  }
  // Both verdicts occur often enough to mean something.
  const size_t checks = 2 * texts.size();
  EXPECT_GT(accepted, checks / 10);
  EXPECT_LT(accepted, checks - checks / 10);
}

}  // namespace
}  // namespace quorvane
