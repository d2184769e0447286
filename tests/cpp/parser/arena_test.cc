// The storage of syntax trees: the arena, lists and boxed nodes in it, and
// the lifetimes of parsed trees, their copies and moves. AddressSanitizer
// runs these too, so that a node outliving its arena, or freed twice, fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "../../support/tree_text.h"
#include "parser/arena.h"
#include "parser/ast.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

TEST(Arena, AlignsEveryRequestAndKeepsServingItsBlockPastALargeOne) {
  Arena arena;
  EXPECT_EQ(arena.reserved(), 0u);
  std::vector<char*> small;
  for (size_t i = 0; i < 5000; ++i) {
    const size_t align = size_t{1} << (i % 5);  // 1 to 16
    char* p = static_cast<char*>(arena.allocate(1 + i % 40, align));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % align, 0u) << i;
    p[0] = static_cast<char>(i);
    small.push_back(p);
  }
  for (size_t i = 0; i < small.size(); ++i) ASSERT_EQ(small[i][0], static_cast<char>(i)) << i;

  const size_t before = arena.reserved();
  char* a = static_cast<char*>(arena.allocate(8, 8));
  char* large = static_cast<char*>(arena.allocate(3 << 20, 16));
  char* b = static_cast<char*>(arena.allocate(8, 8));
  large[(3 << 20) - 1] = 'x';
  EXPECT_GE(arena.reserved(), before + (3 << 20));
  // The large request had a block of its own: the block before it goes on.
  EXPECT_EQ(b, a + 8);
}

TEST(Arena, AdoptsAnotherArenasBlocks) {
  Arena kept;
  Arena other;
  int* mine = kept.create<int>(1);
  int* theirs = other.create<int>(2);
  const size_t total = kept.reserved() + other.reserved();
  kept.adopt(std::move(other));
  EXPECT_EQ(other.reserved(), 0u);
  EXPECT_EQ(kept.reserved(), total);
  EXPECT_EQ(*mine + *theirs, 3);
  // The adopting arena's newest block still serves.
  int* next = kept.create<int>(3);
  EXPECT_EQ(next, mine + 1);
}

TEST(Arena, TheNewestRequestIsTakenBack) {
  Arena arena;
  char* first = static_cast<char*>(arena.allocate(100, 8));
  char* second = static_cast<char*>(arena.allocate(200, 8));
  const size_t used = arena.used();
  arena.release(first, 100);  // not the newest: stays
  EXPECT_EQ(arena.used(), used);
  arena.release(second, 200);
  EXPECT_EQ(arena.used(), used - 200);
  EXPECT_EQ(arena.allocate(8, 8), second);
}

// Counts the values alive, to see that nodes in an arena are destroyed.
struct Counted {
  static inline int alive = 0;
  Counted() { ++alive; }
  Counted(const Counted&) { ++alive; }
  ~Counted() { --alive; }
  std::string text = "a text long enough to be on the heap, freed by the destructor";
};

TEST(Arena, BoxedNodesInTheArenaAreDestroyedAndCopiedToTheHeap) {
  Counted::alive = 0;
  {
    Arena arena;
    Box<Counted> in_arena = Box<Counted>::in(&arena);
    Nullable<Counted> optional;
    optional.emplace_in(&arena);
    Nullable<Box<Counted>> boxed;
    boxed.emplace_in(&arena);
    EXPECT_EQ(Counted::alive, 3);
    Box<Counted> copy = in_arena;  // on the heap: outlives the arena below
    EXPECT_NE(copy.get(), in_arena.get());
    optional.reset();
    EXPECT_EQ(Counted::alive, 3);
    Box<Counted> heap(std::in_place);
    EXPECT_EQ(Counted::alive, 4);
    // A move releases the node held before at once, while its arena is
    // there: the moved-from box does not carry it along.
    heap = std::move(in_arena);
    EXPECT_EQ(Counted::alive, 3);
    EXPECT_EQ(in_arena.get(), nullptr);
  }
  EXPECT_EQ(Counted::alive, 0);
}

