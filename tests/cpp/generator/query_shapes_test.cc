// Each query type against schemas with one label and one relationship type:
// the text must match the shape's template and the source must have moved by
// exactly the draws the shape makes, in order. The expected side replays
// those draws on a second source built from the same seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "generator/cypher_generator.h"
#include "generator/random_source.h"
#include "schema/schema.h"

namespace quorvane {
namespace {

struct OneOfEach {
  std::string label;
  std::vector<std::string> keys;
  std::string type = "KNOWS";
  std::string source = "Person";
  std::string target = "City";

  Schema schema() const {
    Schema s;
    s.add_node_label(label, keys);
    s.add_rel_type(type, source, target, {"since"});
    return s;
  }
};

std::string replay_limit(RandomSource& r) {
  if (r.index_below(3) != 0) return "";
  return " LIMIT " + std::to_string(r.integer_between(1, 50));
}

std::string replay_scalar(RandomSource& r) {
  static const char* const kNames[] = {"\"Alice\"", "\"Bob\"", "\"Carol\"", "\"Neo4j\"",
                                       "\"hello\""};
  static const char* const kParams[] = {"$name", "$id", "$value", "$limit"};
  switch (r.next64() >> 62) {
    case 0:
      return kNames[r.index_below(5)];
    case 1:
      return std::to_string(r.integer_between(1, 100));
    case 2:
      return (r.next64() >> 63) == 0 ? "true" : "false";
    default:
      return kParams[r.index_below(4)];
  }
}

std::string replay_string_value(RandomSource& r) {
  static const char* const kNames[] = {"\"Alice\"", "\"Bob\"", "\"Carol\"", "\"Neo4j\""};
  static const char* const kParams[] = {"$name", "$id", "$value"};
  if (r.index_below(3) != 0) return kNames[r.index_below(4)];
  return kParams[r.index_below(3)];
}

std::string replay_property_map(RandomSource& r, const std::vector<std::string>& keys) {
  if (keys.empty()) return "";
  const uint64_t n = keys.size();
  const uint64_t count = 1 + r.index_below(std::min<uint64_t>(n, 3));
  std::vector<uint64_t> chosen;
  for (uint64_t j = n - count; j < n; ++j) {
    const uint64_t t = r.index_below(j + 1);
    auto it = std::find(chosen.begin(), chosen.end(), t);
    if (it != chosen.end()) *it = j;
    chosen.push_back(t);
  }
  std::string text = " {";
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (i > 0) text += ", ";
    text += keys[chosen[i]] + ": " + replay_scalar(r);
  }
  return text + "}";
}

// The expected query for `type`, drawing from `r` as the shape must.
std::string replay(const std::string& type, const OneOfEach& f, RandomSource& r) {
  const std::string& l = f.label;
  auto draw_label = [&] { EXPECT_EQ(r.index_below(1), 0u); };
  auto draw_prop = [&]() -> std::string {
    return f.keys.empty() ? "" : f.keys[r.index_below(f.keys.size())];
  };
  if (type == "match_return") {
    draw_label();
    return "MATCH (n:" + l + ") RETURN n" + replay_limit(r);
  }
  if (type == "match_where_return") {
    draw_label();
    const std::string p = draw_prop();
    if (p.empty()) return "MATCH (n:" + l + ") RETURN n" + replay_limit(r);
    const std::string v = replay_string_value(r);
    return "MATCH (n:" + l + ") WHERE n." + p + " = " + v + " RETURN n." + p + replay_limit(r);
  }
  if (type == "create" || type == "merge") {
    draw_label();
    const std::string verb = type == "create" ? "CREATE" : "MERGE";
    return verb + " (n:" + l + replay_property_map(r, f.keys) + ") RETURN n";
  }
  if (type == "aggregation") {
    draw_label();
    const std::string p = draw_prop();
    if (p.empty()) return "MATCH (n:" + l + ") RETURN count(n) AS result";
    return "MATCH (n:" + l + ") RETURN count(n." + p + ") AS result";
  }
  if (type == "match_relationship") {
    EXPECT_EQ(r.index_below(1), 0u);
    const std::string optional = r.next64() < (uint64_t{1} << 62) ? "OPTIONAL " : "";
    return optional + "MATCH (a:" + f.source + ")-[r:" + f.type + "]->(b:" + f.target +
           ") RETURN a, r, b";
  }
  if (type == "create_relationship") {
    EXPECT_EQ(r.index_below(1), 0u);
    return "MATCH (a:" + f.source + "),(b:" + f.target + ") CREATE (a)-[r:" + f.type +
           "]->(b) RETURN r";
  }
  if (type == "match_set") {
    draw_label();
    const std::string p = draw_prop();
    if (p.empty()) return "MATCH (n:" + l + ") RETURN n";
    return "MATCH (n:" + l + ") SET n." + p + " = " + replay_string_value(r) + " RETURN n";
  }
  if (type == "match_delete") {
    draw_label();
    return "MATCH (n:" + l + ") DETACH DELETE n";
  }
  if (type == "with_chain") {
    draw_label();
    const std::string p = draw_prop();
    if (p.empty()) return "MATCH (n:" + l + ") WITH n AS val RETURN count(*)";
    return "MATCH (n:" + l + ") WITH n." + p + " AS val RETURN count(*)";
  }
  if (type == "distinct_return") {
    draw_label();
    const std::string p = draw_prop();
    if (p.empty()) return "MATCH (n:" + l + ") RETURN DISTINCT n" + replay_limit(r);
    return "MATCH (n:" + l + ") RETURN DISTINCT n." + p + replay_limit(r);
  }
  if (type == "order_by") {
    draw_label();
    const std::string p = draw_prop();
    const bool desc = (r.next64() >> 63) != 0;
    if (p.empty()) return "MATCH (n:" + l + ") RETURN n ORDER BY n" + replay_limit(r);
    return "MATCH (n:" + l + ") RETURN n ORDER BY n." + p + (desc ? " DESC" : "") + replay_limit(r);
  }
  if (type == "unwind") {
    draw_label();
    const std::string p = draw_prop();
    const uint64_t count = 2 + r.index_below(3);
    std::string items;
    for (uint64_t i = 0; i < count; ++i) items += (i > 0 ? ", " : "") + replay_scalar(r);
    if (p.empty()) return "UNWIND [" + items + "] AS item RETURN item";
    return "MATCH (n:" + l + ") UNWIND n." + p + " AS item RETURN item";
  }
  ADD_FAILURE() << "no replay for " << type;
  return "";
}

class EveryShape : public ::testing::TestWithParam<std::string_view> {
 protected:
  void check_seeds(const OneOfEach& fixture) {
    const std::string type(GetParam());
    for (uint64_t seed = 0; seed < 400; ++seed) {
      CypherGenerator generator(fixture.schema(), seed);
      RandomSource reference = RandomSource::from_seed(seed);
      const std::string expected = replay(type, fixture, reference);
      Result<std::string> text = generator.generate(type);
      ASSERT_TRUE(text.ok()) << text.error().display();
      EXPECT_EQ(text.value(), expected) << "seed " << seed;
      EXPECT_EQ(generator.rng(), reference) << "seed " << seed;
      // A second call continues from where the first left off.
      const std::string again = replay(type, fixture, reference);
      EXPECT_EQ(generator.generate(type).value(), again) << "seed " << seed;
      EXPECT_EQ(generator.rng(), reference) << "seed " << seed;
    }
  }
};

TEST_P(EveryShape, LabelWithProperties) {
  check_seeds({"Person", {"name", "age"}});
}

TEST_P(EveryShape, LabelWithThreeProperties) {
  check_seeds({"Movie", {"title", "released", "tagline"}});
}

TEST_P(EveryShape, LabelWithoutProperties) {
  check_seeds({"Person", {}});
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EveryShape,
                         ::testing::ValuesIn(CypherGenerator::supported_types()),
                         [](const auto& info) { return std::string(info.param); });

bool any_contains(const std::vector<std::string>& texts, std::string_view part) {
  return std::any_of(texts.begin(), texts.end(),
                     [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

// The replay comparison only means something if both sides of each choice
// were exercised; these guard against a seed range that misses a branch.
TEST(BranchCoverage, OptionalLimitDescAndValueKindsAllOccur) {
  CypherGenerator generator(OneOfEach{"Person", {"name", "age"}}.schema(), 99);
  std::vector<std::string> texts;
  for (int i = 0; i < 400; ++i) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      texts.push_back(generator.generate(type).value());
    }
  }
  EXPECT_TRUE(any_contains(texts, "OPTIONAL MATCH"));
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
    return t.rfind("MATCH (a:Person)-[r:KNOWS]", 0) == 0;
  }));
  EXPECT_TRUE(any_contains(texts, " DESC"));
  EXPECT_TRUE(any_contains(texts, " LIMIT "));
  EXPECT_TRUE(any_contains(texts, "true"));
  EXPECT_TRUE(any_contains(texts, "false"));
  EXPECT_TRUE(any_contains(texts, "$limit"));
  EXPECT_TRUE(any_contains(texts, "\"hello\""));
  EXPECT_TRUE(any_contains(texts, "{name: "));
  EXPECT_TRUE(any_contains(texts, ", age: ") || any_contains(texts, ", name: "));
  EXPECT_FALSE(any_contains(texts, "LIMIT 0"));
  EXPECT_FALSE(any_contains(texts, "LIMIT 51"));
}

