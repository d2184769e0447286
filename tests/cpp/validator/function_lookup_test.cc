// Function names as the tables look them up: in any letter case, among the
// entries of a table kept in lower-cased order that share the name's first
// letter.
#include <algorithm>
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

TEST(FunctionLookupTest, EveryBuiltinIsFoundInAnyCaseAndNothingElse) {
  for (const BuiltinFunction& entry : builtin_functions()) {
    EXPECT_EQ(find_builtin_function(entry.name), &entry) << entry.name;
    EXPECT_EQ(find_builtin_function(upper(entry.name)), &entry) << entry.name;
    EXPECT_EQ(find_builtin_function(std::string(entry.name) + "x"), nullptr) << entry.name;
    // A shorter name finds only an entry of that very name.
    const std::string_view shorter = entry.name.substr(0, entry.name.size() - 1);
    if (const BuiltinFunction* found = find_builtin_function(shorter)) {
      EXPECT_TRUE(same_function_name(found->name, shorter)) << entry.name;
    }
  }
  // Before every entry, after every entry, and first bytes no entry has.
  for (std::string_view name : {"", "!", "0abs", "~count", "\xc3\xa9t\xc3\xa9", "\xff", "zzz"}) {
    EXPECT_EQ(find_builtin_function(name), nullptr) << name;
    EXPECT_EQ(find_function_type(name), nullptr) << name;
  }
}

// The entries a search compares a name with are exactly those of its first
// letter, in any case.
template <class Table>
void expect_first_letters(const Table& table) {
  const FirstLetters index = first_letters(table);
  for (const auto& entry : table) {
    for (const std::string& name : {std::string(entry.name), upper(entry.name)}) {
      const auto candidates = index.candidates(table, name);
      EXPECT_NE(std::find_if(candidates.begin(), candidates.end(),
                             [&](const auto& c) { return &c == &entry; }),
                candidates.end())
          << name;
      for (const auto& candidate : candidates) {
        EXPECT_TRUE(same_function_name(candidate.name.substr(0, 1), name.substr(0, 1)))
            << candidate.name << " for " << name;
      }
    }
  }
  // Every entry lies under one first letter.
  size_t total = 0;
  for (int c = 0; c < 256; ++c) total += index.at[c + 1] - index.at[c];
  EXPECT_EQ(total, table.size());
  EXPECT_TRUE(index.candidates(table, "#").empty());
}

TEST(FunctionLookupTest, FirstLettersSplitBothTables) {
  expect_first_letters(builtin_functions());
  expect_first_letters(function_types());
}

}  // namespace
}  // namespace quorvane