// A tree moved into a part of another tree, whose arena then goes before the
// tree moved from: nothing of the arena that went may be left in it.
TEST(Arena, AMoveLeavesNoNodeOfTheTargetsArenaInTheSource) {
  Result<CypherQuery> target = parse("RETURN 1 + 2 AS x", Language::Extended);
  Result<CypherQuery> source = parse("RETURN 3 * 4 AS x", Language::Extended);
  ASSERT_TRUE(target.ok() && source.ok());
  auto item_of = [](Result<CypherQuery>& r) -> Expr& {
    return std::get<SinglePartQuery>(std::get<RegularQuery>(r.value()).first())
        .return_clause->items.items[0]
        .expr;
  };
  auto& sum = std::get<Expr::Add>(item_of(target).node);
  auto& product = std::get<Expr::Multiply>(item_of(source).node);
  sum.left = std::move(product.left);
  {
    Result<CypherQuery> gone = std::move(target);
  }  // the target's arena goes
  // Destroying the source must not touch the arena that went (AddressSanitizer).
  EXPECT_EQ(product.left.get(), nullptr);
}

TEST(Arena, ABoxAssignedItsOwnChildKeepsTheChild) {
  Arena arena;
  for (Arena* where : {&arena, static_cast<Arena*>(nullptr)}) {
    Box<Expr> outer = Box<Expr>::in(where, Expr::Negate{{Box<Expr>::in(where, Expr::Integer{7})}});
    outer = std::move(std::get<Expr::Negate>(outer->node).operand);
    EXPECT_EQ(std::get<Expr::Integer>(outer->node).value, 7);
  }
}

const SinglePartQuery& single_of(const CypherQuery& q) {
  return std::get<SinglePartQuery>(std::get<RegularQuery>(q).first());
}

TEST(Arena, AParsedTreeLivesInItsRootsArena) {
  Result<CypherQuery> parsed =
      parse("MATCH (a:Person {name: 'x'})-[:KNOWS]->(b) WHERE a.age > 1 + 2 RETURN a, b.name",
            Language::Extended);
  ASSERT_TRUE(parsed.ok());
  const RegularQuery& root = std::get<RegularQuery>(parsed.value());
  ASSERT_NE(root.arena.arena(), nullptr);
  EXPECT_GT(root.arena.arena()->reserved(), 0u);
  const SinglePartQuery& single = single_of(parsed.value());
  EXPECT_TRUE(single.reading_clauses.in_arena());
  const auto& match = std::get<ReadingClause::Match>(single.reading_clauses[0].clause);
  EXPECT_TRUE(match.pattern[0].start.labels.in_arena());
}

TEST(Arena, CopiesAndMovesOfParsedTreesOutliveTheirOrigin) {
  const std::string text =
      "MATCH (a:A)-[r:R*1..2]->(b) WITH a, [x IN r | x.w] AS ws WHERE size(ws) > 0 "
      "RETURN a.name AS n ORDER BY n LIMIT 3 UNION MATCH (c) RETURN c.name AS n";
  const std::string expected =
      testing::TreeText(true).query(parse(text, Language::Extended).value());

  // A copy is on the heap and owns itself.
  CypherQuery copy = [&] {
    const Result<CypherQuery> original = parse(text, Language::Extended);
    return CypherQuery(original.value());
  }();
  EXPECT_EQ(std::get<RegularQuery>(copy).arena.arena(), nullptr);
  EXPECT_EQ(testing::TreeText(true).query(copy), expected);

  // A root moved out of its result takes its arena along.
  const CypherQuery moved = parse(text, Language::Extended).value();
  EXPECT_NE(std::get<RegularQuery>(moved).arena.arena(), nullptr);
  EXPECT_EQ(testing::TreeText(true).query(moved), expected);

  // A root moved over another: the old nodes go before their arena does,
  // and assigning over and over keeps one arena.
  Result<CypherQuery> tree = parse("RETURN 1", Language::Extended);
  for (int i = 0; i < 200; ++i) tree = parse(text, Language::Extended);
  const RegularQuery& root = std::get<RegularQuery>(tree.value());
  EXPECT_LT(root.arena.arena()->reserved(), 64u * 1024);
  EXPECT_EQ(testing::TreeText(true).query(tree.value()), expected);

  // A root copied over keeps its arena, which its lists may still use.
  RegularQuery& target = std::get<RegularQuery>(tree.value());
  target = std::get<RegularQuery>(copy);
  EXPECT_EQ(testing::TreeText(true).query(tree.value()), expected);
  auto& items = std::get<MultiPartQuery>(target.first()).return_clause->items.items;
  items.push_back(items.front());
  EXPECT_EQ(items.size(), 2u);
}

