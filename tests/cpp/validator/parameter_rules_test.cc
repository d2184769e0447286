// Parameters checked against the names a caller says are set: where each
// unknown one stands, in every place a query can read a parameter, and the
// edit the did-you-mean makes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "../../support/movies_schema.h"
#include "validator/cypher_validator.h"

namespace quorvane {
namespace {

struct Found {
  std::string text;  // what the span covers
  std::string message;
  std::string replacement;  // of the one edit; "" when none

  bool operator==(const Found&) const = default;
};

std::vector<Found> unknown_parameters(const CypherValidator& validator, std::string_view query,
                                      const std::vector<std::string>& known) {
  std::vector<Found> found;
  for (const Diagnostic& d : validator.validate(query, &known).diagnostics) {
    if (d.code != Code::UnknownParameter) continue;
    EXPECT_EQ(d.severity, Severity::Warning);
    EXPECT_LE(d.edits.size(), 1u);
    found.push_back(Found{std::string(query.substr(d.span.begin, d.span.end - d.span.begin)),
                          d.message, d.edits.empty() ? "" : d.edits.front().replacement});
  }
  return found;
}

TEST(ParameterRules, EveryPlaceAParameterIsReadIsChecked) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  const std::vector<std::string> known = {"name"};
  const std::string_view query =
      "MATCH (p:Person $props) WHERE p.born > $from "
      "CALL { WITH p MATCH (p)-[:ACTED_IN]->(m:Movie {title: $title}) RETURN m } "
      "WITH p, m WHERE EXISTS { MATCH (p)-->(x) WHERE x.name = $name } "
      "RETURN [y IN $list | y] AS ys, p {.name, n: $nme} AS q SKIP $0";
  const std::vector<Found> found = unknown_parameters(validator, query, known);
  std::vector<std::string> texts;
  for (const Found& f : found) texts.push_back(f.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"$props", "$from", "$title", "$list", "$nme", "$0"}));
  EXPECT_EQ(found[4], (Found{"$nme", "Parameter $nme is not set, did you mean $name?", "$name"}));
  EXPECT_EQ(found[0].replacement, "");
}

TEST(ParameterRules, NamesAreExactAndProposalsAreWrittenAsParameters) {
  const CypherValidator validator(testing::movies_schema(), Language::Extended);
  // A name that differs only in case is another parameter; a proposal that
  // is no plain name goes in backticks.
  EXPECT_EQ(
      unknown_parameters(validator, "RETURN $Name", {"name"}),
      (std::vector<Found>{{"$Name", "Parameter $Name is not set, did you mean $name?", "$name"}}));
  EXPECT_EQ(
      unknown_parameters(validator, "RETURN $my_year", {"my year"}),
      (std::vector<Found>{
          {"$my_year", "Parameter $my_year is not set, did you mean $`my year`?", "$`my year`"}}));
  EXPECT_TRUE(unknown_parameters(validator, "RETURN $name, $0", {"name", "0"}).empty());
}

TEST(ParameterRules, WithoutKnownNamesNothingIsCheckedInEitherLanguage) {
  for (Language language : {Language::Subset, Language::Extended}) {
    const CypherValidator validator(testing::movies_schema(), language);
    const std::string_view query = "MATCH (p:Person) WHERE p.name = $who RETURN p";
    const ValidationResult plain = validator.validate(query);
    EXPECT_TRUE(plain.warnings.empty());
    const std::vector<std::string> none;
    const ValidationResult checked = validator.validate(query, &none);
    ASSERT_EQ(checked.warnings.size(), 1u);
    EXPECT_EQ(checked.warnings[0], "Parameter $who is not set");
    // The parameters change no error and no validity.
    EXPECT_EQ(checked.errors, plain.errors);
    EXPECT_EQ(checked.is_valid, plain.is_valid);
  }
}

}  // namespace
}  // namespace quorvane
