#include "inspect/query_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// ---- Trees built by hand: the walk itself, independent of the parser ----

Expr var(const char* name) {
  return Expr::Variable{name};
}
Expr prop(Expr target, const char* key) {
  return Expr::Property{Box<Expr>(std::move(target)), key, {}};
}

NodePattern node(TreeList<TreeString> labels, PropertyMap props = {}) {
  NodePattern n;
  n.labels = std::move(labels);
  if (!props.empty()) n.properties = MapOrParam{MapOrParam::Map{std::move(props)}};
  return n;
}

ReturnClause returning(TreeList<Expr> exprs) {
  ReturnClause clause;
  clause.items.all = false;
  for (Expr& e : exprs) clause.items.items.push_back(ReturnItem{std::move(e), std::nullopt});
  return clause;
}

CypherQuery single(TreeList<ReadingClause> reading, std::optional<ReturnClause> ret,
                   TreeList<UpdatingClause> updating = {}) {
  SinglePartQuery q;
  q.reading_clauses = std::move(reading);
  q.updating_clauses = std::move(updating);
  q.return_clause = std::move(ret);
  return RegularQuery{std::move(q), {}};
}

ReadingClause match(Pattern pattern, std::optional<Expr> where = std::nullopt) {
  return ReadingClause{ReadingClause::Match{false, std::move(pattern), std::move(where)}};
}

TEST(InspectTree, SortsByBytesAndDropsRepeats) {
  Pattern pattern;
  pattern.push_back(PatternPart{std::nullopt, node({"beta"}), {}, PathSelector::All, std::nullopt});
  pattern.push_back(
      PatternPart{std::nullopt, node({"Alpha", "Zed"}), {}, PathSelector::All, std::nullopt});
  pattern.push_back(
      PatternPart{std::nullopt, node({"Alpha"}), {}, PathSelector::All, std::nullopt});
  TreeList<ReadingClause> reading;
  reading.push_back(match(std::move(pattern)));
  TreeList<Expr> items;
  items.push_back(prop(var("a"), "name"));
  items.push_back(prop(var("b"), "name"));
  items.push_back(prop(var("c"), "Age"));
  QueryInfo info = inspect_tree(single(std::move(reading), returning(std::move(items))));
  EXPECT_TRUE(info.is_valid);
  EXPECT_THAT(info.labels_used, ElementsAre("Alpha", "Zed", "beta"));
  EXPECT_THAT(info.properties_used, ElementsAre("Age", "name"));
  EXPECT_THAT(info.errors, IsEmpty());
}

TEST(InspectTree, NodeMapKeysCountButRelationshipMapsAndMapLiteralKeysDoNot) {
  PropertyMap node_props;
  node_props.push_back(MapEntry{"name", prop(var("x"), "inner")});
  PropertyMap rel_props;
  rel_props.push_back(MapEntry{"since", Expr::Integer{2020}});
  RelationshipPattern rel;
  rel.types = {"KNOWS", "LIKES"};
  rel.properties = MapOrParam{MapOrParam::Map{std::move(rel_props)}};
  PatternPart part{
      std::nullopt, node({"A"}, std::move(node_props)), {}, PathSelector::All, std::nullopt};
  part.chain.push_back(PatternLink{std::move(rel), node({"B"}), std::nullopt});
  Pattern pattern;
  pattern.push_back(std::move(part));

  PropertyMap literal;
  literal.push_back(MapEntry{"literal_key", prop(var("y"), "value_key")});
  TreeList<ReadingClause> reading;
  reading.push_back(match(std::move(pattern)));
  TreeList<Expr> items;
  items.push_back(Expr::Map{std::move(literal)});
  QueryInfo info = inspect_tree(single(std::move(reading), returning(std::move(items))));
  EXPECT_THAT(info.labels_used, ElementsAre("A", "B"));
  EXPECT_THAT(info.rel_types_used, ElementsAre("KNOWS", "LIKES"));
  EXPECT_THAT(info.properties_used, ElementsAre("inner", "name", "value_key"));
}

