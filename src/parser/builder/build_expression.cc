// Expressions and literals.
//
// A precedence level has a rule node of its own only where it holds more than
// a lone operand (the matcher leaves the others out), so the child of any
// level may belong to any lower level. build_expression walks single-operand
// levels (and parentheses) in a loop rather than by recursion: building
// recurses only where the tree really nests.
#include <algorithm>
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

std::string upper_text(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// Whether `text` starts with `upper` in any letter case.
bool starts_upper(std::string_view text, std::string_view upper) {
  if (text.size() < upper.size()) return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != upper[i]) return false;
  }
  return true;
}

bool equals_upper(std::string_view text, std::string_view upper) {
  return text.size() == upper.size() && starts_upper(text, upper);
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

// Whether a float literal that does not read as a double is too large rather
// than too small: whether its first significant digit stands at a positive
// power of ten.
bool float_too_large(std::string_view text) {
  double value = 0.0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec !=
      std::errc::result_out_of_range) {
    return false;
  }
  const size_t e = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, e);
  int64_t exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = text.substr(e + 1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    // An exponent too long to read is certainly beyond any mantissa.
    if (std::from_chars(digits.data(), digits.data() + digits.size(), exponent).ec !=
        std::errc()) {
      return !digits.starts_with("-");
    }
  }
  const size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  const int64_t position = first < point ? static_cast<int64_t>(point - first) - 1
                                         : -static_cast<int64_t>(first - point);
  return position + exponent > 0;
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

// Calls `f.operator()<Op>()` with the node type of a chain operator; `op` is
// the operator's character where the chain rule allows more than one.
template <class F>
void with_chain_operator(Rule chain, char op, F&& f) {
  switch (chain) {
    case Rule::or_expr:
      return f.template operator()<Expr::Or>();
    case Rule::xor_expr:
      return f.template operator()<Expr::Xor>();
    case Rule::and_expr:
      return f.template operator()<Expr::And>();
    case Rule::mod_expr:
      return f.template operator()<Expr::Modulo>();
    case Rule::power_expr:
      return f.template operator()<Expr::Power>();
    default:
      break;
  }
  switch (op) {
    case '-':
      return f.template operator()<Expr::Subtract>();
    case '|':
      return f.template operator()<Expr::Concatenate>();
    case '+':
      return f.template operator()<Expr::Add>();
    case '/':
      return f.template operator()<Expr::Divide>();
    default:
      return f.template operator()<Expr::Multiply>();
  }
}

// The binary comparison operators, in the order they are tested.
enum class Comparison {
  Equal,
  NotEqual,
  LessThan,
  LessOrEqual,
  GreaterThan,
  GreaterOrEqual,
  RegexMatch,
  In,
  StartsWith,
  EndsWith,
  Contains,
  Unknown
};

Comparison comparison_of(std::string_view op) {
  if (op == "=") return Comparison::Equal;
  if (op == "<>") return Comparison::NotEqual;
  if (op == "<") return Comparison::LessThan;
  if (op == "<=") return Comparison::LessOrEqual;
  if (op == ">") return Comparison::GreaterThan;
  if (op == ">=") return Comparison::GreaterOrEqual;
  if (op == "=~") return Comparison::RegexMatch;
  if (equals_upper(op, "IN")) return Comparison::In;
  if (starts_upper(op, "STARTS")) return Comparison::StartsWith;
  if (starts_upper(op, "ENDS")) return Comparison::EndsWith;
  if (equals_upper(op, "CONTAINS")) return Comparison::Contains;
  return Comparison::Unknown;
}

