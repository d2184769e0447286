// Expressions and literals.
//
// A precedence level has a rule node of its own only where it holds more than
// a lone operand (the matcher leaves the others out), so the child of any
// level may belong to any lower level. build_expression walks single-operand
// levels (and parentheses) in a loop rather than by recursion: building
// recurses only where the tree really nests.
#include <charconv>
#include <string>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

CypherError fail(std::string message) {
  return CypherError::parse(std::move(message));
}

template <class Op>
Expr binary(Expr left, Expr right) {
  return Expr(Op{{Box<Expr>(std::move(left)), Box<Expr>(std::move(right))}});
}

template <class Op>
Expr unary(Expr operand) {
  return Expr(Op{{Box<Expr>(std::move(operand))}});
}

std::string upper_text(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

int64_t read_integer(std::string_view text) {
  int base = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() >= 2 && text[0] == '0' && text[1] == 'o') {
    base = 8;
    text.remove_prefix(2);
  }
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

double read_float(std::string_view text) {
  double value = 0.0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc()) return 0.0;
  (void)end;
  return value;
}

// Operand children of a chain node, leaving out its keyword-operator nodes.
std::vector<NodeRef> operands(NodeRef node, Rule skipped) {
  std::vector<NodeRef> out;
  for (NodeRef c : children(node)) {
    if (c.rule() != skipped) out.push_back(c);
  }
  return out;
}

// The keyword-operator rule between the operands of a chain, if any.
Rule chain_operator_rule(Rule chain) {
  switch (chain) {
    case Rule::or_expr:
      return Rule::or_kw;
    case Rule::xor_expr:
      return Rule::xor_kw;
    case Rule::and_expr:
      return Rule::and_kw;
    default:
      return Rule::EOI;  // never a child: every child is an operand
  }
}

const char* chain_empty_message(Rule chain) {
  switch (chain) {
    case Rule::or_expr:
      return "Empty or_expr";
    case Rule::xor_expr:
      return "Empty xor_expr";
    case Rule::and_expr:
      return "Empty and_expr";
    case Rule::add_sub_expr:
      return "Empty add_sub_expr";
    case Rule::mul_div_expr:
      return "Empty mul_div_expr";
    case Rule::mod_expr:
      return "Empty mod_expr";
    default:
      return "Empty power_expr";
  }
}

}  // namespace

Result<Expr> TreeBuilder::build_expression(NodeRef node, int depth) {
  for (;;) {
    if (depth > kMaxTreeDepth) return too_deep(node);
    switch (node.rule()) {
      case Rule::expression: {
        NodeRef c = node.first_child();
        if (!c.valid()) return fail("Empty expression");
        node = c;
        continue;
      }
      case Rule::or_expr:
      case Rule::xor_expr:
      case Rule::and_expr:
      case Rule::add_sub_expr:
      case Rule::mul_div_expr:
      case Rule::mod_expr:
      case Rule::power_expr: {
        // A single child is a lone operand: keyword operators would be
        // children too.
        NodeRef only = node.only_child();
        if (only.valid()) {
          node = only;
          continue;
        }
        return fold_chain(node, depth, chain_operator_rule(node.rule()),
                          chain_empty_message(node.rule()));
      }
      case Rule::not_expr: {
        // NOT keywords, then the operand (of any lower level).
        int nots = 0;
        NodeRef operand;
        for (NodeRef c : children(node)) {
          if (c.rule() == Rule::not_kw) {
            ++nots;
          } else if (!operand.valid()) {
            operand = c;
          }
        }
        if (!operand.valid()) return fail("NOT missing comparison_expr");
        if (nots == 0) {
          node = operand;
          continue;
        }
        if (depth + nots > kMaxTreeDepth) return too_deep(operand);
        QV_TRY(Expr result, build_expression(operand, depth + nots));
        for (int i = 0; i < nots; ++i) result = unary<Expr::Not>(std::move(result));
        return result;
      }
      case Rule::comparison_expr: {
        NodeRef only = node.only_child();
        if (only.valid()) {
          node = only;
          continue;
        }
        return build_comparison_expr(node, depth);
      }
      case Rule::unary_expr: {
        NodeRef postfix = node.first_child();
        if (!postfix.valid()) return fail("Unary missing postfix");
        if (node.text().empty() || node.text().front() != '-') {
          node = postfix;
          continue;
        }
        QV_TRY(Expr operand, build_expression(postfix, depth + 1));
        return unary<Expr::Negate>(std::move(operand));
      }
      case Rule::postfix_expr: {
        NodeRef only = node.only_child();
        if (only.valid()) {
          node = only;
          continue;
        }
        return build_postfix_expr(node, depth);
      }
      case Rule::atom: {
        // Parentheses leave no node of their own: continue with the inside.
        NodeRef inner = node.first_child();
        if (inner.valid() && inner.rule() == Rule::parenthesized_expr) {
          NodeRef e = inner.first_child();
          if (!e.valid()) return fail("Empty paren expr");
          node = e;
          continue;
        }
        return build_atom(node, depth);
      }
      default:
        return fail("Unexpected rule in expression: " + std::string(rule_name(node.rule())));
    }
  }
}

