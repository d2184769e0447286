// The tree's list type: where its storage is (an arena or the heap) as it
// grows, moves, is copied and changed by code, and that it keeps its
// elements through all of that. AddressSanitizer runs these too, so storage
// freed twice, or leaked, fails.
#include "parser/tree_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "parser/arena.h"
#include "parser/ast.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

TEST(TreeList, GrowsInTheArenaAndCopiesGoToTheHeap) {
  static_assert(sizeof(TreeList<std::string>) == 16);
  Arena arena;
  TreeList<std::string> list;
  for (int i = 0; i < 1000; ++i)
    list.emplace_back_in(&arena, "a string long enough not to fit in place " + std::to_string(i));
  EXPECT_TRUE(list.in_arena());
  EXPECT_EQ(list[999], "a string long enough not to fit in place 999");

  const TreeList<std::string> copy = list;
  EXPECT_FALSE(copy.in_arena());
  EXPECT_EQ(copy, list);

  TreeList<std::string> moved = std::move(list);
  EXPECT_TRUE(moved.in_arena());
  EXPECT_TRUE(list.empty());
  TreeList<std::string> assigned{"on the heap, replaced"};
  assigned = std::move(moved);
  EXPECT_TRUE(assigned.in_arena());
  EXPECT_EQ(assigned.size(), 1000u);
  EXPECT_EQ(assigned, (std::vector<std::string>(copy.begin(), copy.end())));
}

