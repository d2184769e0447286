// Patterns: nodes and relationships with labels, types, property maps,
// variable-length ranges and (extended language) inline WHERE. Paths, label
// and type expressions, selectors and quantifiers of the extended language
// are read in direct_extended_patterns.cc.
#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool is_hex(unsigned char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_octal(unsigned char c) {
  return c >= '0' && c <= '7';
}

}  // namespace

bool DirectReader::read_pattern(Pattern& out) {
  do {
    if (!read_pattern_part(add(out))) return false;
  } while (accept(','));
  return true;
}

bool DirectReader::read_node(NodePattern& out) {
  const size_t start = pos_;
  accept('(');
  if (!read_optional_variable(out.variable, out.variable_span)) return false;
  if (extended_) {
    if ((peek() == ':' || word_here("IS")) && !read_node_labels(out)) return false;
  } else if (peek() == ':' && !read_labels(out.labels, out.label_spans)) {
    return false;
  }
  if ((peek() == '{' || peek() == '$') && !read_properties(out.properties.emplace_in(arena_))) {
    return false;
  }
  if (!read_inline_where(out.where_clause) || !accept(')')) return false;
  out.span = span_from(start);
  return true;
}

// `WHERE condition` inside a node or relationship (extended language).
bool DirectReader::read_inline_where(Nullable<Box<Expr>>& out) {
  if (!extended_ || !keyword("WHERE")) return true;
  return read_expression(*out.emplace_in(arena_, Expr::Null{}));
}

// `:A:B`: names only; `|`, `&` and the like make a label expression.
bool DirectReader::read_labels(TreeList<TreeString>& out, TreeList<Span>& spans) {
  while (accept(':')) {
    std::string_view name;
    if (!read_name(NameKind::kAny, name, add(spans))) return false;
    add(out, TreeString::view(name));
  }
  return peek() != '|' && peek() != '&';
}

bool DirectReader::read_relationship(RelationshipPattern& out, bool* unmatched) {
  // No reading of this text is a relationship: a token is missing, or a part
  // inside failed short of a limit (`- [n {.a}]` is a minus and a list).
  auto missing = [&] {
    if (unmatched != nullptr && limit_ == Limit::None) *unmatched = true;
    return false;
  };
  const size_t start = pos_;
  const bool left = accept('<');
  if (peek() != '-') return missing();
  ++pos_;
  if (peek() == '-') {
    ++pos_;
    skip();
  } else {
    skip();
    if (!accept('[')) return missing();
    if (!read_optional_variable(out.variable, out.variable_span)) return missing();
    if (extended_) {
      if ((peek() == ':' || word_here("IS")) && !read_rel_types(out)) return missing();
    } else if (accept(':')) {
      // `:A|B|:C`
      for (;;) {
        std::string_view name;
        if (!read_name(NameKind::kAny, name, add(out.type_spans))) return false;
        add(out.types, TreeString::view(name));
        if (!accept('|')) break;
        accept(':');
      }
    }
    if (peek() == '*' && !read_range(out.range.emplace_in(arena_))) return missing();
    if ((peek() == '{' || peek() == '$') && !read_properties(out.properties.emplace_in(arena_))) {
      return missing();
    }
    if (!read_inline_where(out.where_clause)) return missing();
    if (!accept(']') || !accept('-')) return missing();
  }
  const bool right = accept('>');
  // A quantifier after the arrow repeats the relationship.
  if (extended_ && (peek() == '+' || peek() == '*' || peek() == '{') &&
      !read_path_quantifier(out.range.emplace_in(arena_))) {
    return missing();
  }
  out.direction = left ? Direction::Incoming : right ? Direction::Outgoing : Direction::Undirected;
  out.span = span_from(start);
  return true;
}

// An integer bound of a range or quantifier, if one is written here: any
// integer literal, as the matcher reads them. The tree keeps decimal
// bounds only: a hexadecimal or octal bound, or one too large for 64 bits,
// is left open.
bool DirectReader::read_bound(std::optional<int64_t>& value, bool& written) {
  written = is_digit(peek());
  if (!written) return true;
  const size_t first = pos_;
  bool decimal = true;
  if (peek() == '0' && peek_at(1) == 'x' && is_hex(peek_at(2))) {
    decimal = false;
    pos_ += 2;
    while (is_hex(peek())) ++pos_;
  } else if (peek() == '0' && peek_at(1) == 'o' && is_octal(peek_at(2))) {
    decimal = false;
    pos_ += 2;
    while (is_octal(peek())) ++pos_;
  } else {
    while (is_digit(peek())) ++pos_;
  }
  // A word may follow the literal, as the next token (`*2WHERE x`).
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text_.data() + first, text_.data() + pos_, v);
  if (decimal && ec == std::errc() && end == text_.data() + pos_) value = v;
  skip();
  return true;
}

// `*`, `*n`, `*m..n`, `*m..`, `*..n`, `*..`, with spaces and comments
// around them.
bool DirectReader::read_range(RangeBounds& out) {
  accept('*');
  bool written = false;
  auto bound = [&](std::optional<int64_t>& value) { return read_bound(value, written); };
  if (is_digit(peek())) {
    if (!bound(out.min)) return false;
    if (peek() == '.' && peek_at(1) == '.') {
      pos_ += 2;
      skip();
      if (!bound(out.max)) return false;
    } else {
      out.max = out.min;
    }
  } else if (peek() == '.' && peek_at(1) == '.') {
    pos_ += 2;
    skip();
    if (!bound(out.max)) return false;
  }
  return true;
}

bool DirectReader::read_properties(MapOrParam& out) {
  if (peek() == '{') return read_map(out.value.emplace<MapOrParam::Map>().entries);
  const size_t start = pos_;
  MapOrParam::Parameter& parameter = out.value.emplace<MapOrParam::Parameter>();
  if (!read_parameter_name(parameter.name)) return false;
  parameter.span = span_from(start);
  return true;
}

}  // namespace quorvane
