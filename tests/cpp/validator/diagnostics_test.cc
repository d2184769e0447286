// Diagnostics: codes, the spans of the offending text, did-you-mean edits and
// fix(). Spans are checked one by one on hand-made queries, and as
// properties over the benchmark corpus, misspelt copies of it and the golden
// syntax cases in both languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../../support/corpus_files.h"
#include "../../support/movies_schema.h"
#include "../parser/golden_reader.h"
#include "validator/cypher_validator.h"

namespace quorvane {
namespace {

std::string_view text_of(std::string_view query, Span span) {
  return query.substr(span.begin, span.end - span.begin);
}

std::string with_edits(std::string_view query, const std::vector<Edit>& edits) {
  std::vector<Edit> sorted = edits;
  std::sort(sorted.begin(), sorted.end(),
            [](const Edit& a, const Edit& b) { return a.span.begin > b.span.begin; });
  std::string out(query);
  for (const Edit& e : sorted) {
    out.replace(e.span.begin, e.span.end - e.span.begin, e.replacement);
  }
  return out;
}

struct Case {
  const char* query;
  Code code;
  const char* underlined;  // the text the span covers
  const char* suggestion;  // "" when none
  const char* fixed;       // the query with the edits applied; "" when no edit
};

class DiagnosticSpans : public ::testing::TestWithParam<Case> {};

TEST_P(DiagnosticSpans, UnderlineTheOffendingTextAndFixIt) {
  const Case& c = GetParam();
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  const ValidationResult result = validator.validate(c.query);
  ASSERT_FALSE(result.diagnostics.empty()) << c.query;
  const Diagnostic& d = result.diagnostics.front();
  EXPECT_EQ(d.code, c.code) << d.message;
  EXPECT_EQ(text_of(c.query, d.span), c.underlined) << d.message;
  EXPECT_EQ(d.suggestion, c.suggestion);
  if (*c.fixed == '\0') {
    EXPECT_TRUE(d.edits.empty());
    return;
  }
  const std::string fixed = with_edits(c.query, d.edits);
  EXPECT_EQ(fixed, c.fixed);
  EXPECT_TRUE(validator.validate(fixed).is_valid) << fixed;
}

INSTANTIATE_TEST_SUITE_P(
    Extended, DiagnosticSpans,
    ::testing::Values(
        Case{"MATCH (p:Persn) RETURN p", Code::UnknownLabel, "Persn", "Person",
             "MATCH (p:Person) RETURN p"},
        Case{"MATCH (p:`Persn`) RETURN p", Code::UnknownLabel, "`Persn`", "Person",
             "MATCH (p:Person) RETURN p"},
        Case{"MATCH (p:Person:Movei) RETURN p", Code::UnknownLabel, "Movei", "Movie",
             "MATCH (p:Person:Movie) RETURN p"},
        Case{"MATCH (p:Person)-[:ACTED_IM]->(m:Movie) RETURN m", Code::UnknownRelationshipType,
             "ACTED_IM", "ACTED_IN", "MATCH (p:Person)-[:ACTED_IN]->(m:Movie) RETURN m"},
        Case{"MATCH (p:Person) RETURN p.nmae", Code::UnknownProperty, "nmae", "name",
             "MATCH (p:Person) RETURN p.name"},
        Case{"MATCH (p:Person {nmae: 'x'}) RETURN p", Code::UnknownProperty, "nmae", "name",
             "MATCH (p:Person {name: 'x'}) RETURN p"},
        Case{"MATCH (p:Person) SET p.bron = 1", Code::UnknownProperty, "bron", "born",
             "MATCH (p:Person) SET p.born = 1"},
        Case{"MATCH (p:Person) RETURN p {.nmae}", Code::UnknownProperty, "nmae", "name",
             "MATCH (p:Person) RETURN p {.name}"},
        Case{"MATCH (p:Person) SET p:Persn", Code::UnknownLabel, "Persn", "Person",
             "MATCH (p:Person) SET p:Person"},
        Case{"MATCH (p:Person) WHERE p:Persn RETURN p", Code::UnknownLabel, "Persn", "Person",
             "MATCH (p:Person) WHERE p:Person RETURN p"},
        Case{"MATCH (p:Person) RETURN q", Code::UnboundVariable, "q", "", ""},
        Case{"MATCH (p:Person) RETURN count(x)", Code::UnboundVariable, "x", "", ""},
        Case{"MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p", Code::WrongDirection,
             "-[:ACTED_IN]->", "", "MATCH (m:Movie)<-[:ACTED_IN]-(p:Person) RETURN p"},
        Case{"MATCH (p:Person)<-[r:ACTED_IN*1..2]-(m:Movie) RETURN p", Code::WrongDirection,
             "<-[r:ACTED_IN*1..2]-", "", "MATCH (p:Person)-[r:ACTED_IN*1..2]->(m:Movie) RETURN p"},
        Case{"MATCH (m:Movie)-[:IN_GENRE]->(p:Person) RETURN p", Code::WrongEndpoints,
             "-[:IN_GENRE]->", "", ""},
        Case{"RETURN toUpperr('abc')", Code::UnknownFunction, "toUpperr", "toUpper",
             "RETURN toUpper('abc')"},
        // A node's span takes in the parentheses around it; the name does not.
        Case{"RETURN (toUpperr('abc'))", Code::UnknownFunction, "toUpperr", "toUpper",
             "RETURN (toUpper('abc'))"},
        Case{"RETURN ( /* ( */ (toUpperr('abc')))", Code::UnknownFunction, "toUpperr", "toUpper",
             "RETURN ( /* ( */ (toUpper('abc')))"},
        Case{"MATCH (p:Person) RETURN (q {.name})", Code::UnboundVariable, "q", "", ""},
        Case{"MATCH (p:Person) RETURN count(*) AS c ORDER BY (p {.born})", Code::OutOfScopeVariable,
             "p", "", ""},
        Case{"RETURN substring('abc')", Code::WrongArgumentCount, "substring('abc')", "", ""},
        Case{"MATCH (p:Person) RETURN p.name AS n, p.born AS n", Code::DuplicateColumn, "n", "",
             ""},
        Case{"MATCH (p:Person) RETURN p LIMIT -1", Code::InvalidRowCount, "-1", "", ""},
        Case{"RETURN 9223372036854775808", Code::IntegerTooLarge, "9223372036854775808", "", ""},
        Case{"MATCH (p:Person)", Code::InvalidQueryEnd, "MATCH (p:Person)", "", ""},
        Case{"MATCH (p:Person) WITH p.name RETURN 1", Code::MissingAlias, "p.name", "",
             "MATCH (p:Person) WITH p.name AS name RETURN 1"},
        Case{"UNWIND [1] AS x UNWIND [2] AS /* again */ `x` RETURN x", Code::VariableAlreadyBound,
             "`x`", "", ""},
        Case{"WITH 1 AS row LOAD CSV FROM 'f' AS row RETURN row", Code::VariableAlreadyBound, "row",
             "", ""},
        Case{"UNWIND [1] AS x CALL { WITH x RETURN x } RETURN x", Code::VariableAlreadyBound, "x",
             "", ""},
        Case{"UNWIND [1] AS x CALL { RETURN 2 AS  x } RETURN x", Code::VariableAlreadyBound, "x",
             "", ""},
        Case{"UNWIND [1] AS s CALL { CREATE (:Person) } IN TRANSACTIONS REPORT STATUS AS s "
             "RETURN s",
             Code::VariableAlreadyBound, "s", "", ""},
        // The name a YIELD item declares, not the whole item.
        Case{"MATCH (n) CALL db.labels() YIELD label AS n RETURN n", Code::VariableAlreadyBound,
             "n", "", ""},
        Case{"MATCH (n) CALL db.labels() YIELD label, `n` RETURN n", Code::VariableAlreadyBound,
             "`n`", "", ""},
        // A CALL { }'s scope list names what it imports.
        Case{"MATCH (p:Person) CALL (p, /* q */ q) { RETURN 1 AS one } RETURN one",
             Code::UnboundVariable, "q", "", ""},
        // A syntax error underlines the token at the pointer.
        Case{"MATCH (p:Person RETURN p", Code::SyntaxError, "RETURN", "", ""},
        Case{"MATCH (p:Person)\nWHERE p.name = 'Tom' RETRUN p", Code::SyntaxError, "RETRUN", "",
             ""},
        Case{"MATCH (p:Person) RETURN p.name = 'unclosed", Code::SyntaxError, "'unclosed", "",
             ""}));

TEST(DiagnosticSpans, CountCharactersAndLinesNotBytes) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  const std::string query = "MATCH (p:Person {name: 'Zoë'})\n// ünïcode\nRETURN p.nmae";
  const ValidationResult result = validator.validate(query);
  ASSERT_EQ(result.diagnostics.size(), 1u);
  const Diagnostic& d = result.diagnostics.front();
  EXPECT_EQ(text_of(query, d.span), "nmae");
  // The first line and its line feed are 31 characters, "// ünïcode\n" 11,
  // "RETURN p." 9.
  EXPECT_EQ(d.from.index, 51u);
  EXPECT_EQ(d.to.index, 55u);
  EXPECT_EQ(d.from.line, 3u);
  EXPECT_EQ(d.from.column, 10u);
  EXPECT_EQ(d.to.column, 14u);
  ASSERT_EQ(d.edits.size(), 1u);
  EXPECT_EQ(d.edits.front().from, 51u);
  EXPECT_EQ(d.edits.front().to, 55u);
}

TEST(DiagnosticSpans, TheSubsetKeepsItsMessagesAndGainsSpans) {
  const CypherValidator validator(testing::movies_schema(), Language::Subset);
  const std::string query = "MATCH (p:Persn)-[:ACTED_IN]->(m:Movie) RETURN p.name";
  const ValidationResult result = validator.validate(query);
  ASSERT_EQ(result.errors,
            std::vector<std::string>{"Unknown node label: :Persn, did you mean :Person?"});
  ASSERT_EQ(result.diagnostics.size(), 1u);
  EXPECT_EQ(result.diagnostics.front().message, result.errors.front());
  EXPECT_EQ(text_of(query, result.diagnostics.front().span), "Persn");
}

// ---- Properties over many queries

// Copies of a query with one name misspelt or one arrow turned.
std::vector<std::string> misspelt(const std::string& query) {
  static const std::pair<std::string_view, std::string_view> kSwaps[] = {
      {"Person", "Persn"},   {"Movie", "Movei"}, {"title", "titel"},    {"name", "nmae"},
      {"ACTED_IN", "ACTED"}, {"->", "-"},        {"<-", "-"},           {"released", "relased"},
      {"count(", "cout("},   {"born", "bron"},   {"DIRECTED", "DIRECT"}};
  std::vector<std::string> out;
  for (const auto& [from, to] : kSwaps) {
    const size_t at = query.find(from);
    if (at == std::string::npos) continue;
    std::string copy = query;
    copy.replace(at, from.size(), to);
    out.push_back(std::move(copy));
  }
  // An arrow turned: `->` written as `<-` shape.
  if (size_t at = query.find("]->"); at != std::string::npos) {
    std::string copy = query;
    const size_t open = copy.rfind("-[", at);
    if (open != std::string::npos && (open == 0 || copy[open - 1] != '<')) {
      copy.replace(at, 3, "]-");
      copy.insert(open, "<");
      out.push_back(std::move(copy));
    }
  }
  return out;
}

// The name a message quotes after `marker` (":Name" or "'name'").
std::string quoted_after(const std::string& message, std::string_view marker, char close) {
  const size_t at = message.find(marker);
  if (at == std::string::npos) return "";
  const size_t start = at + marker.size();
  size_t end = start;
  while (end < message.size() && message[end] != close && message[end] != ',') ++end;
  return message.substr(start, end - start);
}

std::string without_backticks(std::string_view text) {
  if (text.size() >= 2 && text.front() == '`' && text.back() == '`') {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

// What every result must hold, whatever the query.
void expect_well_formed(const std::string& query, const ValidationResult& result) {
  SCOPED_TRACE(query);
  ASSERT_EQ(result.diagnostics.size(), result.errors.size() + result.warnings.size());
  for (size_t i = 0; i < result.diagnostics.size(); ++i) {
    const Diagnostic& d = result.diagnostics[i];
    SCOPED_TRACE(d.message);
    ASSERT_LE(d.span.begin, d.span.end);
    ASSERT_LE(d.span.end, query.size());
    EXPECT_LE(d.from.index, d.to.index);
    for (const Edit& e : d.edits) {
      ASSERT_LE(e.span.begin, e.span.end);
      ASSERT_LE(e.span.end, query.size());
    }
    if (i < result.errors.size()) {
      EXPECT_EQ(d.severity, Severity::Error);
      // A syntax error's message is the headline of its six-line text.
      if (d.code == Code::SyntaxError) {
        EXPECT_NE(result.errors[i].find(d.message), std::string::npos);
        const std::string arrow =
            "--> " + std::to_string(d.from.line) + ":" + std::to_string(d.from.column) + "\n";
        if (result.errors[i].find("-->") != std::string::npos) {
          EXPECT_NE(result.errors[i].find(arrow), std::string::npos) << result.errors[i];
        }
      } else {
        EXPECT_EQ(d.message, result.errors[i]);
        EXPECT_FALSE(d.span.empty());
      }
    } else {
      EXPECT_EQ(d.severity, Severity::Warning);
      EXPECT_EQ(d.message, result.warnings[i - result.errors.size()]);
    }
    const std::string underlined = without_backticks(text_of(query, d.span));
    switch (d.code) {
      case Code::UnknownLabel:
        EXPECT_EQ(underlined, quoted_after(d.message, ": :", ' '));
        break;
      case Code::UnknownRelationshipType:
        EXPECT_EQ(underlined, quoted_after(d.message, "type: :", ' '));
        break;
      case Code::UnknownProperty:
        EXPECT_EQ(underlined, quoted_after(d.message, "property '", '\''));
        break;
      case Code::UnknownFunction:
        EXPECT_EQ(underlined, quoted_after(d.message, "function '", '\''));
        break;
      case Code::WrongDirection:
      case Code::WrongEndpoints:
        EXPECT_TRUE(underlined.front() == '-' || underlined.front() == '<') << underlined;
        break;
      default:
        break;
    }
    if (!d.suggestion.empty() && !d.edits.empty()) {
      EXPECT_EQ(without_backticks(d.edits.front().replacement), d.suggestion);
    }
  }
}

TEST(DiagnosticProperties, HoldOnTheCorpusAndMisspeltCopiesInBothLanguages) {
  int findings = 0;
  for (Language language : {Language::Subset, Language::Extended}) {
    const CypherValidator validator(testing::movies_schema(), language);
    for (const std::string& query : testing::bench_queries()) {
      expect_well_formed(query, validator.validate(query));
      for (const std::string& copy : misspelt(query)) {
        const ValidationResult result = validator.validate(copy);
        findings += static_cast<int>(result.diagnostics.size());
        expect_well_formed(copy, result);
      }
    }
  }
  EXPECT_GT(findings, 200);
}

TEST(DiagnosticProperties, HoldOnTheSnapshotQueriesInBothLanguages) {
  const std::vector<std::string> queries = testing::snapshot_queries();
  ASSERT_GT(queries.size(), 100u);
  int findings = 0;
  for (Language language : {Language::Subset, Language::Extended}) {
    const CypherValidator validator(testing::movies_schema(), language);
    for (const std::string& query : queries) {
      const ValidationResult result = validator.validate(query);
      findings += static_cast<int>(result.diagnostics.size());
      expect_well_formed(query, result);
    }
  }
  EXPECT_GT(findings, 100);
}

TEST(DiagnosticProperties, HoldOnTheGoldenSyntaxCasesInBothLanguages) {
  const auto cases = testing::read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl");
  ASSERT_GT(cases.size(), 1000u);
  for (Language language : {Language::Subset, Language::Extended}) {
    const CypherValidator validator(testing::movies_schema(), language);
    for (const auto& c : cases) expect_well_formed(c.query, validator.validate(c.query));
  }
}

// ---- fix()

TEST(Fix, LeavesQueriesWithoutErrorsAlone) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  for (const std::string& query : testing::bench_queries()) {
    const ValidationResult before = validator.validate(query);
    if (!before.is_valid) continue;
    const FixOutcome fixed = validator.fix(query);
    EXPECT_EQ(fixed.query, query);
    EXPECT_TRUE(fixed.applied.empty());
    EXPECT_TRUE(fixed.result.is_valid);
  }
}

TEST(Fix, NeverAddsErrorsAndRepairsMisspeltCopies) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  int repaired = 0;
  int changed = 0;
  for (const std::string& query : testing::bench_queries()) {
    if (!validator.validate(query).is_valid) continue;
    for (const std::string& copy : misspelt(query)) {
      const ValidationResult before = validator.validate(copy);
      const FixOutcome fixed = validator.fix(copy);
      EXPECT_EQ(fixed.result, validator.validate(fixed.query)) << fixed.query;
      if (fixed.query == copy) {
        EXPECT_TRUE(fixed.applied.empty());
        continue;
      }
      ++changed;
      EXPECT_FALSE(fixed.applied.empty());
      EXPECT_LT(fixed.result.errors.size(), before.errors.size()) << copy << "\n" << fixed.query;
      repaired += fixed.result.is_valid;
    }
  }
  EXPECT_GT(changed, 50);
  EXPECT_GT(repaired, changed / 2);
}

TEST(Fix, FixesWhatAFirstFixUncovers) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  const FixOutcome fixed = validator.fix("MATCH (p:Persn) RETURN p.nmae");
  EXPECT_EQ(fixed.query, "MATCH (p:Person) RETURN p.name");
  ASSERT_EQ(fixed.applied.size(), 2u);
  EXPECT_EQ(fixed.applied[0].code, Code::UnknownLabel);
  EXPECT_EQ(fixed.applied[1].code, Code::UnknownProperty);
  EXPECT_TRUE(fixed.result.is_valid);
}

