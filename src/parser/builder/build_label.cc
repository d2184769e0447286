// Label and type expressions of the extended language.
#include <optional>
#include <string>
#include <vector>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

// Merges a single operand into its parent: (A) stays A.
LabelExpr combine(LabelExpr::Kind kind, std::vector<LabelExpr> operands, Span span) {
  if (operands.size() == 1) return std::move(operands.front());
  LabelExpr e;
  e.kind = kind;
  e.operands = std::move(operands);
  e.span = span;
  return e;
}

void collect_names(NodeRef node, std::vector<std::string>& out, std::vector<Span>& spans) {
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::label_name || c.rule() == Rule::rel_type_name) {
      out.push_back(TreeBuilder::name_of(c));
      spans.push_back(span_of(c));
    } else {
      collect_names(c, out, spans);
    }
  }
}

}  // namespace

std::optional<LabelExpr> TreeBuilder::build_label_expr(NodeRef node, int depth) {
  if (depth > kMaxTreeDepth) return std::nullopt;
  switch (node.rule()) {
    case Rule::label_expression:
    case Rule::label_conjunction: {
      // Only an operator with two operands or more adds a level.
      size_t count = 0;
      for (NodeRef c : children(node)) count += c.valid();
      const int below = depth + (count > 1 ? 1 : 0);
      std::vector<LabelExpr> operands;
      for (NodeRef c : children(node)) {
        std::optional<LabelExpr> operand = build_label_expr(c, below);
        if (!operand) return std::nullopt;
        operands.push_back(std::move(*operand));
      }
      return combine(
          node.rule() == Rule::label_expression ? LabelExpr::Kind::Or : LabelExpr::Kind::And,
          std::move(operands), span_of(node));
    }
    case Rule::label_negation: {
      // One "!" per negation, all written before the atom, maybe with
      // comments between them (which may hold a "!" of their own). The
      // first is the outermost, so they wrap the atom from the last.
      NodeRef atom = node.child(Rule::label_atom);
      const std::string_view text = node.source();
      const size_t end = atom.valid() ? atom.start() : node.start();
      std::vector<size_t> bangs;
      for (size_t pos = node.start(); pos < end && text[pos] == '!';
           pos = skip_ignorable(text, pos + 1)) {
        bangs.push_back(pos);
        if (depth + static_cast<int>(bangs.size()) > kMaxTreeDepth) return std::nullopt;
      }
      std::optional<LabelExpr> result =
          atom.valid() ? build_label_expr(atom, depth + static_cast<int>(bangs.size()))
                       : std::optional<LabelExpr>(LabelExpr{});
      if (!result) return std::nullopt;
      for (size_t i = bangs.size(); i-- > 0;) {
        LabelExpr negated;
        negated.kind = LabelExpr::Kind::Not;
        negated.span = Span{static_cast<uint32_t>(bangs[i]), node.end()};
        negated.operands.push_back(std::move(*result));
        *result = std::move(negated);
      }
      return result;
    }
    case Rule::label_atom: {
      NodeRef inner = node.first_child();
      if (!inner.valid()) return LabelExpr{LabelExpr::Kind::Wildcard, {}, {}, span_of(node)};
      return build_label_expr(inner, depth);
    }
    default:  // label_name or rel_type_name
      return LabelExpr{LabelExpr::Kind::Name, name_of(node), {}, span_of(node)};
  }
}

std::vector<std::string> TreeBuilder::label_names(NodeRef node_labels, std::vector<Span>& spans) {
  std::vector<std::string> names;
  collect_names(node_labels, names, spans);
  return names;
}

}  // namespace quorvane
