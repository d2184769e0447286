// parse_query on commands (extended language): a constraint or index lists
// its labels (or types) and keys; other commands name nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "inspect/query_info.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(CommandInspection, ConstraintListsLabelAndKeys) {
  const QueryInfo info = inspect_query(
      "CREATE CONSTRAINT FOR (p:Person) REQUIRE (p.name, p.born) IS NODE KEY", Language::Extended);
  EXPECT_TRUE(info.is_valid);
  EXPECT_THAT(info.labels_used, ElementsAre("Person"));
  EXPECT_THAT(info.rel_types_used, IsEmpty());
  EXPECT_THAT(info.properties_used, ElementsAre("born", "name"));
}

TEST(CommandInspection, RelationshipIndexListsItsType) {
  const QueryInfo info =
      inspect_query("CREATE INDEX FOR ()-[r:ACTED_IN]-() ON (r.role)", Language::Extended);
  EXPECT_THAT(info.labels_used, IsEmpty());
  EXPECT_THAT(info.rel_types_used, ElementsAre("ACTED_IN"));
  EXPECT_THAT(info.properties_used, ElementsAre("role"));
}

TEST(CommandInspection, FulltextListsEveryLabel) {
  const QueryInfo info = inspect_query(
      "CREATE FULLTEXT INDEX ft FOR (n:Movie|Book) ON EACH [n.title, n.title]", Language::Extended);
  EXPECT_THAT(info.labels_used, ElementsAre("Book", "Movie"));
  EXPECT_THAT(info.properties_used, ElementsAre("title"));
}

TEST(CommandInspection, OtherCommandsNameNothingAndUseKeepsTheQuery) {
  for (const char* text : {"SHOW INDEXES", "DROP INDEX i", "GRANT ROLE r TO u"}) {
    const QueryInfo info = inspect_query(text, Language::Extended);
    EXPECT_TRUE(info.is_valid) << text;
    EXPECT_THAT(info.labels_used, IsEmpty()) << text;
    EXPECT_THAT(info.properties_used, IsEmpty()) << text;
  }
  const QueryInfo use =
      inspect_query("USE movies MATCH (p:Person) RETURN p.name", Language::Extended);
  EXPECT_THAT(use.labels_used, ElementsAre("Person"));
  EXPECT_THAT(use.properties_used, ElementsAre("name"));
  // The subset reads no command.
  EXPECT_FALSE(inspect_query("SHOW INDEXES").is_valid);
}

}  // namespace
}  // namespace quorvane
