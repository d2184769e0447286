// The extended language's schema findings that say what to do: arrows drawn
// backwards, the keys a label does declare, the keys of every label of a node,
// labels from earlier clauses, and warnings for nodes a relationship labels.
// Each rule comes with queries it must leave alone, and the subset's texts
// for the same queries, which do not change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Person(name, age) -ACTED_IN(role)-> Movie(title, released);
// Customer(customerId, companyName) -PLACED-> Order(orderId, orderDate);
// Supplier(supplierId, country); Product(p1 .. p12); Tag without keys;
// HAS_INVESTOR: Organization -> Organization, Organization -> Person.
Schema shop() {
  Schema schema;
  schema.add_node_label("Person", {"name", "age"});
  schema.add_node_label("Movie", {"title", "released"});
  schema.add_node_label("Customer", {"customerId", "companyName"});
  schema.add_node_label("Supplier", {"supplierId", "country"});
  schema.add_node_label("Order", {"orderId", "orderDate"});
  schema.add_node_label(
      "Product", {"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9", "p10", "p11", "p12"});
  schema.add_node_label("Tag", {});
  schema.add_node_label("Organization", {"name"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"role"});
  schema.add_rel_type("PLACED", "Customer", "Order", {});
  schema.add_rel_type("HAS_INVESTOR",
                      {{"Organization", "Organization"}, {"Organization", "Person"}}, {});
  return schema;
}

ValidationResult run(std::string_view query, Language language) {
  const ValidationResult result = CypherValidator(shop(), language).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty())
      << query << "\n"
      << (result.syntax_errors.empty() ? "" : result.syntax_errors.front());
  return result;
}

std::vector<std::string> extended(std::string_view query) {
  return run(query, Language::Extended).semantic_errors;
}

std::vector<std::string> subset(std::string_view query) {
  const ValidationResult result = run(query, Language::Subset);
  EXPECT_THAT(result.warnings, IsEmpty()) << query;
  return result.semantic_errors;
}

std::vector<std::string> warnings(std::string_view query) {
  const ValidationResult result = run(query, Language::Extended);
  EXPECT_THAT(result.semantic_errors, IsEmpty()) << query;
  EXPECT_TRUE(result.is_valid) << query;
  return result.warnings;
}

const char kActedInBackwards[] =
    "Relationship :ACTED_IN goes from :Person to :Movie, but this pattern draws it from :Movie "
    "to :Person; reverse the arrow";

TEST(DrawnBackwards, OneFindingNamesTheDeclaredDirection) {
  EXPECT_THAT(extended("MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p"),
              ElementsAre(kActedInBackwards));
  EXPECT_THAT(extended("MATCH (p:Person)<-[:ACTED_IN]-(m:Movie) RETURN p"),
              ElementsAre(kActedInBackwards));
  EXPECT_THAT(extended("MATCH (m:Movie)-[:ACTED_IN*1..3]->(p:Person) RETURN p"),
              ElementsAre(kActedInBackwards));
  EXPECT_THAT(extended("MATCH (m:Movie) CREATE (m)-[:ACTED_IN]->(:Person)"),
              ElementsAre(kActedInBackwards));
  // Of several pairs, the one that fits reversed is named.
  EXPECT_THAT(extended("MATCH (p:Person)-[:HAS_INVESTOR]->(o:Organization) RETURN p"),
              ElementsAre("Relationship :HAS_INVESTOR goes from :Organization to :Person, but "
                          "this pattern draws it from :Person to :Organization; reverse the "
                          "arrow"));
  // The subset keeps one message per end.
  EXPECT_THAT(subset("MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p"),
              ElementsAre("Relationship :ACTED_IN expects source label :Person, but node has "
                          "label(s): :Movie",
                          "Relationship :ACTED_IN expects target label :Movie, but node has "
                          "label(s): :Person"));
}

TEST(DrawnBackwards, OnlyWhenBothEndsAreLabelledAndReversingFits) {
  EXPECT_THAT(extended("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p"), IsEmpty());
  EXPECT_THAT(extended("MATCH (m:Movie)-[:ACTED_IN]-(p:Person) RETURN p"), IsEmpty());
  EXPECT_THAT(extended("MATCH (o:Organization)-[:HAS_INVESTOR]->(p:Person) RETURN p"), IsEmpty());
  // One end unlabelled: the end that is wrong is named, as before.
  EXPECT_THAT(extended("MATCH (m:Movie)-[:ACTED_IN]->(p) RETURN p"),
              ElementsAre("Relationship :ACTED_IN expects source label :Person, but node has "
                          "label(s): :Movie"));
  // Reversing would not help either.
  EXPECT_THAT(extended("MATCH (m:Movie)-[:ACTED_IN]->(x:Movie) RETURN m"),
              ElementsAre("Relationship :ACTED_IN expects source label :Person, but node has "
                          "label(s): :Movie"));
  // An undeclared label fits any end; it is reported once, as a label.
  EXPECT_THAT(extended("MATCH (x:Persn)-[:ACTED_IN]->(p:Person) RETURN p"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?",
                          "Relationship :ACTED_IN expects target label :Movie, but node has "
                          "label(s): :Person"));
}

