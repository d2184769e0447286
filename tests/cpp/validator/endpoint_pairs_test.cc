// Relationship ends for types that join several label pairs: every message,
// exactly, and no finding the schema cannot prove.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::findings;
using ::testing::IsEmpty;

// HAS_INVESTOR: Organization -> Organization, Organization -> Person.
// ACTED_IN: Actor -> Movie, Person -> Movie.
// T: A -> B, C -> D.
// LINKS: no declared ends.
Schema investors() {
  Schema schema;
  for (const char* label : {"Organization", "Person", "Actor", "Movie", "A", "B", "C", "D"}) {
    schema.add_node_label(label, {});
  }
  schema.add_rel_type("HAS_INVESTOR",
                      {{"Organization", "Organization"}, {"Organization", "Person"}}, {});
  schema.add_rel_type("ACTED_IN", {{"Actor", "Movie"}, {"Person", "Movie"}}, {"role"});
  schema.add_rel_type("T", {{"A", "B"}, {"C", "D"}}, {});
  schema.add_rel_type("ONE", "A", "B", {});
  schema.add_rel_type("LINKS", std::vector<Schema::Endpoints>{}, {});
  return schema;
}

std::vector<std::string> check(std::string_view query) {
  return findings(investors(), query);
}

TEST(EndpointPairsTest, AnyDeclaredPairLetsTheRelationshipPass) {
  EXPECT_THAT(check("MATCH (o:Organization)-[:HAS_INVESTOR]->(p:Person) RETURN o"), IsEmpty());
  EXPECT_THAT(check("MATCH (o:Organization)-[:HAS_INVESTOR]->(p:Organization) RETURN o"),
              IsEmpty());
  EXPECT_THAT(check("MATCH (a:Actor)-[:ACTED_IN]->(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:Person)-[:ACTED_IN]->(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (c:C)-[:T]->(d:D) RETURN c"), IsEmpty());
  // Incoming: the right node is the source.
  EXPECT_THAT(check("MATCH (m:Movie)<-[:ACTED_IN]-(a:Actor) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (p:Person)<-[:HAS_INVESTOR]-(o:Organization) RETURN o"), IsEmpty());
}

TEST(EndpointPairsTest, AnEndNoPairAllowsNamesWhatWasDeclaredThere) {
  EXPECT_THAT(check("MATCH (p:Person)-[:HAS_INVESTOR]->(o:Organization) RETURN p"),
              ElementsAre("Relationship :HAS_INVESTOR expects source label :Organization, but "
                          "node has label(s): :Person"));
  EXPECT_THAT(check("MATCH (m:Movie)-[:ACTED_IN]->(x:Movie) RETURN m"),
              ElementsAre("Relationship :ACTED_IN expects source label :Actor or :Person, but "
                          "node has label(s): :Movie"));
  EXPECT_THAT(check("MATCH (a:A)-[:T]->(c:C) RETURN a"),
              ElementsAre("Relationship :T expects target label :B or :D, but node has label(s): "
                          ":C"));
  // Incoming, both ends wrong: source first, as for one pair.
  EXPECT_THAT(check("MATCH (a:Actor)<-[:ACTED_IN]-(m:Movie) RETURN a"),
              ElementsAre("Relationship :ACTED_IN expects source label :Actor or :Person, but "
                          "node has label(s): :Movie",
                          "Relationship :ACTED_IN expects target label :Movie, but node has "
                          "label(s): :Actor"));
}

TEST(EndpointPairsTest, EndsThatFitOnlyDifferentPairsNameThePairs) {
  EXPECT_THAT(check("MATCH (a:A)-[:T]->(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  EXPECT_THAT(check("MATCH (d:D)<-[:T]-(a:A) RETURN a"),
              ElementsAre("Relationship :T does not join :A to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  // Every label of a node is shown, as the pattern writes them.
  EXPECT_THAT(check("MATCH (a:A:Movie)-[:T]->(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A:Movie to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  EXPECT_THAT(check("MATCH (a:A:C)-[:T]->(d:D) RETURN a"), IsEmpty());
}

TEST(EndpointPairsTest, WhatTheSchemaCannotProveIsNotReported) {
  // Unlabelled ends fit every pair.
  EXPECT_THAT(check("MATCH (a)-[:T]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:T]->(d) RETURN a"), IsEmpty());
  // An end whose labels are all unknown is left to the label check.
  EXPECT_THAT(check("MATCH (a:Xyzzyqwerty)-[:T]->(d:D) RETURN a"),
              ElementsAre("Unknown node label: :Xyzzyqwerty"));
  EXPECT_THAT(check("MATCH (a:A)-[:T]->(d:Xyzzyqwerty) RETURN a"),
              ElementsAre("Unknown node label: :Xyzzyqwerty"));
  // A type without declared ends joins anything.
  EXPECT_THAT(check("MATCH (a:A)-[:LINKS]->(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:LINKS]-(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:LINKS*2..5]->(m:Movie) RETURN a"), IsEmpty());
}

TEST(EndpointPairsTest, UndirectedFitsEitherWayRound) {
  EXPECT_THAT(check("MATCH (m:Movie)-[:ACTED_IN]-(a:Actor) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:Person)-[:ACTED_IN]-(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (d:D)-[:T]-(c:C) RETURN c"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:T]-(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A and :D in either direction; "
                          "declared: (:A)->(:B), (:C)->(:D)"));
  EXPECT_THAT(check("MATCH (m:Movie)-[:ACTED_IN]-(x:Movie) RETURN m"),
              ElementsAre("Relationship :ACTED_IN does not join :Movie and :Movie in either "
                          "direction; declared: (:Actor)->(:Movie), (:Person)->(:Movie)"));
  EXPECT_THAT(check("MATCH (m:Movie)-[:HAS_INVESTOR]-(x) RETURN m"),
              ElementsAre("Relationship :HAS_INVESTOR expects label :Organization or :Person at "
                          "either end, but node has label(s): :Movie"));
  EXPECT_THAT(check("MATCH (m:A)-[:ACTED_IN]-(x:B) RETURN m"),
              ElementsAre("Relationship :ACTED_IN expects label :Actor, :Movie or :Person at "
                          "either end, but node has label(s): :A",
                          "Relationship :ACTED_IN expects label :Actor, :Movie or :Person at "
                          "either end, but node has label(s): :B"));
}

TEST(EndpointPairsTest, VariableLengthChecksEachEndOnItsOwn) {
  // Two hops may go A->B and then through other pairs: the ends alone count.
  EXPECT_THAT(check("MATCH (a:A)-[:T*2]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:T*]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:T*]-(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check("MATCH (a:A)-[:T*1..3]->(c:C) RETURN a"),
              ElementsAre("Relationship :T expects target label :B or :D, but node has label(s): "
                          ":C"));
  EXPECT_THAT(check("MATCH (a:Movie)-[:T*]-(c:C) RETURN a"),
              ElementsAre("Relationship :T expects label :A, :B, :C or :D at either end, but "
                          "node has label(s): :Movie"));
  // Exactly one hop is a single relationship.
  for (const char* query :
       {"MATCH (a:A)-[:T*1]->(d:D) RETURN a", "MATCH (a:A)-[:T*..1]->(d:D) RETURN a",
        "MATCH (a:A)-[:T*1..1]->(d:D) RETURN a"}) {
    EXPECT_THAT(check(query), ElementsAre("Relationship :T does not join :A to :D; declared: "
                                          "(:A)->(:B), (:C)->(:D)"))
        << query;
  }
  EXPECT_THAT(check("MATCH (a:A)-[:T*0..1]->(d:D) RETURN a"), IsEmpty());
}

TEST(EndpointPairsTest, SeveralTypesAreEachJudgedByTheirOwnPairs) {
  EXPECT_THAT(check("MATCH (a:A)-[:T|HAS_INVESTOR]->(b:B) RETURN a"),
              ElementsAre("Relationship :HAS_INVESTOR expects source label :Organization, but "
                          "node has label(s): :A",
                          "Relationship :HAS_INVESTOR expects target label :Organization or "
                          ":Person, but node has label(s): :B"));
  EXPECT_THAT(check("MATCH (a:A)-[:T|ONE]->(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)",
                          "Relationship :ONE expects target label :B, but node has label(s): :D"));
}

TEST(EndpointPairsTest, OnePairTypesKeepTheirMessagesAndLeaveUndirectedUnchecked) {
  EXPECT_THAT(check("MATCH (d:D)-[:ONE]->(c:C) RETURN d"),
              ElementsAre("Relationship :ONE expects source label :A, but node has label(s): :D",
                          "Relationship :ONE expects target label :B, but node has label(s): :C"));
  EXPECT_THAT(check("MATCH (d:D)-[:ONE]-(c:C) RETURN d"), IsEmpty());
  EXPECT_THAT(check("MATCH (d:D)-[:ONE*2]->(c:B) RETURN d"),
              ElementsAre("Relationship :ONE expects source label :A, but node has label(s): :D"));
}

// The extended language: a label expression may give a node one of several
// labels, and a quantified relationship is a path of any length.
std::vector<std::string> check_extended(std::string_view query) {
  const ValidationResult result = CypherValidator(investors(), Language::Extended).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty()) << query;
  return result.semantic_errors;
}

TEST(EndpointPairsTest, ExtendedLabelExpressionsAndQuantifiers) {
  EXPECT_THAT(check_extended("MATCH (a:A|C)-[:T]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check_extended("MATCH (a:A|B)-[:T]->(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A|B to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  EXPECT_THAT(check_extended("MATCH (a:A&Movie)-[:T]->(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A&Movie to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  // `!` and `%` give no labels the schema can compare.
  EXPECT_THAT(check_extended("MATCH (a:!C)-[:T]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check_extended("MATCH (a:%)-[:T]->(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check_extended("MATCH (a:A)-[:T]->{1,3}(d:D) RETURN a"), IsEmpty());
  EXPECT_THAT(check_extended("MATCH (a:A)-[:T]->{1,1}(d:D) RETURN a"),
              ElementsAre("Relationship :T does not join :A to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
}

TEST(EndpointPairsTest, CreateAndMergeAreCheckedTheSameWay) {
  EXPECT_THAT(check("MATCH (a:A), (d:D) CREATE (a)-[:T]->(d)"), IsEmpty());
  EXPECT_THAT(check("CREATE (a:A)-[:T]->(d:D)"),
              ElementsAre("Relationship :T does not join :A to :D; declared: (:A)->(:B), "
                          "(:C)->(:D)"));
  EXPECT_THAT(check("MERGE (a:C)-[:T]->(d:D)"), IsEmpty());
}

}  // namespace
}  // namespace quorvane
