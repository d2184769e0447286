// Patterns and map literals.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

CypherError fail(const char* message) {
  return CypherError::parse(message);
}

std::string_view trim(std::string_view s) {
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// A signed decimal bound with an optional sign; anything else is absent.
std::optional<int64_t> read_bound(std::string_view piece) {
  piece = trim(piece);
  if (piece.empty()) return std::nullopt;
  size_t i = (piece[0] == '+' || piece[0] == '-') ? 1 : 0;
  if (i == piece.size()) return std::nullopt;
  for (size_t k = i; k < piece.size(); ++k) {
    if (piece[k] < '0' || piece[k] > '9') return std::nullopt;
  }
  std::string digits(piece[0] == '+' ? piece.substr(1) : piece);
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(digits.c_str(), &end, 10);
  if (errno == ERANGE) return std::nullopt;
  return static_cast<int64_t>(value);
}

// A range's or quantifier's text with each comment made a space, so that a
// comment between its parts is not read as part of a bound.
std::string without_comments(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '/') {
      const size_t after = skip_ignorable(text, i);
      if (after > i) {
        out += ' ';
        i = after;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

RangeBounds read_range(std::string_view written) {
  const std::string plain = without_comments(written);
  std::string_view text = plain;
  while (!text.empty() && text.front() == '*') text.remove_prefix(1);
  text = trim(text);
  if (text.empty()) return {};
  size_t dots = text.find("..");
  if (dots == std::string_view::npos) {
    std::optional<int64_t> exact = read_bound(text);
    return {exact, exact};
  }
  std::string_view rest = text.substr(dots + 2);
  return {read_bound(text.substr(0, dots)), read_bound(rest.substr(0, rest.find("..")))};
}

// `+`, `*`, `{n}`, `{m,n}`, `{m,}`, `{,n}`.
RangeBounds read_quantifier(std::string_view written) {
  const std::string plain = without_comments(written);
  std::string_view text = trim(plain);
  if (text == "+") return {1, std::nullopt};
  if (text == "*") return {0, std::nullopt};
  if (text.size() >= 2) text = text.substr(1, text.size() - 2);
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos) {
    std::optional<int64_t> exact = read_bound(text);
    return {exact, exact};
  }
  std::optional<int64_t> min = read_bound(text.substr(0, comma));
  return {min ? min : std::optional<int64_t>(0), read_bound(text.substr(comma + 1))};
}

bool is_plain_name(const LabelExpr& e) {
  return e.kind == LabelExpr::Kind::Name;
}

// Whether the expression is built from names, `&` and `|` only.
bool names_only(const LabelExpr& e) {
  if (e.kind == LabelExpr::Kind::Name) return true;
  if (e.kind != LabelExpr::Kind::And && e.kind != LabelExpr::Kind::Or) return false;
  for (const LabelExpr& operand : e.operands) {
    if (!names_only(operand)) return false;
  }
  return true;
}

void append_names(const LabelExpr& e, std::vector<std::string>& out, std::vector<Span>& spans) {
  if (e.kind == LabelExpr::Kind::Name) {
    out.push_back(e.name);
    spans.push_back(e.span);
  }
  for (const LabelExpr& operand : e.operands) append_names(operand, out, spans);
}

// The selector's words and count as written; its comments are not read.
PathSelector read_selector(std::string_view written, std::optional<int64_t>& count) {
  const std::string text = without_comments(written);
  std::string upper;
  for (char c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    upper += c;
  }
  const bool shortest = upper.find("SHORTEST") != std::string::npos;
  size_t digit = upper.find_first_of("0123456789");
  if (digit != std::string::npos) {
    // A hexadecimal or octal count is read in its base.
    int base = 10;
    if (upper.compare(digit, 2, "0X") == 0 || upper.compare(digit, 2, "0O") == 0) {
      base = upper[digit + 1] == 'X' ? 16 : 8;
      digit += 2;
    }
    size_t end = upper.find_first_not_of(base == 16 ? "0123456789ABCDEF" : "0123456789", digit);
    end = std::min(end, upper.size());
    int64_t value = 0;
    const auto [last, ec] = std::from_chars(upper.data() + digit, upper.data() + end, value, base);
    if (ec == std::errc() && last == upper.data() + end) count = value;
  }
  if (upper.compare(0, 3, "ALL") == 0)
    return shortest ? PathSelector::AllShortest : PathSelector::All;
  if (upper.compare(0, 3, "ANY") == 0) {
    if (shortest) count = 1;
    return shortest ? PathSelector::ShortestK : PathSelector::AnyPaths;
  }
  return upper.find("GROUPS") != std::string::npos ? PathSelector::ShortestKGroups
                                                   : PathSelector::ShortestK;
}

}  // namespace

bool TreeBuilder::build_pattern(NodeRef node, int depth, Pattern& pattern) {
  size_t count = 0;
  for (NodeRef c : children(node)) count += c.rule() == Rule::pattern_part;
  pattern.reserve(count);
  for (NodeRef c : children(node)) {
    if (c.rule() != Rule::pattern_part) continue;
    if (!build_pattern_part(c, depth, pattern.emplace_back())) return false;
  }
  return true;
}

bool TreeBuilder::build_pattern_part(NodeRef node, int depth, PatternPart& part) {
  part.span = span_of(node);
  bool has_element = false;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      part.variable.emplace(name_text(c));
    } else if (c.rule() == Rule::path_selector) {
      part.selector = read_selector(c.text(), part.selector_count);
    } else if (c.rule() == Rule::shortest_path) {
      NodeRef element = c.child(Rule::pattern_element);
      if (!element.valid()) return failed(fail("Shortest path missing pattern"));
      part.selector = starts_with_keyword(text_, c.start(), "ALLSHORTESTPATHS")
                          ? PathSelector::AllShortestPaths
                          : PathSelector::ShortestPath;
      if (!build_pattern_element(element, depth, part)) return false;
      has_element = true;
    } else if (c.rule() == Rule::pattern_element) {
      if (!build_pattern_element(c, depth, part)) return false;
      has_element = true;
    }
  }
  if (!has_element) return failed(fail("Pattern part missing element"));
  return true;
}

