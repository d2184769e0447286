#include "validator/cypher_validator.h"

#include <utility>

#include "parser/parse.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

ValidationResult CypherValidator::validate(std::string_view query) const {
  ValidationResult result;
  Result<CypherQuery> tree = parse(query, language_);
  if (!tree.ok()) {
    // A grammar or tree-building failure is reported by its bare text; the
    // "Parse error: " prefix belongs to exceptions, not to results.
    const CypherError& error = tree.error();
    std::string message = error.kind == CypherError::Kind::Parse ? error.message : error.display();
    result.is_valid = false;
    result.errors.push_back(message);
    result.syntax_errors.push_back(std::move(message));
    return result;
  }
  SemanticValidator validator(schema_, language_);
  validator.validate_query(tree.value());
  result.semantic_errors = validator.take_errors();
  result.warnings = validator.take_warnings();
  result.errors = result.semantic_errors;
  result.is_valid = result.errors.empty();
  return result;
}

}  // namespace quorvane
