// Tree shapes the parser builds.
#include <gtest/gtest.h>

#include <stdexcept>

#include "parse_test_util.h"

namespace quorvane {
namespace {

using testing::return_expr;

const RegularQuery& regular(const Result<CypherQuery>& r) {
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message);
  return std::get<RegularQuery>(r.value());
}

template <class T>
const T& as(const Expr& e) {
  const T* p = e.as<T>();
  // gtest reports the exception as a failure of the calling test.
  if (p == nullptr) throw std::runtime_error("unexpected variant " + std::to_string(e.kind()));
  return *p;
}

TEST(TreeBuilder, SimpleMatchReturn) {
  auto r = parse("MATCH (n) RETURN n");
  const auto& q = regular(r);
  EXPECT_TRUE(q.unions().empty());
  const auto& single = std::get<SinglePartQuery>(q.first());
  ASSERT_EQ(single.reading_clauses.size(), 1u);
  const auto& match = std::get<ReadingClause::Match>(single.reading_clauses[0].clause);
  EXPECT_FALSE(match.optional);
  EXPECT_FALSE(match.where_clause.has_value());
  ASSERT_TRUE(single.return_clause.has_value());
  EXPECT_FALSE(single.return_clause->items.all);
  EXPECT_EQ(single.return_clause->items.items.size(), 1u);
}

TEST(TreeBuilder, UnionsAndWithParts) {
  auto r = parse("RETURN 1 UNION ALL RETURN 2 UNION RETURN 3");
  const auto& q = regular(r);
  ASSERT_EQ(q.unions().size(), 2u);
  EXPECT_TRUE(q.unions()[0].all);
  EXPECT_FALSE(q.unions()[1].all);

  auto r2 = parse("MATCH (n) WITH n MATCH (n)-->(m) RETURN m");
  const auto& multi = std::get<MultiPartQuery>(regular(r2).first());
  ASSERT_EQ(multi.parts.size(), 1u);
  EXPECT_EQ(multi.parts[0].reading_clauses.size(), 1u);
  EXPECT_EQ(multi.parts[0].with_clause.items.size(), 1u);
  EXPECT_EQ(multi.reading_clauses.size(), 1u);
  EXPECT_TRUE(multi.return_clause.has_value());
}

TEST(TreeBuilder, KeywordFlags) {
  auto r = parse("OPTIONAL MATCH (n) WITH DISTINCT n ORDER BY n.x desc RETURN DISTINCT n.x");
  const auto& multi = std::get<MultiPartQuery>(regular(r).first());
  EXPECT_TRUE(std::get<ReadingClause::Match>(multi.parts[0].reading_clauses[0].clause).optional);
  EXPECT_TRUE(multi.parts[0].with_clause.distinct);
  EXPECT_TRUE(multi.parts[0].with_clause.order_by->at(0).descending);
  EXPECT_TRUE(multi.return_clause->distinct);

  auto r2 = parse("MATCH (n) RETURN n.distinctValue ORDER BY n.description");
  const auto& single = std::get<SinglePartQuery>(regular(r2).first());
  EXPECT_FALSE(single.return_clause->distinct);
  EXPECT_FALSE(single.return_clause->order_by->at(0).descending);
}

TEST(TreeBuilder, UpdatingClauses) {
  auto r = parse(
      "MERGE (n:A) ON CREATE SET n.matched = 1 ON MATCH SET n.seen = 2 "
      "SET n += {a: 1}, n:Person:Admin, n.note = 'a+=b' REMOVE n.age, n:Tmp DETACH DELETE n, m");
  const auto& single = std::get<SinglePartQuery>(regular(r).first());
  ASSERT_EQ(single.updating_clauses.size(), 4u);
  const auto& merge = std::get<UpdatingClause::Merge>(single.updating_clauses[0].clause);
  EXPECT_EQ(merge.on_create.size(), 1u);
  EXPECT_EQ(merge.on_match.size(), 1u);
  const auto& set = std::get<UpdatingClause::Set>(single.updating_clauses[1].clause);
  ASSERT_EQ(set.items.size(), 3u);
  EXPECT_TRUE(std::holds_alternative<SetItem::AddAssign>(set.items[0].item));
  EXPECT_EQ(std::get<SetItem::Labels>(set.items[1].item).labels,
            (std::vector<std::string>{"Person", "Admin"}));
  EXPECT_TRUE(std::holds_alternative<SetItem::Property>(set.items[2].item));
  const auto& remove = std::get<UpdatingClause::Remove>(single.updating_clauses[2].clause);
  EXPECT_TRUE(std::holds_alternative<RemoveItem::Property>(remove.items[0].item));
  EXPECT_TRUE(std::holds_alternative<RemoveItem::Labels>(remove.items[1].item));
  const auto& del = std::get<UpdatingClause::Delete>(single.updating_clauses[3].clause);
  EXPECT_TRUE(del.detach);
  EXPECT_EQ(del.exprs.size(), 2u);
}

TEST(TreeBuilder, ReturnStarAndAliasesAndYield) {
  auto r = parse("MATCH (n) WITH * RETURN n AS `my x`");
  const auto& multi = std::get<MultiPartQuery>(regular(r).first());
  EXPECT_TRUE(multi.parts[0].with_clause.items.empty());
  EXPECT_EQ(multi.return_clause->items.items[0].alias, "my x");

  auto r2 = parse("CALL db.labels() YIELD label AS l");
  const auto& single = std::get<SinglePartQuery>(regular(r2).first());
  const auto& call = std::get<CallClause>(single.reading_clauses[0].clause);
  EXPECT_EQ(call.procedure, "db.labels");
  ASSERT_EQ(call.yield_items.size(), 1u);
  EXPECT_EQ(call.yield_items[0].variable, "l");
  EXPECT_EQ(call.yield_items[0].field, "label");
}

TEST(TreeBuilder, Patterns) {
  auto r = parse(
      "MATCH p = (a:`Person`)-[r:KNOWS|:LIKES*1..3 {since: 1}]->(b), (c)<-[:T]-(d), "
      "(e)<-[:T]->(f), (g)-[*]-(h), (i)-[*..4]-(j), (k $props) RETURN p");
  const auto& single = std::get<SinglePartQuery>(regular(r).first());
  const auto& pattern = std::get<ReadingClause::Match>(single.reading_clauses[0].clause).pattern;
  ASSERT_EQ(pattern.size(), 6u);
  EXPECT_EQ(pattern[0].variable, "p");
  EXPECT_EQ(pattern[0].start.labels, std::vector<std::string>{"Person"});
  const auto& rel = pattern[0].chain.at(0).relationship;
  EXPECT_EQ(rel.variable, "r");
  EXPECT_EQ(rel.types, (std::vector<std::string>{"KNOWS", "LIKES"}));
  EXPECT_EQ(rel.direction, Direction::Outgoing);
  EXPECT_EQ(rel.range->min, 1);
  EXPECT_EQ(rel.range->max, 3);
  EXPECT_EQ(pattern[1].chain[0].relationship.direction, Direction::Incoming);
  EXPECT_EQ(pattern[2].chain[0].relationship.direction, Direction::Incoming);
  EXPECT_EQ(pattern[3].chain[0].relationship.direction, Direction::Undirected);
  EXPECT_FALSE(pattern[3].chain[0].relationship.range->min.has_value());
  EXPECT_FALSE(pattern[4].chain[0].relationship.range->min.has_value());
  EXPECT_EQ(pattern[4].chain[0].relationship.range->max, 4);
  EXPECT_EQ(std::get<MapOrParam::Parameter>(pattern[5].start.properties->value).name, "props");
}

TEST(TreeBuilder, MapKeysRepeatAndKeepFirstPosition) {
  auto r = parse("MATCH (n {name: 'a', age: 1, name: 'b'}) RETURN n");
  const auto& single = std::get<SinglePartQuery>(regular(r).first());
  const auto& node =
      std::get<ReadingClause::Match>(single.reading_clauses[0].clause).pattern[0].start;
  const auto& map = std::get<MapOrParam::Map>(node.properties->value).entries;
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map[0].key, "name");
  EXPECT_EQ(as<Expr::String>(map[0].value).value, "b");
}

