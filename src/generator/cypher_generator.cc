#include "generator/cypher_generator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

#include "generator/query_names.h"
#include "generator/sampling.h"

namespace quorvane {

namespace {

constexpr std::string_view kFallbackLabel = "Node";

// Literal tables. String values use only a prefix of each table, so the
// quoted name "hello" and the parameter $limit appear only as scalars.
constexpr std::array<std::string_view, 5> kQuotedNames = {"\"Alice\"", "\"Bob\"", "\"Carol\"",
                                                          "\"Neo4j\"", "\"hello\""};
constexpr size_t kStringNames = 4;
constexpr std::array<std::string_view, 4> kParameters = {"$name", "$id", "$value", "$limit"};
constexpr size_t kStringParameters = 3;

// Longer than nearly every generated query, so building one rarely
// reallocates.
constexpr size_t kTypicalQueryLength = 128;

void append_int(std::string& out, int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

std::vector<std::string> written_names(const std::vector<std::string>& names) {
  std::vector<std::string> written;
  written.reserve(names.size());
  for (const std::string& name : names) written.push_back(query_name(name));
  return written;
}

}  // namespace

const CypherGenerator::ShapeEntry CypherGenerator::kShapes[13] = {
    {"match_return", &CypherGenerator::match_return},
    {"match_where_return", &CypherGenerator::match_where_return},
    {"create", &CypherGenerator::create},
    {"merge", &CypherGenerator::merge},
    {"aggregation", &CypherGenerator::aggregation},
    {"match_relationship", &CypherGenerator::match_relationship},
    {"create_relationship", &CypherGenerator::create_relationship},
    {"match_set", &CypherGenerator::match_set},
    {"match_delete", &CypherGenerator::match_delete},
    {"with_chain", &CypherGenerator::with_chain},
    {"distinct_return", &CypherGenerator::distinct_return},
    {"order_by", &CypherGenerator::order_by},
    {"unwind", &CypherGenerator::unwind},
};

const std::vector<std::string_view>& CypherGenerator::supported_types() {
  static const std::vector<std::string_view> types = [] {
    std::vector<std::string_view> names;
    for (const ShapeEntry& shape : kShapes) names.push_back(shape.name);
    return names;
  }();
  return types;
}

Result<CypherGenerator> CypherGenerator::create(Schema schema, std::optional<uint64_t> seed) {
  if (seed) return CypherGenerator(std::move(schema), *seed);
  Result<RandomSource> rng = RandomSource::from_os_rng();
  if (!rng) return std::move(rng).error();
  return CypherGenerator(std::move(schema), std::move(rng).value());
}

CypherGenerator::CypherGenerator(Schema schema, uint64_t seed)
    : CypherGenerator(std::move(schema), RandomSource::from_seed(seed)) {}

CypherGenerator::CypherGenerator(Schema schema, RandomSource rng)
    : schema_(std::move(schema)), rng_(rng) {
  labels_.reserve(schema_.nodes().size());
  label_props_.reserve(schema_.nodes().size());
  written_labels_.reserve(schema_.nodes().size());
  for (const Schema::NodeLabel& node : schema_.nodes()) {
    label_index_.emplace(node.name, labels_.size());
    labels_.push_back(node.name);
    label_props_.push_back({node.properties, written_names(node.properties)});
    written_labels_.push_back(query_name(node.name));
  }
  rel_types_.reserve(schema_.relationships().size());
  rel_shapes_.reserve(schema_.relationships().size());
  for (const Schema::RelType& rel : schema_.relationships()) {
    rel_types_.push_back(rel.name);
    // Patterns use the first pair; a type without pairs joins unlabelled nodes.
    if (rel.endpoints.empty()) {
      rel_shapes_.push_back({query_name(rel.name), "", ""});
    } else {
      const Schema::Endpoints& ends = rel.endpoints.front();
      // Appended rather than concatenated: GCC 12 warns falsely about
      // `":" + std::string`.
      std::string source(1, ':');
      source += query_name(ends.source);
      std::string target(1, ':');
      target += query_name(ends.target);
      rel_shapes_.push_back({query_name(rel.name), std::move(source), std::move(target)});
    }
  }
}

const std::vector<std::string>& CypherGenerator::label_props(std::string_view label) const {
  static const std::vector<std::string> kNone;
  const LabelProps* props = find_label_props(label);
  return props ? props->keys : kNone;
}

const CypherGenerator::LabelProps* CypherGenerator::find_label_props(std::string_view label) const {
  auto it = label_index_.find(label);
  return it == label_index_.end() ? nullptr : &label_props_[it->second];
}

Result<std::string> CypherGenerator::generate(std::string_view query_type) {
  for (const ShapeEntry& shape : kShapes) {
    if (shape.name == query_type) {
      std::string out;
      out.reserve(kTypicalQueryLength);
      (this->*shape.build)(out);
      return out;
    }
  }
  std::string message = "Unknown query type: ";
  message += query_type;
  return CypherError::generator(std::move(message));
}

// --- Selection operations -------------------------------------------------

std::optional<std::string> CypherGenerator::pick_node_prop(std::string_view label) {
  const LabelProps* props = find_label_props(label);
  if (!props || props->keys.empty()) return std::nullopt;
  return props->keys[rng_.index_below(props->keys.size())];
}

std::string CypherGenerator::gen_property_map(std::string_view label) {
  std::string out;
  const LabelProps* props = find_label_props(label);
  if (props) append_property_map(out, props->written_keys);
  return out;
}

std::string CypherGenerator::gen_scalar_value() {
  std::string out;
  append_scalar(out, draw_scalar());
  return out;
}

std::string CypherGenerator::gen_string_value() {
  std::string out;
  append_string_value(out);
  return out;
}

// --- Shared steps -----------------------------------------------------------

size_t CypherGenerator::choose_label() {
  if (labels_.empty()) return kNoLabel;
  return static_cast<size_t>(rng_.index_below(labels_.size()));
}

void CypherGenerator::append_label(std::string& out, size_t label) const {
  out += label == kNoLabel ? kFallbackLabel : std::string_view(written_labels_[label]);
}

std::optional<size_t> CypherGenerator::pick_prop(size_t label) {
  if (label == kNoLabel) return std::nullopt;
  const size_t count = label_props_[label].written_keys.size();
  if (count == 0) return std::nullopt;
  return static_cast<size_t>(rng_.index_below(count));
}

void CypherGenerator::append_limit(std::string& out) {
  if (rng_.index_below(3) != 0) return;
  out += " LIMIT ";
  append_int(out, rng_.integer_between(1, 50));
}

void CypherGenerator::append_property_map(std::string& out,
                                          const std::vector<std::string>& written_keys) {
  if (written_keys.empty()) return;
  const uint32_t n = static_cast<uint32_t>(written_keys.size());
  const uint32_t count = 1 + static_cast<uint32_t>(rng_.index_below(std::min<uint32_t>(n, 3)));
  uint32_t positions[3];
  floyd_sample(
      n, count, [this](uint32_t bound) { return static_cast<uint32_t>(rng_.index_below(bound)); },
      positions);
  out += " {";
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += written_keys[positions[i]];
    out += ": ";
    append_scalar(out, draw_scalar());
  }
  out += '}';
}

CypherGenerator::Scalar CypherGenerator::draw_scalar() {
  switch (rng_.next64() >> 62) {
    case 0:
      return {Scalar::Kind::QuotedName,
              static_cast<int64_t>(rng_.index_below(kQuotedNames.size()))};
    case 1:
      return {Scalar::Kind::Integer, rng_.integer_between(1, 100)};
    case 2:
      return {Scalar::Kind::Boolean, rng_.coin() ? 1 : 0};
    default:
      return {Scalar::Kind::Parameter, static_cast<int64_t>(rng_.index_below(kParameters.size()))};
  }
}

void CypherGenerator::append_scalar(std::string& out, Scalar scalar) {
  switch (scalar.kind) {
    case Scalar::Kind::QuotedName:
      out += kQuotedNames[static_cast<size_t>(scalar.value)];
      return;
    case Scalar::Kind::Integer:
      append_int(out, scalar.value);
      return;
    case Scalar::Kind::Boolean:
      // A set top bit means false.
      out += scalar.value != 0 ? "false" : "true";
      return;
    case Scalar::Kind::Parameter:
      out += kParameters[static_cast<size_t>(scalar.value)];
      return;
  }
}

void CypherGenerator::append_string_value(std::string& out) {
  if (rng_.index_below(3) != 0) {
    out += kQuotedNames[static_cast<size_t>(rng_.index_below(kStringNames))];
  } else {
    out += kParameters[static_cast<size_t>(rng_.index_below(kStringParameters))];
  }
}

// --- Query shapes -------------------------------------------------------------
// Each draws in the order its comment gives; the text is assembled afterwards
// where a draw lands earlier in the text than it is made.

// label, limit
void CypherGenerator::match_return(std::string& out) {
  const size_t label = choose_label();
  out += "MATCH (n:";
  append_label(out, label);
  out += ") RETURN n";
  append_limit(out);
}

// label, prop, then value if there is a prop, then limit
void CypherGenerator::match_where_return(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    const std::string& key = written_prop(label, *prop);
    out += ") WHERE n.";
    out += key;
    out += " = ";
    append_string_value(out);
    out += " RETURN n.";
    out += key;
  } else {
    out += ") RETURN n";
  }
  append_limit(out);
}

