// The extended language: what it accepts beyond the subset, what it still
// rejects, and the trees it builds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../support/tree_text.h"
#include "parse_test_util.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

Result<CypherQuery> parse_extended(std::string_view text) {
  return parse(text, Language::Extended);
}

// The expression of the single item of "RETURN <expr>", read as extended.
Expr extended_expr(const std::string& text) {
  auto result = parse_extended("RETURN " + text);
  EXPECT_TRUE(result.ok()) << text << "\n" << (result.ok() ? "" : result.error().message);
  if (!result.ok()) return Expr(Expr::Null{});
  const auto& query = std::get<RegularQuery>(result.value());
  return std::get<SinglePartQuery>(query.first()).return_clause->items.items.at(0).expr;
}

const SinglePartQuery& single_part(const CypherQuery& query) {
  return std::get<SinglePartQuery>(std::get<RegularQuery>(query).first());
}

TEST(ExtendedGrammar, AcceptsWhatTheSubsetRejects) {
  const std::vector<std::string> queries = {
      // Subquery expressions.
      "MATCH (p:Person) WHERE EXISTS { (p)-[:ACTED_IN]->(m:Movie) WHERE m.year > 2000 } RETURN p",
      "MATCH (p:Person) WHERE EXISTS { MATCH (p)-->(m) RETURN m } RETURN p",
      "MATCH (p) WHERE EXISTS { MATCH (p)-->(m) } RETURN p",
      "MATCH (p) RETURN COUNT { (p)-[:ACTED_IN]->() } AS movies",
      "MATCH (p) RETURN count{ MATCH (p)-->(m:Movie) WHERE m.year > 1 RETURN m } AS n",
      "MATCH (p) RETURN COLLECT { MATCH (p)-->(m) RETURN m.title } AS titles",
      "MATCH (p) WHERE EXISTS { MATCH (p)-->(a) RETURN a UNION MATCH (p)<--(a) RETURN a } RETURN p",
      // CALL subqueries.
      "MATCH (p) CALL { WITH p MATCH (p)-->(m) RETURN count(m) AS c } RETURN p, c",
      "MATCH (p) CALL (p) { MATCH (p)-->(m) RETURN m } RETURN m",
      "MATCH (p) CALL (*) { RETURN p AS q } RETURN q",
      "CALL () { RETURN 1 AS x } RETURN x",
      "MATCH (p) OPTIONAL CALL (p) { MATCH (p)-->(m) RETURN m } RETURN m",
      "UNWIND $rows AS row CALL { WITH row CREATE (n:Person {name: row.name}) } IN TRANSACTIONS OF "
      "500 ROWS",
      "LOAD CSV WITH HEADERS FROM 'file:///x.csv' AS row CALL (row) { MERGE (n:N {id: row.id}) } "
      "IN 2 CONCURRENT TRANSACTIONS OF 100 ROWS ON ERROR CONTINUE",
      // Numbers.
      "RETURN 1E9, 2e-3, 100E6, .5, -.1e9, 1.5e+3",
      // Pattern predicates.
      "MATCH (a) WHERE (a)-[:ACTED_IN]->(:Movie) RETURN a",
      "MATCH (a) WHERE NOT (a)-->() RETURN a",
      "MATCH (a) WHERE exists((a)-[:R]->()) AND (a)<-[:S]-(:B {x: 1}) RETURN a",
      "MATCH (a), (b) WHERE (a)-[:R*1..3]-(b) RETURN a",
      // Pattern comprehensions.
      "MATCH (a) RETURN [(a)-[:R]->(b:B) WHERE b.x > 1 | b.name] AS names",
      "MATCH (a) RETURN [p = (a)-->() | p] AS paths",
      "MATCH (a) RETURN size([(a)-->(b) | b]) AS n",
      // Label expressions.
      "MATCH (n:A|B) RETURN n",
      "MATCH (n:A&B) RETURN n",
      "MATCH (n:!A) RETURN n",
      "MATCH (n:%) RETURN n",
      "MATCH (n IS A) RETURN n",
      "MATCH (n:(A|B)&!C) RETURN n",
      "MATCH ()-[r:!KNOWS]->() RETURN r",
      "MATCH ()-[r IS KNOWS|LIKES]->() RETURN r",
      "MATCH (n) WHERE n:Person RETURN n",
      "MATCH (n) WHERE n:A:B OR n:A|B OR n:A&B OR n IS A RETURN n",
      "MATCH (n) RETURN n:Person AS isPerson",
      "MATCH (n) RETURN [x IN [n] WHERE x:A | x.name] AS names",
      // Map projections.
      "MATCH (n) RETURN n{.name, .age, total: 1 + 2, other, .*} AS m",
      "MATCH (n) RETURN n { .name } AS m",
      "MATCH (n) RETURN n{} AS m",
      // Paths.
      "MATCH p = shortestPath((a:A)-[*]-(b:B)) RETURN p",
      "MATCH p = allShortestPaths((a)-[:R*..5]->(b)) RETURN p",
      "MATCH (a), (b) RETURN shortestPath((a)-[*]-(b)) AS p",
      "MATCH ((a)-[:R]->(b)){1,3} RETURN a",
      "MATCH (x) ((a)-[:R]->(b) WHERE a.v < b.v)+ (y) RETURN x, y",
      "MATCH (a)-[:R]->{2,5}(b) RETURN a",
      "MATCH (a)-[:R]->+(b) RETURN a",
      "MATCH (a)-->*(b) RETURN a",
      "MATCH (a)-[:R]->{,3}(b) RETURN a",
      "MATCH (a)-[:R]->{2}(b) RETURN a",
      "MATCH p = SHORTEST 2 (a)-[:R]->+(b) RETURN p",
      "MATCH p = ALL SHORTEST (a)-[:R]->+(b) RETURN p",
      "MATCH p = ANY (a)-[:R]->+(b) RETURN p",
      "MATCH p = SHORTEST 1 PATH GROUPS (a)-[:R]->+(b) RETURN p",
      "MATCH (n:Person WHERE n.age > 30)-[r:KNOWS WHERE r.since > 2000]->(m) RETURN n",
      // Clauses and expressions.
      "MATCH (n) FOREACH (x IN [1, 2] | SET n.v = x CREATE (:Log {v: x}))",
      "MATCH p = (a)-->(b) FOREACH (n IN nodes(p) | FOREACH (m IN [n] | SET m.seen = true))",
      "LOAD CSV FROM 'https://x/y.csv' AS line FIELDTERMINATOR ';' RETURN line[0]",
      "CALL db.labels",
      "CALL db.labels YIELD label RETURN label",
      "CALL db.labels() YIELD * RETURN label",
      "CALL db.labels() YIELD label WHERE label STARTS WITH 'P' RETURN label",
      "CALL apoc.create.node(['A'], {}) YIELD node RETURN node",
      "RETURN reduce(acc = 0, x IN [1, 2, 3] | acc + x) AS total",
      "RETURN 1 IS :: INTEGER, 'a' IS NOT :: STRING NOT NULL, [1] :: LIST<INTEGER>",
      "RETURN x IS :: INTEGER | FLOAT, y IS TYPED ANY NODE, z :: LOCAL DATETIME",
      "MATCH (n) SET n += {a: 1} SET n = {b: 2} RETURN n",
      "MATCH (n) RETURN n ORDER BY n.x SKIP 1 LIMIT 2",
      "MATCH (n) RETURN n ORDER BY n.x OFFSET 1 LIMIT 2",
      "RETURN 'a' || 'b' || 'c' AS s",
      "MATCH (a) RETURN CASE WHEN (a)-->() THEN 1 ELSE 0 END AS has",
      "RETURN CASE WHEN(x) WHEN 1 THEN 2 END AS subset_reading",
      "RETURN CASE WHEN (1 > 0) THEN 'yes' WHEN(2 > 1) THEN 'no' END AS s",
      // Names that the subset reserves.
      "MATCH (order:Order) RETURN order.total AS total",
      "MATCH (n) RETURN count(n) AS count",
      "MATCH (all)-[desc]->(limit) RETURN all, desc, limit",
      "MATCH (n) WITH n AS exists, n AS single RETURN exists, single",
      "WITH 1 AS skip RETURN skip",
  };
  for (const std::string& q : queries) {
    auto result = parse_extended(q);
    EXPECT_TRUE(result.ok()) << q << "\n" << (result.ok() ? "" : result.error().message);
  }
}