// Folds a chain of operands to the left: a OR b OR c is Or(Or(a, b), c).
Result<Expr> TreeBuilder::fold_chain(NodeRef node, int depth, Rule skipped,
                                     const char* empty_message) {
  std::vector<NodeRef> parts = operands(node, skipped);
  if (parts.empty()) return fail(empty_message);
  if (parts.size() == 1) return build_expression(parts[0], depth);
  // The chain nests one level per operator; operands sit below all of them.
  const int operand_depth = depth + static_cast<int>(parts.size()) - 1;
  if (operand_depth > kMaxTreeDepth) return too_deep(parts[kMaxTreeDepth - depth]);
  QV_TRY(Expr result, build_expression(parts[0], operand_depth));
  for (size_t i = 1; i < parts.size(); ++i) {
    QV_TRY(Expr right, build_expression(parts[i], operand_depth));
    switch (node.rule()) {
      case Rule::or_expr:
        result = binary<Expr::Or>(std::move(result), std::move(right));
        break;
      case Rule::xor_expr:
        result = binary<Expr::Xor>(std::move(result), std::move(right));
        break;
      case Rule::and_expr:
        result = binary<Expr::And>(std::move(result), std::move(right));
        break;
      case Rule::mod_expr:
        result = binary<Expr::Modulo>(std::move(result), std::move(right));
        break;
      case Rule::power_expr:
        result = binary<Expr::Power>(std::move(result), std::move(right));
        break;
      default: {
        // "+"/"-" or "*"/"/": the operator stands between the two operands.
        const char op = text_[skip_ignorable(text_, parts[i - 1].end())];
        if (op == '-') {
          result = binary<Expr::Subtract>(std::move(result), std::move(right));
        } else if (op == '|') {
          result = binary<Expr::Concatenate>(std::move(result), std::move(right));
        } else if (op == '+') {
          result = binary<Expr::Add>(std::move(result), std::move(right));
        } else if (op == '/') {
          result = binary<Expr::Divide>(std::move(result), std::move(right));
        } else {
          result = binary<Expr::Multiply>(std::move(result), std::move(right));
        }
      }
    }
  }
  return result;
}

