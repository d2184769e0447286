// Expressions of the extended language: pattern predicates and
// comprehensions, label checks, type predicates, reduce and shortestPath.
#include <string>
#include <utility>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

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
    if (gap && !out.empty() && out.back() != '<' && out.back() != '|' && !tight(c)) out += ' ';
    gap = false;
    out += c;
  }
  return out;
}

// The single words that name a value type.
constexpr std::string_view kTypeWords[] = {
    "BOOLEAN",   "BOOL",      "STRING",    "VARCHAR", "INTEGER",      "INT",       "INTEGER8",
    "INTEGER16", "INTEGER32", "INTEGER64", "INT8",    "INT16",        "INT32",     "INT64",
    "FLOAT",     "FLOAT32",   "FLOAT64",   "DATE",    "DATETIME",     "TIMESTAMP", "TIME",
    "DURATION",  "POINT",     "NODE",      "VERTEX",  "RELATIONSHIP", "EDGE",      "MAP",
    "PATH",      "NOTHING",   "NULL"};

// A pattern predicate written as it stands, not in parentheses of its own.
Expr::PatternPredicate* bare_pattern(Expr& e) {
  auto* predicate = std::get_if<Expr::PatternPredicate>(&e.node);
  if (predicate == nullptr || (*predicate->pattern).start.span.begin != e.span.begin) {
    return nullptr;
  }
  return predicate;
}

}  // namespace

// In the extended language a parenthesis may open a path used as a value,
// `(a)-[:R]->(b)`; the matcher tries that first and reads a parenthesized
// expression when no relationship follows the first node.
bool DirectReader::read_parenthesized_or_pattern(Expr& out) {
  const Mark open = mark();
  if (failed_before(Attempt::kPathInParenthesis, open.pos)) {
    accept('(');
    return read_expression(out) && accept(')');
  }
  Box<PatternPart> part = box<PatternPart>();
  const NodeAttempt node = try_node(part->start);
  if (node == NodeAttempt::kDecline) return false;
  if (node == NodeAttempt::kNode && relationship_here()) {
    // The pattern's property values sit two levels below the value.
    if (!count_node()) return false;
    while (relationship_here()) {
      // A relationship that no node follows, or one a token of is missing
      // from, is not the pattern's: the matcher gives it back, and `(a)--1`
      // is `(a) - -1`, `(a)--(b)--1` the path minus -1, `(a)-[]` `(a)` minus
      // a list.
      const Mark link_start = mark();
      PatternLink& link = add(part->chain);
      bool unmatched = false;
      NodeAttempt next = NodeAttempt::kNotNode;
      if (!read_relationship(link.relationship, &unmatched)) {
        if (!unmatched) return false;
      } else if (peek() == '(') {
        next = try_node(link.node);
      }
      if (next == NodeAttempt::kDecline) return false;
      if (next == NodeAttempt::kNotNode) {
        part->chain.pop_back();
        if (!give_back(link_start)) return false;
        break;
      }
    }
    if (!part->chain.empty()) {
      out.node.emplace<Expr::PatternPredicate>(Expr::PatternPredicate{std::move(part)});
      return true;
    }
  }
  // Read again as an expression.
  if (!read_again(Attempt::kPathInParenthesis, open)) return false;
  accept('(');
  return read_expression(out) && accept(')');
}

// A node pattern, if the text here is one. A part that fails short of a
// limit makes it no node, as the matcher finds (`(b {p: x, y})` is a map
// projection); a limit declines the whole text.
DirectReader::NodeAttempt DirectReader::try_node(NodePattern& out) {
  const size_t start = pos_;
  auto part_failed = [&] {
    return limit_ == Limit::None ? NodeAttempt::kNotNode : NodeAttempt::kDecline;
  };
  accept('(');
  if (!read_optional_variable(out.variable, out.variable_span)) return NodeAttempt::kNotNode;
  if ((peek() == ':' || word_here("IS")) && !read_node_labels(out)) return NodeAttempt::kNotNode;
  if (peek() == '{') {
    // A map literal: `{}` or `{key: ...`; anything else is a map
    // projection's body.
    size_t p = skip_ignorable(text_, pos_ + 1);
    if (p < text_.size() && text_[p] != '}') {
      const size_t saved = pos_;
      const size_t saved_end = end_;
      pos_ = p;
      std::string_view key;
      const bool keyed = read_name(NameKind::kAny, key) && peek() == ':';
      pos_ = saved;
      end_ = saved_end;
      if (!keyed) return NodeAttempt::kNotNode;
    }
    if (!read_properties(out.properties.emplace_in(arena_))) return part_failed();
  } else if (peek() == '$' && !read_properties(out.properties.emplace_in(arena_))) {
    return NodeAttempt::kNotNode;
  }
  if (word_here("WHERE")) {
    whole_word("WHERE");
    if (!read_expression(*out.where_clause.emplace(placeholder()))) return part_failed();
  }
  if (!accept(')')) return NodeAttempt::kNotNode;
  out.span = span_from(start);
  return NodeAttempt::kNode;
}

