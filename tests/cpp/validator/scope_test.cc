// The scope container on its own: replacement, merging, temporary bindings,
// and lookups on both sides of the size where a hash index takes over.
#include "validator/semantic/scope.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TreeList<TreeString> labels_of(const KnownLabels& known) {
  TreeList<TreeString> out;
  known.for_each([&](std::string_view label) { out.emplace_back(label); });
  return out;
}

TEST(KnownLabelsTest, KeepsTheFirstListAsWrittenAndMergesWithoutRepeats) {
  const TreeList<TreeString> written = {"Person", "Actor", "Person"};
  const TreeList<TreeString> later = {"Movie", "Actor", "Movie", "Genre"};
  KnownLabels known(&written);
  known.merge(later);
  EXPECT_THAT(labels_of(known), ElementsAre("Person", "Actor", "Person", "Movie", "Genre"));
  EXPECT_TRUE(known.contains("Genre"));
  EXPECT_FALSE(known.contains("genre"));
  EXPECT_FALSE(known.empty());
}

TEST(KnownLabelsTest, MergeTellsWhetherAnyLabelWasNew) {
  const TreeList<TreeString> written = {"Person"};
  const TreeList<TreeString> same = {"Person"};
  const TreeList<TreeString> more = {"Person", "Actor"};
  KnownLabels known(&written);
  EXPECT_FALSE(known.merge(same));
  EXPECT_TRUE(known.merge(more));
  EXPECT_FALSE(known.merge(more));
}

TEST(KnownLabelsTest, TheFirstInferredLabelHoldsUntilAnotherContradictsIt) {
  KnownLabels known;
  EXPECT_EQ(known.inferred(), "");
  known.infer("Movie", "ACTED_IN");
  known.infer("Movie", "IN_GENRE");
  EXPECT_EQ(known.inferred(), "Movie");
  EXPECT_EQ(known.inferred_by(), "ACTED_IN");
  known.infer("Person", "FOLLOWS");
  EXPECT_EQ(known.inferred(), "");
}

TEST(ScopeTest, BoundSinceCountsOnlyLaterBindings) {
  Scope scope;
  scope.push("a", KnownLabels());
  const size_t first = scope.size();
  scope.push("b", KnownLabels());
  scope.bind("a", KnownLabels());  // replaced where it stands: still bound before
  EXPECT_FALSE(scope.bound_since("a", first));
  EXPECT_TRUE(scope.bound_since("b", first));
  EXPECT_FALSE(scope.bound_since("c", first));
  EXPECT_TRUE(scope.bound_since("a", 0));
}

TEST(KnownLabelsTest, EmptyUntilSomethingIsMerged) {
  KnownLabels known;
  EXPECT_TRUE(known.empty());
  const TreeList<TreeString> none;
  KnownLabels from_empty(&none);
  EXPECT_TRUE(from_empty.empty());
  const TreeList<TreeString> some = {"A", "A"};
  known.merge(some);
  EXPECT_THAT(labels_of(known), ElementsAre("A"));
}

TEST(ScopeTest, BindReplacesWhatWasKnown) {
  const TreeList<TreeString> person = {"Person"};
  Scope scope;
  scope.bind("n", KnownLabels(&person));
  scope.bind("n", KnownLabels());
  ASSERT_NE(scope.find("n"), nullptr);
  EXPECT_TRUE(scope.find("n")->empty());
  EXPECT_EQ(scope.size(), 1u);
  EXPECT_FALSE(scope.contains("N"));
}

TEST(ScopeTest, SwapAndClear) {
  Scope a;
  Scope b;
  a.bind("x", KnownLabels());
  a.swap(b);
  EXPECT_FALSE(a.contains("x"));
  EXPECT_TRUE(b.contains("x"));
  b.clear();
  EXPECT_FALSE(b.contains("x"));
  EXPECT_EQ(b.size(), 0u);
  b.pop_last();  // harmless on an empty scope
  EXPECT_EQ(b.size(), 0u);
}

