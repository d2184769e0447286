// The functions a current Cypher database provides, by name and by how many
// arguments each accepts (extended language only).
//
// Names are matched without regard to letter case, as databases match them:
// `COUNT(x)` and `toupper(x)` call built-ins. Namespaced entries
// (`date.truncate`) are listed for the namespaces a database reserves for
// itself; any other namespace belongs to a plugin or user library and is
// never judged.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_CATALOGUE_H_
#define QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_CATALOGUE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "parser/ast.h"
#include "validator/diagnostic.h"

namespace quorvane {

// No upper bound on the number of arguments.
inline constexpr size_t kAnyArgumentCount = std::numeric_limits<size_t>::max();

struct BuiltinFunction {
  std::string_view name;  // canonical spelling
  size_t min_args;
  size_t max_args;  // kAnyArgumentCount when unbounded
  // False for names that are syntax in this language (quantifiers, reduce,
  // shortestPath) or that another rule owns (exists): they are known names,
  // but their argument lists are not counted here.
  bool arity_checked = true;
};

// Every built-in, sorted by lower-cased name.
std::span<const BuiltinFunction> builtin_functions();

namespace function_name_detail {
constexpr char lower_ascii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace function_name_detail

// Whether two function names are the same name: databases match them in any
// letter case. Names of different lengths never are, which ends most
// comparisons at once.
constexpr bool same_function_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (function_name_detail::lower_ascii(a[i]) != function_name_detail::lower_ascii(b[i])) {
      return false;
    }
  }
  return true;
}

// Orders names as their ASCII lower-case forms order: the order the tables
// of functions are kept in, so that names of one first letter lie together.
constexpr bool function_name_less(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    const char x = function_name_detail::lower_ascii(a[i]);
    const char y = function_name_detail::lower_ascii(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

// Where the entries of a table sorted by function_name_less start for each
// first letter: entries [at[c], at[c + 1]) begin with the byte c, lower-cased,
// so that a search compares a name only with those that share its first
// letter. Every name of the table must be ASCII and not empty.
struct FirstLetters {
  std::array<uint16_t, 257> at{};

  // The entries of `table` that may be called `name`.
  template <class Table>
  constexpr auto candidates(const Table& table, std::string_view name) const {
    const size_t first =
        name.empty() ? 0
                     : static_cast<unsigned char>(function_name_detail::lower_ascii(name.front()));
    return std::span(table.begin() + at[first], table.begin() + at[first + 1]);
  }
};

// Whether every name of a table starts with an ASCII character, as
// first_letters() needs.
template <class Table>
constexpr bool starts_in_ascii(const Table& table) {
  for (const auto& entry : table) {
    if (entry.name.empty() || static_cast<unsigned char>(entry.name.front()) >= 0x80) return false;
  }
  return true;
}

template <class Table>
constexpr FirstLetters first_letters(const Table& table) {
  FirstLetters index;
  // at[c] counts the entries whose first letter comes before c.
  for (size_t c = 0; c < index.at.size(); ++c) {
    uint16_t before = 0;
    for (const auto& entry : table) {
      before +=
          static_cast<unsigned char>(function_name_detail::lower_ascii(entry.name.front())) < c;
    }
    index.at[c] = before;
  }
  return index;
}

// The entry of `table` called `name`, in any letter case, looked for among
// the entries of its first letter that `index` gives; nullptr when there is
// none. Only a handful of entries share a first letter, and those of another
// length are passed over at once.
template <class Table>
const typename Table::value_type* find_by_first_letter(const Table& table,
                                                       const FirstLetters& index,
                                                       std::string_view name) {
  // An empty name shares no first letter with any entry.
  if (name.empty()) return nullptr;
  for (const auto& entry : index.candidates(table, name)) {
    if (same_function_name(entry.name, name)) return &entry;
  }
  return nullptr;
}

// The built-in called `name`, in any letter case; nullptr when there is none.
const BuiltinFunction* find_builtin_function(std::string_view name);

// Reports a call (the node `expr`) to a name no database provides, or to a
// built-in with the wrong number of arguments; nothing when the call is fine
// or cannot be judged (a namespace the catalogue does not own).
void check_function_call(const Expr& expr, const Expr::FunctionCall& call, Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_CATALOGUE_H_