TEST(EarlierLabels, CountForTheEndsOfLaterPatterns) {
  EXPECT_THAT(extended("MATCH (c:Customer), (o:Order) MATCH (o)-[:PLACED]->(c) RETURN c"),
              ElementsAre("Relationship :PLACED goes from :Customer to :Order, but this pattern "
                          "draws it from :Order to :Customer; reverse the arrow"));
  EXPECT_THAT(extended("MATCH (m:Movie) WITH m AS x MATCH (x)-[:PLACED]->(o:Order) RETURN o"),
              ElementsAre("Relationship :PLACED expects source label :Customer, but node has "
                          "label(s): :Movie"));
  EXPECT_THAT(extended("MATCH (c:Customer) WITH c MATCH (c)-[:PLACED]->(o) RETURN o"), IsEmpty());
  EXPECT_THAT(extended("MATCH (p:Person) MATCH (m:Movie) WHERE EXISTS { (m)-[:ACTED_IN]->(p) } "
                       "RETURN p"),
              ElementsAre(kActedInBackwards));
  // The subset compares only what the pattern writes.
  EXPECT_THAT(subset("MATCH (c:Customer), (o:Order) MATCH (o)-[:PLACED]->(c) RETURN c"), IsEmpty());
}

TEST(EarlierLabels, NotWhenTheyAreOnlyPossible) {
  // Alternatives of a label expression.
  EXPECT_THAT(extended("MATCH (n:Order|Customer) MATCH (n)-[:PLACED]->(o:Order) RETURN o"),
              IsEmpty());
  // A label expression's names, in the pattern itself.
  EXPECT_THAT(extended("MATCH (m:Movie|Person)-[:ACTED_IN]->(p:Person) RETURN p"),
              ElementsAre("Relationship :ACTED_IN expects target label :Movie, but node has "
                          "label(s): :Person"));
  // Labels that SET changed.
  EXPECT_THAT(extended("MATCH (n:Tag) SET n:Movie WITH n MATCH (p:Person)-[:ACTED_IN]->(n) "
                       "RETURN p"),
              IsEmpty());
  EXPECT_THAT(extended("MATCH (n:Tag), (p:Person) SET n:Movie MERGE (p)-[:ACTED_IN]->(n)"),
              IsEmpty());
  EXPECT_THAT(extended("MATCH (n:Tag) WITH n MATCH (p:Person)-[:ACTED_IN]->(n) RETURN p"),
              ElementsAre("Relationship :ACTED_IN expects target label :Movie, but node has "
                          "label(s): :Tag"));
  // Labels an OPTIONAL MATCH merged into a variable bound before.
  EXPECT_THAT(extended("MATCH (x) OPTIONAL MATCH (x:Order) MATCH (x)-[:PLACED]->(o:Order) "
                       "RETURN o"),
              IsEmpty());
}

TEST(PropertyHints, ClosestKeyOrTheDeclaredOnes) {
  EXPECT_THAT(extended("MATCH (p:Person) RETURN p.nme"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person, did you "
                          "mean 'name'?"));
  EXPECT_THAT(extended("MATCH (p:Person) RETURN p.salary"),
              ElementsAre("Unknown property 'salary' on variable 'p' with label :Person; "
                          "declared properties of :Person: 'name', 'age'"));
  EXPECT_THAT(extended("MATCH (p:Product) RETURN p.weight"),
              ElementsAre("Unknown property 'weight' on variable 'p' with label :Product; "
                          "declared properties of :Product: 'p1', 'p2', 'p3', 'p4', 'p5', 'p6', "
                          "'p7', 'p8', 'p9', 'p10' and 2 more"));
  EXPECT_THAT(extended("MATCH (t:Tag) RETURN t.weight"),
              ElementsAre("Unknown property 'weight' on variable 't' with label :Tag; :Tag "
                          "declares no properties"));
  EXPECT_THAT(extended("MATCH (p:Person {nme: 'x'}) RETURN p"),
              ElementsAre("Unknown property 'nme' for node label :Person, did you mean 'name'?"));
  EXPECT_THAT(extended("MATCH ()-[r:ACTED_IN {rol: 'x'}]->() RETURN r.rle"),
              ElementsAre("Unknown property 'rol' for relationship type :ACTED_IN, did you mean "
                          "'role'?",
                          "Unknown property 'rle' on variable 'r' with relationship type "
                          ":ACTED_IN, did you mean 'role'?"));
  EXPECT_THAT(extended("MATCH (p:Person {name: 'x'}) RETURN p.age, p.name"), IsEmpty());
  // A short key is not close to a key it shares half its letters with.
  EXPECT_THAT(extended("MATCH (p:Person) RETURN p.nm"),
              ElementsAre("Unknown property 'nm' on variable 'p' with label :Person; declared "
                          "properties of :Person: 'name', 'age'"));
  EXPECT_THAT(extended("MATCH (m:Movie) RETURN m.born"),
              ElementsAre("Unknown property 'born' on variable 'm' with label :Movie; declared "
                          "properties of :Movie: 'title', 'released'"));
  // Keys are told apart by case; the hint is not.
  EXPECT_THAT(extended("MATCH (p:Person) RETURN p.Name"),
              ElementsAre("Unknown property 'Name' on variable 'p' with label :Person, did you "
                          "mean 'name'?"));
}

