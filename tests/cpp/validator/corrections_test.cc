// Deliberate choices: WITH * keeps the scope, and aliases are visible in the
// ORDER BY, SKIP, LIMIT and WHERE of the clause that defines them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using testing::findings;
using ::testing::IsEmpty;
using testing::unbound;

TEST(WithStarTest, KeepsEveryVariable) {
  EXPECT_THAT(findings("MATCH (n) WITH * RETURN n"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n), (m) UNWIND [1] AS u WITH * RETURN n, m, u"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n) WITH * RETURN z"), ElementsAre(unbound("z")));
}

TEST(WithStarTest, KeepsKnownLabels) {
  EXPECT_THAT(findings("MATCH (n:Person)-[r:ACTED_IN]->(m) WITH * RETURN n.nme, r.rol"),
              ElementsAre("Unknown property 'nme' on variable 'n' with label :Person",
                          "Unknown property 'rol' on variable 'r' with relationship type "
                          ":ACTED_IN"));
}

TEST(WithStarTest, ItsWhereAndOrderBySeeTheScope) {
  EXPECT_THAT(findings("MATCH (n:Person) WITH * ORDER BY n.nme SKIP 1 LIMIT 2 WHERE n.agee > 1 "
                       "RETURN n"),
              ElementsAre("Unknown property 'nme' on variable 'n' with label :Person",
                          "Unknown property 'agee' on variable 'n' with label :Person"));
}

TEST(WithStarTest, BetweenOtherWiths) {
  EXPECT_THAT(findings("MATCH (a), (b) WITH a WITH * RETURN a, b"), ElementsAre(unbound("b")));
}

TEST(AliasVisibilityTest, ReturnOrderBySeesItsAliases) {
  EXPECT_THAT(findings("MATCH (n) RETURN n.name AS nm ORDER BY nm"), IsEmpty());
  EXPECT_THAT(findings("MATCH (m:Movie) RETURN m.title AS t, count(*) AS c ORDER BY c DESC, t"),
              IsEmpty());
}

TEST(AliasVisibilityTest, ReturnOrderByStillSeesTheWholeScope) {
  EXPECT_THAT(findings("MATCH (n:Person) RETURN n.name AS nm ORDER BY n.age, nm"), IsEmpty());
  EXPECT_THAT(findings("MATCH (n) RETURN n.name AS nm ORDER BY other"),
              ElementsAre(unbound("other")));
}

TEST(AliasVisibilityTest, ReturnSkipAndLimitSeeItsAliases) {
  EXPECT_THAT(findings("MATCH (n) RETURN count(n) AS c SKIP c LIMIT c"), IsEmpty());
}

TEST(AliasVisibilityTest, ReturnAliasKeepsTheLabelsOfItsVariable) {
  EXPECT_THAT(findings("MATCH (n:Person) RETURN n AS p ORDER BY p.nme"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  EXPECT_THAT(findings("MATCH (n:Person) RETURN n.name AS p ORDER BY p.nme"), IsEmpty());
}

TEST(AliasVisibilityTest, ReturnAliasShadowsAVariableOfTheSameName) {
  // In the ORDER BY, n is the alias (a Movie), not the Person matched as n.
  EXPECT_THAT(findings("MATCH (n:Person), (m:Movie) RETURN m AS n ORDER BY n.name"),
              ElementsAre("Unknown property 'name' on variable 'n' with label :Movie"));
}

TEST(AliasVisibilityTest, ReturnItemsDoNotSeeEachOthersAliases) {
  EXPECT_THAT(findings("MATCH (n) RETURN n.name AS nm, nm"), ElementsAre(unbound("nm")));
}

TEST(AliasVisibilityTest, WithWhereSeesItsAliases) {
  EXPECT_THAT(findings("MATCH (n) WITH n.name AS nm WHERE nm = 'x' RETURN nm"), IsEmpty());
  EXPECT_THAT(findings("MATCH (p:Person) WITH p, count(*) AS c WHERE c > 1 RETURN p"), IsEmpty());
}

TEST(AliasVisibilityTest, WithWhereAndOrderByStillSeeUnprojectedVariables) {
  EXPECT_THAT(findings("MATCH (p:Person), (m) WITH p AS q ORDER BY m.x WHERE p.nme = 1 RETURN q"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
  // After the WITH only the projection is left.
  EXPECT_THAT(findings("MATCH (p), (m) WITH p AS q WHERE m IS NULL RETURN m"),
              ElementsAre(unbound("m")));
}

TEST(AliasVisibilityTest, WithOrderBySkipLimitSeeItsAliases) {
  EXPECT_THAT(findings("MATCH (n:Person) WITH n AS p, n.age AS a ORDER BY p.nme, a SKIP a "
                       "LIMIT a RETURN p"),
              ElementsAre("Unknown property 'nme' on variable 'p' with label :Person"));
}

TEST(AliasVisibilityTest, OtherFindingsStay) {
  EXPECT_THAT(findings("MATCH (n:Person) WITH n.name AS nm WHERE zz = nm RETURN nm, n"),
              ElementsAre(unbound("zz"), unbound("n")));
  EXPECT_THAT(findings("MATCH (n:Persn) RETURN n AS m ORDER BY m.x, q"),
              ElementsAre("Unknown node label: :Persn, did you mean :Person?", unbound("q")));
}

TEST(AliasVisibilityTest, AliasesDoNotLeakIntoTheNextUnionBranch) {
  EXPECT_THAT(findings("MATCH (n) RETURN n AS x ORDER BY x UNION MATCH (m) RETURN m AS x "
                       "ORDER BY n"),
              ElementsAre(unbound("n")));
}

}  // namespace
}  // namespace quorvane