TEST(InspectTree, ExistsSubqueryContributesOnlyPropertyKeys) {
  // EXISTS holding a whole query: labels and types stay inside it.
  TreeList<ReadingClause> inner_reading;
  Pattern inner_pattern;
  inner_pattern.push_back(
      PatternPart{std::nullopt, node({"Hidden"}, {}), {}, PathSelector::All, std::nullopt});
  inner_reading.push_back(match(std::move(inner_pattern), prop(var("h"), "inner_prop")));
  CypherQuery inner = single(std::move(inner_reading), std::nullopt);
  Expr exists_query =
      Expr::Exists{Box<ExistsSubquery>(ExistsSubquery{std::get<RegularQuery>(std::move(inner))})};

  // EXISTS holding a pattern: nothing at all.
  Pattern exists_pattern;
  exists_pattern.push_back(
      PatternPart{std::nullopt, node({"AlsoHidden"}), {}, PathSelector::All, std::nullopt});
  Expr exists_pattern_expr =
      Expr::Exists{Box<ExistsSubquery>(ExistsSubquery{std::move(exists_pattern)})};

  Pattern outer;
  outer.push_back(PatternPart{std::nullopt, node({"Outer"}), {}, PathSelector::All, std::nullopt});
  TreeList<ReadingClause> reading;
  reading.push_back(match(
      std::move(outer),
      Expr::And{{Box<Expr>(std::move(exists_query)), Box<Expr>(std::move(exists_pattern_expr))}}));
  QueryInfo info = inspect_tree(single(std::move(reading), std::nullopt));
  EXPECT_THAT(info.labels_used, ElementsAre("Outer"));
  EXPECT_THAT(info.rel_types_used, IsEmpty());
  EXPECT_THAT(info.properties_used, ElementsAre("inner_prop"));
}

TEST(InspectTree, UpdatingClausesOtherThanCreateAndMergeContributeNothing) {
  TreeList<UpdatingClause> updating;
  Pattern created;
  created.push_back(
      PatternPart{std::nullopt, node({"Created"}), {}, PathSelector::All, std::nullopt});
  updating.push_back(UpdatingClause{UpdatingClause::Create{std::move(created)}});
  UpdatingClause::Merge merge{
      PatternPart{std::nullopt, node({"Merged"}), {}, PathSelector::All, std::nullopt}, {}, {}};
  merge.on_create.push_back(
      {SetItem{SetItem::Property{PropertyExpr{"m", {"on_create_key"}}, Expr::Integer{1}}}});
  updating.push_back(UpdatingClause{std::move(merge)});
  updating.push_back(UpdatingClause{UpdatingClause::Set{
      {SetItem{SetItem::Property{PropertyExpr{"n", {"set_key"}}, prop(var("n"), "rhs_key")}}}}});
  updating.push_back(UpdatingClause{UpdatingClause::Delete{false, {prop(var("n"), "del_key")}}});
  QueryInfo info = inspect_tree(single({}, std::nullopt, std::move(updating)));
  EXPECT_THAT(info.labels_used, ElementsAre("Created", "Merged"));
  EXPECT_THAT(info.properties_used, IsEmpty());
}

TEST(InspectTree, MultiPartSkipsWithButWalksEveryPartAndUnionBranch) {
  MultiPartQuery multi;
  QueryPart part;
  Pattern p1;
  p1.push_back(PatternPart{std::nullopt, node({"First"}), {}, PathSelector::All, std::nullopt});
  part.reading_clauses.push_back(match(std::move(p1)));
  part.with_clause.items.push_back(ReturnItem{prop(var("n"), "with_key"), std::string("k")});
  part.with_clause.where_clause = prop(var("n"), "with_where");
  multi.parts.push_back(std::move(part));
  Pattern p2;
  p2.push_back(PatternPart{std::nullopt, node({"Second"}), {}, PathSelector::All, std::nullopt});
  multi.reading_clauses.push_back(match(std::move(p2)));
  TreeList<Expr> items;
  items.push_back(prop(var("n"), "returned"));
  multi.return_clause = returning(std::move(items));

  RegularQuery query{std::move(multi), {}};
  CypherQuery branch = single({}, returning([] {
                                TreeList<Expr> v;
                                v.push_back(prop(var("u"), "union_key"));
                                return v;
                              }()));
  query.unions().push_back(UnionPart{true, std::get<RegularQuery>(std::move(branch)).first()});
  QueryInfo info = inspect_tree(CypherQuery{std::move(query)});
  EXPECT_THAT(info.labels_used, ElementsAre("First", "Second"));
  EXPECT_THAT(info.properties_used, ElementsAre("returned", "union_key"));
}