TEST(ExtendedGrammar, RejectsNearMisses) {
  const std::vector<std::string> queries = {
      "MATCH (p) WHERE EXISTS { (p)-->(m) RETURN p",  // unclosed
      "MATCH (p) RETURN COUNT {} AS n",
      "MATCH (p) RETURN COLLECT { } AS n",
      "MATCH (n) WHERE n: RETURN n",
      "MATCH (n:) RETURN n",
      "MATCH (n:A|) RETURN n",
      "RETURN {.name} AS m",
      "MATCH (n) RETURN n{.name AS m",
      "MATCH (n) CALL { MATCH (n) RETURN n RETURN n",
      "MATCH (a)-[:R]->{}(b) RETURN a",
      "RETURN 1E AS x",
      "RETURN reduce(acc = 0, x IN [1] acc + x)",
      "MATCH (n) FOREACH (x IN [1] | RETURN x)",
      "RETURN x IS :: WIDGET",
      "MATCH (n) WHERE n IS RETURN n",
      "LOAD CSV FROM 'x' RETURN 1",
      "MATCH (n) RETURN n; MATCH (m) RETURN m",
  };
  for (const std::string& q : queries) {
    auto result = parse_extended(q);
    EXPECT_FALSE(result.ok()) << q;
    if (!result.ok()) {
      // Always the six-line block.
      const std::string& message = result.error().message;
      EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 5) << q << "\n" << message;
    }
  }
}