// Calls `f.operator()<Op>()` with the node type of a binary comparison.
template <class F>
void with_comparison(Comparison kind, F&& f) {
  switch (kind) {
    case Comparison::Equal:
      return f.template operator()<Expr::Equal>();
    case Comparison::NotEqual:
      return f.template operator()<Expr::NotEqual>();
    case Comparison::LessThan:
      return f.template operator()<Expr::LessThan>();
    case Comparison::LessOrEqual:
      return f.template operator()<Expr::LessOrEqual>();
    case Comparison::GreaterThan:
      return f.template operator()<Expr::GreaterThan>();
    case Comparison::GreaterOrEqual:
      return f.template operator()<Expr::GreaterOrEqual>();
    case Comparison::RegexMatch:
      return f.template operator()<Expr::RegexMatch>();
    case Comparison::In:
      return f.template operator()<Expr::In>();
    case Comparison::StartsWith:
      return f.template operator()<Expr::StartsWith>();
    case Comparison::EndsWith:
      return f.template operator()<Expr::EndsWith>();
    default:
      return f.template operator()<Expr::Contains>();
  }
}

}  // namespace

bool TreeBuilder::build_expression(NodeRef node, int depth, Expr& out) {
  // Where the node now being built goes: operators with a single operand
  // are placed first and the loop goes on inside them.
  Expr* dest = &out;
  // An expression in parentheses spans them (the outermost pair).
  std::optional<Span> parenthesized;
  const auto done = [&](bool ok, NodeRef built) {
    if (ok) dest->span = parenthesized.value_or(span_of(built));
    return ok;
  };
  for (;;) {
    if (depth > kMaxTreeDepth) return failed(too_deep(node));
    switch (node.rule()) {
      case Rule::expression: {
        NodeRef c = node.first_child();
        if (!c.valid()) return failed(fail("Empty expression"));
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
        return done(fold_chain(node, depth, chain_operator_rule(node.rule()),
                               chain_empty_message(node.rule()), *dest),
                    node);
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
        if (!operand.valid()) return failed(fail("NOT missing comparison_expr"));
        const NodeRef negation = node;
        node = operand;
        if (nots == 0) continue;
        if (depth + nots > kMaxTreeDepth) return failed(too_deep(operand));
        for (NodeRef c : children(negation)) {
          if (c.rule() != Rule::not_kw) continue;
          dest->span = parenthesized.value_or(Span{c.start(), end_of_text(negation)});
          parenthesized.reset();
          dest = &*dest->node.emplace<Expr::Not>(Expr::Not{{empty_box()}}).operand;
        }
        depth += nots;
        continue;
      }
      case Rule::comparison_expr: {
        NodeRef only = node.only_child();
        if (only.valid()) {
          node = only;
          continue;
        }
        return done(build_comparison_expr(node, depth, *dest), node);
      }
      case Rule::unary_expr: {
        NodeRef postfix = node.first_child();
        if (!postfix.valid()) return failed(fail("Unary missing postfix"));
        const bool negated = !node.text().empty() && node.text().front() == '-';
        if (!negated) {
          node = postfix;
          continue;
        }
        dest->span = parenthesized.value_or(span_of(node));
        parenthesized.reset();
        node = postfix;
        dest = &*dest->node.emplace<Expr::Negate>(Expr::Negate{{empty_box()}}).operand;
        ++depth;
        continue;
      }
      case Rule::postfix_expr: {
        NodeRef only = node.only_child();
        if (only.valid()) {
          node = only;
          continue;
        }
        return done(build_postfix_expr(node, depth, *dest), node);
      }
      case Rule::atom: {
        // Parentheses leave no node of their own: continue with the inside.
        NodeRef inner = node.first_child();
        if (inner.valid() && inner.rule() == Rule::parenthesized_expr) {
          NodeRef e = inner.first_child();
          if (!e.valid()) return failed(fail("Empty paren expr"));
          if (!parenthesized) parenthesized = span_of(node);
          node = e;
          continue;
        }
        return done(build_atom(node, depth, *dest), node);
      }
      default:
        return failed(
            fail("Unexpected rule in expression: " + std::string(rule_name(node.rule()))));
    }
  }
}

