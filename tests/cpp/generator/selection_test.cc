// pick_node_prop, gen_property_map, gen_scalar_value and gen_string_value.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "generator/cypher_generator.h"
#include "generator/random_source.h"
#include "schema/schema.h"

namespace quorvane {
namespace {

Schema sample_schema() {
  Schema schema;
  schema.add_node_label("Empty", {});
  schema.add_node_label("One", {"only"});
  schema.add_node_label("Two", {"a", "b"});
  schema.add_node_label("Five", {"k0", "k1", "k2", "k3", "k4"});
  return schema;
}

// Splits " {k: v, k: v}" into its keys; fails the test on any other shape.
std::vector<std::string> map_keys(const std::string& text) {
  std::vector<std::string> keys;
  if (text.size() < 3 || text.compare(0, 2, " {") != 0 || text.back() != '}') {
    ADD_FAILURE() << "not a map: " << text;
    return keys;
  }
  const std::string body = text.substr(2, text.size() - 3);
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find(", ", start);
    if (end == std::string::npos) end = body.size();
    const std::string entry = body.substr(start, end - start);
    const size_t colon = entry.find(": ");
    if (colon == std::string::npos || colon == 0 || colon + 2 >= entry.size()) {
      ADD_FAILURE() << "bad entry '" << entry << "' in " << text;
      return keys;
    }
    keys.push_back(entry.substr(0, colon));
    start = end + 2;
  }
  return keys;
}

TEST(PickNodeProp, NoKeysOrUnknownLabelDrawsNothing) {
  CypherGenerator generator(sample_schema(), 3);
  const RandomSource start = generator.rng();
  EXPECT_FALSE(generator.pick_node_prop("Empty").has_value());
  EXPECT_FALSE(generator.pick_node_prop("Missing").has_value());
  EXPECT_FALSE(generator.pick_node_prop("one").has_value());
  EXPECT_EQ(generator.rng(), start);
}

TEST(PickNodeProp, OneDrawIndexesTheStoredOrder) {
  for (uint64_t seed = 0; seed < 50; ++seed) {
    CypherGenerator generator(sample_schema(), seed);
    RandomSource reference = RandomSource::from_seed(seed);
    const uint64_t index = reference.index_below(5);
    EXPECT_EQ(generator.pick_node_prop("Five"), std::string("k").append(std::to_string(index)));
    EXPECT_EQ(generator.rng(), reference);
  }
}

TEST(PropertyMap, NoKeysGivesEmptyTextWithoutDrawing) {
  CypherGenerator generator(sample_schema(), 3);
  const RandomSource start = generator.rng();
  EXPECT_EQ(generator.gen_property_map("Empty"), "");
  EXPECT_EQ(generator.gen_property_map("Missing"), "");
  EXPECT_EQ(generator.rng(), start);
}

TEST(PropertyMap, SingleKeyDrawsCountPositionThenValue) {
  for (uint64_t seed = 0; seed < 50; ++seed) {
    CypherGenerator generator(sample_schema(), seed);
    const std::string map = generator.gen_property_map("One");

    CypherGenerator values_only(sample_schema(), seed);
    // Count and Floyd position are both an index below 1: one step each.
    values_only.pick_node_prop("One");
    values_only.pick_node_prop("One");
    EXPECT_EQ(map, " {only: " + values_only.gen_scalar_value() + "}");
    EXPECT_EQ(generator.rng(), values_only.rng());
  }
}

TEST(PropertyMap, TwoKeysGiveOneOrTwoDistinctEntries) {
  std::set<size_t> sizes;
  for (uint64_t seed = 0; seed < 200; ++seed) {
    CypherGenerator generator(sample_schema(), seed);
    const std::vector<std::string> keys = map_keys(generator.gen_property_map("Two"));
    sizes.insert(keys.size());
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
    for (const std::string& key : keys) EXPECT_TRUE(key == "a" || key == "b") << key;
  }
  EXPECT_EQ(sizes, (std::set<size_t>{1, 2}));
}

TEST(PropertyMap, FiveKeysGiveOneToThreeDistinctEntriesInFloydOrder) {
  std::set<size_t> sizes;
  std::set<std::string> firsts;
  for (uint64_t seed = 0; seed < 300; ++seed) {
    CypherGenerator generator(sample_schema(), seed);
    const std::vector<std::string> keys = map_keys(generator.gen_property_map("Five"));
    sizes.insert(keys.size());
    firsts.insert(keys.empty() ? "" : keys.front());
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());

    // Replay the count and the Floyd positions to check order and draws.
    RandomSource reference = RandomSource::from_seed(seed);
    const uint64_t count = 1 + reference.index_below(3);
    ASSERT_EQ(keys.size(), count) << "seed " << seed;
    std::vector<uint64_t> chosen;
    for (uint64_t j = 5 - count; j < 5; ++j) {
      const uint64_t t = reference.index_below(j + 1);
      for (uint64_t& c : chosen) {
        if (c == t) c = j;
      }
      chosen.push_back(t);
    }
    for (size_t i = 0; i < count; ++i)
      EXPECT_EQ(keys[i], std::string("k").append(std::to_string(chosen[i])));
  }
  EXPECT_EQ(sizes, (std::set<size_t>{1, 2, 3}));
  EXPECT_GE(firsts.size(), 4u);
}