// Whether a list's first element, read as an expression, is the pattern of
// a pattern comprehension: `(a)-->(b)` or `p = (a)-->(b)` as written, with
// no parentheses around either part.
bool DirectReader::starts_pattern_comprehension(Expr& first) const {
  if (bare_pattern(first) != nullptr) return true;
  auto* equal = std::get_if<Expr::Equal>(&first.node);
  return equal != nullptr && equal->left->as<Expr::Variable>() != nullptr &&
         text_[equal->left->span.begin] != '(' && bare_pattern(*equal->right) != nullptr;
}

// `[p = (a)-->(b) WHERE cond | projection]`, once `first` turned out to be
// its pattern.
bool DirectReader::read_pattern_comprehension(Expr& out, Expr& first) {
  const TreeString* path = nullptr;
  Expr::PatternPredicate* pattern = bare_pattern(first);
  if (pattern == nullptr) {
    auto& equal = std::get<Expr::Equal>(first.node);
    path = &std::get<Expr::Variable>(equal.left->node).name;
    pattern = bare_pattern(*equal.right);
  }
  if (!count_node()) return false;
  Box<PatternPart> part = box<PatternPart>(std::move(*pattern->pattern));
  // The path's name is a view into the text; a copy of the view is one too.
  if (path != nullptr) part->variable.emplace_in(arena_, TreeString::view(path->sv()));
  Expr::PatternComprehension& comprehension = out.node.emplace<Expr::PatternComprehension>(
      Expr::PatternComprehension{std::move(part), std::nullopt, placeholder()});
  if (keyword("WHERE") && !read_predicate_before_bar(comprehension.predicate)) return false;
  return accept('|') && read_expression(*comprehension.projection) && accept(']');
}

// `n:A`, `n:A:B`, `n:A|B&!%` after a postfix chain: the colon parts are a
// conjunction, as in node patterns.
bool DirectReader::read_label_check(Expr& out, size_t start) {
  TreeList<LabelExpr> parts;
  while (peek() == ':' && label_atom_here(skip_ignorable(text_, pos_ + 1))) {
    accept(':');
    if (!read_label_expression(add(parts), false, true)) return false;
  }
  if (parts.empty() || !count_node()) return false;
  const Span span{parts.front().span.begin, parts.back().span.end};
  LabelExpr labels = parts.size() == 1
                         ? std::move(parts.front())
                         : LabelExpr{LabelExpr::Kind::And, {}, std::move(parts), span};
  Box<Expr> target = box<Expr>(std::move(out));
  out.node.emplace<Expr::LabelCheck>(
      Expr::LabelCheck{std::move(target), box<LabelExpr>(std::move(labels))});
  out.span = span_from(start);
  label_check_end_ = end_;
  return true;
}

// `x IS A|B`, after IS.
bool DirectReader::read_is_label_check(Expr& out, size_t start) {
  LabelExpr labels;
  if (!count_node() || !read_label_expression(labels, false, true)) return false;
  Box<Expr> target = box<Expr>(std::move(out));
  out.node.emplace<Expr::LabelCheck>(
      Expr::LabelCheck{std::move(target), box<LabelExpr>(std::move(labels))});
  out.span = span_from(start);
  label_check_end_ = end_;
  return true;
}

// `:: TYPE` or `TYPED TYPE`, after `IS [NOT]` or alone.
bool DirectReader::read_type_predicate(Expr& out, size_t start, bool negated) {
  if (peek() == ':' && peek_at(1) == ':') {
    pos_ += 2;
    skip();
  } else if (!whole_word("TYPED")) {
    return false;
  }
  const size_t type_start = pos_;
  if (!count_node() || !read_type_name()) return false;
  TreeString type = keep(normalized_type(text_.substr(type_start, end_ - type_start)));
  Box<Expr> operand = box<Expr>(std::move(out));
  out.node.emplace<Expr::TypePredicate>(
      Expr::TypePredicate{std::move(operand), std::move(type), negated});
  out.span = span_from(start);
  return true;
}