// Nodes, relationships and (extended language) quantified groups in order. A
// group takes the node written right after it, or an anonymous one.
bool TreeBuilder::build_pattern_element(NodeRef element, int depth, PatternPart& part) {
  NodeRef first = element.first_child();
  if (!first.valid()) return failed(fail("Pattern element missing node"));
  NodeRef rest = first;
  if (first.rule() == Rule::node_pattern) {
    part.start = NodePattern();
    if (!build_node_pattern(first, depth, part.start)) return false;
    rest = first.next_sibling(element);
  }
  size_t relationships = 0;
  bool has_group = false;
  for (NodeRef e = rest; e.valid(); e = e.next_sibling(element)) {
    relationships += e.rule() == Rule::relationship_pattern;
    has_group |= e.rule() == Rule::quantified_path;
  }
  if (!has_group) {
    // Without groups each relationship is built straight into the step it
    // opens; the step is dropped again if no node follows it.
    part.chain.reserve(part.chain.size() + relationships);
    bool pending = false;
    for (NodeRef e = rest; e.valid(); e = e.next_sibling(element)) {
      if (e.rule() == Rule::relationship_pattern) {
        if (pending) {
          part.chain.back().relationship = RelationshipPattern();
        } else {
          part.chain.emplace_back();
          pending = true;
        }
        if (!build_relationship_pattern(e, depth, part.chain.back().relationship)) return false;
      } else if (e.rule() == Rule::node_pattern && pending) {
        if (!build_node_pattern(e, depth, part.chain.back().node)) return false;
        pending = false;
      }
    }
    if (pending) part.chain.pop_back();
    return true;
  }
  std::optional<RelationshipPattern> pending;
  std::optional<QuantifiedPath> pending_group;
  for (NodeRef e = rest; e.valid(); e = e.next_sibling(element)) {
    if (e.rule() == Rule::relationship_pattern) {
      // A group right before the relationship ends at an anonymous node.
      if (pending_group) {
        part.chain.push_back({{}, {}, Box<QuantifiedPath>(std::move(*pending_group))});
        pending_group.reset();
      }
      pending.emplace();
      if (!build_relationship_pattern(e, depth, *pending)) return false;
    } else if (e.rule() == Rule::quantified_path) {
      if (pending_group) {
        part.chain.push_back({{}, {}, Box<QuantifiedPath>(std::move(*pending_group))});
      }
      if (!build_quantified_path(e, depth + 1, pending_group.emplace())) return false;
    } else if (e.rule() == Rule::node_pattern && pending) {
      NodePattern next;
      if (!build_node_pattern(e, depth, next)) return false;
      part.chain.push_back({std::move(*pending), std::move(next), std::nullopt});
      pending.reset();
    } else if (e.rule() == Rule::node_pattern && pending_group) {
      NodePattern next;
      if (!build_node_pattern(e, depth, next)) return false;
      part.chain.push_back({{}, std::move(next), Box<QuantifiedPath>(std::move(*pending_group))});
      pending_group.reset();
    }
  }
  if (pending_group) {
    part.chain.push_back({{}, {}, Box<QuantifiedPath>(std::move(*pending_group))});
  }
  return true;
}