// --- Schemas without labels or without relationship types --------------------

TEST(Fallbacks, NoLabelsUsesNodeAndDrawsNothingForIt) {
  CypherGenerator generator(Schema{}, 5);
  const RandomSource start = generator.rng();
  EXPECT_EQ(generator.generate("create").value(), "CREATE (n:Node) RETURN n");
  EXPECT_EQ(generator.generate("merge").value(), "MERGE (n:Node) RETURN n");
  EXPECT_EQ(generator.generate("match_delete").value(), "MATCH (n:Node) DETACH DELETE n");
  EXPECT_EQ(generator.generate("aggregation").value(), "MATCH (n:Node) RETURN count(n) AS result");
  EXPECT_EQ(generator.generate("with_chain").value(),
            "MATCH (n:Node) WITH n AS val RETURN count(*)");
  EXPECT_EQ(generator.generate("match_set").value(), "MATCH (n:Node) RETURN n");
  EXPECT_EQ(generator.generate("match_relationship").value(), "MATCH (n:Node) RETURN n");
  EXPECT_EQ(generator.generate("create_relationship").value(), "CREATE (n:Node) RETURN n");
  // None of the above draws at all.
  EXPECT_EQ(generator.rng(), start);
}

TEST(Fallbacks, NoLabelsStillDrawsLimitDescAndItems) {
  CypherGenerator generator(Schema{}, 5);
  RandomSource reference = RandomSource::from_seed(5);
  EXPECT_EQ(generator.generate("match_return").value(),
            "MATCH (n:Node) RETURN n" + replay_limit(reference));
  EXPECT_EQ(generator.rng(), reference);

  reference.next64();  // desc, unused without a prop
  const std::string limit = replay_limit(reference);
  EXPECT_EQ(generator.generate("order_by").value(), "MATCH (n:Node) RETURN n ORDER BY n" + limit);
  EXPECT_EQ(generator.rng(), reference);

  const uint64_t count = 2 + reference.index_below(3);
  std::string items;
  for (uint64_t i = 0; i < count; ++i) items += (i > 0 ? ", " : "") + replay_scalar(reference);
  EXPECT_EQ(generator.generate("unwind").value(), "UNWIND [" + items + "] AS item RETURN item");
  EXPECT_EQ(generator.rng(), reference);
}

