// The outcome of validating one query.
//
// Invariants (kept by CypherValidator::validate): at most one of
// syntax_errors and semantic_errors is non-empty; syntax_errors holds at most
// one message; errors == syntax_errors followed by semantic_errors; is_valid
// exactly when errors is empty. Repeated findings are kept. warnings hold
// findings that do not make the query invalid (the extended language only,
// after a successful parse): they never affect is_valid nor the errors.
#ifndef QUORVANE_VALIDATOR_VALIDATION_RESULT_H_
#define QUORVANE_VALIDATOR_VALIDATION_RESULT_H_

#include <string>
#include <vector>

#include "validator/diagnostic.h"

namespace quorvane {

struct ValidationResult {
  bool is_valid = true;
  std::vector<std::string> errors;
  std::vector<std::string> syntax_errors;
  std::vector<std::string> semantic_errors;
  std::vector<std::string> warnings;
  // One per finding: the errors in the order of `errors`, then the warnings.
  // A syntax error's message is its one-line summary, without the pointer.
  std::vector<Diagnostic> diagnostics;

  bool operator==(const ValidationResult&) const = default;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_VALIDATION_RESULT_H_
