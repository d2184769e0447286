// Patterns of the extended language: label and type expressions, path
// selectors, quantified groups and quantified relationships.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

bool is_name_start(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '`';
}

// Whether the expression is built from names, `&` and `|` only: its names
// are then the ones a node or relationship may carry.
bool names_only(const LabelExpr& e) {
  if (e.kind == LabelExpr::Kind::Name) return true;
  if (e.kind != LabelExpr::Kind::And && e.kind != LabelExpr::Kind::Or) return false;
  for (const LabelExpr& operand : e.operands) {
    if (!names_only(operand)) return false;
  }
  return true;
}

void append_names(Arena* arena, const LabelExpr& e, TreeList<TreeString>& out,
                  TreeList<Span>& spans) {
  if (e.kind == LabelExpr::Kind::Name) {
    out.emplace_back_in(arena, TreeString::view(e.name));
    spans.emplace_back_in(arena, e.span);
  }
  for (const LabelExpr& operand : e.operands) append_names(arena, operand, out, spans);
}

// Moves the expressions of the dynamic labels in `e` to `out`.
void take_dynamic(Arena* arena, LabelExpr& e, TreeList<Expr>& out) {
  if (e.kind == LabelExpr::Kind::Dynamic) out.emplace_back_in(arena, std::move(**e.names));
  for (LabelExpr& operand : e.operands) take_dynamic(arena, operand, out);
}

bool is_plain_name(const LabelExpr& e) {
  return e.kind == LabelExpr::Kind::Name;
}

// Operands joined under one operator, or the lone operand itself.
LabelExpr joined(LabelExpr::Kind kind, TreeList<LabelExpr> operands, Span span) {
  if (operands.size() == 1) return std::move(operands.front());
  return LabelExpr{kind, {}, std::move(operands), span};
}

}  // namespace

// `p = `, a path selector and `shortestPath(...)` may come before the path
// in the extended language.
bool DirectReader::read_pattern_part(PatternPart& out) {
  const size_t start = pos_;
  if (!extended_) {
    if (peek() != '(') {
      if (!read_name(NameKind::kVariable, out.variable.emplace_in(arena_)) || !accept('='))
        return false;
      if (peek() != '(') return false;
    }
    if (!read_pattern_element(out)) return false;
    out.span = span_from(start);
    // A bracket right after a node would open a quantified path.
    return peek() != '(';
  }
  if (peek() != '(') {
    // A name without `=` after it may be a selector's first word.
    const size_t name_start = pos_;
    const size_t name_end = end_;
    TreeString name;
    if (read_name(NameKind::kVariable, name) && accept('=')) {
      out.variable.emplace_in(arena_, std::move(name));
    } else {
      pos_ = name_start;
      end_ = name_end;
    }
  }
  if ((word_here("ALL") || word_here("ANY") || word_here("SHORTEST")) && !read_path_selector(out)) {
    return false;
  }
  const bool all = word_here("ALLSHORTESTPATHS");
  if (all || word_here("SHORTESTPATH")) {
    whole_word(all ? "ALLSHORTESTPATHS" : "SHORTESTPATH");
    if (!accept('(') || !read_pattern_element(out) || !accept(')')) return false;
    out.selector = all ? PathSelector::AllShortestPaths : PathSelector::ShortestPath;
  } else if (peek() != '(' || !read_pattern_element(out)) {
    return false;
  }
  out.span = span_from(start);
  return peek() != '(';
}