TEST(ExtendedGrammar, ErrorsSayWhatCouldStandThere) {
  auto result = parse_extended("MATCH (n:) RETURN n");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(testing::last_line(result.error().message),
            "  = unexpected ')'; expected a label name");
}

TEST(ExtendedGrammar, SubsetTreesAreKept) {
  // Queries the subset accepts build the same tree in both languages.
  const std::vector<std::string> queries = {
      "MATCH (a:Person)-[r:ACTED_IN|:DIRECTED*1..3]->(m:Movie {title: 'x'}) WHERE a.age > 3 "
      "RETURN a.name AS name, count(*) ORDER BY name DESC SKIP 1 LIMIT 5",
      "MATCH (a) WHERE EXISTS { (a)-->(:B) } RETURN [x IN range(1, 3) WHERE x > 1 | x * 2]",
      "UNWIND [1, 2.5, 'x', null, true] AS v WITH v RETURN CASE WHEN v IS NULL THEN 0 ELSE v END",
      "MATCH (n:A:B) SET n:C, n.x = 1 REMOVE n:D, n.y DETACH DELETE n",
      "CALL db.labels() YIELD label AS l RETURN l UNION ALL RETURN 1 AS l",
  };
  for (const std::string& q : queries) {
    auto subset = parse(q, Language::Subset);
    auto extended = parse_extended(q);
    ASSERT_TRUE(subset.ok()) << q;
    ASSERT_TRUE(extended.ok()) << q;
    // Re-parsing is deterministic, so comparing the two trees by their
    // inspection-independent shape: the variant indexes along a full walk
    // are covered by the property test; here a spot check of a few fields.
    EXPECT_EQ(subset.value().index(), extended.value().index()) << q;
  }
}

TEST(ExtendedTree, SubqueryExpressions) {
  Expr count = extended_expr("COUNT { (a)-->(b) }");
  const auto* c = count.as<Expr::CountSubquery>();
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(std::holds_alternative<Pattern>(c->subquery->value));

  // A pattern with WHERE becomes a one-MATCH query.
  Expr exists = extended_expr("EXISTS { (a)-->(b) WHERE b.x = 1 }");
  const auto* e = exists.as<Expr::Exists>();
  ASSERT_NE(e, nullptr);
  const auto& query = std::get<RegularQuery>(e->subquery->value);
  const auto& part = std::get<SinglePartQuery>(query.first());
  ASSERT_EQ(part.reading_clauses.size(), 1u);
  const auto& match = std::get<ReadingClause::Match>(part.reading_clauses[0].clause);
  EXPECT_TRUE(match.where_clause.has_value());
  EXPECT_FALSE(part.return_clause.has_value());

  Expr collect = extended_expr("COLLECT { MATCH (n) RETURN n.x }");
  ASSERT_NE(collect.as<Expr::CollectSubquery>(), nullptr);
}