TEST(Fix, KeepsTheTextWhenNothingGetsBetter) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  // length('abc') is an error of its own: the spelling fix would not help.
  const FixOutcome fixed = validator.fix("RETURN lenght('abc')");
  EXPECT_EQ(fixed.query, "RETURN lenght('abc')");
  EXPECT_TRUE(fixed.applied.empty());
  EXPECT_FALSE(fixed.result.is_valid);
}

TEST(TokenSpan, CoversOneToken) {
  const auto token = [](std::string_view text, size_t pos) {
    return std::string(text_of(text, token_span_at(text, pos)));
  };
  EXPECT_EQ(token("MATCH (n)", 0), "MATCH");
  EXPECT_EQ(token("a->b", 1), "->");
  EXPECT_EQ(token("x = 'it''s'", 4), "'it'");
  EXPECT_EQ(token("x = `odd name` y", 4), "`odd name`");
  EXPECT_EQ(token("RETURN é", 7), "é");
  EXPECT_EQ(token("abc", 3), "");
  // A string left open ends with its line.
  EXPECT_EQ(token("x = 'open\nRETURN x", 4), "'open");
}

// A syntax finding underlines the token its message quotes: a parameter, a
// number with its fraction, a two-character operator, a code fence.
TEST(TokenSpan, IsTheTokenTheMessageQuotes) {
  const CypherValidator validator(Schema(), Language::Extended);
  for (const auto& [query, token] : std::vector<std::pair<std::string, std::string>>{
           {"RETURN 1 $x", "$x"},
           {"RETURN 1 2.5", "2.5"},
           {"MATCH (n) WHERE n.a = 1 && n.b = 2 RETURN n", "&&"},
           {"MATCH (n) WHERE n.x :: :: INTEGER RETURN n", "::"},
           {"```cypher\nMATCH (n) RETURN n\n```", "```"},
           {"MATCH (n) WHERE n.name = 'Tom RETURN n", "'Tom RETURN n"}}) {
    const ValidationResult result = validator.validate(query);
    ASSERT_EQ(result.diagnostics.size(), 1u) << query;
    const Diagnostic& d = result.diagnostics[0];
    EXPECT_EQ(text_of(query, d.span), token) << query;
    EXPECT_NE(d.message.find(token), std::string::npos) << query << ": " << d.message;
  }
}

}  // namespace
}  // namespace quorvane