// Nodes and relationships; in the extended language also quantified groups,
// each taking the node written right after it or an anonymous one.
bool DirectReader::read_pattern_element(PatternPart& out) {
  if (peek() != '(') return false;
  if (!extended_) {
    if (!read_node(out.start)) return false;
    while (peek() == '-' || peek() == '<') {
      PatternLink& link = add(out.chain);
      if (!read_relationship(link.relationship)) return false;
      if (peek() != '(' || !read_node(link.node)) return false;
    }
    return true;
  }
  auto group_here = [&] {
    const size_t inner = skip_ignorable(text_, pos_ + 1);
    return inner < text_.size() && text_[inner] == '(';
  };
  Nullable<Box<QuantifiedPath>> pending;
  if (group_here()) {
    if (!read_quantified_path(*pending.emplace_in(arena_))) return false;
  } else if (!read_node(out.start)) {
    return false;
  }
  for (;;) {
    if (relationship_here()) {
      // A group before the relationship ends at an anonymous node.
      if (pending) {
        add(out.chain, PatternLink{{}, {}, std::move(pending)});
        pending.reset();
      }
      PatternLink& link = add(out.chain);
      if (!read_relationship(link.relationship)) return false;
      if (peek() != '(' || !read_node(link.node)) return false;
    } else if (peek() == '(' && group_here()) {
      if (pending) add(out.chain, PatternLink{{}, {}, std::move(pending)});
      pending.emplace_in(arena_);
      if (!read_quantified_path(**pending)) return false;
    } else if (peek() == '(' && pending) {
      PatternLink& link = add(out.chain, PatternLink{{}, {}, std::move(pending)});
      pending.reset();
      if (!read_node(link.node)) return false;
    } else {
      break;
    }
  }
  if (pending) add(out.chain, PatternLink{{}, {}, std::move(pending)});
  return true;
}

// `((a)-[:R]->(b) WHERE ...){1,3}`: nested as the matcher nests it.
bool DirectReader::read_quantified_path(QuantifiedPath& out) {
  if (!can_nest() || !count_node()) return false;
  ++depth_;
  accept('(');
  bool ok = read_pattern_element(out.path);
  if (ok && keyword("WHERE"))
    ok = read_expression(out.where_clause.emplace_in(arena_, Expr::Null{}));
  ok = ok && accept(')') && read_path_quantifier(out.quantifier);
  --depth_;
  return ok;
}

// `+`, `*`, `{n}`, `{m,n}`, `{m,}`, `{,n}`.
bool DirectReader::read_path_quantifier(RangeBounds& out) {
  if (accept('+')) {
    out = {1, std::nullopt};
    return true;
  }
  if (accept('*')) {
    out = {0, std::nullopt};
    return true;
  }
  if (!accept('{')) return false;
  bool min_written = false;
  bool max_written = false;
  std::optional<int64_t> min;
  if (!read_bound(min, min_written)) return false;
  if (accept(',')) {
    std::optional<int64_t> max;
    if (!read_bound(max, max_written)) return false;
    out = {min ? min : std::optional<int64_t>(0), max};
  } else {
    if (!min_written) return false;
    out = {min, min};
  }
  return accept('}');
}

// `ALL [SHORTEST]`, `ANY [SHORTEST | k]`, `SHORTEST k [GROUPS]`, each with
// an optional PATH or PATHS.
bool DirectReader::read_path_selector(PatternPart& out) {
  auto paths = [&] { whole_word("PATHS") || whole_word("PATH"); };
  // An integer literal, in any base; a word may follow it (`2PATHS`).
  auto count = [&]() {
    Expr literal(Expr::Null{});
    const Expr::Integer* integer = nullptr;
    if (peek() < '0' || peek() > '9' || !read_number(literal) ||
        (integer = literal.as<Expr::Integer>()) == nullptr || !integer->too_large.empty()) {
      return false;
    }
    out.selector_count = integer->value;
    return true;
  };
  if (whole_word("ALL")) {
    out.selector = whole_word("SHORTEST") ? PathSelector::AllShortest : PathSelector::All;
    paths();
    return true;
  }
  if (whole_word("ANY")) {
    if (whole_word("SHORTEST")) {
      out.selector = PathSelector::ShortestK;
      out.selector_count = 1;
    } else {
      out.selector = PathSelector::AnyPaths;
      if (peek() >= '0' && peek() <= '9' && !count()) return false;
    }
    paths();
    return true;
  }
  if (!whole_word("SHORTEST") || !count()) return false;
  paths();
  out.selector = whole_word("GROUPS") ? PathSelector::ShortestKGroups : PathSelector::ShortestK;
  return true;
}

// A variable where one may stand; a reserved word is left for what follows.
bool DirectReader::read_optional_variable(Nullable<TreeString>& name, Span& span) {
  if (!is_name_start(peek())) return true;
  const size_t start = pos_;
  const size_t last_end = end_;
  TreeString read;
  if (read_name(NameKind::kVariable, read, span)) {
    name = std::move(read);
    return true;
  }
  if (peek() == '`') return false;
  pos_ = start;
  end_ = last_end;
  return true;
}

