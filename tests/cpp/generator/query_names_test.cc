#include "generator/query_names.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(PlainNames, LettersDigitsAndUnderscores) {
  EXPECT_TRUE(is_plain_name("Person"));
  EXPECT_TRUE(is_plain_name("ACTED_IN"));
  EXPECT_TRUE(is_plain_name("_private"));
  EXPECT_TRUE(is_plain_name("x1"));
  EXPECT_TRUE(is_plain_name("_"));
  EXPECT_TRUE(is_plain_name("Zz9"));
}

TEST(PlainNames, ReservedWordsCountAsPlain) {
  EXPECT_TRUE(is_plain_name("Match"));
  EXPECT_TRUE(is_plain_name("count"));
  EXPECT_TRUE(is_plain_name("IN"));
}

TEST(PlainNames, RejectsOtherShapes) {
  EXPECT_FALSE(is_plain_name(""));
  EXPECT_FALSE(is_plain_name("2fast"));
  EXPECT_FALSE(is_plain_name("My Label"));
  EXPECT_FALSE(is_plain_name("HAS-PART"));
  EXPECT_FALSE(is_plain_name("n\xC3\xA9"));          // né
  EXPECT_FALSE(is_plain_name("\xC3\xA9t\xC3\xA9"));  // été: non-ASCII first byte
  EXPECT_FALSE(is_plain_name("a.b"));
  EXPECT_FALSE(is_plain_name("tab\t"));
  EXPECT_FALSE(is_plain_name("@x"));
  EXPECT_FALSE(is_plain_name("x{"));
}

TEST(QueryName, PlainNamesAreUnchanged) {
  EXPECT_EQ(query_name("Person"), "Person");
  EXPECT_EQ(query_name("order"), "order");
  EXPECT_EQ(query_name("Match"), "Match");
}

TEST(QueryName, AwkwardNamesGetBackticks) {
  EXPECT_EQ(query_name("My Label"), "`My Label`");
  EXPECT_EQ(query_name("2fast"), "`2fast`");
  EXPECT_EQ(query_name("n\xC3\xA9"), "`n\xC3\xA9`");
  EXPECT_EQ(query_name(""), "``");
}

TEST(QueryName, NameWithABacktickIsLeftAsItIs) {
  EXPECT_EQ(query_name("we`ird"), "we`ird");
  EXPECT_EQ(query_name("`"), "`");
}

}  // namespace
}  // namespace quorvane
