// Conformance: about 2,000 queries with the exact syntax-error text each must
// produce (or none).
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvane
