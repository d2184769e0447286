// Comparison of queries with the schema: every message, exactly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::findings;
using ::testing::IsEmpty;

TEST(NodeLabelCheckTest, UnknownLabelWithSuggestion) {
  EXPECT_THAT(findings("MATCH (p:Persn) RETURN p"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?"));
}

TEST(NodeLabelCheckTest, CaseIsIgnoredOnlyForTheSuggestion) {
  EXPECT_THAT(findings("MATCH (p:person) RETURN p"),
              ElementsAre("Unknown node label: :person, did you mean :Person?"));
}

TEST(NodeLabelCheckTest, FarNamesGetNoSuggestion) {
  EXPECT_THAT(findings("MATCH (p:Xyzzyqwerty) RETURN p"),
              ElementsAre("Unknown node label: :Xyzzyqwerty"));
}

TEST(NodeLabelCheckTest, EveryUnknownLabelInWrittenOrder) {
  EXPECT_THAT(findings("MATCH (p:Mvie:Person:Persn) RETURN p"),
              ElementsAre("Unknown node label: :Mvie, did you mean :Movie?",
                          "Unknown node label: :Persn, did you mean :Person?"));
}

TEST(NodeLabelCheckTest, RepeatedProblemsAreReportedEachTime) {
  EXPECT_THAT(findings("MATCH (a:Persn), (b:Persn) RETURN a, b"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?",
                          "Unknown node label: :Persn, did you mean :Person?"));
}

TEST(NodeLabelCheckTest, EmptySchemaReportsTheLabelOnly) {
  EXPECT_THAT(findings(Schema(), "MATCH (p:Person) RETURN p.name"),
              ElementsAre("Unknown node label: :Person"));
}

TEST(NodeLabelCheckTest, BackticksAreNotPartOfTheName) {
  EXPECT_THAT(findings("MATCH (p:`Person`) RETURN p"), IsEmpty());
  EXPECT_THAT(findings("MATCH (p:`Per son`) RETURN p"),
              ElementsAre("Unknown node label: :Per son, did you mean :Person?"));
}

TEST(NodeLabelCheckTest, LabelsInCreateAndMergeAreChecked) {
  EXPECT_THAT(findings("CREATE (p:Persn)"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?"));
  EXPECT_THAT(findings("MERGE (m:Mvie)"),
              ElementsAre("Unknown node label: :Mvie, did you mean :Movie?"));
}

TEST(NodeLabelCheckTest, SuggestionTiesGoToTheLabelDeclaredFirst) {
  Schema schema;
  schema.add_node_label("Persb", {});
  schema.add_node_label("Persa", {});
  EXPECT_THAT(findings(schema, "MATCH (n:Pers) RETURN n"),
              ElementsAre("Unknown node label: :Pers, did you mean :Persb?"));
}

TEST(RelationshipTypeCheckTest, UnknownTypeWithSuggestionAndNoEndpointCheck) {
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTD_IN]->(m:Movie) RETURN a"),
              ElementsAre("Unknown relationship type: :ACTD_IN, did you mean :ACTED_IN?"));
  EXPECT_THAT(findings("MATCH (m:Movie)-[:ACTD_IN]->(a:Person) RETURN a"),
              ElementsAre("Unknown relationship type: :ACTD_IN, did you mean :ACTED_IN?"));
}

TEST(RelationshipTypeCheckTest, UnknownTypeWithoutSuggestion) {
  EXPECT_THAT(findings("MATCH (a)-[:LIKES]->(b) RETURN a"),
              ElementsAre("Unknown relationship type: :LIKES"));
}

TEST(RelationshipTypeCheckTest, TypesAreNotSuggestedFromLabelsOrTheReverse) {
  EXPECT_THAT(findings("MATCH (a)-[:Persn]->(b) RETURN a"),
              ElementsAre("Unknown relationship type: :Persn"));
  EXPECT_THAT(findings("MATCH (a:ACTED_IM) RETURN a"),
              ElementsAre("Unknown node label: :ACTED_IM"));
}

TEST(RelationshipTypeCheckTest, EachTypeOfAnAlternativeIsChecked) {
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTED_IN|ACTED_ON|LIKES]->(m:Movie) RETURN a"),
              ElementsAre("Unknown relationship type: :ACTED_ON, did you mean :ACTED_IN?",
                          "Unknown relationship type: :LIKES"));
}

TEST(RelationshipTypeCheckTest, VariableLengthPlaysNoPart) {
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTED_IN*1..3]->(m:Movie) RETURN a"), IsEmpty());
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTD_IN*..3]->(m:Movie) RETURN a"),
              ElementsAre("Unknown relationship type: :ACTD_IN, did you mean :ACTED_IN?"));
}

TEST(EndpointCheckTest, OutgoingChecksSourceThenTarget) {
  EXPECT_THAT(
      findings("MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN m"),
      ElementsAre(
          "Relationship :ACTED_IN expects source label :Person, but node has label(s): :Movie",
          "Relationship :ACTED_IN expects target label :Movie, but node has label(s): :Person"));
}

TEST(EndpointCheckTest, IncomingSwapsTheEnds) {
  EXPECT_THAT(findings("MATCH (m:Movie)<-[:ACTED_IN]-(p:Person) RETURN m"), IsEmpty());
  EXPECT_THAT(
      findings("MATCH (p:Person)<-[:ACTED_IN]-(m:Movie) RETURN m"),
      ElementsAre(
          "Relationship :ACTED_IN expects source label :Person, but node has label(s): :Movie",
          "Relationship :ACTED_IN expects target label :Movie, but node has label(s): :Person"));
}

TEST(EndpointCheckTest, UndirectedIsNotChecked) {
  EXPECT_THAT(findings("MATCH (m:Movie)-[:ACTED_IN]-(p:Person) RETURN m"), IsEmpty());
  EXPECT_THAT(findings("MATCH (m:Movie)-[:ACTED_IN]-(n:Movie) RETURN m"), IsEmpty());
}

TEST(EndpointCheckTest, UnlabelledEndsFitAnything) {
  EXPECT_THAT(findings("MATCH (a)-[:ACTED_IN]->(b) RETURN a"), IsEmpty());
  EXPECT_THAT(
      findings("MATCH (a)-[:ACTED_IN]->(b:Person) RETURN a"),
      ElementsAre(
          "Relationship :ACTED_IN expects target label :Movie, but node has label(s): :Person"));
}

TEST(EndpointCheckTest, AnyMatchingLabelSatisfiesTheEnd) {
  EXPECT_THAT(findings("MATCH (a:Movie:Person)-[:ACTED_IN]->(m:Movie) RETURN a"), IsEmpty());
}

TEST(EndpointCheckTest, MessageListsEveryLabelWrittenIncludingUnknownOnes) {
  EXPECT_THAT(
      findings("MATCH (a:Movie:Actor)-[:ACTED_IN]->(m:Movie) RETURN a"),
      ElementsAre(
          "Unknown node label: :Actor",
          "Relationship :ACTED_IN expects source label :Person, but node has label(s): :Movie, "
          ":Actor"));
}

TEST(EndpointCheckTest, NodesWithOnlyUnknownLabelsAreLeftToTheLabelCheck) {
  EXPECT_THAT(findings("MATCH (a:Actor)-[:ACTED_IN]->(m:Film) RETURN a"),
              ElementsAre("Unknown node label: :Actor", "Unknown node label: :Film"));
}

TEST(EndpointCheckTest, ExpectedLabelNeedNotBeDeclared) {
  Schema schema;
  schema.add_node_label("Person", {});
  schema.add_rel_type("OWNS", "Company", "Car", {});
  EXPECT_THAT(
      findings(schema, "MATCH (p:Person)-[:OWNS]->(c) RETURN p"),
      ElementsAre("Relationship :OWNS expects source label :Company, but node has label(s): "
                  ":Person"));
}

TEST(EndpointCheckTest, EachLinkOfAChainUsesItsOwnLeftNode) {
  EXPECT_THAT(
      findings("MATCH (a:Person)-[:ACTED_IN]->(m:Movie)-[:ACTED_IN]->(b:Movie) RETURN a"),
      ElementsAre(
          "Relationship :ACTED_IN expects source label :Person, but node has label(s): :Movie"));
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTED_IN]->(m:Movie)<-[:ACTED_IN]-(b:Person) RETURN a"),
              IsEmpty());
}

TEST(EndpointCheckTest, OrderFollowsTheWalk) {
  // Start node, then per link: type checks, ends, then the right node.
  EXPECT_THAT(
      findings("MATCH (a:Persn)-[:ACTED_IN {rol: 1}]->(p:Person {nme: 2}) RETURN a"),
      ElementsAre(
          "Unknown node label: :Persn, did you mean :Person?",
          "Unknown property 'rol' for relationship type :ACTED_IN",
          "Relationship :ACTED_IN expects target label :Movie, but node has label(s): :Person",
          "Unknown property 'nme' for node label :Person"));
}

TEST(PatternPropertyCheckTest, UnknownKeyOnANodeLabel) {
  EXPECT_THAT(findings("MATCH (p:Person {nme: 'x'}) RETURN p"),
              ElementsAre("Unknown property 'nme' for node label :Person"));
  EXPECT_THAT(findings("MATCH (p:Person {name: 'x', age: 3}) RETURN p"), IsEmpty());
}

TEST(PatternPropertyCheckTest, OnlyTheKeyIsLookedAt) {
  EXPECT_THAT(findings("MATCH (p:Person {nme: $x}) RETURN p"),
              ElementsAre("Unknown property 'nme' for node label :Person"));
  EXPECT_THAT(findings("MATCH (p:Person {name: q}) RETURN p"), IsEmpty());
}

TEST(PatternPropertyCheckTest, AParameterMapIsNeverChecked) {
  EXPECT_THAT(findings("MATCH (p:Person $props) RETURN p"), IsEmpty());
  EXPECT_THAT(findings("MATCH (a:Person)-[r:ACTED_IN $props]->(m:Movie) RETURN a"), IsEmpty());
}

TEST(PatternPropertyCheckTest, KeysInWrittenOrderAgainstEveryDeclaredLabel) {
  EXPECT_THAT(findings("MATCH (p:Person:Movie {title: 1, nme: 2}) RETURN p"),
              ElementsAre("Unknown property 'title' for node label :Person",
                          "Unknown property 'nme' for node label :Person",
                          "Unknown property 'nme' for node label :Movie"));
}

TEST(PatternPropertyCheckTest, UnknownLabelsAndUnlabelledNodesAreSkipped) {
  EXPECT_THAT(findings("MATCH (p:Persn {nme: 1}) RETURN p"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?"));
  EXPECT_THAT(findings("MATCH (p {anything: 1}) RETURN p"), IsEmpty());
  EXPECT_THAT(findings("MATCH (p:Person {}) RETURN p"), IsEmpty());
}

TEST(PatternPropertyCheckTest, RepeatedKeyCountsOnce) {
  EXPECT_THAT(findings("MATCH (p:Person {nme: 1, nme: 2}) RETURN p"),
              ElementsAre("Unknown property 'nme' for node label :Person"));
}

TEST(PatternPropertyCheckTest, RelationshipKeys) {
  EXPECT_THAT(findings("MATCH (a:Person)-[:ACTED_IN {role: 'x', rol: 'y'}]->(m:Movie) RETURN a"),
              ElementsAre("Unknown property 'rol' for relationship type :ACTED_IN"));
  // Without a type nothing about the relationship is checked.
  EXPECT_THAT(findings("MATCH (a:Movie)-[r {rol: 1}]->(m:Person) RETURN a"), IsEmpty());
}

TEST(PatternPropertyCheckTest, PropertyValuesAreNotWalked) {
  EXPECT_THAT(findings("MATCH (p:Person {name: nowhere.x}) RETURN p"), IsEmpty());
}

TEST(PatternPropertyCheckTest, ReservedWordsAsKeysAndLabels) {
  Schema schema;
  schema.add_node_label("Match", {"return"});
  EXPECT_THAT(findings(schema, "MATCH (n:Match {return: 1}) RETURN n.return"), IsEmpty());
  EXPECT_THAT(findings(schema, "MATCH (n:Match {where: 1}) RETURN n"),
              ElementsAre("Unknown property 'where' for node label :Match"));
}

TEST(PropertyAccessCheckTest, ThroughANodeVariable) {
  EXPECT_THAT(findings("MATCH (p:Person) RETURN p.nme"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  EXPECT_THAT(findings("MATCH (p:Person) RETURN p.name, p.age"), IsEmpty());
}

TEST(PropertyAccessCheckTest, ThroughARelationshipVariable) {
  EXPECT_THAT(
      findings("MATCH (a)-[r:ACTED_IN]->(b) RETURN r.rol"),
      ElementsAre("Unknown property 'rol' on variable 'r' with relationship type :ACTED_IN"));
  EXPECT_THAT(findings("MATCH (a)-[r:ACTED_IN]->(b) RETURN r.role"), IsEmpty());
}

TEST(PropertyAccessCheckTest, EachKnownLabelIsCheckedOnItsOwn) {
  EXPECT_THAT(findings("MATCH (p:Person:Movie) RETURN p.name"),
              ElementsAre("Unknown property 'name' on variable 'p' with label :Movie"));
}

TEST(PropertyAccessCheckTest, LabelsMergedFromSeveralPatterns) {
  EXPECT_THAT(findings("MATCH (p:Person) MATCH (p:Movie) RETURN p.title"),
              ElementsAre("Unknown property 'title' on variable 'p' with label :Person"));
}

TEST(PropertyAccessCheckTest, UnknownLabelsAndUnlabelledVariablesAreNotChecked) {
  EXPECT_THAT(findings("MATCH (p:Persn) RETURN p.anything"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?"));
  EXPECT_THAT(findings("MATCH (p) RETURN p.anything"), IsEmpty());
  EXPECT_THAT(findings("UNWIND [1] AS x RETURN x.anything"), IsEmpty());
  EXPECT_THAT(findings("MATCH path = (a:Person)-->(b) RETURN path.anything"), IsEmpty());
}

TEST(PropertyAccessCheckTest, OnlyTheFirstKeyAfterAVariable) {
  EXPECT_THAT(findings("MATCH (p:Person) RETURN p.name.nme"), IsEmpty());
  EXPECT_THAT(findings("MATCH (p:Person) RETURN p.nme.deeper"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
}

TEST(PropertyAccessCheckTest, InWhereOrderByAndNestedExpressions) {
  EXPECT_THAT(
      findings("MATCH (p:Person) WHERE p.nme = 1 RETURN [x IN [p.agee] | x] ORDER BY p.titl"),
      ElementsAre("Unknown property 'nme' on variable 'p' with label :Person",
                  "Unknown property 'agee' on variable 'p' with label :Person",
                  "Unknown property 'titl' on variable 'p' with label :Person"));
}

TEST(PropertyAccessCheckTest, UnboundVariableIsReportedOnceAsUnbound) {
  EXPECT_THAT(findings("RETURN q.name"), ElementsAre(testing::unbound("q")));
}

TEST(UpdatingClauseCheckTest, SetPropertyIsCheckedAgainstTheLabels) {
  EXPECT_THAT(findings("MATCH (p:Person) SET p.nme = 1"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  EXPECT_THAT(findings("MATCH (p:Person) SET p.name = 'x', p.age = 3"), IsEmpty());
}

TEST(UpdatingClauseCheckTest, SetPropertyChecksEveryKeyAndThenTheValue) {
  EXPECT_THAT(findings("MATCH (p:Person) SET p.name.nme = q"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person",
                          testing::unbound("q")));
}

TEST(UpdatingClauseCheckTest, SetLabels) {
  EXPECT_THAT(findings("MATCH (p:Person) SET p:Persn"),
              ElementsAre("Unknown node label in SET: :Persn, did you mean :Person?"));
  EXPECT_THAT(findings("MATCH (p:Person) SET p:Movie:Zzzzzzzzz"),
              ElementsAre("Unknown node label in SET: :Zzzzzzzzz"));
}

TEST(UpdatingClauseCheckTest, SetAssignmentsCheckOnlyTheValue) {
  EXPECT_THAT(findings("MATCH (p:Person) SET p = {nme: q}"), ElementsAre(testing::unbound("q")));
  EXPECT_THAT(findings("MATCH (p:Person) SET p += {nme: 1}"), IsEmpty());
  EXPECT_THAT(findings("MATCH (p:Person) SET z = 1"), IsEmpty());
}

TEST(UpdatingClauseCheckTest, RemoveLabelsAndProperties) {
  EXPECT_THAT(findings("MATCH (p:Person) REMOVE p:Mvie"),
              ElementsAre("Unknown node label in REMOVE: :Mvie, did you mean :Movie?"));
  EXPECT_THAT(findings("MATCH (p:Person) REMOVE p.nme"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  EXPECT_THAT(findings("MATCH (p:Person) REMOVE p.age, p:Movie"), IsEmpty());
}

TEST(UpdatingClauseCheckTest, CreatePatternsAreCheckedLikeMatch) {
  EXPECT_THAT(
      findings("CREATE (m:Movie)-[:ACTED_IN {rol: 1}]->(p:Person {nme: 1})"),
      ElementsAre(
          "Unknown property 'rol' for relationship type :ACTED_IN",
          "Relationship :ACTED_IN expects source label :Person, but node has label(s): :Movie",
          "Relationship :ACTED_IN expects target label :Movie, but node has label(s): :Person",
          "Unknown property 'nme' for node label :Person"));
}

TEST(UpdatingClauseCheckTest, MergeActionsAreNotChecked) {
  EXPECT_THAT(findings("MERGE (p:Person {nme: 1}) ON CREATE SET p.agee = 1 ON MATCH SET p:Mvie"),
              ElementsAre("Unknown property 'nme' for node label :Person"));
}

TEST(UpdatingClauseCheckTest, DeleteWalksItsExpressions) {
  EXPECT_THAT(findings("MATCH (p:Person) DETACH DELETE p, q"), ElementsAre(testing::unbound("q")));
}

}  // namespace
}  // namespace quorvane
