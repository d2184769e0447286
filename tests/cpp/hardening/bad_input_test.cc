// Hostile and unusual inputs: each must give a clear, well-formed result
// (valid, one syntax error pointing inside the text, or the expected schema
// findings) within a small time budget.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "generator/cypher_generator.h"
#include "hardening_support.h"
#include "inspect/query_info.h"
#include "parser/parse.h"
#include "validator/cypher_validator.h"

namespace quorvane {
namespace {

using testing::has_result_shape;
using testing::is_syntax_error_for;
using testing::slowdown;
using testing::Stopwatch;

std::string repeat(std::string_view s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string first_line(const std::string& message) {
  return message.substr(0, message.find('\n'));
}

std::string last_line(const std::string& message) {
  return message.substr(message.rfind('\n') + 1);
}

// Validates against `schema` and checks that the result, and the inspection
// of the same text, are well formed, and that validation took at most
// `budget` seconds of an optimised build. The budgets are far above the
// measured times: they catch blow-ups, not slow machines. Inspection parses
// the text again; `inspect` false skips it for the largest inputs.
ValidationResult checked_validate(const Schema& schema, std::string_view text, double budget,
                                  bool inspect = true) {
  const CypherValidator validator(schema);
  const Stopwatch watch;
  const ValidationResult result = validator.validate(text);
  const double seconds = watch.seconds();
  EXPECT_LT(seconds, budget * slowdown()) << "took " << seconds << " s";
  EXPECT_TRUE(has_result_shape(result));
  if (!result.syntax_errors.empty()) {
    EXPECT_TRUE(is_syntax_error_for(result.syntax_errors.front(), text));
  }
  if (inspect) {
    const QueryInfo info = inspect_query(text);
    EXPECT_EQ(info.is_valid, result.syntax_errors.empty());
    EXPECT_EQ(info.errors.size(), result.syntax_errors.size());
  }
  return result;
}

ValidationResult checked_validate_large(std::string_view text, double budget) {
  return checked_validate(testing::movies_schema(), text, budget, false);
}

ValidationResult checked_validate(std::string_view text, double budget = 1.0) {
  return checked_validate(testing::movies_schema(), text, budget);
}

std::string syntax_error(const ValidationResult& result) {
  EXPECT_EQ(result.syntax_errors.size(), 1u);
  return result.syntax_errors.empty() ? std::string() : result.syntax_errors.front();
}

// --- Empty, blank and NUL-bearing text ---------------------------------------

TEST(BadInput, EmptyTextIsOneSyntaxErrorAtTheStart) {
  const std::string error = syntax_error(checked_validate(""));
  EXPECT_EQ(first_line(error), " --> 1:1");
  EXPECT_EQ(last_line(error), "  = expected statement");
}

TEST(BadInput, WhitespaceOnlyTextIsOneSyntaxError) {
  for (const char* text :
       {" ", "\t\t", "\n", "  \r\n  \n\t", "// only a comment", "/* only a comment */"}) {
    const std::string error = syntax_error(checked_validate(text));
    EXPECT_EQ(last_line(error), "  = expected statement") << text;
  }
  // The error sits where the blanks end.
  EXPECT_EQ(first_line(syntax_error(checked_validate("\n\n   "))), " --> 3:4");
}

TEST(BadInput, NulBytesAreOrdinaryUnexpectedCharacters) {
  const std::string after_pattern("MATCH (n)\0 RETURN n", 19);
  EXPECT_EQ(first_line(syntax_error(checked_validate(after_pattern))), " --> 1:10");
  const std::string trailing("MATCH (n) RETURN n\0", 19);
  EXPECT_EQ(first_line(syntax_error(checked_validate(trailing))), " --> 1:19");
  const std::string leading("\0MATCH (n) RETURN n", 19);
  EXPECT_EQ(first_line(syntax_error(checked_validate(leading))), " --> 1:1");
  // Inside quotes a NUL is just a byte of the name or string.
  const std::string in_string("MATCH (n:Person {name: 'a\0b'}) RETURN n", 39);
  EXPECT_TRUE(checked_validate(in_string).is_valid);
  const std::string in_name("MATCH (n:`Per\0son`) RETURN n", 28);
  const ValidationResult unknown = checked_validate(in_name);
  ASSERT_EQ(unknown.semantic_errors.size(), 1u);
  EXPECT_EQ(unknown.semantic_errors[0],
            "Unknown node label: :" + std::string("Per\0son", 7) + ", did you mean :Person?");
}

// --- Size ---------------------------------------------------------------------

TEST(BadInput, TenMegabyteListIsValid) {
  std::string text = "MATCH (p:Person) RETURN p.name, [";
  text.reserve(10'500'000);
  while (text.size() < 10'000'000) text += "12345, ";
  text += "0]";
  const ValidationResult result = checked_validate_large(text, 10.0);
  EXPECT_TRUE(result.is_valid);
}

TEST(BadInput, TenMegabyteQueryWithATrailingErrorPointsAtItsEnd) {
  std::string text = "RETURN [";
  while (text.size() < 10'000'000) text += "12345, ";
  text += "1]]";
  const std::string error = syntax_error(checked_validate_large(text, 10.0));
  EXPECT_EQ(first_line(error), " --> 1:" + std::to_string(text.size()));
}

TEST(BadInput, TenMegabyteStringAndCommentAreFine) {
  const std::string literal = "RETURN '" + std::string(10'000'000, 'a') + "' AS s";
  EXPECT_TRUE(checked_validate(literal, 3.0).is_valid);
  const std::string comment = "/*" + std::string(10'000'000, '*') + "*/ RETURN 1";
  EXPECT_TRUE(checked_validate(comment, 3.0).is_valid);
  const std::string blanks = std::string(10'000'000, '\n') + "RETURN 1 +";
  EXPECT_EQ(first_line(syntax_error(checked_validate(blanks, 3.0))), "        --> 10000001:11");
}

TEST(BadInput, TenThousandLabelsOnOneNode) {
  std::string text = "MATCH (n";
  for (int i = 0; i < 10'000; ++i) text += ":Person";
  text += ") RETURN n.name";
  EXPECT_TRUE(checked_validate(text, 2.0).is_valid);
}

// --- Nesting and backtracking ---------------------------------------------------

TEST(BadInput, AMillionNestedBracketsIsANestingError) {
  for (const char* open : {"[", "(", "{a: ", "[(", "CASE WHEN "}) {
    const std::string text = "RETURN " + repeat(open, 1'000'000);
    const std::string error = syntax_error(checked_validate(text, 3.0));
    EXPECT_EQ(last_line(error), "  = query nested too deeply (limit 250)") << open;
  }
  // Balanced, too deep all the same.
  const std::string balanced = "RETURN " + repeat("[", 1'000'000) + repeat("]", 1'000'000);
  EXPECT_EQ(last_line(syntax_error(checked_validate(balanced, 3.0))),
            "  = query nested too deeply (limit 250)");
  // Deep patterns as well.
  const std::string patterns = "MATCH " + repeat("(", 1'000'000);
  EXPECT_FALSE(checked_validate(patterns, 3.0).syntax_errors.empty());
}

// Alternatives that read the same bracketed text again (a list literal
// before a comprehension, a subscript before a slice) are remembered, so
// nesting that doubles the matching work per level is matched in full, up to
// the nesting limit, and never reaches the backtracking guard.
constexpr std::string_view kTooComplex =
    "  = query too complex to match (backtracking limit reached)";

TEST(BadInput, NestedListComprehensionsMatchInFull) {
  auto nested = [](int levels) {
    std::string text = "x";
    for (int i = 0; i < levels; ++i) text = "[x IN " + text + " WHERE x > 0 | x]";
    return text;
  };
  // The innermost list names x while nothing binds it: the one finding.
  const std::vector<std::string> unbound = {"Variable 'x' is not bound in this scope"};
  EXPECT_EQ(checked_validate("RETURN " + nested(8)).semantic_errors, unbound);
  // 248 levels sit at nesting depth 249 inside RETURN's expression.
  for (int levels : {40, 248}) {
    const ValidationResult result = checked_validate("RETURN " + nested(levels));
    EXPECT_TRUE(result.syntax_errors.empty()) << levels;
    EXPECT_EQ(result.semantic_errors, unbound) << levels;
  }
  EXPECT_EQ(last_line(syntax_error(checked_validate("RETURN " + nested(250)))),
            "  = query nested too deeply (limit 250)");
  // Unfinished forms fail with an ordinary syntax error, quickly.
  const std::string deep = nested(200);
  for (size_t cut = 7; cut < deep.size(); cut += deep.size() / 7) {
    const std::string text = "RETURN " + deep.substr(0, cut);
    const std::string error = syntax_error(checked_validate(text));
    EXPECT_NE(last_line(error), kTooComplex) << text;
    EXPECT_EQ(last_line(error).rfind("  = expected ", 0), 0u) << text;
  }
}

// A list comprehension is first read as a list, so comprehensions nested
// in each other's lists are read again at every level: around a long
// string that would cost its length times 2 to the power of the nesting.
TEST(BadInput, NestedComprehensionsAroundLongTextStayLinear) {
  std::string text = "['" + std::string(16 << 20, 'a') + "']";
  for (int i = 0; i < 12; ++i) text = "[x IN " + text + " WHERE x > 0 | x]";
  const ValidationResult result = checked_validate_large("RETURN " + text, 1.0);
  EXPECT_TRUE(result.syntax_errors.empty());
}

TEST(BadInput, NestedSlicesMatchInFull) {
  auto nested = [](int levels) {
    std::string text = "1";
    for (int i = 0; i < levels; ++i) text = "x[x[" + text + "..2]..]";
    return text;
  };
  EXPECT_TRUE(checked_validate("WITH [1, 2, 3] AS x RETURN " + nested(4)).is_valid);
  // Two nesting levels per step: 124 steps stay below the limit.
  EXPECT_TRUE(checked_validate("WITH [1, 2, 3] AS x RETURN " + nested(124)).is_valid);
  EXPECT_EQ(last_line(syntax_error(checked_validate("WITH [1] AS x RETURN " + nested(125)))),
            "  = query nested too deeply (limit 250)");

  const std::string deep = nested(100);
  for (size_t cut = 1; cut < deep.size(); cut += deep.size() / 7) {
    const ValidationResult result = checked_validate("WITH [1] AS x RETURN " + deep.substr(0, cut));
    for (const std::string& error : result.syntax_errors) {
      EXPECT_NE(last_line(error), kTooComplex) << cut;
    }
  }
  // Unfinished ranges in every position.
  std::string ranges = "1";
  for (int i = 0; i < 100; ++i) ranges = "x[" + ranges + "..x[..";
  const std::string error = syntax_error(checked_validate("RETURN " + ranges));
  EXPECT_NE(last_line(error), kTooComplex);
}

// In the extended language a parenthesised map is first tried as the node
// pattern of a pattern predicate.
TEST(BadInput, NestedParenthesisedMapsMatchInFull) {
  std::string text = "1";
  for (int i = 0; i < 124; ++i) text = "({a: " + text + "})";
  const Stopwatch watch;
  EXPECT_TRUE(parse("RETURN " + text, Language::Extended).ok());
  const auto cut = parse("RETURN " + text.substr(0, text.size() - 40), Language::Extended);
  ASSERT_FALSE(cut.ok());
  EXPECT_NE(last_line(cut.error().message), kTooComplex);
  EXPECT_LT(watch.seconds(), 1.0 * slowdown());
}

TEST(BadInput, LongUnfinishedChainsAreQuick) {
  // Shapes that make a backtracking matcher retry the same text many times.
  const std::vector<std::string> texts = {
      "RETURN " + repeat("(a", 240) + repeat(" + b", 10),
      "RETURN " + repeat("[a, ", 240),
      "RETURN " + repeat("a = ", 5000),
      "RETURN " + repeat("a.b.c[0] ", 2000),
      "MATCH " + repeat("(a)-[:T]->", 5000),
      "MATCH " + repeat("(a)-[:T*1..2", 2000),
      "RETURN " + repeat("CASE a WHEN ", 240),
      "RETURN " + repeat("{a: [", 120),
      "RETURN " + repeat("NOT ", 200000),
      "RETURN " + repeat("-", 200000) + "1",
      "MATCH (n) WHERE " + repeat("n.a STARTS WITH ", 5000),
      "RETURN " + repeat("[x IN ", 240),
      "RETURN " + repeat("x[", 240) + repeat("..", 240),
      repeat("MATCH (n) ", 20000),
      repeat("RETURN 1 UNION ", 20000),
  };
  for (const std::string& text : texts) checked_validate(text, 2.0);
}

// --- Names ----------------------------------------------------------------------

TEST(BadInput, NonAsciiNamesWorkInBackticks) {
  Schema schema;
  schema.add_node_label("Caf\xC3\xA9", {"n\xC3\xA4me", "\xE6\x97\xA5\xE4\xBB\x98"});
  schema.add_node_label("\xD0\x9F\xD0\xB5\xD1\x80\xD1\x81\xD0\xBE\xD0\xBD\xD0\xB0", {});
  schema.add_rel_type("\xF0\x9F\x94\x97", "Caf\xC3\xA9", "Caf\xC3\xA9", {});
  EXPECT_TRUE(
      checked_validate(schema,
                       "MATCH (n:`Caf\xC3\xA9` {`n\xC3\xA4me`: 'x'})-[:`\xF0\x9F\x94\x97`]->"
                       "(m:`Caf\xC3\xA9`) RETURN n.`\xE6\x97\xA5\xE4\xBB\x98`",
                       1.0)
          .is_valid);
  // A misspelling in another case finds the name through Unicode
  // lower-casing: ПЕРСОНА against Персона.
  const ValidationResult upper = checked_validate(
      schema, "MATCH (n:`\xD0\x9F\xD0\x95\xD0\xA0\xD0\xA1\xD0\x9E\xD0\x9D\xD0\x90`) RETURN n", 1.0);
  ASSERT_EQ(upper.semantic_errors.size(), 1u);
  EXPECT_EQ(
      upper.semantic_errors[0],
      "Unknown node label: :\xD0\x9F\xD0\x95\xD0\xA0\xD0\xA1\xD0\x9E\xD0\x9D\xD0\x90, did you "
      "mean :\xD0\x9F\xD0\xB5\xD1\x80\xD1\x81\xD0\xBE\xD0\xBD\xD0\xB0?");
  // Unquoted, a non-ASCII letter is a syntax error; the column counts
  // characters, not bytes.
  const std::string error =
      syntax_error(checked_validate(schema, "RETURN 1 AS \xC3\xA9\xC3\xA9, \xC3\xA9", 1.0));
  EXPECT_EQ(first_line(error), " --> 1:13");
  const std::string later =
      syntax_error(checked_validate(schema, "RETURN '\xC3\xA9\xC3\xA9\xC3\xA9' \xC3\xA9", 1.0));
  EXPECT_EQ(first_line(later), " --> 1:14");
}

TEST(BadInput, InvalidUtf8IsAClearSyntaxErrorOrAName) {
  EXPECT_FALSE(checked_validate("MATCH (n:\xFF\xFE) RETURN n").syntax_errors.empty());
  EXPECT_FALSE(checked_validate("RETURN \xC3").syntax_errors.empty());
  EXPECT_FALSE(checked_validate("RETURN \x80\x80\x80").syntax_errors.empty());
  const ValidationResult quoted = checked_validate("MATCH (n:`\xFF\xFE`) RETURN n");
  EXPECT_EQ(quoted.semantic_errors, std::vector<std::string>{"Unknown node label: :\xFF\xFE"});
}

TEST(BadInput, BacktickedNamesWithSpaces) {
  Schema schema;
  schema.add_node_label("My Label", {"first name", " "});
  schema.add_rel_type("IS A", "My Label", "My Label", {"since when"});
  EXPECT_TRUE(checked_validate(schema,
                               "MATCH (n:`My Label` {`first name`: 1})-[r:`IS A` {`since when`: 2}]"
                               "->(m:`My Label`) WHERE n.` ` = 1 RETURN n.`first name`, r, m",
                               1.0)
                  .is_valid);
  const ValidationResult wrong =
      checked_validate(schema, "MATCH (n:`My Label`) RETURN n.`first  name`", 1.0);
  EXPECT_EQ(wrong.semantic_errors,
            std::vector<std::string>{
                "Unknown property 'first  name' on variable 'n' with label :My Label"});
  const ValidationResult label = checked_validate(schema, "MATCH (n:`my label`) RETURN n", 1.0);
  EXPECT_EQ(label.semantic_errors,
            std::vector<std::string>{"Unknown node label: :my label, did you mean :My Label?"});
}

// --- Schemas ----------------------------------------------------------------------

TEST(BadInput, EmptyNamesInTheSchema) {
  Schema schema;
  schema.add_node_label("", {""});
  schema.add_rel_type("", "", "", {""});
  EXPECT_TRUE(
      checked_validate(schema, "MATCH (n:`` {``: 1})-[r:`` {``: 2}]->(m:``) RETURN n.``", 1.0)
          .is_valid);
  // Against a schema without it, the empty label is unknown; nothing in the
  // movies schema is within suggestion distance of it.
  const ValidationResult unknown = checked_validate("MATCH (n:``) RETURN n");
  EXPECT_EQ(unknown.semantic_errors, std::vector<std::string>{"Unknown node label: :"});
  // The generator quotes the empty names, so its queries parse and fit.
  CypherGenerator generator(schema, 3);
  const CypherValidator validator(schema);
  for (int round = 0; round < 20; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      const std::string text = generator.generate(type).value();
      EXPECT_TRUE(validator.validate(text).is_valid) << text;
    }
  }
}

TEST(BadInput, AHundredThousandPropertiesOnOneLabel) {
  const Stopwatch build;
  std::vector<std::string> keys;
  for (int i = 0; i < 100'000; ++i) keys.push_back("key" + std::to_string(i));
  Schema schema;
  schema.add_node_label("Wide", keys);
  schema.add_rel_type("LINKS", "Wide", "Wide", keys);
  EXPECT_LT(build.seconds(), 1.0 * slowdown());

  EXPECT_TRUE(checked_validate(schema,
                               "MATCH (n:Wide {key99999: 1})-[r:LINKS {key0: 1}]->(m:Wide) "
                               "WHERE n.key50000 = 1 RETURN n.key1, m.key99998",
                               1.0)
                  .is_valid);
  const ValidationResult missing =
      checked_validate(schema, "MATCH (n:Wide {nokey: 1}) RETURN n.key100000", 1.0);
  EXPECT_EQ(
      missing.semantic_errors,
      (std::vector<std::string>{"Unknown property 'nokey' for node label :Wide",
                                "Unknown property 'key100000' on variable 'n' with label :Wide"}));

  const Stopwatch generate;
  CypherGenerator generator(schema, 11);
  for (std::string_view type : CypherGenerator::supported_types()) {
    const std::string text = generator.generate(type).value();
    EXPECT_TRUE(parse(text).ok()) << text;
  }
  EXPECT_LT(generate.seconds(), 2.0 * slowdown());
}

TEST(BadInput, AHundredThousandLabels) {
  const Stopwatch build;
  Schema schema;
  for (int i = 0; i < 100'000; ++i) {
    schema.add_node_label("Label" + std::to_string(i), {"p"});
  }
  schema.add_rel_type("T", "Label0", "Label99999", {});
  EXPECT_EQ(schema.nodes().size(), 100'000u);
  EXPECT_LT(build.seconds(), 2.0 * slowdown());

  EXPECT_TRUE(checked_validate(schema, "MATCH (a:Label0)-[:T]->(b:Label99999) RETURN a.p, b.p", 1.0)
                  .is_valid);
  // A misspelling is matched against every label, still quickly.
  const ValidationResult near = checked_validate(schema, "MATCH (n:Labl99999) RETURN n", 2.0);
  EXPECT_EQ(near.semantic_errors,
            std::vector<std::string>{"Unknown node label: :Labl99999, did you mean :Label99999?"});
  const ValidationResult far =
      checked_validate(schema, "MATCH (n:CompletelyDifferent) RETURN n", 2.0);
  EXPECT_EQ(far.semantic_errors,
            std::vector<std::string>{"Unknown node label: :CompletelyDifferent"});
  // Many unknown labels in one query, each compared with all 100,000.
  std::string many = "MATCH (n";
  for (int i = 0; i < 50; ++i) many += ":Unknown" + std::to_string(i) + "x";
  many += ") RETURN n";
  EXPECT_EQ(checked_validate(schema, many, 5.0).semantic_errors.size(), 50u);

  const Stopwatch generate;
  CypherGenerator generator(schema, 5);
  const CypherValidator validator(schema);
  for (int round = 0; round < 5; ++round) {
    for (std::string_view type : CypherGenerator::supported_types()) {
      const std::string text = generator.generate(type).value();
      EXPECT_TRUE(validator.validate(text).is_valid) << text;
    }
  }
  EXPECT_LT(generate.seconds(), 2.0 * slowdown());
}

}  // namespace
}  // namespace quorvane