TEST(InspectTree, StandaloneCallNamesNothing) {
  QueryInfo info =
      inspect_tree(CypherQuery{CallClause{"db.labels", {}, {}, false, std::nullopt, false}});
  EXPECT_TRUE(info.is_valid);
  EXPECT_THAT(info.labels_used, IsEmpty());
  EXPECT_THAT(info.rel_types_used, IsEmpty());
  EXPECT_THAT(info.properties_used, IsEmpty());
}

// ---- Through the parser ----

TEST(InspectQuery, DocumentedExample) {
  QueryInfo info = inspect_query("MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN p.name");
  EXPECT_TRUE(info.is_valid);
  EXPECT_THAT(info.labels_used, ElementsAre("Movie", "Person"));
  EXPECT_THAT(info.rel_types_used, ElementsAre("ACTED_IN"));
  EXPECT_THAT(info.properties_used, ElementsAre("name"));
  EXPECT_THAT(info.errors, IsEmpty());
}

TEST(InspectQuery, RejectedTextReportsOneDisplayFormError) {
  for (const char* text : {"MATCH (n RETURN n", "", "RETURN"}) {
    QueryInfo info = inspect_query(text);
    EXPECT_FALSE(info.is_valid) << text;
    EXPECT_THAT(info.labels_used, IsEmpty());
    EXPECT_THAT(info.rel_types_used, IsEmpty());
    EXPECT_THAT(info.properties_used, IsEmpty());
    ASSERT_EQ(info.errors.size(), 1u) << text;
    EXPECT_THAT(info.errors[0], StartsWith("Parse error: "));
  }
}

TEST(InspectQuery, NameListsFollowTheWalkRules) {
  struct Case {
    const char* text;
    TreeList<std::string> labels, rel_types, properties;
  };
  const Case cases[] = {
      {"CALL db.labels()", {}, {}, {}},
      {"MATCH (b:beta), (a:Alpha), (c:Alpha) RETURN a", {"Alpha", "beta"}, {}, {}},
      {"MATCH (a)-[r:KNOWS {since: 2020}]->(b) RETURN a", {}, {"KNOWS"}, {}},
      {"MATCH (n:Person {name: 'x'}) RETURN n.age", {"Person"}, {}, {"age", "name"}},
      {"MATCH (n) WITH n.age AS age RETURN age", {}, {}, {}},
      {"MATCH (n) SET n.age = 1", {}, {}, {}},
      {"RETURN {name: 1}", {}, {}, {}},
      {"RETURN n.a.b", {}, {}, {"a", "b"}},
      {"MATCH (n) WHERE EXISTS { (n)-[:KNOWS]->(m:Person {name: 'x'}) } RETURN n", {}, {}, {}},
      {"MATCH (n:B) RETURN n.x UNION MATCH (m:A)-[:T|U]-() RETURN m.y",
       {"A", "B"},
       {"T", "U"},
       {"x", "y"}},
      {"MATCH (a:b), (c:B), (d:_x), (z:Z) RETURN a", {"B", "Z", "_x", "b"}, {}, {}},
  };
  for (const Case& c : cases) {
    QueryInfo info = inspect_query(c.text);
    EXPECT_TRUE(info.is_valid) << c.text << (info.errors.empty() ? "" : info.errors[0]);
    EXPECT_EQ(info.labels_used, c.labels) << c.text;
    EXPECT_EQ(info.rel_types_used, c.rel_types) << c.text;
    EXPECT_EQ(info.properties_used, c.properties) << c.text;
  }
}

}  // namespace
}  // namespace quorvane
