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

// QV_TRY inside a builder that returns bool: records the error and returns
// false.
#define QV_TRY_BOOL(decl, call)                                        \
  auto QV_CONCAT(qv_result_, __LINE__) = (call);                       \
  if (!QV_CONCAT(qv_result_, __LINE__).ok())                           \
    return failed(std::move(QV_CONCAT(qv_result_, __LINE__)).error()); \
  decl = std::move(QV_CONCAT(qv_result_, __LINE__)).value()

// The same, assigning the value to `target`.
#define QV_SET(target, call)                                          \
  do {                                                                \
    auto qv_result = (call);                                          \
    if (!qv_result.ok()) return failed(std::move(qv_result).error()); \
    target = std::move(qv_result).value();                            \
  } while (0)

namespace quorvane {

// The parts of a WITH or RETURN clause that a return_body fills.
struct ReturnBody {
  std::vector<ReturnItem>& items;
  std::optional<std::vector<SortItem>>& order_by;
  std::optional<Expr>& skip;
  std::optional<Expr>& limit;
};

class TreeBuilder {
 public:
  explicit TreeBuilder(std::string_view text) : text_(text) {}

  // The builders that return bool write into a node their caller placed
  // where it belongs, which spares moving large nodes up the call chain. They
  // return false on failure, after recording the error for take_error().

  // Queries and clauses.
  Result<CypherQuery> build_query(NodeRef cypher);
  bool build_regular_query(NodeRef node, int depth, RegularQuery& out);
  bool build_single_query(NodeRef node, int depth, SingleQuery& out);
  bool build_reading_clause(NodeRef node, int depth, ReadingClause& out);
  bool build_updating_clause(NodeRef node, int depth, UpdatingClause& out);
  Result<std::vector<SetItem>> build_set_clause(NodeRef node, int depth);
  Result<CallClause> build_call_clause(NodeRef node, int depth);
  bool build_with_clause(NodeRef node, int depth, WithClause& out);
  bool build_return_clause(NodeRef node, int depth, ReturnClause& out);
  bool build_return_body(NodeRef node, int depth, const ReturnBody& body);
  Result<SortItem> build_sort_item(NodeRef node, int depth);
  Result<RemoveItem> build_remove_item(NodeRef node);

  // Patterns.
  bool build_pattern(NodeRef node, int depth, Pattern& out);
  bool build_pattern_part(NodeRef node, int depth, PatternPart& out);
  bool build_pattern_element(NodeRef element, int depth, PatternPart& part);
  bool build_node_pattern(NodeRef node, int depth, NodePattern& out);
  bool build_relationship_pattern(NodeRef node, int depth, RelationshipPattern& out);
  bool build_properties(NodeRef node, int depth, MapOrParam& out);
  bool build_map_literal(NodeRef node, int depth, PropertyMap& out);

  // Expressions; `depth` is where the built node will sit (the root is 1).
  Result<Expr> build_expression(NodeRef node, int depth);
  Result<Expr> build_comparison_expr(NodeRef node, int depth);
  Result<Expr> build_postfix_expr(NodeRef node, int depth);
  Result<Expr> build_atom(NodeRef node, int depth);
  Result<PropertyExpr> build_property_expression(NodeRef node);

  // A name as written, without enclosing backticks.
  static std::string name_of(NodeRef node) { return std::string(name_text(node)); }
  // The same as a view, for constructing a name where it is stored.
  static std::string_view name_text(NodeRef node) {
    std::string_view text = node.text();
    if (text.size() >= 2 && text.front() == '`' && text.back() == '`') {
      text = text.substr(1, text.size() - 2);
    }
    return text;
  }

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
  // Records the first failure of a builder that returns bool.
  bool failed(CypherError error) {
    error_ = std::move(error);
    return false;
  }
  CypherError take_error() { return std::move(*error_); }

  std::string_view text_;
  std::optional<CypherError> error_;
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_BUILDER_TREE_BUILDER_H_
