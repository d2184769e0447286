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

namespace quorvane {

// Converts to a copy of `text`. A member initialized from one is built where
// it is stored, where a temporary std::string would be built and then moved.
struct TextCopy {
  std::string_view text;
  operator std::string() const { return std::string(text); }
};

// An expression node holding a placeholder, for a builder to overwrite.
inline Box<Expr> empty_box() {
  return Box<Expr>(std::in_place, Expr::Null{});
}

// The value of an operator chain (`a.b[c] IS NULL`) while it is built left to
// right: each operator takes the value so far as its operand. Values in the
// middle of the chain sit in boxes; the last operator goes straight into the
// destination, so no node is moved once built.
class OperatorChain {
 public:
  OperatorChain(Expr& out, int operators) : out_(out), remaining_(operators), value_(empty_box()) {}
  // Where the operand of the first operator is built.
  Expr& first() { return *value_; }
  // The value so far, for the next operator to hold.
  Box<Expr> take() { return std::move(value_); }
  // Places the next operator, constructed from `args`, one of which holds
  // the value so far.
  template <class Op, class... Args>
  Op& place(Args&&... args) {
    Expr& dest = --remaining_ == 0 ? out_ : *(value_ = empty_box());
    last_ = &dest;
    // Operators are aggregates, built with braces (see Box) and moved in.
    return dest.node.emplace<Op>(Op{std::forward<Args>(args)...});
  }
  // Gives the operator placed last its span, once its text is known.
  void span_last(Span span) { last_->span = span; }
  // Moves the value to the destination when fewer operators were placed
  // than announced.
  void finish() {
    if (remaining_ != 0) out_ = std::move(*value_);
  }

 private:
  Expr& out_;
  int remaining_;
  Box<Expr> value_;
  Expr* last_ = nullptr;
};

// Where a rule node's text lies, without the whitespace and comments after
// it: a rule whose last element matched nothing ends after the skip before
// that element (node_span.cc).
uint32_t end_of_text(NodeRef node);
inline Span span_of(NodeRef node) {
  return Span{node.start(), end_of_text(node)};
}
inline Span span_between(NodeRef first, NodeRef last) {
  return Span{first.start(), end_of_text(last)};
}

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
  bool build_set_clause(NodeRef node, int depth, std::vector<SetItem>& items);
  bool build_call_clause(NodeRef node, int depth, CallClause& call);
  bool build_with_clause(NodeRef node, int depth, WithClause& out);
  bool build_return_clause(NodeRef node, int depth, ReturnClause& out);
  bool build_return_body(NodeRef node, int depth, const ReturnBody& body);
  bool build_sort_item(NodeRef node, int depth, SortItem& out);
  bool build_remove_item(NodeRef node, RemoveItem& out);

  // Patterns.
  bool build_pattern(NodeRef node, int depth, Pattern& out);
  bool build_pattern_part(NodeRef node, int depth, PatternPart& out);
  bool build_pattern_element(NodeRef element, int depth, PatternPart& part);
  bool build_node_pattern(NodeRef node, int depth, NodePattern& out);
  bool build_relationship_pattern(NodeRef node, int depth, RelationshipPattern& out);
  bool build_properties(NodeRef node, int depth, MapOrParam& out);
  bool build_map_literal(NodeRef node, int depth, PropertyMap& out);

  // Expressions; `depth` is where the built node will sit (the root is 1).
  // Each replaces whatever `out` holds (a placeholder, as a rule).
  bool build_expression(NodeRef node, int depth, Expr& out);
  bool build_comparison_expr(NodeRef node, int depth, Expr& out);
  bool build_postfix_expr(NodeRef node, int depth, Expr& out);
  bool build_atom(NodeRef node, int depth, Expr& out);
  bool build_property_expression(NodeRef node, PropertyExpr& out);

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
  bool build_call_subquery(NodeRef node, int depth, ReadingClause& out);
  bool build_load_csv(NodeRef node, int depth, ReadingClause& out);
  bool build_foreach(NodeRef node, int depth, UpdatingClause& out);
  bool build_exists_or_count(NodeRef node, int depth, bool count, Expr& out);
  bool build_collect(NodeRef node, int depth, Expr& out);
  bool build_pattern_predicate(NodeRef node, int depth, Expr& out);
  bool build_pattern_comprehension(NodeRef node, int depth, Expr& out);
  bool build_map_projection(NodeRef node, int depth, Expr& out);
  bool build_reduce(NodeRef node, int depth, Expr& out);
  bool build_shortest_path_expr(NodeRef node, int depth, Expr& out);
  // The next operator of `chain`.
  bool build_type_predicate(NodeRef predicate, OperatorChain& chain);
  bool build_label_check(NodeRef check, OperatorChain& chain);
  bool build_quantified_path(NodeRef node, int depth, QuantifiedPath& out);
  bool build_where(NodeRef where_clause, int depth, Expr& out);
  // A label (or type) expression, from a label_expression node; none where
  // it would nest more than kMaxTreeDepth levels below `depth`.
  static std::optional<LabelExpr> build_label_expr(NodeRef node, int depth = 0);
  // The names of a node_labels node, in either language's shape.
  static std::vector<std::string> label_names(NodeRef node_labels, std::vector<Span>& spans);

 private:
  bool build_literal(NodeRef node, int depth, Expr& out);
  bool build_iteration(NodeRef node, int depth, bool comprehension, size_t kind, Expr& out);
  bool fold_chain(NodeRef node, int depth, Rule skipped, const char* empty_message, Expr& out);
  // The keyword-sensitive text just after `pos`, with whitespace and comments
  // skipped.
  bool keyword_follows(size_t pos, std::string_view upper) const;
  // Whether the optional keyword `upper` was read after `pos`: it follows
  // there and ends before the node `next` starts. A word that only begins
  // like the keyword (`distinctCount` in the extended language) is `next`
  // itself.
  bool keyword_before(size_t pos, std::string_view upper, NodeRef next) const;
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