// Alternatives joined by `|`; a `|` that no type follows is not the type's
// (`[x IN list WHERE x :: INTEGER | x]`).
bool DirectReader::read_type_name() {
  if (!read_type_term()) return false;
  while (peek() == '|') {
    const size_t bar = pos_;
    const size_t bar_end = end_;
    accept('|');
    if (!read_type_term()) {
      pos_ = bar;
      end_ = bar_end;
      break;
    }
  }
  return true;
}

bool DirectReader::read_type_term() {
  if (!read_type_base()) return false;
  const size_t at = pos_;
  const size_t at_end = end_;
  if (whole_word("NOT") && whole_word("NULL")) return true;
  pos_ = at;
  end_ = at_end;
  return true;
}

// The matcher's alternatives, in its order: each that fails gives back what
// it read.
bool DirectReader::read_type_base() {
  const size_t start = pos_;
  const size_t start_end = end_;
  auto back = [&] {
    pos_ = start;
    end_ = start_end;
  };
  if (whole_word("LIST") || whole_word("ARRAY") || whole_word("ANY")) {
    if (accept('<')) {
      if (!can_nest()) return false;
      ++depth_;
      const bool ok = read_type_name() && accept('>');
      --depth_;
      if (ok) return true;
    }
    back();
  }
  if (whole_word("ANY")) {
    if (whole_word("NODE") || whole_word("VERTEX") || whole_word("RELATIONSHIP") ||
        whole_word("EDGE") || whole_word("VALUE")) {
      return true;
    }
    const size_t any_end = pos_;
    const size_t any_last = end_;
    if (whole_word("PROPERTY") && whole_word("VALUE")) return true;
    pos_ = any_end;
    end_ = any_last;
    return true;
  }
  if (whole_word("PROPERTY")) {
    if (whole_word("VALUE")) return true;
    back();
  }
  if (whole_word("SIGNED")) {
    if (whole_word("INTEGER")) return true;
    back();
  }
  if (whole_word("LOCAL") || whole_word("ZONED")) {
    if (whole_word("DATETIME") || whole_word("TIME")) return true;
    back();
  }
  if (whole_word("TIMESTAMP") || whole_word("TIME")) {
    if ((whole_word("WITHOUT") || whole_word("WITH")) && whole_word("TIME") && whole_word("ZONE")) {
      return true;
    }
    back();
  }
  for (std::string_view word : kTypeWords) {
    if (whole_word(word)) return true;
  }
  return false;
}

// `reduce(acc = init, x IN list | expression)`, once `reduce(acc =` has
// been read. Where it fails short of a limit the matcher reads a call of a
// function named reduce instead (`reduce(acc = 1, x)`).
bool DirectReader::read_reduce(Expr& out, TreeString accumulator) {
  if (!count_node()) return false;
  Expr::Reduce& reduce = out.node.emplace<Expr::Reduce>(Expr::Reduce{
      std::move(accumulator), placeholder(),
      box<Expr::ListComprehension>(TreeString(), placeholder(), std::nullopt, placeholder())});
  Expr::ListComprehension& iteration = *reduce.iteration;
  return read_expression(*reduce.init) && accept(',') &&
         read_name(NameKind::kVariable, iteration.variable) && keyword("IN") &&
         read_expression(*iteration.list) && accept('|') &&
         read_expression(**iteration.projection) && accept(')');
}

// `shortestPath(pattern)` or `allShortestPaths(pattern)`, from the word on.
bool DirectReader::read_shortest_path(Expr& out, bool all) {
  // The path's property values sit two levels below the value.
  if (!count_node()) return false;
  whole_word(all ? "ALLSHORTESTPATHS" : "SHORTESTPATH");
  accept('(');
  Expr::ShortestPath& path =
      out.node.emplace<Expr::ShortestPath>(Expr::ShortestPath{all, box<PatternPart>()});
  if (!read_pattern_element(*path.pattern) || !accept(')')) return false;
  path.pattern->selector = all ? PathSelector::AllShortestPaths : PathSelector::ShortestPath;
  return true;
}

}  // namespace quorvane