TEST(ScalarValue, KindsFollowTheTopTwoBits) {
  std::map<std::string, int> counts;
  CypherGenerator generator(Schema{}, 17);
  for (int i = 0; i < 4000; ++i) {
    RandomSource before = generator.rng();
    const uint64_t top = before.next64() >> 62;
    const std::string value = generator.gen_scalar_value();
    ++counts[value];
    switch (top) {
      case 0:
        EXPECT_TRUE(value.size() > 2 && value.front() == '"' && value.back() == '"') << value;
        break;
      case 1: {
        ASSERT_FALSE(value.empty());
        EXPECT_NE(value[0], '0') << value;
        const int number = std::stoi(value);
        EXPECT_GE(number, 1);
        EXPECT_LE(number, 100);
        EXPECT_EQ(std::to_string(number), value);
        break;
      }
      case 2:
        EXPECT_TRUE(value == "true" || value == "false") << value;
        break;
      default:
        EXPECT_EQ(value[0], '$') << value;
    }
  }
  for (const char* expected : {"\"Alice\"", "\"Bob\"", "\"Carol\"", "\"Neo4j\"", "\"hello\"",
                               "true", "false", "$name", "$id", "$value", "$limit", "1", "100"}) {
    EXPECT_GT(counts[expected], 0) << expected;
  }
}

TEST(ScalarValue, BooleanTakesOneMoreStepAndItsTopBit) {
  int booleans = 0;
  for (uint64_t seed = 0; seed < 200; ++seed) {
    CypherGenerator generator(Schema{}, seed);
    RandomSource reference = RandomSource::from_seed(seed);
    if ((reference.next64() >> 62) != 2) continue;
    ++booleans;
    const bool top = (reference.next64() >> 63) != 0;
    EXPECT_EQ(generator.gen_scalar_value(), top ? "false" : "true");
    EXPECT_EQ(generator.rng(), reference);
  }
  EXPECT_GT(booleans, 20);
}

TEST(StringValue, NamesTwoThirdsParametersOneThird) {
  CypherGenerator generator(Schema{}, 23);
  std::map<std::string, int> counts;
  for (int i = 0; i < 3000; ++i) ++counts[generator.gen_string_value()];
  EXPECT_EQ(counts.count("\"hello\""), 0u);
  EXPECT_EQ(counts.count("$limit"), 0u);
  EXPECT_EQ(counts.size(), 7u);
  const int names =
      counts["\"Alice\""] + counts["\"Bob\""] + counts["\"Carol\""] + counts["\"Neo4j\""];
  // Expected 2000 names; five standard deviations is about 130.
  EXPECT_NEAR(names, 2000, 130);
}

}  // namespace
}  // namespace quorvane
