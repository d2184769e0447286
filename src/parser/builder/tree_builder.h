// Builds the syntax tree from the rule tree of a successful match.
//
// Each builder reads one rule node and its children in order; children of
// rules a step does not name are skipped. The first failure ends the build
// and is the only result. Every expression is built knowing how deep in the
// tree it will sit, and the build fails as "nested too deeply" before any
// node would go past kMaxTreeDepth, which keeps every later walk shallow.
#ifndef QUORVANE_PARSER_BUILDER_TREE_BUILDER_H_
#define QUORVANE_PARSER_BUILDER_TREE_BUILDER_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error/cypher_error.h"
#include "parser/ast.h"
#include "parser/rule_tree.h"

// Evaluates a Result-returning call; on error returns the error, otherwise
// declares `decl` from the value.
#define QV_CONCAT_INNER(a, b) a##b
#define QV_CONCAT(a, b) QV_CONCAT_INNER(a, b)
#define QV_TRY(decl, call)                                     \
  auto QV_CONCAT(qv_result_, __LINE__) = (call);               \
  if (!QV_CONCAT(qv_result_, __LINE__).ok())                   \
    return std::move(QV_CONCAT(qv_result_, __LINE__)).error(); \
  decl = std::move(QV_CONCAT(qv_result_, __LINE__)).value()

namespace quorvane {

struct ReturnBody {
  std::vector<ReturnItem> items;
  std::optional<std::vector<SortItem>> order_by;
  std::optional<Expr> skip;
  std::optional<Expr> limit;
};

class TreeBuilder {
 public:
  explicit TreeBuilder(std::string_view text) : text_(text) {}

  // Queries and clauses.
  Result<CypherQuery> build_query(NodeRef cypher);
  Result<RegularQuery> build_regular_query(NodeRef node, int depth);
  Result<SingleQuery> build_single_query(NodeRef node, int depth);
  Result<ReadingClause> build_reading_clause(NodeRef node, int depth);
  Result<UpdatingClause> build_updating_clause(NodeRef node, int depth);
  Result<std::vector<SetItem>> build_set_clause(NodeRef node, int depth);
  Result<CallClause> build_call_clause(NodeRef node, int depth);
  Result<WithClause> build_with_clause(NodeRef node, int depth);
  Result<ReturnClause> build_return_clause(NodeRef node, int depth);
  Result<ReturnBody> build_return_body(NodeRef node, int depth);
  Result<SortItem> build_sort_item(NodeRef node, int depth);
  Result<RemoveItem> build_remove_item(NodeRef node);

  // Patterns.
  Result<Pattern> build_pattern(NodeRef node, int depth);
  Result<PatternPart> build_pattern_part(NodeRef node, int depth);
  Result<bool> build_pattern_element(NodeRef element, int depth, PatternPart& part);
  Result<NodePattern> build_node_pattern(NodeRef node, int depth);
  Result<RelationshipPattern> build_relationship_pattern(NodeRef node, int depth);
  Result<MapOrParam> build_properties(NodeRef node, int depth);
  Result<PropertyMap> build_map_literal(NodeRef node, int depth);

  // Expressions; `depth` is where the built node will sit (the root is 1).
  Result<Expr> build_expression(NodeRef node, int depth);
  Result<Expr> build_comparison_expr(NodeRef node, int depth);
  Result<Expr> build_postfix_expr(NodeRef node, int depth);
  Result<Expr> build_atom(NodeRef node, int depth);
  Result<PropertyExpr> build_property_expression(NodeRef node);

  // A name as written, without enclosing backticks.
  static std::string name_of(NodeRef node);

  // The extended language (build_subquery.cc, build_label.cc,
  // build_extended_expression.cc).
  Result<ReadingClause> build_call_subquery(NodeRef node, int depth);
  Result<ReadingClause> build_load_csv(NodeRef node, int depth);
  Result<UpdatingClause> build_foreach(NodeRef node, int depth);
  Result<Expr> build_exists_or_count(NodeRef node, int depth, bool count);
  Result<Expr> build_collect(NodeRef node, int depth);
  Result<Expr> build_pattern_predicate(NodeRef node, int depth);
  Result<Expr> build_pattern_comprehension(NodeRef node, int depth);
  Result<Expr> build_map_projection(NodeRef node, int depth);
  Result<Expr> build_reduce(NodeRef node, int depth);
  Result<Expr> build_shortest_path_expr(NodeRef node, int depth);
  Result<Expr> build_type_predicate(NodeRef predicate, Expr operand);
  Result<Expr> build_label_check(NodeRef check, Expr target);
  Result<QuantifiedPath> build_quantified_path(NodeRef node, int depth);
  Result<Expr> build_where(NodeRef where_clause, int depth);
  // A label (or type) expression, from a label_expression node.
  static LabelExpr build_label_expr(NodeRef node);
  // The names of a node_labels node, in either language's shape.
  static std::vector<std::string> label_names(NodeRef node_labels);

 private:
  Result<Expr> build_literal(NodeRef node, int depth);
  Result<Expr> build_iteration(NodeRef node, int depth, bool comprehension, size_t kind);
  Result<Expr> fold_chain(NodeRef node, int depth, Rule skipped, const char* empty_message);
  // The keyword-sensitive text just after `pos`, with whitespace and comments
  // skipped.
  bool keyword_follows(size_t pos, std::string_view upper) const;
  CypherError too_deep(NodeRef at) const;

  std::string_view text_;
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_BUILDER_TREE_BUILDER_H_
