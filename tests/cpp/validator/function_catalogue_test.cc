// The function catalogue and the extended-language rule built on it: unknown
// function names (with a suggestion when one is close), built-ins given the
// wrong number of arguments, the calls that must stay silent, and the
// subset, which reports none of it.
#include "validator/semantic/function_catalogue.h"

#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> run(std::string_view query, Language language) {
  const ValidationResult result =
      CypherValidator(testing::small_movie_schema(), language).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty())
      << "query did not parse: " << query << "\n"
      << (result.syntax_errors.empty() ? "" : result.syntax_errors.front());
  return result.semantic_errors;
}

std::vector<std::string> extended(std::string_view query) {
  return run(query, Language::Extended);
}

// Only this rule's findings: other rules may also speak about a query.
std::vector<std::string> function_findings(std::string_view query) {
  std::vector<std::string> out;
  for (std::string& finding : extended(query)) {
    if (finding.starts_with("Unknown function ") || finding.starts_with("Function '")) {
      out.push_back(std::move(finding));
    }
  }
  return out;
}

// ---- The catalogue itself ----

TEST(FunctionCatalogue, LookupIgnoresLetterCaseAndGivesTheCanonicalName) {
  for (std::string_view written : {"tolower", "TOLOWER", "toLower", "ToLoWeR"}) {
    const BuiltinFunction* found = find_builtin_function(written);
    ASSERT_NE(found, nullptr) << written;
    EXPECT_EQ(found->name, "toLower");
  }
  const BuiltinFunction* truncate = find_builtin_function("DATETIME.TRUNCATE");
  ASSERT_NE(truncate, nullptr);
  EXPECT_EQ(truncate->name, "datetime.truncate");
  EXPECT_EQ(truncate->min_args, 1u);
  EXPECT_EQ(truncate->max_args, 3u);
  EXPECT_EQ(find_builtin_function("coalesce")->max_args, kAnyArgumentCount);
}

TEST(FunctionCatalogue, NamesThatAreNotBuiltInsAreNotFound) {
  for (std::string_view name : {"", "lenght", "to", "toLowe", "toLowerr", "date.", "apoc.coll.sum",
                                "date.frobnicate", "zzz", "aaa"}) {
    EXPECT_EQ(find_builtin_function(name), nullptr) << name;
  }
}

// Every entry is found under its own name, which also shows the table is in
// the order the binary search expects.
TEST(FunctionCatalogue, EveryEntryIsFoundByItsOwnNameWithASaneRange) {
  ASSERT_GT(builtin_functions().size(), 140u);
  for (const BuiltinFunction& function : builtin_functions()) {
    EXPECT_EQ(find_builtin_function(function.name), &function) << function.name;
    EXPECT_LE(function.min_args, function.max_args) << function.name;
  }
}

// ---- Unknown names ----

TEST(UnknownFunction, MisspeltNamesGetTheClosestBuiltIn) {
  EXPECT_THAT(extended("MATCH (c:Person) RETURN lenght(c.name)"),
              ElementsAre("Unknown function 'lenght', did you mean 'length'?"));
  EXPECT_THAT(extended("MATCH (c:Person) RETURN toUper(c.name), COLECT(c.age)"),
              ElementsAre("Unknown function 'toUper', did you mean 'toUpper'?",
                          "Unknown function 'COLECT', did you mean 'collect'?"));
  EXPECT_THAT(extended("RETURN substr('abc', 1), coalsce(null, 1), pont({x: 1, y: 2})"),
              ElementsAre("Unknown function 'substr', did you mean 'substring'?",
                          "Unknown function 'coalsce', did you mean 'coalesce'?",
                          "Unknown function 'pont', did you mean 'point'?"));
}

// Names of earlier databases point to the function that replaced them, not
// to the nearest spelling (toInt is one letter from point).
TEST(UnknownFunction, RetiredNamesSuggestTheirReplacement) {
  EXPECT_THAT(extended("MATCH p = (:Person)-->() RETURN TOINT('3'), str(1), rels(p)"),
              ElementsAre("Unknown function 'TOINT', did you mean 'toInteger'?",
                          "Unknown function 'str', did you mean 'toString'?",
                          "Unknown function 'rels', did you mean 'relationships'?"));
}

