// Whether two rule trees are the same node for node, for tests that compare
// matches made with and without the matcher's optimisations.
#ifndef QUORVANE_TESTS_SUPPORT_SAME_NODES_H_
#define QUORVANE_TESTS_SUPPORT_SAME_NODES_H_

#include <cstddef>
#include <vector>

#include "parser/rule_tree.h"

namespace quorvane::testing {

inline bool same_nodes(const std::vector<RuleNode>& a, const std::vector<RuleNode>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].rule != b[i].rule || a[i].start != b[i].start || a[i].end != b[i].end ||
        a[i].next != b[i].next) {
      return false;
    }
  }
  return true;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_SAME_NODES_H_
