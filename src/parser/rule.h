// The grammar's rules, in their fixed order. The order sorts rule names in
// syntax-error messages; the names appear in those messages verbatim.
#ifndef QUORVANE_PARSER_RULE_H_
#define QUORVANE_PARSER_RULE_H_

#include <cstdint>
#include <string_view>

namespace quorvane {

enum class Rule : uint8_t {
  EOI, WHITESPACE, COMMENT, cypher, statement, regular_query, union_clause, single_query,
  single_part_query, multi_part_query, reading_clause, match_clause, unwind_clause,
  in_query_call, standalone_call, explicit_procedure_invocation, procedure_name, yield_items,
  yield_item, procedure_result_field, updating_clause, create_clause, merge_clause,
  on_match_or_create, set_clause, set_item, remove_clause, remove_item, delete_clause,
  with_clause, return_clause, return_body, return_items, return_item, order_clause, sort_item,
  skip_clause, limit_clause, where_clause, pattern, pattern_part, pattern_element, node_pattern,
  node_labels, label_name, relationship_pattern, left_arrow, right_arrow, rel_types,
  rel_type_name, range_literal, properties, expression, or_kw, xor_kw, and_kw, not_kw, or_expr,
  xor_expr, and_expr, not_expr, comparison_expr, comparison_op, add_sub_expr, mul_div_expr,
  mod_expr, power_expr, unary_expr, postfix_expr, postfix_op, property_lookup, subscript_op,
  list_slice_op, atom, parenthesized_expr, count_star, function_invocation, function_name,
  namespace_, case_expression, list_comprehension, filter_expression, id_in_coll,
  quantifier_expression, exists_subquery, literal, integer_literal, float_literal,
  string_literal, boolean_literal, null_literal, list_literal, map_literal,
  property_key_value_pair, property_key_name, property_expression, parameter, variable,
  identifier, backtick_identifier, keyword,
};

inline constexpr int kRuleCount = 101;

// The rule's name as users see it ("namespace" for Rule::namespace_).
std::string_view rule_name(Rule rule);

}  // namespace quorvane

#endif  // QUORVANE_PARSER_RULE_H_
