// Relationship ends are compared with each declared pair once, and the
// answers are shared by the direction check and the endpoint checks. A type
// with more pairs than the answers kept (64) must be judged the same way
// past them: these cases lean on the pairs after the 64th.
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr int kPairs = 70;

std::string label(int i) {
  char text[8] = {'N'};
  char* end = std::to_chars(text + 1, text + sizeof text, i).ptr;
  return std::string(text, static_cast<size_t>(end - text));
}

// N0 ... N70 and X; NEXT joins each Ni to N(i+1); ONE joins N68 to N69 only.
Schema chain() {
  Schema schema;
  for (int i = 0; i <= kPairs; ++i) schema.add_node_label(label(i), {});
  schema.add_node_label("X", {});
  std::vector<Schema::Endpoints> pairs;
  for (int i = 0; i < kPairs; ++i) pairs.push_back({label(i), label(i + 1)});
  schema.add_rel_type("NEXT", std::move(pairs), {});
  schema.add_rel_type("ONE", label(68), label(69), {});
  return schema;
}

std::vector<std::string> subset(std::string_view query) {
  return testing::findings(chain(), query);
}

std::vector<std::string> extended(std::string_view query) {
  const ValidationResult result = CypherValidator(chain(), Language::Extended).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty()) << query;
  return result.semantic_errors;
}

std::string declared_pairs() {
  std::string out;
  for (int i = 0; i < kPairs; ++i) {
    out += (i == 0 ? "" : ", ") + std::string("(:") + label(i) + ")->(:" + label(i + 1) + ")";
  }
  return out;
}

TEST(EndpointFitsTest, PairsPastTheKeptAnswersStillFit) {
  for (const auto& check : {subset, extended}) {
    EXPECT_THAT(check("MATCH (a:N68)-[:NEXT]->(b:N69) RETURN a"), IsEmpty());
    EXPECT_THAT(check("MATCH (b:N70)<-[:NEXT]-(a:N69) RETURN a"), IsEmpty());
    EXPECT_THAT(check("MATCH (a:N2)-[:NEXT]->(b:N3)-[:NEXT]->(c:N4) RETURN a"), IsEmpty());
    EXPECT_THAT(check("MATCH (a:N69)-[:NEXT]-(b:N68) RETURN a"), IsEmpty());
    // A longer path may pass through other pairs.
    EXPECT_THAT(check("MATCH (a:N66)-[:NEXT*2]->(b:N69) RETURN a"), IsEmpty());
  }
}

TEST(EndpointFitsTest, EndsOfDifferentPairsPastTheKeptAnswers) {
  const std::string unjoined =
      "Relationship :NEXT does not join :N66 to :N69; declared: " + declared_pairs();
  EXPECT_THAT(subset("MATCH (a:N66)-[:NEXT]->(b:N69) RETURN a"), ElementsAre(unjoined));
  EXPECT_THAT(extended("MATCH (a:N66)-[:NEXT]->(b:N69) RETURN a"), ElementsAre(unjoined));
  EXPECT_THAT(subset("MATCH (a:N69)-[:NEXT]-(b:N66) RETURN a"),
              ElementsAre("Relationship :NEXT does not join :N69 and :N66 in either direction; "
                          "declared: " +
                          declared_pairs()));
}

TEST(EndpointFitsTest, AnEndThatFitsNoPair) {
  EXPECT_THAT(subset("MATCH (a:N69)-[:NEXT]->(x:X) RETURN a"),
              ElementsAre(StartsWith("Relationship :NEXT expects target label :N1, :N2, ")));
  EXPECT_THAT(subset("MATCH (a:N69)-[:NEXT]->(x:X) RETURN a").front(),
              ::testing::EndsWith(" or :N70, but node has label(s): :X"));
  EXPECT_THAT(subset("MATCH (x:X)-[:NEXT]-(b:N70) RETURN x"),
              ElementsAre(StartsWith("Relationship :NEXT expects label :N0, :N1, :N2, ")));
  EXPECT_THAT(subset("MATCH (x:X)-[:NEXT]-(b:N70) RETURN x").front(),
              ::testing::EndsWith(" or :N70 at either end, but node has label(s): :X"));
  // Both ends of one pair, each wrong: the source is named first.
  EXPECT_THAT(subset("MATCH (x:X)-[:ONE]->(y:X) RETURN x"),
              ElementsAre("Relationship :ONE expects source label :N68, but node has label(s): :X",
                          "Relationship :ONE expects target label :N69, but node has label(s): "
                          ":X"));
}

TEST(EndpointFitsTest, DrawnBackwardsPastTheKeptAnswers) {
  EXPECT_THAT(extended("MATCH (b:N69)-[:NEXT]->(a:N68) RETURN a"),
              ElementsAre("Relationship :NEXT goes from :N68 to :N69, but this pattern draws it "
                          "from :N69 to :N68; reverse the arrow"));
  EXPECT_THAT(extended("MATCH (b:N69)-[:ONE]->(a:N68) RETURN a"),
              ElementsAre("Relationship :ONE goes from :N68 to :N69, but this pattern draws it "
                          "from :N69 to :N68; reverse the arrow"));
  // The subset names the ends instead.
  EXPECT_THAT(
      subset("MATCH (b:N69)-[:NEXT]->(a:N68) RETURN a"),
      ElementsAre("Relationship :NEXT does not join :N69 to :N68; declared: " + declared_pairs()));
  // An end the schema does not know is never called backwards.
  EXPECT_THAT(extended("MATCH (b:Y)-[:ONE]->(a:N68) RETURN a"),
              ElementsAre(StartsWith("Unknown node label: :Y"),
                          "Relationship :ONE expects target label :N69, but node has label(s): "
                          ":N68"));
}

}  // namespace
}  // namespace quorvane