TEST(Fallbacks, NoRelationshipTypesFallBackToNodeShapes) {
  Schema schema;
  schema.add_node_label("Person", {"name"});
  CypherGenerator generator(schema, 8);
  RandomSource reference = RandomSource::from_seed(8);
  EXPECT_EQ(generator.generate("match_relationship").value(), "MATCH (n:Person) RETURN n");
  EXPECT_EQ(generator.generate("create_relationship").value(), "CREATE (n:Person) RETURN n");
  // One label draw each, nothing more.
  reference.next64();
  reference.next64();
  EXPECT_EQ(generator.rng(), reference);
}

TEST(Fallbacks, RelationshipTypesWithoutLabelsUseTheDeclaredEnds) {
  Schema schema;
  schema.add_rel_type("LINKS", "Page", "Site", {});
  CypherGenerator generator(schema, 8);
  EXPECT_EQ(generator.generate("create_relationship").value(),
            "MATCH (a:Page),(b:Site) CREATE (a)-[r:LINKS]->(b) RETURN r");
  EXPECT_EQ(generator.generate("match_delete").value(), "MATCH (n:Node) DETACH DELETE n");
}

// --- Query type names -----------------------------------------------------------

TEST(QueryTypes, SupportedInTheListedOrder) {
  const std::vector<std::string_view> expected = {"match_return",
                                                  "match_where_return",
                                                  "create",
                                                  "merge",
                                                  "aggregation",
                                                  "match_relationship",
                                                  "create_relationship",
                                                  "match_set",
                                                  "match_delete",
                                                  "with_chain",
                                                  "distinct_return",
                                                  "order_by",
                                                  "unwind"};
  EXPECT_EQ(CypherGenerator::supported_types(), expected);
}

TEST(QueryTypes, UnknownOrMiscasedTypesFailWithoutDrawing) {
  Schema schema;
  schema.add_node_label("Person", {"name"});
  CypherGenerator generator(schema, 1);
  const RandomSource start = generator.rng();
  for (std::string_view bad : {"Match_return", "match_return ", " match_return", "MATCH_RETURN",
                               "bogus", "", "unwind\n"}) {
    Result<std::string> result = generator.generate(bad);
    ASSERT_FALSE(result.ok()) << bad;
    EXPECT_EQ(result.error().kind, CypherError::Kind::Generator);
    EXPECT_EQ(result.error().message, "Unknown query type: " + std::string(bad));
    EXPECT_EQ(generator.rng(), start) << bad;
  }
  EXPECT_EQ(generator.generate("bogus").error().display(),
            "Generator error: Unknown query type: bogus");
}

TEST(QueryTypes, TypeWithEmbeddedNulIsUnknown) {
  CypherGenerator generator(Schema{}, 1);
  const std::string with_nul("create\0", 7);
  Result<std::string> result = generator.generate(with_nul);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().message, "Unknown query type: " + with_nul);
}

}  // namespace
}  // namespace quorvane