// A parsed root lets its nodes go with its arena, without destroying each:
// so every part of every kind of query must be in the arena (the leak
// checker sees anything the parser left on the heap). Once its parts can
// have changed, the root destroys them one by one again.
TEST(Arena, AParsedRootFreesItsNodesAtOnceUntilItMayHaveChanged) {
  const std::vector<std::string> texts = {
      "MATCH (a:A {k: 'x\\'y'})-[r:R*1..2]->(b) WHERE a.v > 1 RETURN a UNION ALL MATCH (c) "
      "RETURN c AS a",
      "MATCH (n) WITH n, [x IN n.list WHERE x > 0 | x * 2] AS xs, reduce(s = 0, y IN [1] | s + y) "
      "AS t RETURN n {.name, .*, t: t}, CASE n.a WHEN 1 THEN 'one' ELSE 'other' END, "
      "[(n)-[:R]->(m) | m.name], all(z IN xs WHERE z > 1), count(*), 0xFFFFFFFFFFFFFFFFFF",
      "CALL { MATCH (p:Person) RETURN p } IN TRANSACTIONS OF 10 ROWS "
      "OPTIONAL CALL (p) { WITH p RETURN p.name AS name UNION RETURN 'x' AS name } "
      "RETURN p, name, EXISTS { MATCH (p)-->() WHERE p.x = 1 }, COUNT { (p)-->() }, "
      "COLLECT { MATCH (q) RETURN q.name }",
      "LOAD CSV WITH HEADERS FROM 'file:///x.csv' AS row FIELDTERMINATOR ';' "
      "MERGE (n:N {id: row.id}) ON CREATE SET n += row, n:Fresh ON MATCH SET n.seen = true "
      "FOREACH (i IN range(1, 3) | CREATE (:M {i: i})) REMOVE n:Old, n.tmp",
      "MATCH p = SHORTEST 2 (a:(A|B)&!C WHERE a.x IS :: INTEGER NOT NULL)"
      "((x)-[:R WHERE x.w > 0]->(y)){1,3}(b:$(['L'])) RETURN p, a:A|B, a IS NOT NULL",
      "USE db MATCH (n) CALL db.labels() YIELD label WHERE label <> '' RETURN n, label",
  };
  for (const std::string& text : texts) {
    Result<CypherQuery> parsed = parse(text, Language::Extended);
    ASSERT_TRUE(parsed.ok()) << text << "\n" << parsed.error().message;
    const RegularQuery& root = std::get<RegularQuery>(std::as_const(parsed).value());
    EXPECT_TRUE(root.frees_at_once()) << text;

    const RegularQuery copy = root;
    EXPECT_FALSE(copy.frees_at_once());
    RegularQuery moved = std::move(std::get<RegularQuery>(parsed.value()));
    EXPECT_TRUE(moved.frees_at_once());
    EXPECT_FALSE(root.frees_at_once());  // the moved-from root
    EXPECT_EQ(testing::TreeText(true).query(CypherQuery(moved)),
              testing::TreeText(true).query(CypherQuery(copy)));
  }

  // A part given from outside the arena, after a change reached the nodes:
  // destroyed with the rest (the leak checker sees it otherwise).
  Result<CypherQuery> parsed = parse("MATCH (n) RETURN n", Language::Subset);
  RegularQuery& root = std::get<RegularQuery>(parsed.value());
  auto& single = std::get<SinglePartQuery>(root.first());
  EXPECT_FALSE(root.frees_at_once());
  single.reading_clauses.push_back(single.reading_clauses.front());
  single.return_clause->items.items.front().alias = std::string("a name long enough to own");
  EXPECT_EQ(single.reading_clauses.size(), 2u);
}

