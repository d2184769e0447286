#include "validator/semantic/closest_match.h"

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "schema/schema.h"
#include "validator/semantic/unicode_lower.h"

namespace quorvane {
namespace {

std::optional<std::string> match(std::string_view name, std::vector<std::string_view> candidates) {
  std::optional<std::string_view> found = closest_match(name, candidates);
  return found ? std::optional<std::string>(*found) : std::nullopt;
}

TEST(ClosestMatchTest, NoCandidatesGivesNothing) {
  EXPECT_EQ(match("Person", {}), std::nullopt);
}

TEST(ClosestMatchTest, SuggestsAMisspelling) {
  EXPECT_EQ(match("Persn", {"Movie", "Person"}), "Person");
  EXPECT_EQ(match("ACTD_IN", {"ACTED_IN"}), "ACTED_IN");
}

TEST(ClosestMatchTest, ReturnsTheCandidateAsWritten) {
  EXPECT_EQ(match("persn", {"PERSON"}), "PERSON");
}

TEST(ClosestMatchTest, SmallerDistanceWinsInEitherOrder) {
  EXPECT_EQ(match("person", {"Persons", "Person"}), "Person");
  EXPECT_EQ(match("person", {"Person", "Persons"}), "Person");
}

TEST(ClosestMatchTest, TiesGoToTheFirstCandidate) {
  EXPECT_EQ(match("Pers", {"Persa", "Persb"}), "Persa");
  EXPECT_EQ(match("Pers", {"Persb", "Persa"}), "Persb");
  // Two candidates that differ from the name only in case are both at 0.
  EXPECT_EQ(match("PERSON", {"person", "Person"}), "person");
  EXPECT_EQ(match("PERSON", {"Person", "person"}), "Person");
}

TEST(ClosestMatchTest, DistanceThreeIsTheLimit) {
  EXPECT_EQ(match("abc", {"abcxyz"}), "abcxyz");  // three insertions
  EXPECT_EQ(match("abcd", {"wxyd"}), "wxyd");     // three substitutions
  EXPECT_EQ(match("abcd", {"wxyz"}), std::nullopt);
  EXPECT_EQ(match("abc", {"abcwxyz"}), std::nullopt);  // length gap of four
  // Absolute, whatever the length of the names.
  EXPECT_EQ(match("a", {"bcd"}), "bcd");
  EXPECT_EQ(match("ConstructionSiteX", {"constructionsite"}), "constructionsite");
  EXPECT_EQ(match("ConstructionSiteXYZW", {"constructionsite"}), std::nullopt);
}

TEST(ClosestMatchTest, FarCandidatesDoNotBeatNearOnes) {
  EXPECT_EQ(match("Movie", {"Mxxxx", "Movies", "Movi"}), "Movies");
  EXPECT_EQ(match("Movie", {"Mxvxe", "Movi", "Movies"}), "Movi");
}

TEST(ClosestMatchTest, EmptyNamesAndCandidates) {
  EXPECT_EQ(match("", {"ab"}), "ab");
  EXPECT_EQ(match("", {"abcd"}), std::nullopt);
  EXPECT_EQ(match("ab", {""}), "");
  EXPECT_EQ(match("", {""}), "");
}

TEST(ClosestMatchTest, DistanceIsCountedInUtf8Bytes) {
  // Each é is two bytes: e -> é is one substitution and one insertion.
  EXPECT_EQ(match("e", {"É"}), "É");
  EXPECT_EQ(match("ee", {"éé"}), std::nullopt);
  EXPECT_EQ(match("eee", {"ÉÉÉ"}), std::nullopt);
  // Greek small sigma and final sigma differ in their last byte only.
  EXPECT_EQ(match("ΟΔΟΣ", {"οδοσ", "οδος"}), "οδος");
  EXPECT_EQ(match("οδοσ", {"ΟΔΟΣ"}), "ΟΔΟΣ");
}

TEST(ClosestMatchTest, UsesFullUnicodeLowerCasing) {
  // İ lower-cases to i and a combining dot, two bytes away from plain i.
  EXPECT_EQ(match("istanbul", {"İstanbul"}), "İstanbul");
  EXPECT_EQ(match("istanbul", {"İstanbul", "ISTANBUL"}), "ISTANBUL");
  EXPECT_EQ(match("ΟΔΟΣ", {"οδος"}), "οδος");
  // Lower-casing is not case folding: ß stays ß, it does not become ss.
  EXPECT_EQ(match("STRAẞE", {"strasse", "straße"}), "straße");
  EXPECT_EQ(match("strasse", {"STRAẞE"}), "STRAẞE");
}

TEST(ClosestMatchTest, LengthCheckUsesLowerCasedBytes) {
  // Three KELVIN SIGNs are nine bytes but lower-case to "kkk".
  EXPECT_EQ(match("kkk", {"\u212A\u212A\u212A"}), "\u212A\u212A\u212A");
  EXPECT_EQ(match("\u212A\u212A\u212A\u212A", {"KKKK"}), "KKKK");
  // And the other way: two İ are four bytes but lower-case to six.
  EXPECT_EQ(match("i", {"İ"}), "İ");
  EXPECT_EQ(match("ii", {"İİ"}), std::nullopt);
  EXPECT_EQ(match("İİ", {"ii"}), std::nullopt);
}

TEST(ClosestMatchTest, WorksOverSchemaEntriesWithoutCopying) {
  Schema schema;
  schema.add_node_label("Person", {});
  schema.add_node_label("Movie", {});
  schema.add_node_label("Persona", {});
  auto name_of = [](const Schema::NodeLabel& n) -> std::string_view { return n.name; };
  std::optional<std::string_view> found = closest_match("Persn", schema.nodes(), name_of);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, "Person");
  EXPECT_EQ(found->data(), schema.nodes()[0].name.data());  // a view into the schema
  EXPECT_EQ(closest_match("Studio", schema.nodes(), name_of), std::nullopt);
}

TEST(ClosestMatcherTest, SettlesOnAnExactMatch) {
  ClosestMatcher matcher("movie");
  matcher.offer("Movies");
  EXPECT_FALSE(matcher.settled());
  matcher.offer("MOVIE");
  EXPECT_TRUE(matcher.settled());
  matcher.offer("movie");
  EXPECT_EQ(matcher.best(), "MOVIE");
}

// The textbook algorithm, without any shortcut, as a reference.
size_t full_levenshtein(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
  }
  return d[a.size()][b.size()];
}