// `siz` is one edit from both sin and size: the name it starts is meant.
TEST(UnknownFunction, ATieGoesToTheNameCutShortOrRunOn) {
  EXPECT_THAT(extended("RETURN siz([1]), coun(1), countt(1), sinn(1)"),
              ElementsAre("Unknown function 'siz', did you mean 'size'?",
                          "Unknown function 'coun', did you mean 'count'?",
                          "Unknown function 'countt', did you mean 'count'?",
                          "Unknown function 'sinn', did you mean 'sin'?"));
  // A single shared letter is no such sign: `ect` is as far from e as from cot.
  EXPECT_THAT(extended("RETURN ect(1)"),
              ElementsAre("Unknown function 'ect', did you mean 'cot'?"));
}

TEST(UnknownFunction, NothingCloseMeansNoSuggestion) {
  EXPECT_THAT(extended("RETURN frobnicate(1)"), ElementsAre("Unknown function 'frobnicate'"));
  EXPECT_THAT(extended("RETURN makeSomethingUp()"),
              ElementsAre("Unknown function 'makeSomethingUp'"));
}

// Syntax that only looks like a call (a quantifier, reduce) is never the
// suggestion: the suggestion must be callable as written.
TEST(UnknownFunction, SuggestionsAreCallableUnqualifiedNames) {
  EXPECT_THAT(
      extended("RETURN redcue(1), singl(1)"),
      ElementsAre("Unknown function 'redcue'", "Unknown function 'singl', did you mean 'sin'?"));
  EXPECT_THAT(extended("RETURN truncate('day', date())"),
              ElementsAre("Unknown function 'truncate'"));
}

TEST(UnknownFunction, SeenInEveryPlaceAnExpressionCanStand) {
  EXPECT_THAT(function_findings(
                  "MATCH (n:Person) WHERE lenght(n.name) > 1 RETURN n ORDER BY lenght(n.name)"),
              ElementsAre("Unknown function 'lenght', did you mean 'length'?",
                          "Unknown function 'lenght', did you mean 'length'?"));
  EXPECT_THAT(function_findings("RETURN [x IN [1, 2] WHERE abss(x) > 0 | toStrng(x)]"),
              ElementsAre("Unknown function 'abss', did you mean 'abs'?",
                          "Unknown function 'toStrng', did you mean 'toString'?"));
  EXPECT_THAT(function_findings("MATCH (n:Person) RETURN [(n)-[:ACTED_IN]->(m) | keyss(m)]"),
              ElementsAre("Unknown function 'keyss', did you mean 'keys'?"));
  EXPECT_THAT(function_findings("MATCH (n:Person) CALL { WITH n RETURN frobnicate(n) AS f } "
                                "RETURN f"),
              ElementsAre("Unknown function 'frobnicate'"));
  EXPECT_THAT(function_findings("MATCH (n:Person) WHERE EXISTS { MATCH (n)-[:ACTED_IN]->(m) "
                                "WHERE uper(m.title) = 'X' } RETURN n"),
              ElementsAre("Unknown function 'uper', did you mean 'upper'?"));
  EXPECT_THAT(function_findings("MATCH (n:Person) RETURN COUNT { MATCH (n)-->(m) WHERE "
                                "sqr(n.age) > 1 } AS c, COLLECT { MATCH (n)-->(m) RETURN "
                                "lowr(m.title) } AS t"),
              ElementsAre("Unknown function 'sqr', did you mean 'sqrt'?",
                          "Unknown function 'lowr', did you mean 'lower'?"));
  EXPECT_THAT(function_findings("RETURN reduce(s = 0, x IN [1] | s + sine(x)), "
                                "CASE WHEN flor(1) > 0 THEN 1 END, any(x IN [1] WHERE sine(x))"),
              ElementsAre("Unknown function 'sine', did you mean 'sin'?",
                          "Unknown function 'flor', did you mean 'floor'?",
                          "Unknown function 'sine', did you mean 'sin'?"));
  EXPECT_THAT(function_findings("MATCH (n:Person) SET n.name = uper(n.name) "
                                "FOREACH (x IN [1] | CREATE (:Movie {title: tostring(sqr(x))}))"),
              ElementsAre("Unknown function 'uper', did you mean 'upper'?",
                          "Unknown function 'sqr', did you mean 'sqrt'?"));
  EXPECT_THAT(function_findings("MATCH (n:Person {name: uper('a')})-[:ACTED_IN {role: sqr(1)}]->"
                                "(m) MERGE (:Movie {title: [x IN [1] | lowr(x)]}) RETURN n"),
              ElementsAre("Unknown function 'uper', did you mean 'upper'?",
                          "Unknown function 'sqr', did you mean 'sqrt'?",
                          "Unknown function 'lowr', did you mean 'lower'?"));
  EXPECT_THAT(function_findings("UNWIND ranges(1, 3) AS x RETURN toUpper(toLowr(x))"),
              ElementsAre("Unknown function 'ranges', did you mean 'range'?",
                          "Unknown function 'toLowr', did you mean 'toLower'?"));
}

