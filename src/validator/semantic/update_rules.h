// What a database refuses in patterns before running a query (extended
// language): relationships CREATE and MERGE cannot make, variables bound
// again where they must be new, one relationship variable twice in a
// pattern, a parameter as the property map of a pattern that matches, and
// DELETE of something that is not a node, relationship or path.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_UPDATE_RULES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_UPDATE_RULES_H_

#include <span>
#include <string_view>

#include "parser/ast.h"
#include "validator/diagnostic.h"
#include "validator/semantic/scope.h"

namespace quorvane {

// Each relationship a CREATE (`merge` false) or MERGE makes has exactly one
// type and a fixed length; CREATE also needs a direction.
void check_update_pattern(std::span<const PatternPart> parts, std::string_view clause,
                          Findings& findings);

// Variables of a CREATE or MERGE pattern that `scope` (the variables bound
// before the clause) already holds: a relationship must be new, a node may
// only be referred to, without labels or properties.
void check_rebound_variables(std::span<const PatternPart> parts, std::string_view clause,
                             const Scope& scope, Findings& findings);

// A relationship variable written twice in one pattern (all its parts).
void check_repeated_relationships(std::span<const PatternPart> parts, Findings& findings);

// A parameter as a node's or relationship's property map where the pattern
// matches (MATCH, MERGE): a database takes one only in CREATE.
void check_parameter_maps(std::span<const PatternPart> parts, std::string_view clause,
                          Findings& findings);

// Each DELETE item of a known type must be a node, relationship or path (or
// a list, which may hold them).
void check_delete_items(const UpdatingClause::Delete& del, const Scope& scope, Findings& findings);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_UPDATE_RULES_H_
