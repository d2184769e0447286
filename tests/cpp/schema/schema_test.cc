#include "schema/schema.h"

#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

Schema movies() {
  Schema schema;
  schema.add_node_label("Person", {"name", "age"});
  schema.add_node_label("Movie", {"title"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"role"});
  return schema;
}

TEST(SchemaLookupTest, FindsDeclaredNamesAndKeys) {
  const Schema schema = movies();
  EXPECT_TRUE(schema.has_node_label("Person"));
  EXPECT_TRUE(schema.has_node_label("Movie"));
  EXPECT_TRUE(schema.has_rel_type("ACTED_IN"));
  EXPECT_THAT(schema.node_properties("Person"), ElementsAre("name", "age"));
  EXPECT_THAT(schema.rel_properties("ACTED_IN"), ElementsAre("role"));
  EXPECT_TRUE(schema.node_has_property("Person", "age"));
  EXPECT_TRUE(schema.rel_has_property("ACTED_IN", "role"));
  auto ends = schema.rel_src_tgt("ACTED_IN");
  ASSERT_TRUE(ends.has_value());
  EXPECT_EQ(ends->first, "Person");
  EXPECT_EQ(ends->second, "Movie");
}

TEST(SchemaLookupTest, LabelsAndTypesLiveInSeparateMaps) {
  const Schema schema = movies();
  EXPECT_FALSE(schema.has_rel_type("Person"));
  EXPECT_FALSE(schema.has_node_label("ACTED_IN"));
  EXPECT_FALSE(schema.node_has_property("ACTED_IN", "role"));
  EXPECT_FALSE(schema.rel_has_property("Person", "name"));
}

TEST(SchemaLookupTest, UnknownNamesGiveEmptyAnswers) {
  const Schema schema = movies();
  EXPECT_FALSE(schema.has_node_label("Studio"));
  EXPECT_FALSE(schema.has_rel_type("DIRECTED"));
  EXPECT_THAT(schema.node_properties("Studio"), IsEmpty());
  EXPECT_THAT(schema.rel_properties("DIRECTED"), IsEmpty());
  EXPECT_FALSE(schema.node_has_property("Studio", "name"));
  EXPECT_FALSE(schema.rel_has_property("DIRECTED", "role"));
  EXPECT_FALSE(schema.rel_src_tgt("DIRECTED").has_value());
  EXPECT_EQ(schema.find_node("Studio"), nullptr);
  EXPECT_EQ(schema.find_rel("DIRECTED"), nullptr);
}

TEST(SchemaLookupTest, ComparisonsAreCaseSensitiveAndUntrimmed) {
  const Schema schema = movies();
  EXPECT_FALSE(schema.has_node_label("person"));
  EXPECT_FALSE(schema.has_node_label("PERSON"));
  EXPECT_FALSE(schema.has_node_label("Person "));
  EXPECT_FALSE(schema.has_rel_type("acted_in"));
  EXPECT_FALSE(schema.node_has_property("Person", "NAME"));
  EXPECT_FALSE(schema.rel_has_property("ACTED_IN", "Role"));
}

TEST(SchemaEdgeCaseTest, EmptySchemaAnswersNothing) {
  const Schema schema;
  EXPECT_THAT(schema.node_labels(), IsEmpty());
  EXPECT_THAT(schema.rel_types(), IsEmpty());
  EXPECT_FALSE(schema.has_node_label(""));
  EXPECT_FALSE(schema.has_node_label("Person"));
  EXPECT_FALSE(schema.has_rel_type("ACTED_IN"));
  EXPECT_FALSE(schema.node_has_property("Person", "name"));
  EXPECT_FALSE(schema.rel_has_property("ACTED_IN", "role"));
  EXPECT_THAT(schema.node_properties("Person"), IsEmpty());
  EXPECT_THAT(schema.rel_properties("ACTED_IN"), IsEmpty());
  EXPECT_FALSE(schema.rel_src_tgt("ACTED_IN").has_value());
}

TEST(SchemaEdgeCaseTest, LabelWithoutKeysIsStillDeclared) {
  Schema schema;
  schema.add_node_label("Tag", {});
  EXPECT_TRUE(schema.has_node_label("Tag"));
  EXPECT_THAT(schema.node_properties("Tag"), IsEmpty());
  EXPECT_FALSE(schema.node_has_property("Tag", "name"));
  EXPECT_FALSE(schema.node_has_property("Tag", ""));
}

TEST(SchemaEdgeCaseTest, RepeatedKeysAreKept) {
  Schema schema;
  schema.add_node_label("Person", {"name", "age", "name"});
  schema.add_rel_type("KNOWS", "Person", "Person", {"since", "since"});
  EXPECT_THAT(schema.node_properties("Person"), ElementsAre("name", "age", "name"));
  EXPECT_THAT(schema.rel_properties("KNOWS"), ElementsAre("since", "since"));
  EXPECT_TRUE(schema.node_has_property("Person", "name"));
  EXPECT_TRUE(schema.rel_has_property("KNOWS", "since"));
}

TEST(SchemaEdgeCaseTest, UndeclaredEndpointLabelsAreReturnedUnchanged) {
  Schema schema;
  schema.add_rel_type("OWNS", "Company", "Car", {});
  EXPECT_TRUE(schema.has_rel_type("OWNS"));
  EXPECT_FALSE(schema.has_node_label("Company"));
  auto ends = schema.rel_src_tgt("OWNS");
  ASSERT_TRUE(ends.has_value());
  EXPECT_EQ(ends->first, "Company");
  EXPECT_EQ(ends->second, "Car");
}