// `IS expr`, or each `:expr` of a colon list.
bool DirectReader::read_label_parts(TreeList<LabelExpr>& parts) {
  if (whole_word("IS")) return read_label_expression(add(parts), false, false);
  while (accept(':')) {
    if (!read_label_expression(add(parts), false, false)) return false;
  }
  return true;
}

// `:A:B`, `:A|B&!C`, `IS A`: a colon list of plain names stays a list; any
// other expression is kept whole, with its names listed when they are all
// it holds besides `&` and `|`.
bool DirectReader::read_node_labels(NodePattern& out) {
  // Most nodes name their labels plainly (`:A:B`): those go straight into
  // the node. Where an operator follows a name, the labels are read again as
  // an expression: at most twice, so reading stays linear.
  if (peek() == ':') {
    const Mark from = mark();
    if (read_labels(out.labels, out.label_spans)) return true;
    rewind(from);
    out.labels.clear();
    out.label_spans.clear();
  }
  TreeList<LabelExpr> parts;
  if (!read_label_parts(parts)) return false;
  if (std::all_of(parts.begin(), parts.end(), is_plain_name)) {
    for (LabelExpr& part : parts) {
      add(out.labels, std::move(part.name));
      add(out.label_spans, part.span);
    }
    return true;
  }
  const Span span{parts.front().span.begin, parts.back().span.end};
  LabelExpr whole = joined(LabelExpr::Kind::And, std::move(parts), span);
  if (names_only(whole)) append_names(arena_, whole, out.labels, out.label_spans);
  out.label_expr = box<LabelExpr>(std::move(whole));
  return true;
}

// The labels of a SET or REMOVE item. The extended language takes any label
// expression there, `:A|B`, `:!A`, `IS %`, `:$(x)`; the tree keeps the names
// it holds and the expressions of its dynamic labels, in the order written.
bool DirectReader::read_item_labels(TreeList<TreeString>& names, TreeList<Span>& spans,
                                    TreeList<Expr>& dynamic) {
  if (!extended_) return read_labels(names, spans);
  TreeList<LabelExpr> parts;
  if (!read_label_parts(parts)) return false;
  for (LabelExpr& part : parts) {
    append_names(arena_, part, names, spans);
    take_dynamic(arena_, part, dynamic);
  }
  return !parts.empty();
}

// `:A|B` lists its types as the subset does; other type expressions are
// kept whole.
bool DirectReader::read_rel_types(RelationshipPattern& out) {
  if (!accept(':') && !whole_word("IS")) return false;
  // One plain type, the usual case, goes straight into the relationship.
  if (is_name_start(peek())) {
    const Mark from = mark();
    std::string_view name;
    Span span;
    if (read_name(NameKind::kAny, name, span) && peek() != '|' && peek() != '&') {
      add(out.types, TreeString::view(name));
      add(out.type_spans, span);
      return true;
    }
    rewind(from);
  }
  LabelExpr e;
  if (!read_label_expression(e, true, false)) return false;
  const bool plain_alternatives =
      e.kind == LabelExpr::Kind::Name ||
      (e.kind == LabelExpr::Kind::Or &&
       std::all_of(e.operands.begin(), e.operands.end(), is_plain_name));
  if (names_only(e)) append_names(arena_, e, out.types, out.type_spans);
  if (!plain_alternatives) out.type_expr = box<LabelExpr>(std::move(e));
  return true;
}

// Disjunctions of conjunctions of negations of atoms. A `|` that no
// conjunction follows is left to what comes after (`n:A || 'x'`).
bool DirectReader::read_label_expression(LabelExpr& out, bool rel, bool in_expression) {
  const size_t start = pos_;
  if (!read_label_conjunction(out, rel)) return false;
  const bool or_allowed = !in_expression || label_or_blocked_depth_ != depth_;
  if (!or_allowed || peek() != '|') return true;
  TreeList<LabelExpr> operands;
  add(operands, std::move(out));
  while (peek() == '|') {
    size_t at = skip_ignorable(text_, pos_ + 1);
    if (at < text_.size() && text_[at] == ':') at = skip_ignorable(text_, at + 1);
    if (!label_atom_here(at)) break;
    // An alternative that fails is not one: the matcher leaves the `|` to
    // what follows, as a comprehension's bar (`[x IN n:A|(n.p)]`).
    const Mark bar = mark();
    accept('|');
    accept(':');
    if (!read_label_conjunction(add(operands), rel)) {
      if (limit_ != Limit::None) return false;
      operands.pop_back();
      if (!give_back(bar)) return false;
      break;
    }
  }
  out = joined(LabelExpr::Kind::Or, std::move(operands), span_from(start));
  return true;
}

