// Patterns and map literals.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "parser/builder/tree_builder.h"

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

RangeBounds read_range(std::string_view text) {
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

Direction read_direction(std::string_view text) {
  if (text.empty()) return Direction::Undirected;
  if (text.front() == '<') return Direction::Incoming;
  if (text.back() == '>') return Direction::Outgoing;
  return Direction::Undirected;
}

}  // namespace

Result<Pattern> TreeBuilder::build_pattern(NodeRef node, int depth) {
  Pattern pattern;
  for (NodeRef c : children(node)) {
    if (c.rule() != Rule::pattern_part) continue;
    QV_TRY(PatternPart part, build_pattern_part(c, depth));
    pattern.push_back(std::move(part));
  }
  return pattern;
}

Result<PatternPart> TreeBuilder::build_pattern_part(NodeRef node, int depth) {
  PatternPart part;
  bool has_element = false;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      part.variable = name_of(c);
    } else if (c.rule() == Rule::pattern_element) {
      has_element = true;
      NodeRef first = c.first_child();
      if (!first.valid()) return fail("Pattern element missing node");
      QV_TRY(NodePattern start, build_node_pattern(first, depth));
      part.start = std::move(start);
      std::optional<RelationshipPattern> pending;
      for (NodeRef e = first.next_sibling(c); e.valid(); e = e.next_sibling(c)) {
        if (e.rule() == Rule::relationship_pattern) {
          QV_TRY(RelationshipPattern rel, build_relationship_pattern(e, depth));
          pending = std::move(rel);
        } else if (e.rule() == Rule::node_pattern && pending) {
          QV_TRY(NodePattern next, build_node_pattern(e, depth));
          part.chain.push_back({std::move(*pending), std::move(next)});
          pending.reset();
        }
      }
    }
  }
  if (!has_element) return fail("Pattern part missing element");
  return part;
}

Result<NodePattern> TreeBuilder::build_node_pattern(NodeRef node, int depth) {
  NodePattern pattern;
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::variable) {
      pattern.variable = name_of(c);
    } else if (c.rule() == Rule::node_labels) {
      pattern.labels.clear();
      for (NodeRef l : children(c)) {
        if (l.rule() == Rule::label_name) pattern.labels.push_back(name_of(l));
      }
    } else if (c.rule() == Rule::properties) {
      QV_TRY(MapOrParam props, build_properties(c, depth));
      pattern.properties = std::move(props);
    }
  }
  return pattern;
}

Result<RelationshipPattern> TreeBuilder::build_relationship_pattern(NodeRef node, int depth) {
  RelationshipPattern rel;
  rel.direction = read_direction(node.text());
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::variable:
        rel.variable = name_of(c);
        break;
      case Rule::rel_types:
        rel.types.clear();
        for (NodeRef t : children(c)) {
          if (t.rule() == Rule::rel_type_name) rel.types.push_back(name_of(t));
        }
        break;
      case Rule::range_literal:
        rel.range = read_range(c.text());
        break;
      case Rule::properties: {
        QV_TRY(MapOrParam props, build_properties(c, depth));
        rel.properties = std::move(props);
        break;
      }
      default:
        break;
    }
  }
  return rel;
}

Result<MapOrParam> TreeBuilder::build_properties(NodeRef node, int depth) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return fail("Empty properties");
  if (inner.rule() == Rule::map_literal) {
    QV_TRY(PropertyMap map, build_map_literal(inner, depth));
    return MapOrParam{MapOrParam::Map{std::move(map)}};
  }
  if (inner.rule() == Rule::parameter) {
    std::string_view name = inner.text();
    while (!name.empty() && name.front() == '$') name.remove_prefix(1);
    return MapOrParam{MapOrParam::Parameter{std::string(name)}};
  }
  return fail("Unknown properties type");
}

Result<PropertyMap> TreeBuilder::build_map_literal(NodeRef node, int depth) {
  PropertyMap map;
  // Positions by key, kept only once a map grows past a handful of keys, so
  // a huge literal stays linear.
  std::unordered_map<std::string, size_t> index;
  for (NodeRef pair : children(node)) {
    if (pair.rule() != Rule::property_key_value_pair) continue;
    NodeRef key = pair.first_child();
    if (!key.valid()) return fail("Map missing key");
    NodeRef value_node = key.next_sibling(pair);
    if (!value_node.valid()) return fail("Map missing value");
    QV_TRY(Expr value, build_expression(value_node, depth + 1));
    std::string name = name_of(key);
    size_t existing = map.size();
    if (index.empty()) {
      for (size_t i = 0; i < map.size(); ++i) {
        if (map[i].key == name) existing = i;
      }
    } else if (auto it = index.find(name); it != index.end()) {
      existing = it->second;
    }
    if (existing < map.size()) {
      map[existing].value = std::move(value);
      continue;
    }
    if (!index.empty()) index.emplace(name, map.size());
    map.push_back({std::move(name), std::move(value)});
    if (map.size() == 16) {
      for (size_t i = 0; i < map.size(); ++i) index.emplace(map[i].key, i);
    }
  }
  return map;
}

}  // namespace quorvane