bool TreeBuilder::build_quantified_path(NodeRef node, int depth, QuantifiedPath& group) {
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::pattern_element) {
      if (!build_pattern_element(c, depth, group.path)) return false;
    } else if (c.rule() == Rule::where_clause) {
      if (!build_where(c, depth, group.where_clause.emplace(Expr::Null{}))) return false;
    } else if (c.rule() == Rule::path_quantifier) {
      group.quantifier = read_quantifier(c.text());
    }
  }
  return true;
}

bool TreeBuilder::build_where(NodeRef where_clause, int depth, Expr& out) {
  NodeRef e = where_clause.first_child();
  if (!e.valid()) return failed(fail("Empty WHERE"));
  return build_expression(e, depth, out);
}

bool TreeBuilder::build_node_pattern(NodeRef node, int depth, NodePattern& pattern) {
  pattern.span = span_of(node);
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      pattern.variable.emplace(name_text(c));
      pattern.variable_span = span_of(c);
    } else if (c.rule() == Rule::node_labels) {
      pattern.labels.clear();
      pattern.label_spans.clear();
      std::vector<LabelExpr> parts;
      for (NodeRef l : children(c)) {
        if (l.rule() == Rule::label_name) {
          pattern.labels.emplace_back(name_text(l));
          pattern.label_spans.push_back(span_of(l));
        }
        if (l.rule() != Rule::label_expression) continue;
        // A lone name needs no expression.
        NodeRef only = l.only_child();
        if (parts.empty() && only.valid() && only.rule() == Rule::label_name) {
          pattern.labels.emplace_back(name_text(only));
          pattern.label_spans.push_back(span_of(only));
          continue;
        }
        if (parts.empty()) {
          for (size_t i = 0; i < pattern.labels.size(); ++i) {
            parts.push_back(LabelExpr{
                LabelExpr::Kind::Name, std::move(pattern.labels[i]), {}, pattern.label_spans[i]});
          }
          pattern.labels.clear();
          pattern.label_spans.clear();
        }
        std::optional<LabelExpr> part = build_label_expr(l);
        if (!part) return failed(too_deep(l));
        parts.push_back(std::move(*part));
      }
      if (parts.empty()) continue;
      // A colon list of plain names reads exactly as in the subset.
      if (std::all_of(parts.begin(), parts.end(), is_plain_name)) {
        for (LabelExpr& part : parts) {
          pattern.labels.push_back(std::move(part.name));
          pattern.label_spans.push_back(part.span);
        }
        continue;
      }
      const Span span{parts.front().span.begin, parts.back().span.end};
      LabelExpr whole = parts.size() == 1
                            ? std::move(parts.front())
                            : LabelExpr{LabelExpr::Kind::And, {}, std::move(parts), span};
      if (names_only(whole)) append_names(whole, pattern.labels, pattern.label_spans);
      pattern.label_expr = Box<LabelExpr>(std::move(whole));
    } else if (c.rule() == Rule::properties) {
      if (!build_properties(c, depth, pattern.properties.emplace())) return false;
    } else if (c.rule() == Rule::where_clause) {
      if (!build_where(c, depth + 1, *pattern.where_clause.emplace(empty_box()))) return false;
    }
  }
  return true;
}

