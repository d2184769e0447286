// Inspection in the extended language: every label, relationship type and
// property key a query names, wherever it stands.
#ifndef QUORVANE_INSPECT_ALL_NAMES_H_
#define QUORVANE_INSPECT_ALL_NAMES_H_

#include <string>
#include <vector>

#include "parser/ast.h"

namespace quorvane {

struct NameLists {
  std::vector<std::string>* labels;
  std::vector<std::string>* rel_types;
  std::vector<std::string>* properties;
};

// Appends, unsorted and with repeats, every name the query mentions: in
// patterns (labels, label expressions, types, property maps), in every
// clause's expressions (property lookups, label checks, map projection keys,
// SET and REMOVE items) and inside every subquery.
void collect_all_names(const RegularQuery& query, NameLists out);

}  // namespace quorvane

#endif  // QUORVANE_INSPECT_ALL_NAMES_H_