TEST(ExtendedTree, LabelExpressions) {
  auto result = parse_extended("MATCH (n:A|B), (m:A:B), (k:!A&B), (j IS C) RETURN 1");
  ASSERT_TRUE(result.ok()) << result.error().message;
  const auto& pattern = std::get<ReadingClause::Match>(single_part(result.value())
                                                           .reading_clauses[0]
                                                           .clause)
                            .pattern;
  ASSERT_EQ(pattern.size(), 4u);
  // A|B: any of both names; the expression is kept.
  EXPECT_EQ(pattern[0].start.labels, (std::vector<std::string>{"A", "B"}));
  ASSERT_TRUE(pattern[0].start.label_expr.has_value());
  EXPECT_EQ(pattern[0].start.label_expr.value()->kind, LabelExpr::Kind::Or);
  // A colon list reads as in the subset.
  EXPECT_EQ(pattern[1].start.labels, (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(pattern[1].start.label_expr.has_value());
  // A negation gives no labels to rely on.
  EXPECT_TRUE(pattern[2].start.labels.empty());
  ASSERT_TRUE(pattern[2].start.label_expr.has_value());
  EXPECT_EQ(pattern[2].start.label_expr.value()->kind, LabelExpr::Kind::And);
  EXPECT_EQ(pattern[2].start.label_expr.value()->operands[0].kind, LabelExpr::Kind::Not);
  EXPECT_EQ(pattern[3].start.labels, (std::vector<std::string>{"C"}));

  Expr check = extended_expr("n:A|B");
  const auto* label_check = check.as<Expr::LabelCheck>();
  ASSERT_NE(label_check, nullptr);
  EXPECT_EQ(label_check->labels->kind, LabelExpr::Kind::Or);
  ASSERT_NE(extended_expr("n IS A").as<Expr::LabelCheck>(), nullptr);
  // `!` binds tighter than `&`, `&` tighter than `|`.
  Expr mixed = extended_expr("n:A|B&!C");
  const LabelExpr& top = *mixed.as<Expr::LabelCheck>()->labels;
  ASSERT_EQ(top.kind, LabelExpr::Kind::Or);
  ASSERT_EQ(top.operands.size(), 2u);
  EXPECT_EQ(top.operands[1].kind, LabelExpr::Kind::And);
  EXPECT_EQ(top.operands[1].operands[1].kind, LabelExpr::Kind::Not);
}

TEST(ExtendedTree, ComprehensionBarEndsLabelPredicate) {
  Expr e = extended_expr("[x IN list WHERE x:A | x.name]");
  const auto* comprehension = e.as<Expr::ListComprehension>();
  ASSERT_NE(comprehension, nullptr);
  ASSERT_TRUE(comprehension->predicate.has_value());
  EXPECT_NE((*comprehension->predicate)->as<Expr::LabelCheck>(), nullptr);
  ASSERT_TRUE(comprehension->projection.has_value());
  EXPECT_NE((*comprehension->projection)->as<Expr::Property>(), nullptr);
}

TEST(ExtendedTree, NumbersAndOperators) {
  for (auto [text, value] : {std::pair{"1E9", 1e9}, {"2e-3", 2e-3}, {".5", 0.5}, {"100E6", 1e8}}) {
    Expr e = extended_expr(text);
    ASSERT_NE(e.as<Expr::Float>(), nullptr) << text;
    EXPECT_DOUBLE_EQ(e.as<Expr::Float>()->value, value) << text;
  }
  Expr negative = extended_expr("-.1e9");
  const auto* negated = negative.as<Expr::Negate>();
  ASSERT_NE(negated, nullptr);
  EXPECT_DOUBLE_EQ(negated->operand->as<Expr::Float>()->value, 0.1e9);
  // A range still reads as a range.
  ASSERT_NE(extended_expr("list[1..5]").as<Expr::Slice>(), nullptr);
  ASSERT_NE(extended_expr("'a' || 'b'").as<Expr::Concatenate>(), nullptr);
  Expr typed = extended_expr("x IS NOT :: list < integer >  not null");
  const auto* type = typed.as<Expr::TypePredicate>();
  ASSERT_NE(type, nullptr);
  EXPECT_TRUE(type->negated);
  EXPECT_EQ(type->type, "LIST<INTEGER> NOT NULL");
}

TEST(ExtendedTree, MapProjectionReduceAndComprehension) {
  Expr map = extended_expr("n{.name, .*, total: 1, other}");
  const auto* projection = map.as<Expr::MapProjection>();
  ASSERT_NE(projection, nullptr);
  EXPECT_EQ(projection->variable, "n");
  using Kind = Expr::MapProjectionItem::Kind;
  ASSERT_EQ(projection->items.size(), 4u);
  EXPECT_EQ(projection->items[0].kind, Kind::Property);
  EXPECT_EQ(projection->items[0].name, "name");
  EXPECT_EQ(projection->items[1].kind, Kind::AllProperties);
  EXPECT_EQ(projection->items[2].kind, Kind::Entry);
  EXPECT_EQ(projection->items[3].kind, Kind::Variable);

  Expr reduced = extended_expr("reduce(s = 0, x IN xs | s + x)");
  const auto* reduce = reduced.as<Expr::Reduce>();
  ASSERT_NE(reduce, nullptr);
  EXPECT_EQ(reduce->accumulator, "s");
  EXPECT_EQ(reduce->iteration->variable, "x");
  ASSERT_NE(reduce->iteration->list->as<Expr::Variable>(), nullptr);
  EXPECT_FALSE(reduce->iteration->predicate.has_value());
  ASSERT_TRUE(reduce->iteration->projection.has_value());
  ASSERT_NE((*reduce->iteration->projection)->as<Expr::Add>(), nullptr);

  Expr comprehension = extended_expr("[p = (a)-[:R]->(b) WHERE b.x > 1 | b.y]");
  const auto* pc = comprehension.as<Expr::PatternComprehension>();
  ASSERT_NE(pc, nullptr);
  EXPECT_EQ(pc->pattern->variable, std::optional<std::string>("p"));
  ASSERT_EQ(pc->pattern->chain.size(), 1u);
  EXPECT_EQ(pc->pattern->chain[0].relationship.types, (std::vector<std::string>{"R"}));
  EXPECT_TRUE(pc->predicate.has_value());
  ASSERT_NE(pc->projection->as<Expr::Property>(), nullptr);

  Expr path = extended_expr("(a)<-[:R]-(:B)");
  const auto* predicate = path.as<Expr::PatternPredicate>();
  ASSERT_NE(predicate, nullptr);
  EXPECT_EQ(predicate->pattern->chain[0].relationship.direction, Direction::Incoming);
}

// A path holding a group is built step by step; one without is built in
// place. Plain steps must come out the same either way.
TEST(ExtendedTree, StepsBesideAGroupReadAsWithout) {
  auto grouped = parse_extended(
      "MATCH p = (a:A {k: 1})-[r:R*1..2 {w: $w}]->(b:B) ((x)-[:S]->(y)){1,2} (c:C)"
      "<-[:T|U]-(d {v: [1, 2]}) RETURN p");
  ASSERT_TRUE(grouped.ok()) << grouped.error().message;
  auto& part = std::get<ReadingClause::Match>(
                   std::get<SinglePartQuery>(std::get<RegularQuery>(grouped.value()).first())
                       .reading_clauses[0]
                       .clause)
                   .pattern[0];
  ASSERT_EQ(part.chain.size(), 3u);
  ASSERT_TRUE(part.chain[1].group.has_value());
  // Without the group, the node after it follows the first step directly.
  part.chain.erase(part.chain.begin() + 1);
  auto plain = parse_extended(
      "MATCH p = (a:A {k: 1})-[r:R*1..2 {w: $w}]->(b:B)<-[:T|U]-(d {v: [1, 2]}) RETURN p");
  ASSERT_TRUE(plain.ok()) << plain.error().message;
  EXPECT_EQ(testing::tree_text(grouped.value()), testing::tree_text(plain.value()));
}

TEST(ExtendedTree, QuantifiedPathsAndSelectors) {
  auto result = parse_extended(
      "MATCH p = SHORTEST 3 (x:A) ((a)-[:R]->(b) WHERE a.v < b.v){2,4} (y:B)-[:S]->+(z) RETURN p");
  ASSERT_TRUE(result.ok()) << result.error().message;
  const auto& part = std::get<ReadingClause::Match>(single_part(result.value())
                                                        .reading_clauses[0]
                                                        .clause)
                         .pattern[0];
  EXPECT_EQ(part.selector, PathSelector::ShortestK);
  EXPECT_EQ(part.selector_count, std::optional<int64_t>(3));
  EXPECT_EQ(part.start.labels, (std::vector<std::string>{"A"}));
  ASSERT_EQ(part.chain.size(), 2u);
  ASSERT_TRUE(part.chain[0].group.has_value());
  const QuantifiedPath& group = **part.chain[0].group;
  EXPECT_EQ(group.quantifier.min, std::optional<int64_t>(2));
  EXPECT_EQ(group.quantifier.max, std::optional<int64_t>(4));
  EXPECT_TRUE(group.where_clause.has_value());
  ASSERT_EQ(group.path.chain.size(), 1u);
  EXPECT_EQ(part.chain[0].node.labels, (std::vector<std::string>{"B"}));
  const RelationshipPattern& plus = part.chain[1].relationship;
  EXPECT_EQ(plus.direction, Direction::Outgoing);
  ASSERT_TRUE(plus.range.has_value());
  EXPECT_EQ(plus.range->min, std::optional<int64_t>(1));
  EXPECT_FALSE(plus.range->max.has_value());

  auto shortest = parse_extended("MATCH p = allShortestPaths((a)-[*]-(b)) RETURN p");
  ASSERT_TRUE(shortest.ok());
  const auto& sp = std::get<ReadingClause::Match>(single_part(shortest.value())
                                                      .reading_clauses[0]
                                                      .clause)
                       .pattern[0];
  EXPECT_EQ(sp.selector, PathSelector::AllShortestPaths);
  EXPECT_EQ(sp.variable, std::optional<std::string>("p"));
}

TEST(ExtendedTree, ClausesOfTheExtendedLanguage) {
  auto result = parse_extended(
      "LOAD CSV WITH HEADERS FROM $url AS row FIELDTERMINATOR '\\t' "
      "CALL (row) { CREATE (n:N {id: row.id}) RETURN n } IN TRANSACTIONS OF 10 ROWS "
      "FOREACH (x IN [1] | SET n.v = x) RETURN n");
  ASSERT_TRUE(result.ok()) << result.error().message;
  const SinglePartQuery& part = single_part(result.value());
  ASSERT_EQ(part.reading_clauses.size(), 2u);
  const auto& load = std::get<ReadingClause::LoadCsv>(part.reading_clauses[0].clause);
  EXPECT_TRUE(load.with_headers);
  EXPECT_EQ(load.variable, "row");
  EXPECT_EQ(load.field_terminator, std::optional<std::string>("\\t"));
  const auto& call = std::get<ReadingClause::Subquery>(part.reading_clauses[1].clause);
  EXPECT_TRUE(call.has_scope);
  EXPECT_FALSE(call.import_all);
  EXPECT_EQ(call.scope, (std::vector<std::string>{"row"}));
  EXPECT_TRUE(call.in_transactions);
  ASSERT_TRUE(call.batch_rows.has_value());
  EXPECT_EQ(call.batch_rows->as<Expr::Integer>()->value, 10);
  ASSERT_EQ(part.updating_clauses.size(), 1u);
  const auto& foreach = std::get<UpdatingClause::Foreach>(part.updating_clauses[0].clause);
  EXPECT_EQ(foreach.variable, "x");
  EXPECT_EQ(foreach.clauses.size(), 1u);

  auto procedure = parse_extended("CALL db.labels YIELD *");
  ASSERT_TRUE(procedure.ok());
  const auto& calls = single_part(procedure.value()).reading_clauses;
  const auto& clause = std::get<CallClause>(calls.at(0).clause);
  EXPECT_EQ(clause.procedure, "db.labels");
  EXPECT_TRUE(clause.implicit_arguments);
  EXPECT_TRUE(clause.yield_all);
}

TEST(ExtendedGrammar, DeepNestingStaysWithinLimits) {
  // Constructs that nest without an expression in between still count
  // against the nesting limit instead of exhausting the stack.
  for (std::string open : {"CALL { ", "FOREACH (x IN [] | "}) {
    std::string query;
    for (int i = 0; i < 5000; ++i) query += open;
    auto result = parse_extended(query);
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().message.find("nested too deeply"), std::string::npos) << open;
  }
  std::string groups = "MATCH ";
  for (int i = 0; i < 5000; ++i) groups += "(";
  EXPECT_FALSE(parse_extended(groups).ok());
  std::string labels = "MATCH (n:";
  for (int i = 0; i < 5000; ++i) labels += "(";
  EXPECT_FALSE(parse_extended(labels).ok());
}

}  // namespace
}  // namespace quorvane
