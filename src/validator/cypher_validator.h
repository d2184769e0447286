// Validates query texts against one schema.
//
// A CypherValidator owns its own copy of the schema, an index of the
// schema's names built once, and its language, and nothing else; it is
// immutable, so any number of threads may call validate() at once.
#ifndef QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_
#define QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_

#include <string>
#include <string_view>
#include <vector>

#include "parser/language.h"
#include "schema/schema.h"
#include "validator/semantic/schema_index.h"
#include "validator/validation_result.h"

namespace quorvane {

// What fix() made of a query.
struct FixOutcome {
  std::string query;                // the text with every safe fix applied
  std::vector<Diagnostic> applied;  // the findings whose edits were applied
  ValidationResult result;          // the validation of `query`
};

class CypherValidator {
 public:
  explicit CypherValidator(Schema schema, Language language = Language::Subset)
      : schema_(std::move(schema)), index_(schema_), language_(language) {}

  // Parses the text and, when it parses, checks it against the schema.
  // Never fails: every problem becomes a message in the result. Given the
  // names of the parameters that will be set, it also warns of every other
  // parameter the query reads (unknown-parameter).
  ValidationResult validate(std::string_view query) const { return validate(query, nullptr); }
  ValidationResult validate(std::string_view query,
                            const std::vector<std::string>* known_parameters) const;

  // Applies the edits of the errors that have a safe fix: a misspelt label,
  // type, property key or function replaced by the name proposed, a
  // relationship drawn backwards turned around. A query without errors is
  // returned unchanged, and so is any query the fixes would not leave with
  // fewer errors than it had.
  FixOutcome fix(std::string_view query) const;

  const Schema& schema() const { return schema_; }
  Language language() const { return language_; }

 private:
  Schema schema_;
  SchemaIndex index_;  // built once: every validation looks names up in it
  Language language_;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_