TEST(SchemaEdgeCaseTest, NonAsciiNamesMatchByExactBytes) {
  Schema schema;
  schema.add_node_label("Straße", {"größe"});
  EXPECT_TRUE(schema.has_node_label("Straße"));
  EXPECT_FALSE(schema.has_node_label("Strasse"));
  EXPECT_FALSE(schema.has_node_label("STRASSE"));
  EXPECT_TRUE(schema.node_has_property("Straße", "größe"));
}

TEST(SchemaOrderTest, EnumerationFollowsInsertionOrder) {
  Schema schema;
  for (const char* label : {"Zebra", "Apple", "Mango"}) schema.add_node_label(label, {});
  schema.add_rel_type("Z_REL", "Zebra", "Apple", {});
  schema.add_rel_type("A_REL", "Apple", "Mango", {});
  EXPECT_THAT(schema.node_labels(), ElementsAre("Zebra", "Apple", "Mango"));
  EXPECT_THAT(schema.rel_types(), ElementsAre("Z_REL", "A_REL"));
  ASSERT_EQ(schema.nodes().size(), 3u);
  EXPECT_EQ(schema.nodes()[1].name, "Apple");
  ASSERT_EQ(schema.relationships().size(), 2u);
  EXPECT_EQ(schema.relationships()[0].name, "Z_REL");
}

TEST(SchemaOrderTest, ReAddingReplacesTheEntryInPlace) {
  Schema schema;
  schema.add_node_label("A", {"x"});
  schema.add_node_label("B", {"y"});
  schema.add_node_label("A", {"z"});
  EXPECT_THAT(schema.node_labels(), ElementsAre("A", "B"));
  EXPECT_THAT(schema.node_properties("A"), ElementsAre("z"));
  EXPECT_FALSE(schema.node_has_property("A", "x"));

  schema.add_rel_type("R", "A", "B", {"p"});
  schema.add_rel_type("S", "B", "A", {});
  schema.add_rel_type("R", "B", "B", {"q"});
  EXPECT_THAT(schema.rel_types(), ElementsAre("R", "S"));
  EXPECT_THAT(schema.rel_properties("R"), ElementsAre("q"));
  auto ends = schema.rel_src_tgt("R");
  ASSERT_TRUE(ends.has_value());
  EXPECT_EQ(ends->first, "B");
  EXPECT_EQ(ends->second, "B");
}

using Pair = std::pair<std::string_view, std::string_view>;

TEST(SchemaEndpointPairsTest, PairsKeepOrderAndDropRepeats) {
  Schema schema;
  schema.add_rel_type("HAS_INVESTOR",
                      {{"Organization", "Organization"},
                       {"Organization", "Person"},
                       {"Organization", "Organization"}},
                      {"since"});
  EXPECT_THAT(schema.rel_endpoint_pairs("HAS_INVESTOR"),
              ElementsAre(Pair("Organization", "Organization"), Pair("Organization", "Person")));
  auto first = schema.rel_src_tgt("HAS_INVESTOR");
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, Pair("Organization", "Organization"));
  EXPECT_THAT(schema.rel_properties("HAS_INVESTOR"), ElementsAre("since"));
  EXPECT_THAT(schema.rel_endpoint_pairs("UNKNOWN"), IsEmpty());
}

TEST(SchemaEndpointPairsTest, OnePairFormIsOnePair) {
  const Schema schema = movies();
  EXPECT_THAT(schema.rel_endpoint_pairs("ACTED_IN"), ElementsAre(Pair("Person", "Movie")));
}

TEST(SchemaEndpointPairsTest, TypeWithoutPairsIsKnownWithoutEnds) {
  Schema schema;
  schema.add_rel_type("LINKS", std::vector<Schema::Endpoints>{}, {"weight"});
  EXPECT_TRUE(schema.has_rel_type("LINKS"));
  EXPECT_FALSE(schema.rel_src_tgt("LINKS").has_value());
  EXPECT_THAT(schema.rel_endpoint_pairs("LINKS"), IsEmpty());
  EXPECT_TRUE(schema.rel_has_property("LINKS", "weight"));
}

TEST(SchemaEndpointPairsTest, ReAddingATypeReplacesAllItsPairs) {
  Schema schema;
  schema.add_rel_type("R", {{"A", "B"}, {"C", "D"}}, {});
  schema.add_rel_type("S", "A", "A", {});
  schema.add_rel_type("R", "E", "F", {"p"});
  EXPECT_THAT(schema.rel_types(), ElementsAre("R", "S"));
  EXPECT_THAT(schema.rel_endpoint_pairs("R"), ElementsAre(Pair("E", "F")));
}

TEST(SchemaCopyTest, CopiesAreIndependent) {
  Schema original = movies();
  Schema copy = original;
  original.add_node_label("Studio", {"name"});
  original.add_node_label("Person", {});
  EXPECT_FALSE(copy.has_node_label("Studio"));
  EXPECT_TRUE(copy.node_has_property("Person", "name"));
  EXPECT_TRUE(copy.has_node_label("Movie"));
  // The copy's index points into its own entries.
  ASSERT_NE(copy.find_node("Movie"), nullptr);
  EXPECT_EQ(copy.find_node("Movie"), &copy.nodes()[1]);
}

}  // namespace
}  // namespace quorvane