// label, props
void CypherGenerator::create_node(std::string& out, std::string_view verb) {
  const size_t label = choose_label();
  out += verb;
  out += " (n:";
  append_label(out, label);
  if (label != kNoLabel) append_property_map(out, label_props_[label].written_keys);
  out += ") RETURN n";
}

// label, prop
void CypherGenerator::aggregation(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    out += ") RETURN count(n.";
    out += written_prop(label, *prop);
    out += ") AS result";
  } else {
    out += ") RETURN count(n) AS result";
  }
}

// type, optional; without types: label
void CypherGenerator::match_relationship(std::string& out) {
  if (rel_types_.empty()) {
    const size_t label = choose_label();
    out += "MATCH (n:";
    append_label(out, label);
    out += ") RETURN n";
    return;
  }
  const RelShape& rel = rel_shapes_[static_cast<size_t>(rng_.index_below(rel_shapes_.size()))];
  if (rng_.quarter()) out += "OPTIONAL ";
  out += "MATCH (a";
  out += rel.source;
  out += ")-[r:";
  out += rel.type;
  out += "]->(b";
  out += rel.target;
  out += ") RETURN a, r, b";
}

// type; without types: label
void CypherGenerator::create_relationship(std::string& out) {
  if (rel_types_.empty()) {
    const size_t label = choose_label();
    out += "CREATE (n:";
    append_label(out, label);
    out += ") RETURN n";
    return;
  }
  const RelShape& rel = rel_shapes_[static_cast<size_t>(rng_.index_below(rel_shapes_.size()))];
  out += "MATCH (a";
  out += rel.source;
  out += "),(b";
  out += rel.target;
  out += ") CREATE (a)-[r:";
  out += rel.type;
  out += "]->(b) RETURN r";
}

