// Query text for expressions and patterns, for messages that quote them.
//
// The tree keeps no source text, so the text is rebuilt: one space after
// commas and around binary operators, keywords upper case, function names as
// written, parentheses only where precedence needs them, names in backticks
// when they are not plain identifiers. Reading the text back gives the same
// tree, except that a subquery in query form is shown as `{ ... }` and a path
// quantifier as its `*min..max` range.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TEXT_H_
#define QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TEXT_H_

#include <string>
#include <string_view>

#include "parser/ast.h"

namespace quorvane {

std::string expression_text(const Expr& expr);
std::string pattern_text(const PatternPart& part);

// A variable, label or key as a query must write it.
std::string name_text(std::string_view name);

// A name in single quotes, as messages show it: 'name'.
std::string quoted(std::string_view name);

// The name of the column a WITH or RETURN item makes: its alias, its
// variable, or else its text.
std::string column_name(const ReturnItem& item);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_EXPRESSION_TEXT_H_
