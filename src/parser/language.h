// Which Cypher a query is read as.
//
// The subset is the fixed language the project started with: its grammar,
// trees, messages and findings never change. The extended language accepts
// everything the subset does, with the same trees, plus the constructs of
// current Cypher (subqueries, pattern predicates and comprehensions, label
// expressions, map projections, quantified paths, and more). One value of
// this type travels from the caller into parsing, validation and inspection.
#ifndef QUORVANE_PARSER_LANGUAGE_H_
#define QUORVANE_PARSER_LANGUAGE_H_

#include <optional>
#include <string_view>

namespace quorvane {

enum class Language { Subset, Extended };

// "subset" or "extended".
constexpr std::string_view language_name(Language language) {
  return language == Language::Subset ? "subset" : "extended";
}

// The language of that name, or nothing for any other text.
constexpr std::optional<Language> language_from_name(std::string_view name) {
  if (name == "subset") return Language::Subset;
  if (name == "extended") return Language::Extended;
  return std::nullopt;
}

}  // namespace quorvane

#endif  // QUORVANE_PARSER_LANGUAGE_H_