// Every change moves the generation on, and an object's generation never
// comes back to a value it had: what was worked out from a scope at one
// generation may be reused only while the scope is as it was.
TEST(ScopeTest, EveryChangeMovesTheGenerationOnForGood) {
  Scope scope;
  Scope other;
  other.bind("o", KnownLabels());
  std::vector<uint64_t> seen = {scope.generation()};
  const auto changed = [&](const char* what) {
    EXPECT_EQ(std::find(seen.begin(), seen.end(), scope.generation()), seen.end()) << what;
    seen.push_back(scope.generation());
  };
  scope.push("x", KnownLabels());
  changed("push");
  scope.bind("x", KnownLabels().set_kind(VariableKind::Node));
  changed("bind over");
  scope.find_to_change("x")->set_uncertain();
  changed("find_to_change");
  scope.pop_last();
  changed("pop_last");
  scope.swap(other);
  changed("swap");
  scope = other;
  changed("copy assignment");
  scope = Scope();
  changed("move assignment");
  Scope taken(std::move(scope));
  changed("moved from");
  scope.clear();
  changed("clear");
  // Reading changes nothing.
  const uint64_t now = scope.generation();
  EXPECT_EQ(scope.find("x"), nullptr);
  EXPECT_FALSE(scope.contains("o"));
  EXPECT_EQ(scope.generation(), now);
}

// Runs the same sequence at several sizes so that it is exercised with and
// without the hash index, and across the switch in both directions.
class ScopeSizeTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    for (int i = 0; i < GetParam(); ++i) {
      std::string name = "v";
      name += std::to_string(i);
      names_.push_back(std::move(name));
    }
    for (const TreeString& name : names_) scope_.bind(name, KnownLabels());
  }
  TreeList<TreeString> names_;
  Scope scope_;
};

TEST_P(ScopeSizeTest, FindsEveryBoundName) {
  for (const TreeString& name : names_) EXPECT_TRUE(scope_.contains(name)) << name;
  EXPECT_FALSE(scope_.contains("absent"));
  EXPECT_EQ(scope_.size(), names_.size());
}

TEST_P(ScopeSizeTest, TemporaryBindingsComeAndGoInOrder) {
  const TreeList<TreeString> temporaries = {"a", "b", "c"};
  for (const TreeString& name : temporaries) scope_.push(name, KnownLabels());
  for (const TreeString& name : temporaries) EXPECT_TRUE(scope_.contains(name));
  scope_.pop_last();
  EXPECT_FALSE(scope_.contains("c"));
  EXPECT_TRUE(scope_.contains("b"));
  scope_.pop_last();
  scope_.pop_last();
  EXPECT_FALSE(scope_.contains("a"));
  EXPECT_EQ(scope_.size(), names_.size());
  // A popped name must not linger and alias whatever takes its place.
  scope_.push("d", KnownLabels());
  EXPECT_FALSE(scope_.contains("a"));
  EXPECT_TRUE(scope_.contains("d"));
  scope_.pop_last();
  scope_.push("a", KnownLabels());
  EXPECT_TRUE(scope_.contains("a"));
  EXPECT_FALSE(scope_.contains("d"));
  for (const TreeString& name : names_) EXPECT_TRUE(scope_.contains(name)) << name;
}

TEST_P(ScopeSizeTest, ReplacingKeepsOtherBindings) {
  // The scope borrows its names: this one must live while the scope is read.
  const std::string target = names_.empty() ? "x" : names_.back().str();
  const TreeList<TreeString> labels = {"Movie"};
  scope_.bind(target, KnownLabels(&labels));
  const KnownLabels* known = scope_.find(target);
  ASSERT_NE(known, nullptr);
  EXPECT_TRUE(known->contains("Movie"));
  for (const TreeString& name : names_) EXPECT_TRUE(scope_.contains(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(AroundTheIndexThreshold, ScopeSizeTest,
                         ::testing::Values(0, 1, 13, 14, 15, 16, 17, 40));

}  // namespace
}  // namespace quorvane