bool DirectReader::read_label_conjunction(LabelExpr& out, bool rel) {
  const size_t start = pos_;
  if (!read_label_negation(out, rel)) return false;
  if (peek() != '&') return true;
  TreeList<LabelExpr> operands;
  add(operands, std::move(out));
  while (accept('&')) {
    if (!read_label_negation(add(operands), rel)) return false;
  }
  out = joined(LabelExpr::Kind::And, std::move(operands), span_from(start));
  return true;
}

// Each `!` negates what follows it, so the first is the outermost.
bool DirectReader::read_label_negation(LabelExpr& out, bool rel) {
  std::vector<size_t> bangs;
  while (peek() == '!') {
    if (!count_node()) return false;
    bangs.push_back(pos_);
    accept('!');
  }
  if (!read_label_atom(out, rel)) return false;
  for (size_t i = bangs.size(); i-- > 0;) {
    LabelExpr negated{LabelExpr::Kind::Not, {}, {}, span_from(bangs[i])};
    add(negated.operands, std::move(out));
    out = std::move(negated);
  }
  return true;
}

// `%`, a name, a label expression in parentheses or a dynamic label (each
// nested as the matcher nests it).
bool DirectReader::read_label_atom(LabelExpr& out, bool rel) {
  const size_t start = pos_;
  if (accept('%')) {
    out = LabelExpr{LabelExpr::Kind::Wildcard, {}, {}, span_from(start)};
    return true;
  }
  if (peek() == '(') {
    if (!can_nest() || !count_node()) return false;
    ++depth_;
    accept('(');
    const bool ok = read_label_expression(out, rel, false) && accept(')');
    --depth_;
    return ok;
  }
  if (const size_t open = dynamic_label_open(text_, pos_); open != 0) {
    // `$(names)`: one level deeper, as a parenthesis is.
    if (!can_nest() || !count_node()) return false;
    ++depth_;
    // `$any(` asks for any one of the names, `$(` and `$all(` for all.
    const bool any = starts_with_keyword(text_, pos_ + 1, "ANY");
    pos_ = open;
    accept('(');
    Box<Expr> names = placeholder();
    const bool ok = read_expression(*names) && accept(')');
    --depth_;
    if (!ok) return false;
    out = LabelExpr{LabelExpr::Kind::Dynamic, {}, {}, span_from(start), std::move(names), any};
    return true;
  }
  std::string_view name;
  Span span;
  if (!read_name(NameKind::kAny, name, span)) return false;
  out = LabelExpr{LabelExpr::Kind::Name, TreeString::view(name), {}, span};
  return true;
}

// Whether a label atom, or the `!` before one, may start at `at`. Inside
// parentheses one must start too: `n:A|(1)` is `n:A` and what follows, as
// the matcher gives back the `|`.
bool DirectReader::label_atom_here(size_t at) const {
  while (at < text_.size() && text_[at] == '(') at = skip_ignorable(text_, at + 1);
  if (at >= text_.size()) return false;
  const unsigned char c = static_cast<unsigned char>(text_[at]);
  return c == '!' || c == '%' || is_name_start(c) || dynamic_label_open(text_, at) != 0;
}

// Whether a relationship starts here: `-[`, `--`, `<-[` or `<--`, with
// spaces and comments where the matcher allows them.
bool DirectReader::relationship_here() const {
  // Most arrows are written without a gap (`-[`, `<-`, `--`): those are
  // told by the next byte, the text's zero byte standing after its end.
  const char* at = text_.data() + pos_;
  if (at[0] == '<') {
    at = at[1] == '-' ? at + 1 : text_.data() + skip_ignorable(text_, pos_ + 1);
  }
  if (at[0] != '-') return false;
  if (at[1] == '-' || at[1] == '[') return true;
  const size_t p = skip_ignorable(text_, static_cast<size_t>(at - text_.data()) + 1);
  return p < text_.size() && text_[p] == '[';
}

}  // namespace quorvane
