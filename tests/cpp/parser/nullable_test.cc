// Nullable: std::optional's behaviour behind one pointer, as the tree's
// optional fields use it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "../../support/tree_text.h"
#include "parser/ast.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using testing::tree_text;

// A string long enough to live on the heap, so that a shallow copy would
// share its buffer.
const std::string kLong(64, 'x');

TEST(Nullable, EmptyStatesBehaveAsNullopt) {
  const Nullable<std::string> by_default;
  const Nullable<std::string> from_nullopt = std::nullopt;
  const Nullable<std::string> from_empty_optional = std::optional<std::string>();
  for (const auto* n : {&by_default, &from_nullopt, &from_empty_optional}) {
    EXPECT_FALSE(n->has_value());
    EXPECT_FALSE(static_cast<bool>(*n));
    EXPECT_TRUE(*n == std::nullopt);
    EXPECT_FALSE(std::nullopt != *n);
    EXPECT_THROW((void)n->value(), std::bad_optional_access);
  }
  const Nullable<Box<Expr>> box_by_default;
  const Nullable<Box<Expr>> box_from_nullopt = std::nullopt;
  for (const auto* n : {&box_by_default, &box_from_nullopt}) {
    EXPECT_FALSE(n->has_value());
    EXPECT_TRUE(*n == std::nullopt);
    EXPECT_EQ((*n)->get(), nullptr);
    EXPECT_THROW((void)n->value(), std::bad_optional_access);
  }
}

TEST(Nullable, HoldsOnePointer) {
  EXPECT_EQ(sizeof(Nullable<Expr>), sizeof(void*));
  EXPECT_EQ(sizeof(Nullable<MapOrParam>), sizeof(void*));
  EXPECT_EQ(sizeof(Nullable<Box<Expr>>), sizeof(void*));
  EXPECT_EQ(sizeof(Nullable<Box<QuantifiedPath>>), sizeof(void*));
}

TEST(Nullable, CopyIsDeep) {
  Nullable<std::string> original = kLong;
  Nullable<std::string> copy = original;
  ASSERT_TRUE(copy.has_value());
  EXPECT_NE(&*copy, &*original);
  copy->append("y");
  EXPECT_EQ(*original, kLong);
  EXPECT_EQ(*copy, kLong + "y");

  Nullable<std::string> assigned;
  assigned = original;
  EXPECT_NE(&*assigned, &*original);
  EXPECT_EQ(*assigned, kLong);
  // Assigning an empty one over a full one empties it.
  assigned = Nullable<std::string>();
  EXPECT_FALSE(assigned.has_value());

  Nullable<std::string>& self = original;
  original = self;
  EXPECT_EQ(*original, kLong);
}

TEST(Nullable, BoxedCopyIsDeep) {
  Nullable<Box<Expr>> original = Expr(Expr::Variable{kLong});
  Nullable<Box<Expr>> copy = original;
  ASSERT_TRUE(copy.has_value());
  EXPECT_NE(copy->get(), original->get());
  std::get<Expr::Variable>((**copy).node).name = "other";
  EXPECT_EQ((*original)->as<Expr::Variable>()->name, kLong);

  Nullable<Box<Expr>> assigned;
  assigned = copy;
  EXPECT_NE(assigned->get(), copy->get());
  EXPECT_EQ((**assigned).as<Expr::Variable>()->name, "other");
}

TEST(Nullable, MoveHandsOverTheValueAndEmptiesTheSource) {
  Nullable<std::string> source = kLong;
  const std::string* held = &*source;
  Nullable<std::string> moved(std::move(source));
  EXPECT_EQ(&*moved, held);
  EXPECT_FALSE(source.has_value());  // NOLINT(bugprone-use-after-move)

  Nullable<std::string> target = std::string("old");
  target = std::move(moved);
  EXPECT_EQ(&*target, held);
  EXPECT_FALSE(moved.has_value());  // NOLINT(bugprone-use-after-move)

  Nullable<Box<Expr>> box_source = Expr(Expr::Null{});
  const Expr* box_held = box_source->get();
  Nullable<Box<Expr>> box_target = Expr(Expr::Boolean{true});
  box_target = std::move(box_source);
  EXPECT_EQ(box_target->get(), box_held);
  EXPECT_FALSE(box_source.has_value());  // NOLINT(bugprone-use-after-move)
  Nullable<Box<Expr>> box_moved(std::move(box_target));
  EXPECT_EQ(box_moved->get(), box_held);
  EXPECT_FALSE(box_target.has_value());  // NOLINT(bugprone-use-after-move)
}

