// Names in syntax trees: views into the text a parsed tree's root keeps,
// owned copies everywhere else. AddressSanitizer runs these too, so that a
// name left pointing into freed text fails.
#include "parser/tree_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "../../support/tree_text.h"
#include "parser/ast.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

using testing::tree_names;
using testing::tree_text;

TEST(TreeString, ViewsBorrowAndCopiesOwn) {
  std::string text = "Person";
  const TreeString view = TreeString::view(text);
  EXPECT_TRUE(view.is_view());
  EXPECT_EQ(view.data(), text.data());

  TreeString copy = view;
  EXPECT_FALSE(copy.is_view());
  EXPECT_NE(copy.data(), text.data());
  text[0] = 'X';
  EXPECT_EQ(copy, "Person");
  EXPECT_EQ(view, "Xerson");

  // A move takes the storage as it is, owned or borrowed.
  const char* owned = copy.data();
  TreeString moved = std::move(copy);
  EXPECT_EQ(moved.data(), owned);
  EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  TreeString moved_view = TreeString::view(text);
  TreeString target = std::move(moved_view);
  EXPECT_EQ(target.data(), text.data());

  // Assigning over an owned string frees it; assigning itself keeps it.
  moved = std::string("Movie");
  EXPECT_EQ(moved, "Movie");
  const TreeString& same = moved;
  moved = same;
  EXPECT_EQ(moved, "Movie");
  moved.clear();
  EXPECT_TRUE(moved.empty());
  EXPECT_EQ(TreeString::view(std::string_view()).data()[0], '\0');
}

TEST(TreeString, ComparesAndHashesAsItsText) {
  const TreeString name("name");
  const std::string same = "name";
  EXPECT_TRUE(name == same);
  EXPECT_TRUE(same == name);
  EXPECT_TRUE(name == std::string_view("name"));
  EXPECT_TRUE(name == "name");
  EXPECT_FALSE(name == "names");
  EXPECT_TRUE(name < TreeString("namf"));
  EXPECT_TRUE(name > "nam");
  EXPECT_EQ(std::hash<TreeString>()(name), std::hash<std::string_view>()("name"));
  std::map<TreeString, int> ordered{{TreeString("b"), 2}, {TreeString("a"), 1}};
  EXPECT_EQ(ordered.begin()->first, "a");
  EXPECT_EQ("x" + name, "xname");
  EXPECT_EQ(name + "!", "name!");
}

// A query with a name of every kind the parser reads.
constexpr std::string_view kEveryName =
    "MATCH p = (a:Person:`Film Buff` {name: $who})-[r:KNOWS|LIKES*1..2]->(b) "
    "WHERE a.age > 1 AND any(x IN a.tags WHERE x = 'v') "
    "WITH a, b, [y IN range(1, 3) | y * 2] AS ys, count(*) AS n "
    "UNWIND ys AS u "
    "SET a.seen = true, b:Seen "
    "REMOVE b.old "
    "RETURN a.name AS name, {k: b.size} AS m, 123456789012345678901234 AS big "
    "ORDER BY name";

constexpr std::string_view kExtendedNames =
    "MATCH (a:A&B)-[:R]->{1,2}(b) "
    "CALL (a) { MATCH (a)-->(c:`C`) RETURN c } "
    "CALL db.labels() YIELD label AS l "
    "FOREACH (i IN [1] | SET a.i = i) "
    "RETURN [q = (a)-->() | q] AS paths, a{.name, .*, total: reduce(s = 0, v IN [1] | s + v)}, "
    "COUNT { (a)-[:R]->() } AS k, a.x IS :: list < integer >  AS typed";

TEST(TreeString, ParsedNamesAreViewsIntoTheTreesOwnText) {
  for (const auto& [query, language] :
       {std::pair{kEveryName, Language::Subset}, std::pair{kEveryName, Language::Extended},
        std::pair{kExtendedNames, Language::Extended}}) {
    std::string text(query);
    Result<CypherQuery> parsed = parse(text, language);
    ASSERT_TRUE(parsed.ok()) << query;
    const std::string before = tree_text(parsed.value());
    const auto names = tree_names(parsed.value());
    ASSERT_GT(names.size(), 20u) << query;
    for (const auto& name : names) {
      if (name.text.empty()) continue;
      EXPECT_TRUE(name.view) << "copied: " << name.text;
      const bool in_caller_text =
          name.text.data() >= text.data() && name.text.data() < text.data() + text.size();
      EXPECT_FALSE(in_caller_text) << name.text;
    }
    // A text the parser made rather than read (a type, normalised) is
    // kept in the arena too.
    if (query == kExtendedNames) {
      EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                              [](const auto& name) { return name.text == "LIST<INTEGER>"; }));
    }
    // The caller's text may go at once.
    text.assign(text.size(), '#');
    text.shrink_to_fit();
    std::string().swap(text);
    EXPECT_EQ(tree_text(parsed.value()), before) << query;
  }
}

TEST(TreeString, CopiesOfATreeOwnTheirNamesAndOutliveIt) {
  std::optional<Result<CypherQuery>> parsed = parse(kEveryName, Language::Extended);
  ASSERT_TRUE(parsed->ok());
  const std::string expected = tree_text(parsed->value());
  const CypherQuery copy = parsed->value();
  // A node copied out of the tree, not the whole tree: `a.name` of RETURN.
  const auto& query = std::get<MultiPartQuery>(std::get<RegularQuery>(parsed->value()).first());
  const Expr item = query.return_clause->items.items[0].expr;
  parsed.reset();
  EXPECT_EQ(tree_text(copy), expected);
  for (const auto& name : tree_names(copy)) {
    EXPECT_TRUE(name.text.empty() || !name.view) << name.text;
  }
  const auto* property = item.as<Expr::Property>();
  ASSERT_NE(property, nullptr);
  EXPECT_EQ(property->key, "name");
  EXPECT_EQ(property->target->as<Expr::Variable>()->name, "a");
}

TEST(TreeString, NamesGoWithTheirTreeWhenItIsMovedOrAssignedOver) {
  RegularQuery held;
  {
    Result<CypherQuery> first = parse("MATCH (n:Old) RETURN n.key", Language::Extended);
    ASSERT_TRUE(first.ok());
    held = std::get<RegularQuery>(std::move(first).value());
  }
  {
    Result<CypherQuery> second = parse("MATCH (m:New) RETURN m.other", Language::Extended);
    ASSERT_TRUE(second.ok());
    held = std::get<RegularQuery>(std::move(second).value());
  }
  const CypherQuery root(std::move(held));
  const auto names = tree_names(root);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0].text, "m");
  EXPECT_EQ(names[1].text, "New");
  EXPECT_EQ(names[3].text, "other");
  EXPECT_TRUE(names[3].view);
}

}  // namespace
}  // namespace quorvane