Result<Expr> TreeBuilder::build_comparison_expr(NodeRef node, int depth) {
  NodeRef first = node.first_child();
  if (!first.valid()) return fail("Empty comparison_expr");
  // Type predicates and IS-label checks (extended language) take no right
  // operand, like IS NULL.
  auto is_operator = [](Rule r) {
    return r == Rule::comparison_op || r == Rule::type_predicate || r == Rule::label_check;
  };
  int ops = 0;
  for (NodeRef c : children(node)) ops += is_operator(c.rule());
  if (ops == 0) return build_expression(first, depth);
  const int operand_depth = depth + ops;
  if (operand_depth > kMaxTreeDepth) return too_deep(first);

  QV_TRY(Expr result, build_expression(first, operand_depth));
  NodeRef c = first.next_sibling(node);
  while (c.valid() && is_operator(c.rule())) {
    const NodeRef op = c;
    if (op.rule() != Rule::comparison_op) {
      c = c.next_sibling(node);
      if (op.rule() == Rule::type_predicate) {
        QV_TRY(Expr built, build_type_predicate(op, std::move(result)));
        result = std::move(built);
      } else {
        QV_TRY(Expr built, build_label_check(op, std::move(result)));
        result = std::move(built);
      }
      continue;
    }
    const std::string upper = upper_text(op.text());
    c = c.next_sibling(node);
    // IS NULL and IS NOT NULL take no right operand.
    if (upper.compare(0, 2, "IS") == 0) {
      const bool negated = keyword_follows(op.start() + 2, "NOT");
      result = negated ? unary<Expr::IsNotNull>(std::move(result))
                       : unary<Expr::IsNull>(std::move(result));
      continue;
    }
    if (!c.valid()) break;
    QV_TRY(Expr right, build_expression(c, operand_depth));
    c = c.next_sibling(node);
    if (upper == "=") {
      result = binary<Expr::Equal>(std::move(result), std::move(right));
    } else if (upper == "<>") {
      result = binary<Expr::NotEqual>(std::move(result), std::move(right));
    } else if (upper == "<") {
      result = binary<Expr::LessThan>(std::move(result), std::move(right));
    } else if (upper == "<=") {
      result = binary<Expr::LessOrEqual>(std::move(result), std::move(right));
    } else if (upper == ">") {
      result = binary<Expr::GreaterThan>(std::move(result), std::move(right));
    } else if (upper == ">=") {
      result = binary<Expr::GreaterOrEqual>(std::move(result), std::move(right));
    } else if (upper == "=~") {
      result = binary<Expr::RegexMatch>(std::move(result), std::move(right));
    } else if (upper == "IN") {
      result = binary<Expr::In>(std::move(result), std::move(right));
    } else if (upper.size() > 5 && upper.compare(0, 6, "STARTS") == 0) {
      result = binary<Expr::StartsWith>(std::move(result), std::move(right));
    } else if (upper.size() > 3 && upper.compare(0, 4, "ENDS") == 0) {
      result = binary<Expr::EndsWith>(std::move(result), std::move(right));
    } else if (upper == "CONTAINS") {
      result = binary<Expr::Contains>(std::move(result), std::move(right));
    } else {
      return fail("Unknown comparison op: " + upper);
    }
  }
  return result;
}

Result<Expr> TreeBuilder::build_postfix_expr(NodeRef node, int depth) {
  NodeRef atom = node.first_child();
  if (!atom.valid()) return fail("Postfix missing atom");
  int ops = 0;
  for (NodeRef c = atom.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    ops += c.rule() == Rule::postfix_op || c.rule() == Rule::label_check;
  }
  if (ops == 0) return build_expression(atom, depth);
  // Each operator wraps what came before: the atom sits below all of them.
  const int inner_depth = depth + ops;
  if (inner_depth > kMaxTreeDepth) return too_deep(atom);

  QV_TRY(Expr result, build_expression(atom, inner_depth));
  for (NodeRef c = atom.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() == Rule::label_check) {
      QV_TRY(Expr built, build_label_check(c, std::move(result)));
      result = std::move(built);
      continue;
    }
    if (c.rule() != Rule::postfix_op) continue;
    NodeRef op = c.first_child();
    if (!op.valid()) return fail("Empty postfix_op");
    if (op.rule() == Rule::property_lookup) {
      NodeRef key = op.first_child();
      if (!key.valid()) return fail("Property lookup missing key");
      result = Expr(Expr::Property{Box<Expr>(std::move(result)), name_of(key)});
    } else if (op.rule() == Rule::subscript_op) {
      NodeRef index_node = op.first_child();
      if (!index_node.valid()) return fail("Subscript missing index");
      QV_TRY(Expr index, build_expression(index_node, inner_depth));
      result = Expr(Expr::Index{Box<Expr>(std::move(result)), Box<Expr>(std::move(index))});
    } else if (op.rule() == Rule::list_slice_op) {
      // A bound written right after "[" is `from`; one after ".." is `to`.
      NodeRef first = op.first_child();
      NodeRef second = first.valid() ? first.next_sibling(op) : NodeRef();
      const bool starts_with_dots =
          text_.compare(skip_ignorable(text_, op.start() + 1), 2, "..") == 0;
      std::optional<Box<Expr>> from;
      std::optional<Box<Expr>> to;
      if (first.valid()) {
        QV_TRY(Expr bound, build_expression(first, inner_depth));
        (starts_with_dots ? to : from) = Box<Expr>(std::move(bound));
      }
      if (second.valid()) {
        QV_TRY(Expr bound, build_expression(second, inner_depth));
        to = Box<Expr>(std::move(bound));
      }
      result = Expr(Expr::Slice{Box<Expr>(std::move(result)), std::move(from), std::move(to)});
    }
  }
  return result;
}