TEST(Nullable, AssignEmplaceAndReset) {
  Nullable<std::string> n;
  n = "first";
  EXPECT_EQ(n.value(), "first");
  n = std::string("second");
  EXPECT_EQ(*n, "second");
  std::string& placed = n.emplace(3, 'z');
  EXPECT_EQ(&placed, &*n);
  EXPECT_EQ(*n, "zzz");
  n = std::nullopt;
  EXPECT_TRUE(n == std::nullopt);
  n.emplace();
  EXPECT_TRUE(n.has_value());
  EXPECT_TRUE(n->empty());
  n.reset();
  EXPECT_FALSE(n.has_value());

  // Aggregates are built from their members.
  Nullable<RangeBounds> range;
  range.emplace(std::optional<int64_t>(2), std::nullopt);
  EXPECT_EQ(range->min, 2);
  EXPECT_FALSE(range->max.has_value());

  const std::optional<std::string> engaged = kLong;
  Nullable<std::string> from_optional = engaged;
  EXPECT_EQ(*from_optional, kLong);
}

TEST(Nullable, BoxedAssignEmplaceAndReset) {
  Nullable<Box<Expr>> n;
  n = Expr(Expr::Integer{7});
  EXPECT_EQ((**n).as<Expr::Integer>()->value, 7);
  n = Box<Expr>(Expr(Expr::Boolean{false}));
  EXPECT_NE((**n).as<Expr::Boolean>(), nullptr);
  Box<Expr>& placed = n.emplace(std::in_place, Expr::Null{});
  EXPECT_EQ(&placed, &*n);
  EXPECT_NE((*n)->as<Expr::Null>(), nullptr);
  n.reset();
  EXPECT_FALSE(n.has_value());
  EXPECT_EQ(n->get(), nullptr);
  n.emplace(Expr(Expr::String{kLong}));
  EXPECT_EQ(n.value()->as<Expr::String>()->value, kLong);
  n = std::nullopt;
  EXPECT_FALSE(n.has_value());

  std::optional<Box<Expr>> engaged = Box<Expr>(Expr(Expr::Integer{3}));
  const Expr* held = engaged->get();
  Nullable<Box<Expr>> taken(std::move(engaged));
  EXPECT_EQ(taken->get(), held);
}

TEST(Nullable, ComparesAsOptional) {
  const Nullable<std::string> empty;
  const Nullable<std::string> a = std::string("a");
  const Nullable<std::string> other_a = std::string("a");
  const Nullable<std::string> b = std::string("b");
  EXPECT_TRUE(a == other_a);
  EXPECT_FALSE(a == b);
  EXPECT_TRUE(a != b);
  EXPECT_FALSE(a == empty);
  EXPECT_FALSE(empty == a);
  EXPECT_TRUE(empty == Nullable<std::string>());

  EXPECT_TRUE(a == std::optional<std::string>("a"));
  EXPECT_FALSE(a == std::optional<std::string>("b"));
  EXPECT_FALSE(a == std::optional<std::string>());
  EXPECT_TRUE(empty == std::optional<std::string>());
  EXPECT_FALSE(empty == std::optional<std::string>("a"));

  EXPECT_TRUE(a == "a");
  EXPECT_TRUE(a != "b");
  EXPECT_FALSE(empty == "");
  EXPECT_TRUE("a" == a);
}

// An optional name is held in the string's own 16 bytes; "absent" and "the
// empty name" (a backticked ``) stay apart through copies and moves.
TEST(Nullable, NameIsInlineAndTellsAbsentFromEmpty) {
  EXPECT_EQ(sizeof(Nullable<TreeString>), sizeof(TreeString));
  const Nullable<TreeString> absent;
  const Nullable<TreeString> empty = TreeString("");
  EXPECT_FALSE(absent.has_value());
  EXPECT_TRUE(absent == std::nullopt);
  EXPECT_THROW((void)absent.value(), std::bad_optional_access);
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(absent == empty);

  Nullable<TreeString> copy_of_absent = absent;
  Nullable<TreeString> copy_of_empty = empty;
  EXPECT_FALSE(copy_of_absent.has_value());
  EXPECT_TRUE(copy_of_empty.has_value());
  copy_of_absent = empty;
  EXPECT_TRUE(copy_of_absent.has_value());
  copy_of_empty = absent;
  EXPECT_FALSE(copy_of_empty.has_value());

  Nullable<TreeString> name = kLong;
  const char* const buffer = name->data();
  Nullable<TreeString> moved = std::move(name);
  EXPECT_FALSE(name.has_value());
  EXPECT_EQ(moved->data(), buffer);
  EXPECT_EQ(*moved, kLong);
  Nullable<TreeString> copied = moved;
  EXPECT_NE(copied->data(), buffer);
  EXPECT_TRUE(copied == moved);
  EXPECT_TRUE(copied == kLong);
  EXPECT_TRUE(copied == std::optional<std::string>(kLong));
  EXPECT_FALSE(absent == std::optional<std::string>(""));

  moved.emplace("n");
  EXPECT_EQ(*moved, "n");
  moved = std::nullopt;
  EXPECT_FALSE(moved.has_value());
  moved = "m";
  EXPECT_EQ(*moved, "m");
}

