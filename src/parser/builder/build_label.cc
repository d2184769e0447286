// Label and type expressions of the extended language.
#include <string>
#include <vector>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"

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

LabelExpr TreeBuilder::build_label_expr(NodeRef node) {
  switch (node.rule()) {
    case Rule::label_expression:
    case Rule::label_conjunction: {
      std::vector<LabelExpr> operands;
      for (NodeRef c : children(node)) operands.push_back(build_label_expr(c));
      return combine(
          node.rule() == Rule::label_expression ? LabelExpr::Kind::Or : LabelExpr::Kind::And,
          std::move(operands), span_of(node));
    }
    case Rule::label_negation: {
      NodeRef atom = node.child(Rule::label_atom);
      LabelExpr result = atom.valid() ? build_label_expr(atom) : LabelExpr{};
      // One "!" per negation, all written before the atom, maybe with
      // comments between them (which may hold a "!" of their own). The
      // first is the outermost, so they wrap the atom from the last.
      const std::string_view text = node.source();
      const size_t end = atom.valid() ? atom.start() : node.start();
      std::vector<size_t> bangs;
      for (size_t pos = node.start(); pos < end && text[pos] == '!';
           pos = skip_ignorable(text, pos + 1)) {
        bangs.push_back(pos);
      }
      for (size_t i = bangs.size(); i-- > 0;) {
        LabelExpr negated;
        negated.kind = LabelExpr::Kind::Not;
        negated.span = Span{static_cast<uint32_t>(bangs[i]), node.end()};
        negated.operands.push_back(std::move(result));
        result = std::move(negated);
      }
      return result;
    }
    case Rule::label_atom: {
      NodeRef inner = node.first_child();
      if (!inner.valid()) return LabelExpr{LabelExpr::Kind::Wildcard, {}, {}, span_of(node)};
      return build_label_expr(inner);
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
