// Validates query texts against one schema.
//
// A CypherValidator owns its own copy of the schema and nothing else; it is
// immutable, so any number of threads may call validate() at once.
#ifndef QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_
#define QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_

#include <string_view>

#include "schema/schema.h"
#include "validator/validation_result.h"

namespace quorvane {

class CypherValidator {
 public:
  explicit CypherValidator(Schema schema) : schema_(std::move(schema)) {}

  // Parses the text and, when it parses, checks it against the schema.
  // Never fails: every problem becomes a message in the result.
  ValidationResult validate(std::string_view query) const;

  const Schema& schema() const { return schema_; }

 private:
  Schema schema_;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_CYPHER_VALIDATOR_H_