// The pattern's and return item's optional names read as before: absent when
// not written, empty but present for ``.
TEST(Nullable, ParsedNamesTellAbsentFromEmpty) {
  auto parsed = parse("MATCH (``)-[]->(b) RETURN b, 1 AS ``", Language::Subset);
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  const auto& single = std::get<SinglePartQuery>(std::get<RegularQuery>(parsed.value()).first());
  const auto& part = std::get<ReadingClause::Match>(single.reading_clauses.at(0).clause).pattern[0];
  ASSERT_TRUE(part.start.variable.has_value());
  EXPECT_TRUE(part.start.variable->empty());
  EXPECT_FALSE(part.chain[0].relationship.variable.has_value());
  EXPECT_EQ(part.chain[0].node.variable, "b");
  EXPECT_FALSE(single.return_clause->items.items[0].alias.has_value());
  ASSERT_TRUE(single.return_clause->items.items[1].alias.has_value());
  EXPECT_TRUE(single.return_clause->items.items[1].alias->empty());
}

// The fields moved behind a pointer survive a copy of the whole tree, and the
// copy shares nothing with the original.
TEST(Nullable, TreeCopiesAreDeep) {
  const std::string text =
      "MATCH (a:A {k: 1})-[r:R*1..3 $props]->(b WHERE b.x > 1)<-[s:S WHERE s.y = 2]-(c) "
      "WHERE a.z IS NULL WITH a ORDER BY a.x SKIP 1 LIMIT 2 WHERE a.w "
      "RETURN a[1..2] AS s ORDER BY s DESC SKIP 3 LIMIT 4";
  auto parsed = parse(text, Language::Extended);
  ASSERT_TRUE(parsed.ok()) << parsed.error().message;
  const std::string before = tree_text(parsed.value(), true);

  CypherQuery copy = parsed.value();
  EXPECT_EQ(tree_text(copy, true), before);

  auto& multi = std::get<MultiPartQuery>(std::get<RegularQuery>(copy).first());
  auto& match = std::get<ReadingClause::Match>(multi.parts.at(0).reading_clauses.at(0).clause);
  auto& link = match.pattern.at(0).chain.at(0);
  ASSERT_TRUE(match.pattern.at(0).start.properties.has_value());
  ASSERT_TRUE(link.relationship.range.has_value());
  ASSERT_TRUE(link.relationship.properties.has_value());
  ASSERT_TRUE(link.node.where_clause.has_value());
  ASSERT_TRUE(match.pattern.at(0).chain.at(1).relationship.where_clause.has_value());
  ASSERT_TRUE(match.where_clause.has_value());
  ASSERT_TRUE(multi.parts.at(0).with_clause.order_by.has_value());
  ASSERT_TRUE(multi.return_clause->limit.has_value());

  match.pattern.at(0).start.properties.reset();
  link.node.where_clause.reset();
  match.pattern.at(0).chain.at(1).relationship.where_clause.reset();
  link.relationship.range->max = 9;
  link.relationship.properties = std::nullopt;
  match.where_clause = Expr(Expr::Boolean{true});
  multi.parts.at(0).with_clause.order_by->clear();
  multi.parts.at(0).with_clause.where_clause.reset();
  multi.return_clause->limit = std::nullopt;
  multi.return_clause->skip.emplace(Expr::Integer{5});

  const std::string changed = tree_text(copy, true);
  EXPECT_NE(changed, before);
  EXPECT_EQ(tree_text(parsed.value(), true), before);

  // Moving the copy keeps its contents.
  CypherQuery moved = std::move(copy);
  EXPECT_EQ(tree_text(moved, true), changed);
}

}  // namespace
}  // namespace quorvane