// Folds a chain of operands to the left: a OR b OR c is Or(Or(a, b), c).
bool TreeBuilder::fold_chain(NodeRef node, int depth, Rule skipped, const char* empty_message,
                             Expr& out) {
  int count = 0;
  NodeRef first;
  for (NodeRef c : children(node)) {
    if (c.rule() == skipped) continue;
    if (count++ == 0) first = c;
  }
  if (count == 0) return failed(fail(empty_message));
  if (count == 1) return build_expression(first, depth, out);
  // The chain nests one level per operator; operands sit below all of them.
  const int operand_depth = depth + count - 1;
  if (operand_depth > kMaxTreeDepth) {
    int n = kMaxTreeDepth - depth;
    for (NodeRef c : children(node)) {
      if (c.rule() != skipped && n-- == 0) return failed(too_deep(c));
    }
  }
  OperatorChain chain(out, count - 1);
  if (!build_expression(first, operand_depth, chain.first())) return false;
  NodeRef previous = first;
  for (NodeRef c : children(node)) {
    if (c.rule() == skipped || c.index() <= first.index()) continue;
    // "+"/"-" or "*"/"/": the operator stands between the two operands.
    const char op = text_[skip_ignorable(text_, previous.end())];
    Expr* right = nullptr;
    with_chain_operator(node.rule(), op, [&]<class Op>() {
      right = chain.place<Op>(Op{{chain.take(), empty_box()}}).right.get();
    });
    chain.span_last(span_between(first, c));
    if (!build_expression(c, operand_depth, *right)) return false;
    previous = c;
  }
  return true;
}

bool TreeBuilder::build_comparison_expr(NodeRef node, int depth, Expr& out) {
  NodeRef first = node.first_child();
  if (!first.valid()) return failed(fail("Empty comparison_expr"));
  // Type predicates and IS-label checks (extended language) take no right
  // operand, like IS NULL.
  auto is_operator = [](Rule r) {
    return r == Rule::comparison_op || r == Rule::type_predicate || r == Rule::label_check;
  };
  int ops = 0;
  for (NodeRef c : children(node)) ops += is_operator(c.rule());
  if (ops == 0) return build_expression(first, depth, out);
  const int operand_depth = depth + ops;
  if (operand_depth > kMaxTreeDepth) return failed(too_deep(first));

  OperatorChain chain(out, ops);
  if (!build_expression(first, operand_depth, chain.first())) return false;
  NodeRef c = first.next_sibling(node);
  while (c.valid() && is_operator(c.rule())) {
    const NodeRef op = c;
    c = c.next_sibling(node);
    if (op.rule() == Rule::type_predicate) {
      if (!build_type_predicate(op, chain)) return false;
      chain.span_last(span_between(first, op));
      continue;
    }
    if (op.rule() == Rule::label_check) {
      if (!build_label_check(op, chain)) return false;
      chain.span_last(span_between(first, op));
      continue;
    }
    const std::string_view text = op.text();
    // IS NULL and IS NOT NULL take no right operand.
    if (starts_upper(text, "IS")) {
      if (keyword_follows(op.start() + 2, "NOT")) {
        chain.place<Expr::IsNotNull>(Expr::IsNotNull{{chain.take()}});
      } else {
        chain.place<Expr::IsNull>(Expr::IsNull{{chain.take()}});
      }
      chain.span_last(span_between(first, op));
      continue;
    }
    if (!c.valid()) break;
    const Comparison kind = comparison_of(text);
    if (kind == Comparison::Unknown) {
      // The right operand's failure, if any, comes first.
      Expr right(Expr::Null{});
      if (!build_expression(c, operand_depth, right)) return false;
      return failed(fail("Unknown comparison op: " + upper_text(text)));
    }
    Expr* right = nullptr;
    with_comparison(kind, [&]<class Op>() {
      right = chain.place<Op>(Op{{chain.take(), empty_box()}}).right.get();
    });
    chain.span_last(span_between(first, c));
    if (!build_expression(c, operand_depth, *right)) return false;
    c = c.next_sibling(node);
  }
  chain.finish();
  return true;
}

