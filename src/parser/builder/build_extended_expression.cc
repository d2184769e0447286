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
Result<Expr> TreeBuilder::build_pattern_predicate(NodeRef node, int depth) {
  PatternPart part;
  if (!build_pattern_element(node, depth + 1, part)) return take_error();
  return Expr(Expr::PatternPredicate{Box<PatternPart>(std::move(part))});
}

Result<Expr> TreeBuilder::build_pattern_comprehension(NodeRef node, int depth) {
  std::optional<std::string> path_variable;
  std::optional<PatternPart> part;
  std::vector<NodeRef> expressions;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      path_variable = name_of(c);
    } else if (c.rule() == Rule::pattern_predicate) {
      PatternPart built;
      if (!build_pattern_element(c, depth + 1, built)) return take_error();
      part = std::move(built);
    } else if (c.rule() == Rule::expression) {
      expressions.push_back(c);
    }
  }
  if (!part || expressions.empty()) return fail("Incomplete pattern comprehension");
  part->variable = std::move(path_variable);
  std::optional<Box<Expr>> predicate;
  if (expressions.size() == 2) {
    QV_TRY(Expr built, build_expression(expressions[0], depth + 1));
    predicate = Box<Expr>(std::move(built));
  }
  QV_TRY(Expr projection, build_expression(expressions.back(), depth + 1));
  return Expr(Expr::PatternComprehension{Box<PatternPart>(std::move(*part)), std::move(predicate),
                                         Box<Expr>(std::move(projection))});
}

Result<Expr> TreeBuilder::build_map_projection(NodeRef node, int depth) {
  Expr::MapProjection projection;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      projection.variable = name_of(c);
      continue;
    }
    if (c.rule() != Rule::map_projection_item) continue;
    using Kind = Expr::MapProjectionItem::Kind;
    NodeRef first = c.first_child();
    if (!first.valid()) {  // `.*`
      projection.items.push_back({Kind::AllProperties, {}, std::nullopt});
    } else if (first.rule() == Rule::variable) {
      projection.items.push_back({Kind::Variable, name_of(first), std::nullopt});
    } else if (NodeRef value = first.next_sibling(c); value.valid()) {
      QV_TRY(Expr built, build_expression(value, depth + 1));
      projection.items.push_back({Kind::Entry, name_of(first), Box<Expr>(std::move(built))});
    } else {
      projection.items.push_back({Kind::Property, name_of(first), std::nullopt});
    }
  }
  return Expr(std::move(projection));
}

Result<Expr> TreeBuilder::build_reduce(NodeRef node, int depth) {
  NodeRef accumulator = node.child(Rule::variable);
  NodeRef init = node.child(Rule::expression);
  NodeRef iteration = node.child(Rule::id_in_coll);
  if (!accumulator.valid() || !init.valid() || !iteration.valid()) {
    return fail("Incomplete reduce");
  }
  NodeRef expression;
  for (NodeRef c = iteration.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() == Rule::expression) expression = c;
  }
  NodeRef variable = iteration.child(Rule::variable);
  NodeRef list = variable.valid() ? variable.next_sibling(iteration) : NodeRef();
  if (!expression.valid() || !list.valid()) return fail("Incomplete reduce");
  QV_TRY(Expr built_init, build_expression(init, depth + 1));
  QV_TRY(Expr built_list, build_expression(list, depth + 1));
  QV_TRY(Expr built_expression, build_expression(expression, depth + 1));
  Expr::ListComprehension loop{name_of(variable), Box<Expr>(std::move(built_list)), std::nullopt,
                               Box<Expr>(std::move(built_expression))};
  return Expr(Expr::Reduce{name_of(accumulator), Box<Expr>(std::move(built_init)),
                           Box<Expr::ListComprehension>(std::move(loop))});
}

Result<Expr> TreeBuilder::build_shortest_path_expr(NodeRef node, int depth) {
  NodeRef element = node.child(Rule::pattern_element);
  if (!element.valid()) return fail("Shortest path missing pattern");
  PatternPart part;
  if (!build_pattern_element(element, depth + 1, part)) return take_error();
  const bool all = starts_with_keyword(text_, node.start(), "ALLSHORTESTPATHS");
  part.selector = all ? PathSelector::AllShortestPaths : PathSelector::ShortestPath;
  return Expr(Expr::ShortestPath{all, Box<PatternPart>(std::move(part))});
}

Result<Expr> TreeBuilder::build_type_predicate(NodeRef predicate, Expr operand) {
  NodeRef type = predicate.child(Rule::type_name);
  if (!type.valid()) return fail("Type predicate missing type");
  // IS NOT :: and IS NOT TYPED negate; `::` alone never does.
  const bool negated = starts_with_keyword(text_, predicate.start(), "IS") &&
                       keyword_follows(predicate.start() + 2, "NOT");
  return Expr(Expr::TypePredicate{Box<Expr>(std::move(operand)), normalized_type(type.text()),
                                  negated});
}

// `:A:B` is the conjunction of its parts, as in node patterns.
Result<Expr> TreeBuilder::build_label_check(NodeRef check, Expr target) {
  std::vector<LabelExpr> parts;
  for (NodeRef c : children(check)) {
    if (c.rule() == Rule::label_expression) parts.push_back(build_label_expr(c));
  }
  if (parts.empty()) return fail("Label check missing labels");
  LabelExpr labels = parts.size() == 1 ? std::move(parts.front())
                                       : LabelExpr{LabelExpr::Kind::And, {}, std::move(parts)};
  return Expr(Expr::LabelCheck{Box<Expr>(std::move(target)), Box<LabelExpr>(std::move(labels))});
}

}  // namespace quorvane