std::optional<std::string> reference_match(const std::string& name,
                                           const std::vector<std::string>& candidates) {
  std::optional<std::string> kept;
  size_t kept_distance = 0;
  for (const std::string& candidate : candidates) {
    const size_t distance = full_levenshtein(to_lower(name), to_lower(candidate));
    if (distance <= 3 && (!kept || distance < kept_distance)) {
      kept = candidate;
      kept_distance = distance;
    }
  }
  return kept;
}

TEST(ClosestMatchTest, AgreesWithTheTextbookAlgorithm) {
  // A small alphabet makes near misses, ties and early exits frequent.
  const std::vector<std::string> letters = {"a", "b", "A", "B", "c", "é", "Σ", "İ"};
  std::mt19937 random(20240611);
  auto word = [&] {
    std::string out;
    const size_t length = random() % 8;
    for (size_t i = 0; i < length; ++i) out += letters[random() % letters.size()];
    return out;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::string name = word();
    std::vector<std::string> candidates(random() % 6);
    for (std::string& candidate : candidates) candidate = word();
    const std::vector<std::string_view> views(candidates.begin(), candidates.end());
    std::optional<std::string_view> got = closest_match(name, views);
    std::optional<std::string> expected = reference_match(name, candidates);
    ASSERT_EQ(got.has_value(), expected.has_value()) << "name " << name;
    if (got) {
      // Equal texts may appear twice; the first one must be chosen.
      auto first = std::find(candidates.begin(), candidates.end(), *expected);
      EXPECT_EQ(got->data(), first->data()) << "name " << name;
    }
  }
}

// Around the length where a name's byte counts stop fitting a byte each (a
// byte written 255 times or more), and where a candidate's distance rows no
// longer fit in the matcher: the same answers on both sides.
TEST(ClosestMatchTest, NamesOfOneRepeatedByteAroundTheCountedLength) {
  for (size_t n : {62, 63, 64, 65, 254, 255, 256, 257, 300}) {
    const std::string name(n, 'a');
    const std::string one_off = std::string(n - 1, 'a') + "b";
    const std::string three_off = std::string(n - 3, 'a') + "bbb";
    const std::string four_off = std::string(n - 4, 'a') + "bbbb";
    const std::string longer = name + "aa";
    EXPECT_EQ(match(name, {four_off, one_off}), one_off) << n;
    EXPECT_EQ(match(name, {four_off, three_off}), three_off) << n;
    EXPECT_EQ(match(name, {four_off}), std::nullopt) << n;
    EXPECT_EQ(match(name, {std::string(n, 'b')}), std::nullopt) << n;
    EXPECT_EQ(match(longer, {four_off, name}), name) << n;
  }
}

}  // namespace
}  // namespace quorvane
