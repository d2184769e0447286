// Inspection in the extended language: every label, relationship type and
// property key a query names, wherever it stands.
#ifndef QUORVANE_INSPECT_ALL_NAMES_H_
#define QUORVANE_INSPECT_ALL_NAMES_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/ast.h"

namespace quorvane {

// A `$name` the query reads, with the span of the whole `$name`.
struct ParameterUse {
  std::string_view name;  // without the '$'; a view into the tree
  Span span;
};

// Where the names go; a null list is not collected.
struct NameLists {
  std::vector<std::string>* labels = nullptr;
  std::vector<std::string>* rel_types = nullptr;
  std::vector<std::string>* properties = nullptr;
  std::vector<ParameterUse>* parameters = nullptr;
};

// Appends, unsorted and with repeats, every name the query mentions: in
// patterns (labels, label expressions, types, property maps), in every
// clause's expressions (property lookups, label checks, map projection keys,
// SET and REMOVE items) and inside every subquery; and every parameter it
// reads, in text order within each clause.
void collect_all_names(const RegularQuery& query, NameLists out);

}  // namespace quorvane

#endif  // QUORVANE_INSPECT_ALL_NAMES_H_
