// Expressions of the extended language: pattern predicates and
// comprehensions, map projections, reduce, shortestPath, type predicates and
// label checks.
#include <string>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

CypherError fail(const char* message) {
  return CypherError::parse(message);
}

// Upper case, with whitespace and comments made one space, and none around
// "<", "|" or before ">": "LIST<INTEGER> NOT NULL", "INTEGER|FLOAT".
std::string normalized_type(std::string_view text) {
  std::string out;
  size_t pos = 0;
  bool gap = false;
  while (pos < text.size()) {
    const size_t next = skip_ignorable(text, pos);
    if (next != pos) {
      gap = true;
      pos = next;
      continue;
    }
    char c = text[pos++];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const auto tight = [](char x) { return x == '<' || x == '>' || x == '|'; };
    if (gap && !out.empty() && out.back() != '<' && out.back() != '|' && !tight(c)) {
      out += ' ';
    }
    gap = false;
    out += c;
  }
  return out;
}

}  // namespace

// A path with at least one relationship, as its own one-part pattern.
bool TreeBuilder::build_pattern_predicate(NodeRef node, int depth, Expr& out) {
  Expr::PatternPredicate& predicate = out.node.emplace<Expr::PatternPredicate>(
      Expr::PatternPredicate{Box<PatternPart>(std::in_place)});
  return build_pattern_element(node, depth + 1, *predicate.pattern);
}

bool TreeBuilder::build_pattern_comprehension(NodeRef node, int depth, Expr& out) {
  std::optional<std::string> path_variable;
  std::optional<PatternPart> part;
  std::vector<NodeRef> expressions;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      path_variable = name_of(c);
    } else if (c.rule() == Rule::pattern_predicate) {
      if (!build_pattern_element(c, depth + 1, part.emplace())) return false;
    } else if (c.rule() == Rule::expression) {
      expressions.push_back(c);
    }
  }
  if (!part || expressions.empty()) return failed(fail("Incomplete pattern comprehension"));
  part->variable = std::move(path_variable);
  Expr::PatternComprehension& comprehension = out.node.emplace<Expr::PatternComprehension>(
      Expr::PatternComprehension{Box<PatternPart>(std::move(*part)), std::nullopt, empty_box()});
  if (expressions.size() == 2 &&
      !build_expression(expressions[0], depth + 1, *comprehension.predicate.emplace(empty_box()))) {
    return false;
  }
  return build_expression(expressions.back(), depth + 1, *comprehension.projection);
}

bool TreeBuilder::build_map_projection(NodeRef node, int depth, Expr& out) {
  Expr::MapProjection& projection = out.node.emplace<Expr::MapProjection>();
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      projection.variable.assign(name_text(c));
      continue;
    }
    if (c.rule() != Rule::map_projection_item) continue;
    using Kind = Expr::MapProjectionItem::Kind;
    NodeRef first = c.first_child();
    if (!first.valid()) {  // `.*`
      projection.items.push_back({Kind::AllProperties, {}, std::nullopt, {}});
    } else if (first.rule() == Rule::variable) {
      projection.items.push_back({Kind::Variable, name_of(first), std::nullopt, span_of(first)});
    } else if (NodeRef value = first.next_sibling(c); value.valid()) {
      Expr::MapProjectionItem& item = projection.items.emplace_back(
          Expr::MapProjectionItem{Kind::Entry, name_of(first), empty_box(), span_of(first)});
      if (!build_expression(value, depth + 1, **item.value)) return false;
    } else {
      projection.items.push_back({Kind::Property, name_of(first), std::nullopt, span_of(first)});
    }
  }
  return true;
}

bool TreeBuilder::build_reduce(NodeRef node, int depth, Expr& out) {
  NodeRef accumulator = node.child(Rule::variable);
  NodeRef init = node.child(Rule::expression);
  NodeRef iteration = node.child(Rule::id_in_coll);
  if (!accumulator.valid() || !init.valid() || !iteration.valid()) {
    return failed(fail("Incomplete reduce"));
  }
  NodeRef expression;
  for (NodeRef c = iteration.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() == Rule::expression) expression = c;
  }
  NodeRef variable = iteration.child(Rule::variable);
  NodeRef list = variable.valid() ? variable.next_sibling(iteration) : NodeRef();
  if (!expression.valid() || !list.valid()) return failed(fail("Incomplete reduce"));
  Expr::Reduce& reduce = out.node.emplace<Expr::Reduce>(
      Expr::Reduce{name_of(accumulator), empty_box(),
                   Box<Expr::ListComprehension>(std::in_place, name_of(variable), empty_box(),
                                                std::nullopt, empty_box())});
  return build_expression(init, depth + 1, *reduce.init) &&
         build_expression(list, depth + 1, *reduce.iteration->list) &&
         build_expression(expression, depth + 1, **reduce.iteration->projection);
}

bool TreeBuilder::build_shortest_path_expr(NodeRef node, int depth, Expr& out) {
  NodeRef element = node.child(Rule::pattern_element);
  if (!element.valid()) return failed(fail("Shortest path missing pattern"));
  const bool all = starts_with_keyword(text_, node.start(), "ALLSHORTESTPATHS");
  Expr::ShortestPath& path = out.node.emplace<Expr::ShortestPath>(
      Expr::ShortestPath{all, Box<PatternPart>(std::in_place)});
  if (!build_pattern_element(element, depth + 1, *path.pattern)) return false;
  path.pattern->selector = all ? PathSelector::AllShortestPaths : PathSelector::ShortestPath;
  return true;
}

bool TreeBuilder::build_type_predicate(NodeRef predicate, OperatorChain& chain) {
  NodeRef type = predicate.child(Rule::type_name);
  if (!type.valid()) return failed(fail("Type predicate missing type"));
  // IS NOT :: and IS NOT TYPED negate; `::` alone never does.
  const bool negated = starts_with_keyword(text_, predicate.start(), "IS") &&
                       keyword_follows(predicate.start() + 2, "NOT");
  chain.place<Expr::TypePredicate>(chain.take(), normalized_type(type.text()), negated);
  return true;
}

// `:A:B` is the conjunction of its parts, as in node patterns.
bool TreeBuilder::build_label_check(NodeRef check, OperatorChain& chain) {
  std::vector<LabelExpr> parts;
  for (NodeRef c : children(check)) {
    if (c.rule() != Rule::label_expression) continue;
    std::optional<LabelExpr> part = build_label_expr(c);
    if (!part) return failed(too_deep(c));
    parts.push_back(std::move(*part));
  }
  if (parts.empty()) return failed(fail("Label check missing labels"));
  const Span span{parts.front().span.begin, parts.back().span.end};
  LabelExpr labels = parts.size() == 1
                         ? std::move(parts.front())
                         : LabelExpr{LabelExpr::Kind::And, {}, std::move(parts), span};
  chain.place<Expr::LabelCheck>(chain.take(), Box<LabelExpr>(std::move(labels)));
  return true;
}

}  // namespace quorvane
