// Findings on commands and on removed syntax (extended language): schema
// checks on constraints and indexes match those on queries, every removed
// form names its current one and its edits make a text with no finding, and
// a missing ';' is one finding with the edit inserting it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "parser/parse.h"
#include "test_support.h"

namespace quorvane {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::small_movie_schema;

ValidationResult check(std::string_view text) {
  return CypherValidator(small_movie_schema(), Language::Extended).validate(text);
}

std::string_view text_of(std::string_view text, Span span) {
  return text.substr(span.begin, span.end - span.begin);
}

// The text with every edit of every finding applied.
std::string with_edits(std::string_view text, const std::vector<Diagnostic>& findings) {
  std::vector<Edit> edits;
  for (const Diagnostic& d : findings) edits.insert(edits.end(), d.edits.begin(), d.edits.end());
  std::sort(edits.begin(), edits.end(),
            [](const Edit& a, const Edit& b) { return a.span.begin < b.span.begin; });
  std::string out;
  size_t at = 0;
  for (const Edit& e : edits) {
    out.append(text.substr(at, e.span.begin - at));
    out += e.replacement;
    at = e.span.end;
  }
  out.append(text.substr(at));
  return out;
}

TEST(CommandSchemaChecks, UnknownLabelAsInAQuery) {
  const std::string_view command = "CREATE CONSTRAINT FOR (p:Persn) REQUIRE p.name IS UNIQUE";
  const std::string_view query = "MATCH (p:Persn) RETURN p";
  const ValidationResult a = check(command);
  const ValidationResult b = check(query);
  ASSERT_EQ(a.diagnostics.size(), 1u);
  ASSERT_EQ(b.diagnostics.size(), 1u);
  const Diagnostic& d = a.diagnostics[0];
  EXPECT_EQ(d.code, Code::UnknownLabel);
  EXPECT_EQ(d.message, b.diagnostics[0].message);
  EXPECT_EQ(d.suggestion, "Person");
  EXPECT_EQ(text_of(command, d.span), "Persn");
  ASSERT_EQ(d.edits.size(), 1u);
  EXPECT_EQ(d.edits[0].replacement, "Person");
  EXPECT_THAT(check(with_edits(command, a.diagnostics)).diagnostics, IsEmpty());
}

TEST(CommandSchemaChecks, UnknownPropertyAndTypeAsInAQuery) {
  const std::string_view command = "CREATE INDEX FOR (p:Person) ON (p.name, p.nme)";
  const ValidationResult a = check(command);
  const ValidationResult b = check("MATCH (p:Person) RETURN p.nme");
  ASSERT_EQ(a.diagnostics.size(), 1u);
  EXPECT_EQ(a.diagnostics[0].code, Code::UnknownProperty);
  EXPECT_EQ(a.diagnostics[0].message, b.diagnostics.at(0).message);
  EXPECT_EQ(text_of(command, a.diagnostics[0].span), "nme");

  const std::string_view rel = "CREATE CONSTRAINT FOR ()-[r:ACTED]-() REQUIRE r.role IS NOT NULL";
  const ValidationResult c = check(rel);
  ASSERT_EQ(c.diagnostics.size(), 1u);
  EXPECT_EQ(c.diagnostics[0].code, Code::UnknownRelationshipType);
  EXPECT_EQ(c.diagnostics[0].suggestion, "ACTED_IN");
  EXPECT_EQ(text_of(rel, c.diagnostics[0].span), "ACTED");

  const ValidationResult d =
      check("CREATE CONSTRAINT FOR ()-[r:ACTED_IN]-() REQUIRE r.rol IS NOT NULL");
  ASSERT_EQ(d.diagnostics.size(), 1u);
  EXPECT_THAT(d.diagnostics[0].message,
              HasSubstr("Unknown property 'rol' on variable 'r' with relationship type "
                        ":ACTED_IN"));
}

TEST(CommandSchemaChecks, FulltextKeyNeedsOneLabelThatDeclaresIt) {
  EXPECT_THAT(
      check("CREATE FULLTEXT INDEX ft FOR (n:Person|Movie) ON EACH [n.name, n.title]").diagnostics,
      IsEmpty());
  const ValidationResult r =
      check("CREATE FULLTEXT INDEX ft FOR (n:Person|Movie) ON EACH [n.plot]");
  ASSERT_EQ(r.diagnostics.size(), 1u);
  EXPECT_EQ(r.diagnostics[0].code, Code::UnknownProperty);
}

TEST(CommandSchemaChecks, CleanCommandsAndAdministrationHaveNoFinding) {
  for (std::string_view text :
       {"CREATE CONSTRAINT c IF NOT EXISTS FOR (p:Person) REQUIRE (p.name, p.age) IS NODE KEY",
        "CREATE LOOKUP INDEX FOR (n) ON EACH labels(n)", "DROP INDEX i IF EXISTS",
        "SHOW INDEXES YIELD name, type WHERE type = 'RANGE' RETURN name",
        "CREATE USER alice SET PASSWORD 'pw'", "GRANT ROLE reader TO alice",
        "USE movies MATCH (p:Person) RETURN p.name"}) {
    const ValidationResult r = check(text);
    EXPECT_TRUE(r.is_valid) << text << "\n" << (r.errors.empty() ? "" : r.errors[0]);
  }
}

TEST(CommandSchemaChecks, ShowYieldIsCheckedAsAQueryAndUseKeepsTheQueryChecked) {
  const ValidationResult show = check("SHOW INDEXES YIELD name RETURN nme");
  ASSERT_EQ(show.diagnostics.size(), 1u);
  EXPECT_EQ(show.diagnostics[0].code, Code::UnboundVariable);
  const ValidationResult use = check("USE movies MATCH (p:Persn) RETURN p");
  ASSERT_EQ(use.diagnostics.size(), 1u);
  EXPECT_EQ(use.diagnostics[0].code, Code::UnknownLabel);
  EXPECT_EQ(use.diagnostics[0].span, (Span{20, 25}));
}

TEST(RemovedSyntax, EveryMechanicalRewriteValidatesClean) {
  struct Case {
    std::string_view old;
    std::string_view current;  // what the message names
  };
  for (const Case& c : {
           Case{"CREATE CONSTRAINT ON (p:Person) ASSERT p.name IS UNIQUE",
                "CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS UNIQUE"},
           Case{"CREATE CONSTRAINT pk ON (p:Person) ASSERT (p.name, p.age) IS NODE KEY",
                "REQUIRE (p.name, p.age) IS NODE KEY"},
           Case{"CREATE CONSTRAINT ON (p:Person) ASSERT exists(p.name)",
                "REQUIRE p.name IS NOT NULL"},
           Case{"CREATE CONSTRAINT ON ()-[r:ACTED_IN]-() ASSERT exists(r.role)",
                "REQUIRE r.role IS NOT NULL"},
           Case{"CREATE INDEX ON :Person(name)", "CREATE INDEX FOR (n:Person) ON (n.name)"},
           Case{"CREATE INDEX ON :Person(name, age)", "ON (n.name, n.age)"},
           Case{"CREATE BTREE INDEX FOR (p:Person) ON (p.name)", "CREATE RANGE INDEX"},
           Case{"USING PERIODIC COMMIT 500 LOAD CSV WITH HEADERS FROM 'file:///p.csv' AS row "
                "CREATE (:Person {name: row.name})",
                "CALL { ... } IN TRANSACTIONS OF 500 ROWS"},
           Case{"MATCH (p:Person) WHERE exists(p.name) RETURN p", "p.name IS NOT NULL"},
           Case{"MATCH (p:Person) WHERE NOT exists(p.name) OR p.age = 1 RETURN p",
                "p.name IS NOT NULL"},
           Case{"MATCH (p:Person {name: {name}}) RETURN p", "$name"},
           Case{"MATCH (p:Person) WHERE p.age IN {ages} RETURN p SKIP {s} LIMIT { l }", "$ages"},
       }) {
    const ValidationResult before = check(c.old);
    ASSERT_FALSE(before.diagnostics.empty()) << c.old;
    EXPECT_FALSE(before.is_valid) << c.old;
    for (const Diagnostic& d : before.diagnostics) {
      EXPECT_EQ(d.code, Code::RemovedSyntax) << c.old << "\n" << d.message;
      EXPECT_FALSE(d.edits.empty()) << c.old;
    }
    EXPECT_THAT(before.diagnostics[0].message, HasSubstr(c.current)) << c.old;
    const std::string rewritten = with_edits(c.old, before.diagnostics);
    const ValidationResult after = check(rewritten);
    EXPECT_THAT(after.diagnostics, IsEmpty()) << c.old << "\n -> " << rewritten << "\n"
                                              << (after.errors.empty() ? "" : after.errors[0]);
    // fix() applies them too.
    const FixOutcome fixed = CypherValidator(small_movie_schema(), Language::Extended).fix(c.old);
    EXPECT_EQ(fixed.query, rewritten) << c.old;
  }
}

TEST(RemovedSyntax, FormsWithoutAMechanicalRewriteNameTheCurrentOne) {
  struct Case {
    std::string_view old;
    std::string_view current;
  };
  for (const Case& c : {
           Case{"DROP INDEX ON :Person(name)", "DROP INDEX name"},
           Case{"DROP CONSTRAINT ON (p:Person) ASSERT p.name IS UNIQUE", "DROP CONSTRAINT name"},
           // A RETURN after it: no mechanical place for the subquery.
           Case{"USING PERIODIC COMMIT 10 LOAD CSV FROM 'x' AS row RETURN row",
                "LOAD CSV ... CALL { ... } IN TRANSACTIONS OF 10 ROWS"},
       }) {
    const ValidationResult r = check(c.old);
    ASSERT_EQ(r.diagnostics.size(), 1u) << c.old;
    EXPECT_EQ(r.diagnostics[0].code, Code::RemovedSyntax) << c.old;
    EXPECT_TRUE(r.diagnostics[0].edits.empty()) << c.old;
    EXPECT_THAT(r.diagnostics[0].message, HasSubstr("was removed")) << c.old;
    EXPECT_THAT(r.diagnostics[0].message, HasSubstr(c.current)) << c.old;
  }
}

TEST(RemovedSyntax, TheSyntaxErrorTextIsTheParseErrors) {
  const std::string_view text = "CREATE INDEX ON :Person(name)";
  const ValidationResult r = check(text);
  ASSERT_EQ(r.syntax_errors.size(), 1u);
  const Result<CypherQuery> parsed = parse(text, Language::Extended);
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(r.syntax_errors[0], parsed.error().message);
  EXPECT_EQ(parsed.error().summary, r.diagnostics[0].message);
  EXPECT_EQ(r.diagnostics[0].span, (Span{13, 29}));
}

TEST(RemovedSyntax, AMapProjectionIsNoOldParameter) {
  const ValidationResult r = check("MATCH (p:Person) RETURN p {name}");
  for (const Diagnostic& d : r.diagnostics) EXPECT_NE(d.code, Code::RemovedSyntax);
  // A string that looks like one is left alone.
  EXPECT_TRUE(check("MATCH (p:Person) WHERE p.name = '{name}' RETURN p").is_valid);
}

// What stands between the braces and the name is not quoted: a line break
// there would make the syntax error's text run over more lines than its six.
TEST(RemovedSyntax, AnOldParameterIsQuotedOnOneLine) {
  const ValidationResult r = check("RETURN {//(n)\r\nE}u");
  ASSERT_EQ(r.diagnostics.size(), 1u);
  EXPECT_EQ(r.diagnostics[0].code, Code::RemovedSyntax);
  EXPECT_EQ(r.diagnostics[0].message,
            "the parameter syntax {E} was removed; the current form is $E");
  ASSERT_EQ(r.syntax_errors.size(), 1u);
  EXPECT_EQ(std::count(r.syntax_errors[0].begin(), r.syntax_errors[0].end(), '\n'), 5)
      << r.syntax_errors[0];
}

// A removed form quoted with a line break inside still makes a six-line
// syntax error.
TEST(RemovedSyntax, QuotedTextKeepsTheErrorOnSixLines) {
  const ValidationResult r = check("CREATE CONSTRAINT ON (p:Person) ASSERT exists(p.\nname)");
  ASSERT_EQ(r.syntax_errors.size(), 1u);
  EXPECT_EQ(std::count(r.syntax_errors[0].begin(), r.syntax_errors[0].end(), '\n'), 5)
      << r.syntax_errors[0];
}

TEST(RemovedSyntax, TheSubsetIsUnchanged) {
  const CypherValidator subset(small_movie_schema());
  for (std::string_view text :
       {"CREATE INDEX ON :Person(name)", "MATCH (p:Person) WHERE exists(p.name) RETURN p",
        "MATCH (p:Person {name: {name}}) RETURN p", "RETURN 1 RETURN 2"}) {
    for (const Diagnostic& d : subset.validate(text).diagnostics) {
      EXPECT_NE(d.code, Code::RemovedSyntax) << text;
      EXPECT_EQ(d.message.find("missing ';'"), std::string::npos) << text;
    }
  }
  EXPECT_FALSE(subset.validate("CREATE CONSTRAINT FOR (p:Person) REQUIRE p.name IS UNIQUE")
                   .syntax_errors.empty());
}

TEST(MissingSemicolon, OneFindingWithTheEditInsertingIt) {
  const std::string_view text = "MATCH (n) RETURN n // first\nMATCH (m) RETURN m";
  const ValidationResult r = check(text);
  ASSERT_EQ(r.diagnostics.size(), 1u);
  const Diagnostic& d = r.diagnostics[0];
  EXPECT_EQ(d.code, Code::SyntaxError);
  EXPECT_EQ(d.message, "missing ';' between statements");
  EXPECT_EQ(text_of(text, d.span), "MATCH");
  EXPECT_EQ(d.from.line, 2u);
  ASSERT_EQ(d.edits.size(), 1u);
  // After the first statement, not inside its comment.
  EXPECT_EQ(d.edits[0].span, (Span{18, 18}));
  EXPECT_EQ(d.edits[0].replacement, ";");
  EXPECT_EQ(with_edits(text, r.diagnostics), "MATCH (n) RETURN n; // first\nMATCH (m) RETURN m");
}

}  // namespace
}  // namespace quorvane
