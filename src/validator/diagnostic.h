// One finding about a query, in a form people, programs and editors can act
// on: a stable code, a severity, the message, where the offending text lies
// and, where a safe fix exists, the edits that make it.
//
// Invariants: every Code has exactly one row in rule_table(), in enum order;
// spans and edits are byte offsets into the validated text; an edit's
// replacement applied to its span leaves the rest of the text unchanged, and
// the edits of one diagnostic never overlap.
#ifndef QUORVANE_VALIDATOR_DIAGNOSTIC_H_
#define QUORVANE_VALIDATOR_DIAGNOSTIC_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/ast.h"

namespace quorvane {

enum class Code : uint8_t {
  SyntaxError,
  UnknownLabel,
  UnknownRelationshipType,
  UnknownProperty,
  WrongEndpoints,
  WrongDirection,
  UnboundVariable,
  VariableKind,
  UnknownFunction,
  WrongArgumentCount,
  PathFunctionArgument,
  MisplacedAggregate,
  NestedAggregate,
  MixedAggregate,
  OrderByAggregate,
  OutOfScopeVariable,
  DuplicateColumn,
  MissingAlias,
  PatternAsValue,
  PatternIntroducesVariable,
  InvalidQueryEnd,
  CollectColumns,
  MixedUnion,
  UnionColumns,
  InvalidRowCount,
  IntegerTooLarge,
  RemovedSyntax,
  TypeMismatch,
  VariableAlreadyBound,
  InvalidUpdatePattern,
  NonConstantExpression,
  NondeterministicAggregate,
  ParameterPropertyMap,
  FloatTooLarge,
  PropertyTypeMismatch,
  UnknownParameter,
};

enum class Severity : uint8_t { Error, Warning };

struct RuleInfo {
  Code code;
  std::string_view name;  // kebab-case, stable
  Severity severity;      // the usual one; unknown-property may also warn
  bool needs_schema;      // compares the query with the schema
  std::string_view summary;
  std::string_view example;
};

std::span<const RuleInfo> rule_table();
const RuleInfo& rule_info(Code code);
std::string_view severity_name(Severity severity);

// A place in the text counted in characters (code points), as a Python str
// or an editor counts: `index` from 0, `line` and `column` from 1. Lines end
// at line feeds.
struct Place {
  uint32_t index = 0;
  uint32_t line = 1;
  uint32_t column = 1;

  bool operator==(const Place&) const = default;
};

struct Edit {
  Span span;  // bytes
  std::string replacement;
  uint32_t from = 0;  // the span in characters, set by locate()
  uint32_t to = 0;

  bool operator==(const Edit&) const = default;
};

struct Diagnostic {
  Code code = Code::SyntaxError;
  Severity severity = Severity::Error;
  std::string message;
  Span span;               // bytes
  std::string suggestion;  // the name a did-you-mean proposes; empty if none
  std::vector<Edit> edits;
  Place from, to;  // the span in characters, set by locate()

  bool operator==(const Diagnostic&) const = default;
};

// Sets the character places of every span and edit, in one pass over `text`.
void locate(std::string_view text, std::vector<Diagnostic>& diagnostics);

// Where a validator puts its findings, in the order they are made.
class Findings {
 public:
  Diagnostic& error(Code code, Span span, std::string message) {
    return add(code, Severity::Error, span, std::move(message));
  }
  Diagnostic& warning(Code code, Span span, std::string message) {
    return add(code, Severity::Warning, span, std::move(message));
  }
  // The last finding made, so that a caller can give it a suggestion.
  Diagnostic& last() { return list_.back(); }
  size_t size() const { return list_.size(); }
  bool empty() const { return list_.empty(); }
  const std::vector<Diagnostic>& list() const { return list_; }
  std::vector<Diagnostic> take() { return std::move(list_); }

 private:
  Diagnostic& add(Code code, Severity severity, Span span, std::string message) {
    return list_.emplace_back(Diagnostic{code, severity, std::move(message), span, {}, {}, {}, {}});
  }

  std::vector<Diagnostic> list_;
};

// The span of the token that starts at byte `pos` of `text`, the token a
// syntax message quotes (see token_end); empty at the end of the text.
Span token_span_at(std::string_view text, size_t pos);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_DIAGNOSTIC_H_