TEST(TreeList, ALargeListGivesBackWhatItGrewOutOf) {
  Arena arena;
  TreeList<int64_t> list;
  for (int64_t i = 0; i < 1'000'000; ++i) list.emplace_back_in(&arena, i);
  EXPECT_EQ(list[999'999], 999'999);
  // The storage the list outgrew went back: what is held is the list's last
  // storage and the blocks of its small beginnings, not twice its size.
  const size_t storage = list.capacity() * sizeof(int64_t);
  EXPECT_LT(arena.reserved(), storage + (256u << 10));
}

TEST(TreeList, AnArenaListChangedByCodeMovesToTheHeap) {
  Arena arena;
  TreeList<std::string> list;
  list.emplace_back_in(&arena, "first, long enough to be on the heap itself");
  list.emplace_back_in(&arena, "second, long enough to be on the heap itself");
  ASSERT_TRUE(list.in_arena());
  // Appending without the arena, past the list's room: to the heap, with
  // every element; the arena's room is left to the arena.
  while (list.size() < list.capacity()) list.push_back("fills the room");
  list.push_back("third");
  EXPECT_FALSE(list.in_arena());
  EXPECT_EQ(list.front(), "first, long enough to be on the heap itself");
  EXPECT_EQ(list.back(), "third");
  // A heap list that the parser's way of appending reaches stays there.
  list.emplace_back_in(&arena, "fourth");
  EXPECT_FALSE(list.in_arena());

  list.erase(list.begin() + 1, list.end() - 1);
  EXPECT_EQ(list,
            (std::vector<std::string>{"first, long enough to be on the heap itself", "fourth"}));
  list.pop_back();
  list.erase(list.begin());
  EXPECT_TRUE(list.empty());
}

TEST(TreeList, AnElementOfTheListItselfCanBeAppendedAsItGrows) {
  // The new element is made from the old room before that room goes.
  Arena arena;
  const std::string first = "the first element, too long to be held in place";
  for (Arena* where : {static_cast<Arena*>(nullptr), &arena}) {
    TreeList<std::string> list;
    list.emplace_back_in(where, first);
    // Three of these find the list full: at one, two and four elements.
    for (int i = 0; i < 6; ++i) list.emplace_back_in(where, list.front());
    EXPECT_EQ(list.size(), 7u);
    for (const std::string& s : list) EXPECT_EQ(s, first);
  }
}

// Fails to copy once `copies_left` runs out.
struct Fragile {
  static inline int copies_left = 0;
  std::string text = "a text long enough to be on the heap, freed by the destructor";
  Fragile() = default;
  Fragile(const Fragile& other) : text(other.text) {
    if (copies_left-- <= 0) throw std::runtime_error("no more copies");
  }
  Fragile(Fragile&&) noexcept = default;
};

TEST(TreeList, AnElementThatFailsToBeMadeLeavesTheListAsItWas) {
  Arena arena;
  for (Arena* where : {static_cast<Arena*>(nullptr), &arena}) {
    TreeList<Fragile> list;
    const Fragile model;
    Fragile::copies_left = 4;
    for (int i = 0; i < 4; ++i) list.emplace_back_in(where, model);
    ASSERT_EQ(list.size(), 4u);
    ASSERT_EQ(list.capacity(), 4u);
    // The fifth needs new room and fails to be made there: the list keeps
    // its room and its four.
    EXPECT_THROW(list.emplace_back_in(where, model), std::runtime_error);
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(list.capacity(), 4u);
    Fragile::copies_left = 1;
    list.emplace_back_in(where, model);
    EXPECT_EQ(list.size(), 5u);
    for (const Fragile& f : list) EXPECT_EQ(f.text, model.text);
  }
}

TEST(TreeList, BuildsCopiesAndComparesAsAVectorDoes) {
  const std::vector<std::string> words = {"alpha", "beta", "gamma", "delta"};
  TreeList<std::string> list(words.begin(), words.end());
  EXPECT_EQ(list, words);
  EXPECT_EQ(list, (TreeList<std::string>{"alpha", "beta", "gamma", "delta"}));
  EXPECT_FALSE(list == (TreeList<std::string>{"alpha", "beta"}));
  EXPECT_EQ(list.at(3), "delta");
  EXPECT_THROW(static_cast<void>(list.at(4)), std::out_of_range);
  EXPECT_EQ(*list.rbegin(), "delta");

  Arena arena;
  TreeList<std::string> in_arena;
  in_arena.reserve_in(&arena, 2);
  in_arena.emplace_back_in(&arena, "x");
  EXPECT_TRUE(in_arena.in_arena());
  // Copy-assigned over, an arena list takes a heap copy; swapped, each
  // takes the other's storage.
  in_arena = list;
  EXPECT_FALSE(in_arena.in_arena());
  EXPECT_EQ(in_arena, words);
  TreeList<std::string> other;
  other.emplace_back_in(&arena, "y");
  swap(other, in_arena);
  EXPECT_TRUE(in_arena.in_arena());
  EXPECT_EQ(in_arena, (std::vector<std::string>{"y"}));
  EXPECT_EQ(other, words);
  other.clear();
  EXPECT_TRUE(other.empty());
}

TEST(TreeList, APartOfAParsedTreeChangedByCodeKeepsTheTreeWhole) {
  Result<CypherQuery> parsed = parse("MATCH (a:Person)-[:KNOWS]->(b) RETURN a", Language::Extended);
  ASSERT_TRUE(parsed.ok());
  auto& single = std::get<SinglePartQuery>(std::get<RegularQuery>(parsed.value()).first());
  auto& match = std::get<ReadingClause::Match>(single.reading_clauses[0].clause);
  NodePattern& node = match.pattern[0].start;
  ASSERT_TRUE(node.labels.in_arena());
  // Grown by code past its room: to the heap, freed by the list.
  node.labels.push_back(TreeString("Employee"));
  node.labels.push_back(TreeString("Manager"));
  EXPECT_FALSE(node.labels.in_arena());
  EXPECT_EQ(node.labels, (std::vector<std::string>{"Person", "Employee", "Manager"}));
  // A copy of the changed tree is whole and on the heap.
  const CypherQuery copy = parsed.value();
  const auto& copied = std::get<SinglePartQuery>(std::get<RegularQuery>(copy).first());
  const auto& copied_match = std::get<ReadingClause::Match>(copied.reading_clauses[0].clause);
  EXPECT_EQ(copied_match.pattern[0].start.labels, node.labels);
  EXPECT_FALSE(copied_match.pattern[0].start.labels.in_arena());
}

}  // namespace
}  // namespace quorvane
