#ifndef QUORVANE_TESTS_PARSER_PARSE_TEST_UTIL_H_
#define QUORVANE_TESTS_PARSER_PARSE_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>

#include "parser/parse.h"

namespace quorvane::testing {

// The last line of a syntax-error text ("  = expected ...").
inline std::string last_line(const std::string& message) {
  return message.substr(message.rfind('\n') + 1);
}

// The first line (" --> L:C").
inline std::string first_line(const std::string& message) {
  return message.substr(0, message.find('\n'));
}

inline std::string error_of(std::string_view query) {
  auto result = parse(query);
  EXPECT_FALSE(result.ok()) << query;
  return result.ok() ? std::string() : result.error().message;
}

// The expression of the single RETURN item of "RETURN <expr>".
inline Expr return_expr(const std::string& expr_text) {
  auto result = parse("RETURN " + expr_text);
  EXPECT_TRUE(result.ok()) << expr_text << "\n" << (result.ok() ? "" : result.error().message);
  const auto& query = std::get<RegularQuery>(result.value());
  const auto& single = std::get<SinglePartQuery>(query.first());
  return single.return_clause->items.items.at(0).expr;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_PARSER_PARSE_TEST_UTIL_H_