bool TreeBuilder::build_postfix_expr(NodeRef node, int depth, Expr& out) {
  NodeRef atom = node.first_child();
  if (!atom.valid()) return failed(fail("Postfix missing atom"));
  int ops = 0;
  for (NodeRef c = atom.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    ops += c.rule() == Rule::postfix_op || c.rule() == Rule::label_check;
  }
  if (ops == 0) return build_expression(atom, depth, out);
  // Each operator wraps what came before: the atom sits below all of them.
  const int inner_depth = depth + ops;
  if (inner_depth > kMaxTreeDepth) return failed(too_deep(atom));

  OperatorChain chain(out, ops);
  if (!build_expression(atom, inner_depth, chain.first())) return false;
  for (NodeRef c = atom.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() == Rule::label_check) {
      if (!build_label_check(c, chain)) return false;
      chain.span_last(span_between(atom, c));
      continue;
    }
    if (c.rule() != Rule::postfix_op) continue;
    NodeRef op = c.first_child();
    if (!op.valid()) return failed(fail("Empty postfix_op"));
    if (op.rule() == Rule::property_lookup) {
      NodeRef key = op.first_child();
      if (!key.valid()) return failed(fail("Property lookup missing key"));
      chain.place<Expr::Property>(chain.take(), TextCopy{name_text(key)}, span_of(key));
      chain.span_last(span_between(atom, c));
    } else if (op.rule() == Rule::subscript_op) {
      NodeRef index_node = op.first_child();
      if (!index_node.valid()) return failed(fail("Subscript missing index"));
      Expr& index = *chain.place<Expr::Index>(chain.take(), empty_box()).index;
      chain.span_last(span_between(atom, c));
      if (!build_expression(index_node, inner_depth, index)) return false;
    } else if (op.rule() == Rule::list_slice_op) {
      // A bound written right after "[" is `from`; one after ".." is `to`.
      NodeRef first = op.first_child();
      NodeRef second = first.valid() ? first.next_sibling(op) : NodeRef();
      const bool starts_with_dots =
          text_.compare(skip_ignorable(text_, op.start() + 1), 2, "..") == 0;
      Expr::Slice& slice = chain.place<Expr::Slice>(chain.take(), std::nullopt, std::nullopt);
      chain.span_last(span_between(atom, c));
      if (first.valid()) {
        Box<Expr>& bound = (starts_with_dots ? slice.to : slice.from).emplace(empty_box());
        if (!build_expression(first, inner_depth, *bound)) return false;
      }
      if (second.valid()) {
        if (!build_expression(second, inner_depth, *slice.to.emplace(empty_box()))) return false;
      }
    }
  }
  chain.finish();
  return true;
}

