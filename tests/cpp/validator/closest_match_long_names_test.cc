// Regression: the suggestion search must stay cheap for long names. Only
// candidates within distance 3 count, so no more than a band of seven
// diagonals of the edit-distance table can matter; filling the whole table
// makes one near-miss of a 30,000-character name cost about a billion steps,
// and a query can repeat such a near-miss as often as it likes.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "validator/cypher_validator.h"
#include "validator/semantic/closest_match.h"

namespace quorvane {
namespace {

double budget_seconds() {
  double seconds = 0.25;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  seconds *= 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  seconds *= 8;
#endif
#endif
#ifndef NDEBUG
  seconds *= 4;
#endif
  return seconds;
}

template <class F>
double seconds_for(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(ClosestMatchLongNames, NearMissOfALongNameIsFoundQuickly) {
  const std::string candidate(30'000, 'a');
  const std::string name = std::string(29'999, 'a') + "b";
  const std::vector<std::string_view> candidates = {candidate};
  std::optional<std::string_view> found;
  const double seconds = seconds_for([&] { found = closest_match(name, candidates); });
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size(), candidate.size());
  EXPECT_LT(seconds, budget_seconds()) << "took " << seconds << " s";
}

TEST(ClosestMatchLongNames, ValidatingANearMissOfALongLabelIsQuick) {
  Schema schema;
  schema.add_node_label(std::string(30'000, 'L'), {});
  const CypherValidator validator(schema);
  const std::string query = "MATCH (n:`" + std::string(29'999, 'L') + "M`) RETURN n";
  ValidationResult result;
  const double seconds = seconds_for([&] { result = validator.validate(query); });
  ASSERT_EQ(result.semantic_errors.size(), 1u);
  EXPECT_NE(result.semantic_errors[0].find(", did you mean :L"), std::string::npos);
  EXPECT_LT(seconds, budget_seconds()) << "took " << seconds << " s";
}

}  // namespace
}  // namespace quorvane