Result<Expr> TreeBuilder::build_atom(NodeRef node, int depth) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return fail("Empty atom");
  switch (inner.rule()) {
    case Rule::parenthesized_expr: {
      NodeRef e = inner.first_child();
      if (!e.valid()) return fail("Empty paren expr");
      return build_expression(e, depth);
    }
    case Rule::count_star:
      return Expr(Expr::CountStar{});
    case Rule::function_invocation: {
      NodeRef name = inner.first_child();
      if (!name.valid()) return fail("Function missing name");
      Expr::FunctionCall call;
      call.name = std::string(name.text());
      // DISTINCT, when written, comes right after the opening parenthesis.
      const size_t paren = skip_ignorable(text_, name.end());
      call.distinct = keyword_follows(paren + 1, "DISTINCT");
      for (NodeRef c = name.next_sibling(inner); c.valid(); c = c.next_sibling(inner)) {
        QV_TRY(Expr arg, build_expression(c, depth + 1));
        call.args.push_back(std::move(arg));
      }
      return Expr(std::move(call));
    }
    case Rule::case_expression: {
      Expr::Case result;
      std::optional<Expr> pending_when;
      size_t previous_end = inner.start() + 4;  // after CASE
      for (NodeRef c : children(inner)) {
        const size_t keyword_pos = skip_ignorable(text_, previous_end);
        previous_end = c.end();
        QV_TRY(Expr e, build_expression(c, depth + 1));
        if (starts_with_keyword(text_, keyword_pos, "WHEN")) {
          pending_when = std::move(e);
        } else if (starts_with_keyword(text_, keyword_pos, "THEN")) {
          if (pending_when) {
            result.alternatives.push_back({std::move(*pending_when), std::move(e)});
            pending_when.reset();
          }
        } else if (starts_with_keyword(text_, keyword_pos, "ELSE")) {
          result.else_expr = Box<Expr>(std::move(e));
        } else {
          result.operand = Box<Expr>(std::move(e));
        }
      }
      return Expr(std::move(result));
    }
    case Rule::list_comprehension:
      return build_iteration(inner, depth, true, 0);
    case Rule::quantifier_expression: {
      const std::string upper = upper_text(inner.text().substr(0, 4));
      const size_t kind = upper.compare(0, 3, "ALL") == 0    ? 0
                          : upper.compare(0, 3, "ANY") == 0  ? 1
                          : upper.compare(0, 4, "NONE") == 0 ? 2
                                                             : 3;
      return build_iteration(inner, depth, false, kind);
    }
    case Rule::exists_subquery:
      return build_exists_or_count(inner, depth, false);
    case Rule::count_subquery:
      return build_exists_or_count(inner, depth, true);
    case Rule::collect_subquery:
      return build_collect(inner, depth);
    case Rule::pattern_predicate:
      return build_pattern_predicate(inner, depth);
    case Rule::pattern_comprehension:
      return build_pattern_comprehension(inner, depth);
    case Rule::map_projection:
      return build_map_projection(inner, depth);
    case Rule::reduce_expression:
      return build_reduce(inner, depth);
    case Rule::shortest_path:
      return build_shortest_path_expr(inner, depth);
    case Rule::literal:
      return build_literal(inner, depth);
    case Rule::parameter: {
      std::string_view name = inner.text();
      while (!name.empty() && name.front() == '$') name.remove_prefix(1);
      return Expr(Expr::Parameter{std::string(name)});
    }
    case Rule::variable:
      return Expr(Expr::Variable{name_of(inner)});
    default:
      return fail("Unknown atom: " + std::string(rule_name(inner.rule())));
  }
}