bool TreeBuilder::build_atom(NodeRef node, int depth, Expr& out) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return failed(fail("Empty atom"));
  switch (inner.rule()) {
    case Rule::parenthesized_expr: {
      NodeRef e = inner.first_child();
      if (!e.valid()) return failed(fail("Empty paren expr"));
      return build_expression(e, depth, out);
    }
    case Rule::count_star:
      out.node.emplace<Expr::CountStar>();
      return true;
    case Rule::function_invocation: {
      NodeRef name = inner.first_child();
      if (!name.valid()) return failed(fail("Function missing name"));
      Expr::FunctionCall& call = out.node.emplace<Expr::FunctionCall>();
      call.name.assign(name.text());
      // DISTINCT, when written, comes right after the opening parenthesis.
      const size_t paren = skip_ignorable(text_, name.end());
      call.distinct = keyword_before(paren + 1, "DISTINCT", name.next_sibling(inner));
      size_t count = 0;
      for (NodeRef c = name.next_sibling(inner); c.valid(); c = c.next_sibling(inner)) ++count;
      call.args.reserve(count);
      for (NodeRef c = name.next_sibling(inner); c.valid(); c = c.next_sibling(inner)) {
        if (!build_expression(c, depth + 1, call.args.emplace_back(Expr::Null{}))) return false;
      }
      return true;
    }
    case Rule::case_expression: {
      Expr::Case& result = out.node.emplace<Expr::Case>();
      // A WHEN is built into a new alternative, which its THEN completes.
      bool pending_when = false;
      size_t previous_end = inner.start() + 4;  // after CASE
      for (NodeRef c : children(inner)) {
        const size_t keyword_pos = skip_ignorable(text_, previous_end);
        previous_end = c.end();
        Expr* dest;
        Expr scratch(Expr::Null{});
        // Only the operand has no keyword of its own before it, however it
        // begins (`CASE elsewhere WHEN ...`).
        if (keyword_pos >= c.start()) {
          dest = &*result.operand.emplace(empty_box());
        } else if (starts_with_keyword(text_, keyword_pos, "WHEN")) {
          if (!pending_when)
            result.alternatives.emplace_back(Expr::CaseAlternative{Expr::Null{}, Expr::Null{}});
          pending_when = true;
          dest = &result.alternatives.back().when;
        } else if (starts_with_keyword(text_, keyword_pos, "THEN")) {
          // A THEN without a WHEN is dropped.
          dest = pending_when ? &result.alternatives.back().then : &scratch;
          pending_when = false;
        } else if (starts_with_keyword(text_, keyword_pos, "ELSE")) {
          dest = &*result.else_expr.emplace(empty_box());
        } else {
          dest = &*result.operand.emplace(empty_box());
        }
        if (!build_expression(c, depth + 1, *dest)) return false;
      }
      if (pending_when) result.alternatives.pop_back();
      return true;
    }
    case Rule::list_comprehension:
      return build_iteration(inner, depth, true, 0, out);
    case Rule::quantifier_expression: {
      const std::string_view text = inner.text();
      const size_t kind = starts_upper(text, "ALL")    ? 0
                          : starts_upper(text, "ANY")  ? 1
                          : starts_upper(text, "NONE") ? 2
                                                       : 3;
      return build_iteration(inner, depth, false, kind, out);
    }
    case Rule::exists_subquery:
      return build_exists_or_count(inner, depth, false, out);
    case Rule::count_subquery:
      return build_exists_or_count(inner, depth, true, out);
    case Rule::collect_subquery:
      return build_collect(inner, depth, out);
    case Rule::pattern_predicate:
      return build_pattern_predicate(inner, depth, out);
    case Rule::pattern_comprehension:
      return build_pattern_comprehension(inner, depth, out);
    case Rule::map_projection:
      return build_map_projection(inner, depth, out);
    case Rule::reduce_expression:
      return build_reduce(inner, depth, out);
    case Rule::shortest_path:
      return build_shortest_path_expr(inner, depth, out);
    case Rule::literal:
      return build_literal(inner, depth, out);
    case Rule::parameter: {
      std::string_view name = inner.text();
      while (!name.empty() && name.front() == '$') name.remove_prefix(1);
      out.node.emplace<Expr::Parameter>(Expr::Parameter{TextCopy{name}});
      return true;
    }
    case Rule::variable:
      out.node.emplace<Expr::Variable>(Expr::Variable{TextCopy{name_text(inner)}});
      return true;
    default:
      return failed(fail("Unknown atom: " + std::string(rule_name(inner.rule()))));
  }
}