TEST(PropertyHints, TheSubsetKeepsItsTexts) {
  EXPECT_THAT(subset("MATCH (p:Person {nme: 'x'}) RETURN p.nme"),
              ElementsAre("Unknown property 'nme' for node label :Person",
                          "Unknown property 'nme' on variable 'p' with label :Person"));
}

TEST(KeysOfEveryLabel, AKeyOfAnyLabelIsKnown) {
  EXPECT_THAT(extended("MATCH (c:Customer:Supplier) RETURN c.country, c.companyName"), IsEmpty());
  EXPECT_THAT(extended("MATCH (c:Customer:Supplier {country: 'x', customerId: 1}) RETURN c"),
              IsEmpty());
  EXPECT_THAT(extended("MATCH (c:Customer) MATCH (c:Supplier) RETURN c.country"), IsEmpty());
  EXPECT_THAT(extended("MATCH (c:Customer:Supplier) RETURN c.cuntry"),
              ElementsAre("Unknown property 'cuntry' on variable 'c' with labels "
                          ":Customer:Supplier, did you mean 'country'?"));
  EXPECT_THAT(extended("MATCH (c:Customer:Supplier {xyzzyq: 1}) RETURN c"),
              ElementsAre("Unknown property 'xyzzyq' for node labels :Customer:Supplier; "
                          "declared properties of :Customer:Supplier: 'customerId', "
                          "'companyName', 'supplierId', 'country'"));
  EXPECT_THAT(extended("MATCH (c:Customer:Tag) RETURN c.weight"),
              ElementsAre("Unknown property 'weight' on variable 'c' with labels :Customer:Tag; "
                          "declared properties of :Customer:Tag: 'customerId', 'companyName'"));
  EXPECT_THAT(subset("MATCH (c:Customer:Supplier) RETURN c.country"),
              ElementsAre("Unknown property 'country' on variable 'c' with label :Customer"));
}

const char kTitelWarning[] =
    "Unknown property 'titel' on variable 'm', which :ACTED_IN makes a :Movie, did you mean "
    "'title'?";

TEST(InferredEnds, UnknownKeysAreWarnings) {
  EXPECT_THAT(warnings("MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.titel"),
              ElementsAre(kTitelWarning));
  EXPECT_THAT(warnings("MATCH (m)<-[:ACTED_IN]-() WITH m RETURN m.titel"),
              ElementsAre(kTitelWarning));
  EXPECT_THAT(warnings("MATCH (p:Person) OPTIONAL MATCH (p)-[:ACTED_IN]->(m) RETURN m.titel"),
              ElementsAre(kTitelWarning));
  EXPECT_THAT(warnings("MATCH (p:Person)-[:ACTED_IN]->(m {titel: 'x'}) RETURN p"),
              ElementsAre(kTitelWarning));
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN*2]->(m) RETURN p.salary"),
              ElementsAre("Unknown property 'salary' on variable 'p', which :ACTED_IN makes a "
                          ":Person; declared properties of :Person: 'name', 'age'"));
}

TEST(InferredEnds, OnlyWhereTheRelationshipDecides) {
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN]->(m {title: 'x'}) RETURN p.name, m.title"),
              IsEmpty());
  // Several pairs, several types, zero hops, no direction: nothing is inferred.
  EXPECT_THAT(warnings("MATCH (o)-[:HAS_INVESTOR]->(x) RETURN x.nme"), IsEmpty());
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN|PLACED]->(m) RETURN m.titel"), IsEmpty());
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN*0..2]->(m) RETURN m.titel"), IsEmpty());
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN]-(m) RETURN m.titel"), IsEmpty());
  // Relationships that make the node of different labels.
  EXPECT_THAT(warnings("MATCH (p)-[:ACTED_IN]->(m), (m)-[:PLACED]->() RETURN m.orderId, m.titel"),
              IsEmpty());
  // CREATE makes nodes without labels; an OPTIONAL MATCH may leave a
  // variable bound before as it was.
  EXPECT_THAT(warnings("CREATE (p)-[:ACTED_IN]->(m) SET m.titel = 1"), IsEmpty());
  EXPECT_THAT(warnings("MATCH (x) OPTIONAL MATCH (x)-[:ACTED_IN]->(:Movie) RETURN x.titel"),
              IsEmpty());
  // A node the pattern labels is checked by its labels: an error then.
  EXPECT_THAT(extended("MATCH (p:Person) MATCH (p)-[:ACTED_IN]->(m) RETURN p.titel"),
              ElementsAre("Unknown property 'titel' on variable 'p' with label :Person; "
                          "declared properties of :Person: 'name', 'age'"));
  // The subset has no warnings (subset() checks that).
  EXPECT_THAT(subset("MATCH (p:Person)-[:ACTED_IN]->(m) RETURN m.titel"), IsEmpty());
}

}  // namespace
}  // namespace quorvane