TEST(TreeBuilder, OperatorsNestToTheLeft) {
  Expr e = return_expr("5 - 2 + 1");
  const auto& add = as<Expr::Add>(e);
  EXPECT_NE(add.left->as<Expr::Subtract>(), nullptr);
  Expr m = return_expr("6 / 2 * 3");
  EXPECT_NE(as<Expr::Multiply>(m).left->as<Expr::Divide>(), nullptr);
  Expr p = return_expr("2 ^ 3 ^ 2");
  EXPECT_NE(as<Expr::Power>(p).left->as<Expr::Power>(), nullptr);
  Expr mod = return_expr("7 % 3 * 2");
  EXPECT_NE(as<Expr::Multiply>(mod).left->as<Expr::Modulo>(), nullptr);
  Expr o = return_expr("a OR b OR c");
  EXPECT_NE(as<Expr::Or>(o).left->as<Expr::Or>(), nullptr);
}

TEST(TreeBuilder, ComparisonsAndNullTests) {
  Expr e = return_expr("a IS NULL = true");
  EXPECT_NE(as<Expr::Equal>(e).left->as<Expr::IsNull>(), nullptr);
  EXPECT_NE(return_expr("a IS NOT NULL").as<Expr::IsNotNull>(), nullptr);
  EXPECT_NE(return_expr("a =~ 'x.*'").as<Expr::RegexMatch>(), nullptr);
  EXPECT_NE(return_expr("a STARTS WITH 'x'").as<Expr::StartsWith>(), nullptr);
  EXPECT_NE(return_expr("a ends   with 'x'").as<Expr::EndsWith>(), nullptr);
  EXPECT_NE(return_expr("a CONTAINS 'x'").as<Expr::Contains>(), nullptr);
  EXPECT_NE(return_expr("a IN [1]").as<Expr::In>(), nullptr);
  Expr chain = return_expr("1 < 2 < 3");
  EXPECT_NE(as<Expr::LessThan>(chain).left->as<Expr::LessThan>(), nullptr);
  Expr n = return_expr("NOT NOT n.name = 'NOTHING'");
  EXPECT_NE(as<Expr::Not>(n).operand->as<Expr::Not>(), nullptr);
}

