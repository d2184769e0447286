// The schema commands compared with the schema, with the same findings
// (codes, messages, spans, did-you-means and edits) as the same names in a
// query; and the YIELD, WHERE and RETURN of SHOW, checked as the query they
// are. Part of SemanticValidator.
#include <algorithm>
#include <string>
#include <utility>

#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

const std::vector<std::string>* declared_keys(const Schema& schema, std::string_view name,
                                              bool relationship) {
  if (relationship) {
    const Schema::RelType* rel = schema.find_rel(name);
    return rel ? &rel->properties : nullptr;
  }
  const Schema::NodeLabel* node = schema.find_node(name);
  return node ? &node->properties : nullptr;
}

}  // namespace

void SemanticValidator::validate_schema_command(const SchemaCommand& command) {
  const SchemaTarget& target = command.target;
  // The declared labels (or types) the command names; a key is unknown when
  // none of them declares it, as in a node written `(n:A|B)`.
  std::vector<std::string_view> declared;
  for (const CommandName& label : target.labels) {
    if (declared_keys(schema_, label.name, target.relationship) != nullptr) {
      declared.push_back(label.name);
    } else if (target.relationship) {
      report_unknown_rel_type(label.name, label.span);
    } else {
      report_unknown_label("Unknown node label: :", label.name, label.span);
    }
  }
  if (declared.empty()) return;
  for (const CommandName& key : target.properties) {
    const bool known = std::any_of(declared.begin(), declared.end(), [&](std::string_view label) {
      const std::vector<std::string>* keys = declared_keys(schema_, label, target.relationship);
      return std::find(keys->begin(), keys->end(), key.name) != keys->end();
    });
    if (known) continue;
    std::string message = "Unknown property '" + key.name + "' on variable '" +
                          target.variable.name + "' with " +
                          (target.relationship ? "relationship type :" : "label :");
    for (size_t i = 0; i < declared.size(); ++i) {
      if (i > 0) message += "|";
      message += declared[i];
    }
    report_unknown_key(std::move(message), key.name, key.span, declared);
  }
}

void SemanticValidator::validate_show_command(const ShowCommand& command) {
  // A WHERE without YIELD reads the command's own columns, which no list
  // here holds: only the YIELD form binds names to check against.
  if (!command.yield) return;
  SinglePartQuery query;
  query.reading_clauses.push_back(ReadingClause{*command.yield, Span{}});
  query.return_clause = command.return_clause;
  validate_single_query(SingleQuery(std::move(query)));
}

}  // namespace quorvane
