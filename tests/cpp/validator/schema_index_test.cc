// The validator's index of a schema's names: every label and type is found
// at its own entry, unknown names are not, names that share a hash are told
// apart, and an index serves a copy of the schema it was built from.
#include "validator/semantic/schema_index.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

TEST(SchemaIndexTest, FindsEveryLabelAndTypeAtItsEntry) {
  const Schema schema = testing::small_movie_schema();
  const SchemaIndex index(schema);
  for (const Schema::NodeLabel& label : schema.nodes()) {
    EXPECT_EQ(index.node(schema, label.name), &label) << label.name;
    EXPECT_EQ(index.rel(schema, label.name), schema.find_rel(label.name)) << label.name;
  }
  for (const Schema::RelType& type : schema.relationships()) {
    EXPECT_EQ(index.rel(schema, type.name), &type) << type.name;
    EXPECT_EQ(index.node(schema, type.name), schema.find_node(type.name)) << type.name;
  }
}

TEST(SchemaIndexTest, UnknownNamesAreNotFound) {
  const Schema schema = testing::small_movie_schema();
  const SchemaIndex index(schema);
  for (const char* name : {"", "P", "Persons", "person", "Perso", "ACTED", "ACTED_IN_"}) {
    EXPECT_EQ(index.node(schema, name), nullptr) << name;
    EXPECT_EQ(index.rel(schema, name), nullptr) << name;
  }
  const Schema empty;
  const SchemaIndex none(empty);
  EXPECT_EQ(none.node(empty, "Person"), nullptr);
  EXPECT_EQ(none.rel(empty, "ACTED_IN"), nullptr);
}

// Names of one length that differ only in their middle share the hash's
// ends; names of one to three bytes take the short path.
TEST(SchemaIndexTest, NamesAlikeAtBothEndsAreToldApart) {
  Schema schema;
  for (int i = 0; i < 2000; ++i) {
    schema.add_node_label("Label" + std::to_string(10000 + i) + "End", {});
  }
  // Generated names with one long prefix and suffix, told apart in the
  // middle only.
  for (int i = 0; i < 3000; ++i) {
    schema.add_node_label("urn:graph:type:" + std::to_string(100000 + i) + ":entity-label", {});
  }
  for (const char* name : {"a", "b", "ab", "ba", "abc", "acb", "abcd", "abdc"}) {
    schema.add_rel_type(name, "Label10000End", "Label10001End", {});
  }
  const SchemaIndex index(schema);
  for (const Schema::NodeLabel& label : schema.nodes()) {
    ASSERT_EQ(index.node(schema, label.name), &label) << label.name;
  }
  for (const Schema::RelType& type : schema.relationships()) {
    ASSERT_EQ(index.rel(schema, type.name), &type) << type.name;
  }
  EXPECT_EQ(index.node(schema, "Label12000End"), nullptr);
  EXPECT_EQ(index.node(schema, "Label1000XEnd"), nullptr);
  EXPECT_EQ(index.node(schema, "urn:graph:type:199999:entity-label"), nullptr);
  EXPECT_EQ(index.rel(schema, "ca"), nullptr);
  EXPECT_EQ(index.rel(schema, "abce"), nullptr);
}

// Entries are positions, so an index built from one schema answers with the
// entries of a copy.
TEST(SchemaIndexTest, ServesACopyOfItsSchema) {
  const Schema original = testing::small_movie_schema();
  const SchemaIndex index(original);
  const Schema copy = original;
  const Schema::NodeLabel* person = index.node(copy, "Person");
  ASSERT_NE(person, nullptr);
  EXPECT_EQ(person, copy.find_node("Person"));
  EXPECT_NE(person, original.find_node("Person"));
}

// A validator moved after its index was built still finds its names.
TEST(SchemaIndexTest, AMovedValidatorStillFindsItsNames) {
  CypherValidator first(testing::small_movie_schema());
  const CypherValidator moved = std::move(first);
  EXPECT_TRUE(moved.validate("MATCH (p:Person) RETURN p.name").is_valid);
  EXPECT_FALSE(moved.validate("MATCH (p:Persn) RETURN p").is_valid);
}

}  // namespace
}  // namespace quorvane