TEST(TreeBuilder, Literals) {
  EXPECT_EQ(as<Expr::Integer>(return_expr("0x1F")).value, 31);
  EXPECT_EQ(as<Expr::Integer>(return_expr("0o17")).value, 15);
  EXPECT_EQ(as<Expr::Integer>(return_expr("9223372036854775808")).value, 0);
  // A literal that does not fit keeps its text; one that fits, even 0, none.
  EXPECT_EQ(as<Expr::Integer>(return_expr("9223372036854775808")).too_large, "9223372036854775808");
  EXPECT_EQ(as<Expr::Integer>(return_expr("0x10000000000000000")).too_large, "0x10000000000000000");
  for (const char* fits : {"0", "00", "0x0", "0o0", "9223372036854775807", "0x1F"}) {
    EXPECT_EQ(as<Expr::Integer>(return_expr(fits)).too_large, "") << fits;
  }
  EXPECT_DOUBLE_EQ(as<Expr::Float>(return_expr("1.e3")).value, 1000.0);
  EXPECT_EQ(as<Expr::String>(return_expr("'a\\nb'")).value, "a\\nb");
  EXPECT_TRUE(as<Expr::Boolean>(return_expr("True")).value);
  EXPECT_FALSE(as<Expr::Boolean>(return_expr("false")).value);
  EXPECT_EQ(as<Expr::Parameter>(return_expr("$p")).name, "p");
  EXPECT_NE(return_expr("-x").as<Expr::Negate>(), nullptr);
}

TEST(TreeBuilder, CallsCaseAndIteration) {
  EXPECT_TRUE(as<Expr::FunctionCall>(return_expr("count(DISTINCT n)")).distinct);
  EXPECT_FALSE(as<Expr::FunctionCall>(return_expr("count(n)")).distinct);
  EXPECT_NE(return_expr("count(*)").as<Expr::CountStar>(), nullptr);

  Expr c = return_expr("CASE WHEN a THEN 1 ELSE 2 END");
  const auto& searched = as<Expr::Case>(c);
  EXPECT_FALSE(searched.operand.has_value());
  EXPECT_EQ(searched.alternatives.size(), 1u);
  EXPECT_TRUE(searched.else_expr.has_value());
  Expr s = return_expr("CASE x WHEN 1 THEN 'a' WHEN 2 THEN 'b' END");
  EXPECT_TRUE(as<Expr::Case>(s).operand.has_value());
  EXPECT_EQ(as<Expr::Case>(s).alternatives.size(), 2u);

  Expr lc = return_expr("[x IN list WHERE x > 1 | x * 2]");
  const auto& comp = as<Expr::ListComprehension>(lc);
  EXPECT_EQ(comp.variable, "x");
  EXPECT_TRUE(comp.predicate.has_value());
  EXPECT_TRUE(comp.projection.has_value());
  EXPECT_NE(return_expr("[x IN xs]").as<Expr::List>(), nullptr);
  EXPECT_NE(return_expr("any(x IN xs WHERE x = 1)").as<Expr::Any>(), nullptr);
  EXPECT_NE(return_expr("single(x IN xs WHERE x = 1)").as<Expr::Single>(), nullptr);
  EXPECT_NE(return_expr("all(x)").as<Expr::FunctionCall>(), nullptr);
  EXPECT_NE(return_expr("EXISTS { (a)-->(b) }").as<Expr::Exists>(), nullptr);
}

TEST(TreeBuilder, PostfixAndSlices) {
  Expr e = return_expr("a.b[0].c");
  const auto& outer = as<Expr::Property>(e);
  EXPECT_EQ(outer.key, "c");
  EXPECT_NE(outer.target->as<Expr::Index>(), nullptr);
  Expr to_only = return_expr("x[..3]");
  EXPECT_FALSE(as<Expr::Slice>(to_only).from.has_value());
  EXPECT_TRUE(as<Expr::Slice>(to_only).to.has_value());
  Expr from_only = return_expr("x[1..]");
  EXPECT_TRUE(as<Expr::Slice>(from_only).from.has_value());
  EXPECT_FALSE(as<Expr::Slice>(from_only).to.has_value());
  EXPECT_EQ(as<Expr::Property>(return_expr("n.`my key`")).key, "my key");
}

TEST(TreeBuilder, CopiesAreIndependent) {
  auto r = parse("MATCH (n:A {k: [1, 2]}) RETURN n.k[0] + 1");
  ASSERT_TRUE(r.ok());
  auto* source = new CypherQuery(r.value());
  CypherQuery copy = *source;
  delete source;
  const auto& single = std::get<SinglePartQuery>(std::get<RegularQuery>(copy).first());
  EXPECT_NE(single.return_clause->items.items[0].expr.as<Expr::Add>(), nullptr);
}

}  // namespace
}  // namespace quorvane
