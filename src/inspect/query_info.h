// Schema-free inspection of a query: which node labels, relationship types
// and property keys it mentions.
#ifndef QUORVANE_INSPECT_QUERY_INFO_H_
#define QUORVANE_INSPECT_QUERY_INFO_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/ast.h"
#include "parser/language.h"

namespace quorvane {

// The name lists are sorted by their UTF-8 bytes and hold no repeats.
struct QueryInfo {
  bool is_valid = false;
  std::vector<std::string> labels_used;
  std::vector<std::string> rel_types_used;
  std::vector<std::string> properties_used;
  // Empty when the query parsed; otherwise the one parse failure in its
  // display form ("Parse error: ...").
  std::vector<std::string> errors;

  bool operator==(const QueryInfo&) const = default;
};

// Parses the text and collects the names. Never fails: a parse failure is
// reported inside the record.
QueryInfo inspect_query(std::string_view text, Language language = Language::Subset);

// The names mentioned by an already parsed query (is_valid true).
QueryInfo inspect_tree(const CypherQuery& query, Language language = Language::Subset);

}  // namespace quorvane

#endif  // QUORVANE_INSPECT_QUERY_INFO_H_