// ---- Argument counts ----

TEST(FunctionArity, EveryPhrasing) {
  EXPECT_THAT(extended("RETURN substring('abc')"),
              ElementsAre("Function 'substring' takes 2 or 3 arguments, but 1 was given"));
  EXPECT_THAT(extended("RETURN toUpper('a', 'b')"),
              ElementsAre("Function 'toUpper' takes 1 argument, but 2 were given"));
  EXPECT_THAT(extended("RETURN left('abc')"),
              ElementsAre("Function 'left' takes 2 arguments, but 1 was given"));
  EXPECT_THAT(extended("RETURN coalesce()"),
              ElementsAre("Function 'coalesce' takes at least 1 argument, but 0 were given"));
  EXPECT_THAT(extended("RETURN pi(1), RAND(1, 2)"),
              ElementsAre("Function 'pi' takes no arguments, but 1 was given",
                          "Function 'rand' takes no arguments, but 2 were given"));
  EXPECT_THAT(extended("RETURN date('2020-01-01', 'x')"),
              ElementsAre("Function 'date' takes at most 1 argument, but 2 were given"));
  EXPECT_THAT(extended("RETURN round(1.5, 1, 'UP', 4)"),
              ElementsAre("Function 'round' takes 1 to 3 arguments, but 4 were given"));
  EXPECT_THAT(extended("RETURN replace('a', 'b')"),
              ElementsAre("Function 'replace' takes 3 arguments, but 2 were given"));
}

TEST(FunctionArity, AggregatesAndCountForms) {
  EXPECT_THAT(function_findings("MATCH (n:Person) RETURN count(), percentileCont(n.age)"),
              ElementsAre("Function 'count' takes 1 argument, but 0 were given",
                          "Function 'percentileCont' takes 2 arguments, but 1 was given"));
  EXPECT_THAT(function_findings("MATCH (n:Person) RETURN count(*), count(DISTINCT n.name), "
                                "COUNT(n), collect(DISTINCT n.age), percentileDisc(n.age, 0.5)"),
              IsEmpty());
}

TEST(FunctionArity, TemporalAndOtherDottedBuiltIns) {
  EXPECT_THAT(extended("RETURN date.truncate()"),
              ElementsAre("Function 'date.truncate' takes 1 to 3 arguments, but 0 were given"));
  EXPECT_THAT(extended("RETURN duration.between(date())"),
              ElementsAre("Function 'duration.between' takes 2 arguments, but 1 was given"));
  EXPECT_THAT(
      extended("RETURN DateTime.FromEpochMillis(1, 2)"),
      ElementsAre("Function 'datetime.fromepochmillis' takes 1 argument, but 2 were given"));
  EXPECT_THAT(extended("RETURN point.distance(point({x: 1, y: 2}))"),
              ElementsAre("Function 'point.distance' takes 2 arguments, but 1 was given"));
}

// ---- What stays silent ----

TEST(FunctionCatalogueSilence, NamespacedCallsOutsideTheCatalogue) {
  EXPECT_THAT(extended("RETURN apoc.coll.sum([1, 2]), my.lib.sum(1, 2, 3), apoc.text.lenght('a')"),
              IsEmpty());
  EXPECT_THAT(extended("RETURN date.frobnicate(1), gds.util.asNode(1), vector.similarity.dot(1)"),
              IsEmpty());
}

