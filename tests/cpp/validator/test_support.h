// Schemas and helpers shared by the validator tests.
#ifndef QUORVANE_TESTS_CPP_VALIDATOR_TEST_SUPPORT_H_
#define QUORVANE_TESTS_CPP_VALIDATOR_TEST_SUPPORT_H_

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "schema/schema.h"
#include "validator/cypher_validator.h"

namespace quorvane::testing {

// Person(name, age), Movie(title), ACTED_IN from Person to Movie (role).
inline Schema small_movie_schema() {
  Schema schema;
  schema.add_node_label("Person", {"name", "age"});
  schema.add_node_label("Movie", {"title"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"role"});
  return schema;
}

// The semantic findings for a query that must parse.
inline std::vector<std::string> findings(const Schema& schema, std::string_view query) {
  const ValidationResult result = CypherValidator(schema).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty())
      << "query did not parse: " << query << "\n"
      << (result.syntax_errors.empty() ? "" : result.syntax_errors.front());
  return result.semantic_errors;
}

inline std::vector<std::string> findings(std::string_view query) {
  return findings(small_movie_schema(), query);
}

// The semantic findings of the extended language for a query that must parse.
inline std::vector<std::string> extended_findings(std::string_view query) {
  const ValidationResult result =
      CypherValidator(small_movie_schema(), Language::Extended).validate(query);
  EXPECT_TRUE(result.syntax_errors.empty())
      << "query did not parse: " << query << "\n"
      << (result.syntax_errors.empty() ? "" : result.syntax_errors.front());
  return result.semantic_errors;
}

// Each query parses and has no finding in the extended language.
inline void expect_extended_clean(std::initializer_list<std::string_view> queries) {
  for (std::string_view query : queries) {
    EXPECT_TRUE(extended_findings(query).empty()) << query;
  }
}

inline std::string unbound(std::string_view name) {
  return "Variable '" + std::string(name) + "' is not bound in this scope";
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_CPP_VALIDATOR_TEST_SUPPORT_H_