Result<Expr> TreeBuilder::build_iteration(NodeRef node, int depth, bool comprehension,
                                          size_t kind) {
  std::string variable;
  Expr list = Expr(Expr::Null{});
  std::optional<Box<Expr>> predicate;
  std::optional<Box<Expr>> projection;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::filter_expression) {
      for (NodeRef f : children(c)) {
        if (f.rule() == Rule::id_in_coll) {
          NodeRef var = f.first_child();
          if (var.valid()) {
            variable = name_of(var);
            NodeRef coll = var.next_sibling(f);
            if (coll.valid()) {
              QV_TRY(Expr built, build_expression(coll, depth + 1));
              list = std::move(built);
            }
          }
        } else if (f.rule() == Rule::expression) {
          QV_TRY(Expr built, build_expression(f, depth + 1));
          predicate = Box<Expr>(std::move(built));
        }
      }
    } else if (comprehension && c.rule() == Rule::expression) {
      QV_TRY(Expr built, build_expression(c, depth + 1));
      projection = Box<Expr>(std::move(built));
    }
  }
  if (comprehension) {
    return Expr(Expr::ListComprehension{std::move(variable), Box<Expr>(std::move(list)),
                                        std::move(predicate), std::move(projection)});
  }
  Expr::Quantifier q{std::move(variable), Box<Expr>(std::move(list)), std::move(predicate)};
  switch (kind) {
    case 0:
      return Expr(Expr::All{std::move(q)});
    case 1:
      return Expr(Expr::Any{std::move(q)});
    case 2:
      return Expr(Expr::None{std::move(q)});
    default:
      return Expr(Expr::Single{std::move(q)});
  }
}

Result<Expr> TreeBuilder::build_literal(NodeRef node, int depth) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return fail("Empty literal");
  std::string_view text = inner.text();
  switch (inner.rule()) {
    case Rule::integer_literal:
      return Expr(Expr::Integer{read_integer(text)});
    case Rule::float_literal:
      return Expr(Expr::Float{read_float(text)});
    case Rule::string_literal:
      return Expr(Expr::String{std::string(text.substr(1, text.size() - 2))});
    case Rule::boolean_literal:
      return Expr(Expr::Boolean{upper_text(text) == "TRUE"});
    case Rule::null_literal:
      return Expr(Expr::Null{});
    case Rule::list_literal: {
      Expr::List list;
      for (NodeRef c : children(inner)) {
        if (c.rule() != Rule::expression) continue;
        QV_TRY(Expr item, build_expression(c, depth + 1));
        list.items.push_back(std::move(item));
      }
      return Expr(std::move(list));
    }
    case Rule::map_literal: {
      Result<Expr> map(std::in_place, Expr::Map{});
      if (!build_map_literal(inner, depth, std::get<Expr::Map>(map->node).entries)) {
        map = take_error();
      }
      return map;
    }
    default:
      return fail("Unknown literal: " + std::string(rule_name(inner.rule())));
  }
}

Result<PropertyExpr> TreeBuilder::build_property_expression(NodeRef node) {
  PropertyExpr target;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      target.variable = name_of(c);
    } else if (c.rule() == Rule::property_lookup) {
      NodeRef key = c.first_child();
      if (!key.valid()) return fail("Property lookup missing key");
      target.keys.push_back(name_of(key));
    }
  }
  return target;
}

}  // namespace quorvane