// label, prop, then value if there is a prop
void CypherGenerator::match_set(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    out += ") SET n.";
    out += written_prop(label, *prop);
    out += " = ";
    append_string_value(out);
    out += " RETURN n";
  } else {
    out += ") RETURN n";
  }
}

// label
void CypherGenerator::match_delete(std::string& out) {
  const size_t label = choose_label();
  out += "MATCH (n:";
  append_label(out, label);
  out += ") DETACH DELETE n";
}

// label, prop
void CypherGenerator::with_chain(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    out += ") WITH n.";
    out += written_prop(label, *prop);
    out += " AS val RETURN count(*)";
  } else {
    out += ") WITH n AS val RETURN count(*)";
  }
}

// label, prop, limit
void CypherGenerator::distinct_return(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    out += ") RETURN DISTINCT n.";
    out += written_prop(label, *prop);
  } else {
    out += ") RETURN DISTINCT n";
  }
  append_limit(out);
}

// label, prop, desc (drawn even without a prop), limit
void CypherGenerator::order_by(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  const bool desc = rng_.coin();
  out += "MATCH (n:";
  append_label(out, label);
  if (prop) {
    out += ") RETURN n ORDER BY n.";
    out += written_prop(label, *prop);
    if (desc) out += " DESC";
  } else {
    out += ") RETURN n ORDER BY n";
  }
  append_limit(out);
}

// label, prop, count, count scalars (drawn even when a prop makes them unused)
void CypherGenerator::unwind(std::string& out) {
  const size_t label = choose_label();
  const std::optional<size_t> prop = pick_prop(label);
  const size_t count = 2 + static_cast<size_t>(rng_.index_below(3));
  if (prop) {
    for (size_t i = 0; i < count; ++i) draw_scalar();
    out += "MATCH (n:";
    append_label(out, label);
    out += ") UNWIND n.";
    out += written_prop(label, *prop);
    out += " AS item RETURN item";
    return;
  }
  out += "UNWIND [";
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    append_scalar(out, draw_scalar());
  }
  out += "] AS item RETURN item";
}

}  // namespace quorvane