// An arena made inside its own first block: it serves requests past that
// block and a large one, and destroying it frees every block, the one it
// lives in last (the sanitizers see a leak or a use after free).
TEST(Arena, AnArenaInItsOwnBlockServesAndFreesEverything) {
  Arena* arena = Arena::create(256);
  const size_t first = arena->reserved();
  EXPECT_GE(first, 256 + sizeof(Arena));
  std::vector<char*> parts;
  for (int i = 0; i < 100; ++i) {
    char* p = static_cast<char*>(arena->allocate(100, 8));
    p[99] = static_cast<char>(i);
    parts.push_back(p);
  }
  char* large = static_cast<char*>(arena->allocate(1 << 20, 16));
  large[(1 << 20) - 1] = 'x';
  EXPECT_GT(arena->reserved(), first + (1 << 20));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(parts[i][99], static_cast<char>(i));
  Arena::destroy(arena);
}

// A thread keeps the last small block it freed for its next arena, which may
// then have more room than it asked for: all of that room is usable (the
// sanitizers check every byte of it), and a large block is never kept.
TEST(Arena, AFreedBlockServesTheNextArenaOfItsThreadWhole) {
  std::thread([] {
    {
      Arena first(8000);
      first.allocate(1, 1);
    }
    Arena next(100);
    char* start = static_cast<char*>(next.allocate(100, 1));
    const size_t one_block = next.reserved();
    EXPECT_GE(one_block, 8000u);
    // The rest of the kept block, written to its last byte, still in it.
    const size_t rest = 7900;
    char* more = static_cast<char*>(next.allocate(rest, 1));
    more[rest - 1] = 'x';
    start[0] = 'y';
    EXPECT_EQ(more, start + 100);
    EXPECT_EQ(next.reserved(), one_block);
  }).join();

  std::thread([] {
    {
      Arena large(2 << 20);
      large.allocate(1, 1);
    }
    Arena next(100);
    next.allocate(1, 1);
    EXPECT_LT(next.reserved(), size_t{64} << 10);
  }).join();
}

// Trees made on one thread and freed on another, many at once: a block
// moves to the spare of whichever thread frees it.
TEST(Arena, TreesFreedOnAnotherThreadStayWhole) {
  const std::string text =
      "MATCH (a:Person)-[:KNOWS]->(b) WHERE a.age > 30 RETURN b.name AS name ORDER BY name";
  const std::string expected =
      testing::TreeText(true).query(parse(text, Language::Extended).value());
  std::vector<CypherQuery> made;
  for (int i = 0; i < 64; ++i) made.push_back(parse(text, Language::Extended).value());
  std::vector<std::thread> threads;
  std::vector<std::string> failures(4);
  for (size_t t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = t; i < made.size(); i += 4) {
        if (testing::TreeText(true).query(made[i]) != expected) failures[t] = "changed";
        made[i] = CypherQuery();  // freed here, not where it was made
        const Result<CypherQuery> again = parse(text, Language::Extended);
        if (testing::TreeText(true).query(again.value()) != expected) failures[t] = "reparsed";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
}

}  // namespace
}  // namespace quorvane