bool TreeBuilder::build_relationship_pattern(NodeRef node, int depth, RelationshipPattern& rel) {
  // The arrows have nodes of their own; the text around them may hold
  // comments with arrow characters in them.
  bool left = false;
  bool right = false;
  rel.span = span_of(node);
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::left_arrow:
        left = true;
        break;
      case Rule::right_arrow:
        right = true;
        break;
      case Rule::variable:
        rel.variable.emplace(name_text(c));
        rel.variable_span = span_of(c);
        break;
      case Rule::rel_types:
        rel.types.clear();
        rel.type_spans.clear();
        for (NodeRef t : children(c)) {
          if (t.rule() == Rule::rel_type_name) {
            rel.types.emplace_back(name_text(t));
            rel.type_spans.push_back(span_of(t));
          }
          if (t.rule() != Rule::label_expression) continue;
          if (NodeRef only = t.only_child(); only.valid() && only.rule() == Rule::rel_type_name) {
            rel.types.emplace_back(name_text(only));
            rel.type_spans.push_back(span_of(only));
            continue;
          }
          std::optional<LabelExpr> built = build_label_expr(t);
          if (!built) return failed(too_deep(t));
          LabelExpr e = std::move(*built);
          // `:A|B` reads exactly as in the subset.
          const bool plain_alternatives =
              e.kind == LabelExpr::Kind::Name ||
              (e.kind == LabelExpr::Kind::Or &&
               std::all_of(e.operands.begin(), e.operands.end(), is_plain_name));
          if (names_only(e)) append_names(e, rel.types, rel.type_spans);
          if (!plain_alternatives) rel.type_expr = Box<LabelExpr>(std::move(e));
        }
        break;
      case Rule::path_quantifier:
        rel.range = read_quantifier(c.text());
        break;
      case Rule::where_clause: {
        if (!build_where(c, depth + 1, *rel.where_clause.emplace(empty_box()))) return false;
        break;
      }
      case Rule::range_literal:
        rel.range = read_range(c.text());
        break;
      case Rule::properties:
        if (!build_properties(c, depth, rel.properties.emplace())) return false;
        break;
      default:
        break;
    }
  }
  rel.direction = left ? Direction::Incoming : right ? Direction::Outgoing : Direction::Undirected;
  return true;
}

bool TreeBuilder::build_properties(NodeRef node, int depth, MapOrParam& out) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return failed(fail("Empty properties"));
  if (inner.rule() == Rule::map_literal) {
    return build_map_literal(inner, depth, out.value.emplace<MapOrParam::Map>().entries);
  }
  if (inner.rule() == Rule::parameter) {
    std::string_view name = inner.text();
    while (!name.empty() && name.front() == '$') name.remove_prefix(1);
    out.value.emplace<MapOrParam::Parameter>(
        MapOrParam::Parameter{std::string(name), span_of(inner)});
    return true;
  }
  return failed(fail("Unknown properties type"));
}

bool TreeBuilder::build_map_literal(NodeRef node, int depth, PropertyMap& map) {
  // Positions by key, kept only once a map grows past a handful of keys, so
  // a huge literal stays linear.
  std::unordered_map<std::string, size_t> index;
  for (NodeRef pair : children(node)) {
    if (pair.rule() != Rule::property_key_value_pair) continue;
    NodeRef key = pair.first_child();
    if (!key.valid()) return failed(fail("Map missing key"));
    NodeRef value_node = key.next_sibling(pair);
    if (!value_node.valid()) return failed(fail("Map missing value"));
    const std::string_view name = name_text(key);
    size_t existing = map.size();
    if (index.empty()) {
      for (size_t i = 0; i < map.size(); ++i) {
        if (map[i].key == name) existing = i;
      }
    } else if (auto it = index.find(std::string(name)); it != index.end()) {
      existing = it->second;
    }
    // A repeated key's value is replaced where it stands.
    if (existing < map.size()) {
      if (!build_expression(value_node, depth + 1, map[existing].value)) return false;
      continue;
    }
    if (!index.empty()) index.emplace(name, map.size());
    MapEntry& entry = map.emplace_back(MapEntry{TextCopy{name}, Expr::Null{}, span_of(key)});
    if (!build_expression(value_node, depth + 1, entry.value)) return false;
    if (map.size() == 16) {
      for (size_t i = 0; i < map.size(); ++i) index.emplace(map[i].key, i);
    }
  }
  return true;
}

}  // namespace quorvane