TEST(FunctionCatalogueSilence, RealFunctionsWithTheirArguments) {
  for (std::string_view query : {
           "MATCH (n:Person) RETURN toUpper(n.name), toLower(n.name), upper(n.name), "
           "lower(n.name), trim(n.name), ltrim(n.name), rtrim(n.name, 'x'), btrim(n.name, 'x'), "
           "substring(n.name, 1), substring(n.name, 1, 2), left(n.name, 2), right(n.name, 2), "
           "replace(n.name, 'a', 'b'), split(n.name, ','), reverse(n.name), toString(n.age), "
           "toStringOrNull(n.age), normalize(n.name), char_length(n.name), "
           "character_length(n.name)",
           "MATCH (n:Person) RETURN coalesce(n.name, n.age, 'x'), elementId(n), id(n), "
           "properties(n), keys(n), labels(n), size(n.name), valueType(n.age), "
           "nullIf(n.age, 0), randomUUID(), timestamp(), toBoolean('true'), "
           "toBooleanOrNull(1), toFloat('1'), toFloatOrNull(1), toInteger('1'), "
           "toIntegerOrNull('x'), isEmpty(n.name), head([1]), last([1]), tail([1])",
           "MATCH p = (a:Person)-[r:ACTED_IN]->(m:Movie) RETURN length(p), nodes(p), "
           "relationships(p), startNode(r), endNode(r), type(r)",
           "MATCH (n:Person) RETURN avg(n.age), max(n.age), min(n.age), sum(n.age), "
           "stDev(n.age), stDevP(n.age), percentileCont(n.age, 0.5), collect(n.name)",
           "RETURN range(1, 10), range(1, 10, 2), toBooleanList([1]), toFloatList([1]), "
           "toIntegerList([1]), toStringList([1])",
           "RETURN abs(-1), ceil(1.5), floor(1.5), isNaN(1.0), rand(), round(1.5), "
           "round(1.55, 1), round(1.55, 1, 'UP'), sign(-2), e(), exp(1), log(1), log10(1), "
           "sqrt(4), acos(1), asin(1), atan(1), atan2(1, 2), cos(1), cot(1), degrees(1), "
           "haversin(1), pi(), radians(1), sin(1), tan(1)",
           "RETURN date(), date('2020-01-01'), datetime(), localdatetime(), localtime(), time(), "
           "duration('P1D'), date.truncate('month', date()), "
           "datetime.truncate('day', datetime(), {hour: 1}), datetime.fromepoch(1, 0), "
           "datetime.fromepochmillis(1), duration.between(date(), date()), "
           "duration.inMonths(date(), date()), duration.inDays(date(), date()), "
           "duration.inSeconds(datetime(), datetime()), date.statement(), "
           "datetime.transaction('UTC'), localtime.realtime(), time.truncate('hour', time())",
           "RETURN point({x: 1, y: 2}), point.distance(point({x: 1, y: 2}), point({x: 0, y: 0})), "
           "point.withinBBox(point({x: 1, y: 2}), point({x: 0, y: 0}), point({x: 3, y: 3})), "
           "distance(point({x: 1, y: 2}), point({x: 0, y: 0})), "
           "vector.similarity.cosine([1.0], [1.0]), vector.similarity.euclidean([1.0], [1.0])",
           "RETURN COUNT(1), ToUpper('a'), TOLOWER('A'), Date(), DATE.TRUNCATE('day', date())",
           "LOAD CSV FROM 'file:///x.csv' AS row RETURN file(), linenumber()",
       }) {
    EXPECT_THAT(extended(query), IsEmpty()) << query;
  }
}

TEST(FunctionCatalogueSilence, SyntaxThatLooksLikeACall) {
  EXPECT_THAT(function_findings("MATCH (n:Person) WHERE exists(n.name) RETURN n"), IsEmpty());
  EXPECT_THAT(function_findings("RETURN all(x IN [1] WHERE x > 0), any(x IN [1] WHERE x > 0), "
                                "none(x IN [1] WHERE x > 0), single(x IN [1] WHERE x > 0), "
                                "reduce(s = 0, x IN [1, 2] | s + x)"),
              IsEmpty());
  EXPECT_THAT(function_findings("MATCH (a:Person), (b:Person) "
                                "MATCH p = shortestPath((a)-[*]-(b)) "
                                "MATCH q = allShortestPaths((a)-[*]-(b)) RETURN p, q"),
              IsEmpty());
}

// ---- The subset ----

TEST(FunctionCatalogueSubset, ReportsNoneOfIt) {
  for (std::string_view query : {
           "MATCH (c:Person) RETURN lenght(c.name)",
           "RETURN frobnicate(1)",
           "RETURN substring('abc'), coalesce(), pi(1), date.truncate()",
           "MATCH (n:Person) RETURN count(), toUper(n.name)",
       }) {
    EXPECT_THAT(run(query, Language::Subset), IsEmpty()) << query;
    EXPECT_THAT(extended(query), ::testing::Not(IsEmpty())) << query;
  }
}

}  // namespace
}  // namespace quorvane