bool TreeBuilder::build_iteration(NodeRef node, int depth, bool comprehension, size_t kind,
                                  Expr& out) {
  // Without a list the iteration runs over null.
  Expr::ListComprehension* loop = nullptr;
  Expr::Quantifier* quantifier = nullptr;
  if (comprehension) {
    loop = &out.node.emplace<Expr::ListComprehension>(
        Expr::ListComprehension{{}, empty_box(), std::nullopt, std::nullopt});
  } else {
    Expr::Quantifier q{{}, empty_box(), std::nullopt};
    switch (kind) {
      case 0:
        quantifier = &out.node.emplace<Expr::All>(Expr::All{std::move(q)});
        break;
      case 1:
        quantifier = &out.node.emplace<Expr::Any>(Expr::Any{std::move(q)});
        break;
      case 2:
        quantifier = &out.node.emplace<Expr::None>(Expr::None{std::move(q)});
        break;
      default:
        quantifier = &out.node.emplace<Expr::Single>(Expr::Single{std::move(q)});
        break;
    }
  }
  std::string& variable = loop ? loop->variable : quantifier->variable;
  Box<Expr>& list = loop ? loop->list : quantifier->list;
  std::optional<Box<Expr>>& predicate = loop ? loop->predicate : quantifier->predicate;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::filter_expression) {
      for (NodeRef f : children(c)) {
        if (f.rule() == Rule::id_in_coll) {
          NodeRef var = f.first_child();
          if (var.valid()) {
            variable.assign(name_text(var));
            NodeRef coll = var.next_sibling(f);
            if (coll.valid() && !build_expression(coll, depth + 1, *list)) return false;
          }
        } else if (f.rule() == Rule::expression) {
          if (!build_expression(f, depth + 1, *predicate.emplace(empty_box()))) return false;
        }
      }
    } else if (comprehension && c.rule() == Rule::expression) {
      if (!build_expression(c, depth + 1, *loop->projection.emplace(empty_box()))) return false;
    }
  }
  return true;
}

bool TreeBuilder::build_literal(NodeRef node, int depth, Expr& out) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return failed(fail("Empty literal"));
  std::string_view text = inner.text();
  switch (inner.rule()) {
    case Rule::integer_literal: {
      Expr::Integer& integer = out.node.emplace<Expr::Integer>(Expr::Integer{read_integer(text)});
      // The grammar reads only digits of the literal's base here, so 0 from
      // anything but a zero literal means the value did not fit.
      if (integer.value == 0 && text.find_first_not_of("0xXo") != std::string_view::npos) {
        integer.too_large = TextCopy{text};
      }
      return true;
    }
    case Rule::float_literal:
      out.node.emplace<Expr::Float>(Expr::Float{read_float(text), {}});
      if (float_too_large(text)) std::get<Expr::Float>(out.node).too_large = TextCopy{text};
      return true;
    case Rule::string_literal:
      out.node.emplace<Expr::String>(Expr::String{TextCopy{text.substr(1, text.size() - 2)}});
      return true;
    case Rule::boolean_literal:
      out.node.emplace<Expr::Boolean>(Expr::Boolean{equals_upper(text, "TRUE")});
      return true;
    case Rule::null_literal:
      out.node.emplace<Expr::Null>();
      return true;
    case Rule::list_literal: {
      std::vector<Expr>& items = out.node.emplace<Expr::List>().items;
      size_t count = 0;
      for (NodeRef c : children(inner)) count += c.rule() == Rule::expression;
      items.reserve(count);
      for (NodeRef c : children(inner)) {
        if (c.rule() != Rule::expression) continue;
        if (!build_expression(c, depth + 1, items.emplace_back(Expr::Null{}))) return false;
      }
      return true;
    }
    case Rule::map_literal:
      return build_map_literal(inner, depth, out.node.emplace<Expr::Map>().entries);
    default:
      return failed(fail("Unknown literal: " + std::string(rule_name(inner.rule()))));
  }
}

bool TreeBuilder::build_property_expression(NodeRef node, PropertyExpr& target) {
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      target.variable.assign(name_text(c));
      target.variable_span = span_of(c);
    } else if (c.rule() == Rule::property_lookup) {
      NodeRef key = c.first_child();
      if (!key.valid()) return failed(fail("Property lookup missing key"));
      target.keys.emplace_back(name_text(key));
      target.key_spans.push_back(span_of(key));
    }
  }
  return true;
}

}  // namespace quorvane
