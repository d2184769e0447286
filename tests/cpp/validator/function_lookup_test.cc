// Function names as the tables look them up: in any letter case, by binary
// search over a table kept in lower-cased order.
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "validator/semantic/function_catalogue.h"
#include "validator/semantic/function_types.h"

namespace quorvane {
namespace {

std::string upper(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

TEST(FunctionLookupTest, SameNameIgnoresOnlyLetterCase) {
  EXPECT_TRUE(same_function_name("toUpper", "TOUPPER"));
  EXPECT_TRUE(same_function_name("date.truncate", "Date.Truncate"));
  EXPECT_TRUE(same_function_name("", ""));
  EXPECT_FALSE(same_function_name("count", "counts"));
  EXPECT_FALSE(same_function_name("count", "coun"));
  EXPECT_FALSE(same_function_name("log10", "log1o"));
  // '@' and '`' differ from 'A'..'Z' and 'a'..'z' by the case bit alone.
  EXPECT_FALSE(same_function_name("a@", "a`"));
  EXPECT_FALSE(same_function_name("vector_norm", "vector.norm"));
}

TEST(FunctionLookupTest, EveryTypedFunctionIsFoundInAnyCase) {
  for (const FunctionType& entry : function_types()) {
    EXPECT_EQ(find_function_type(entry.name), &entry) << entry.name;
    EXPECT_EQ(find_function_type(upper(entry.name)), &entry) << entry.name;
    EXPECT_EQ(find_function_type(std::string(entry.name) + "x"), nullptr) << entry.name;
  }
  EXPECT_EQ(find_function_type(""), nullptr);
  EXPECT_EQ(find_function_type("lenght"), nullptr);
  EXPECT_EQ(find_function_type("zzz"), nullptr);
}

}  // namespace
}  // namespace quorvane
