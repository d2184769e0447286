// Builds a schema from names taken out of the input, validates a query that
// mentions some of them, and generates queries from the schema.
//
// Input layout: records separated by 0x1E, fields within a record by 0x1F.
// The first byte of a record says what it is:
//   'L' name, property...               a node label
//   'R' name, source, target, property... a relationship type
//   'Q' label, type, label, key, key     names for the checked query
// Anything else is ignored. Names may hold any bytes, newlines and NULs
// included.
//
// Checked: the query parses whenever no name it writes holds a backtick, and
// it is valid exactly when every name fits the schema; generated queries of
// every type parse when no schema name holds a backtick, and are valid when,
// besides, every relationship end is a declared label.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "generator/cypher_generator.h"
#include "generator/query_names.h"
#include "parser/parse.h"
#include "schema/schema.h"
#include "validator/cypher_validator.h"

using namespace quorvane;

namespace {

constexpr size_t kMaxRecords = 40;
constexpr size_t kMaxProperties = 24;

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool has_backtick(std::string_view name) {
  return name.find('`') != std::string_view::npos;
}

uint64_t fnv1a(std::string_view bytes) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  return h;
}

// What the schema ends up declaring, kept independently of Schema: a later
// entry of the same name replaces the earlier one.
struct Model {
  struct Rel {
    std::string source;
    std::string target;
    std::vector<std::string> properties;
  };
  std::map<std::string, std::vector<std::string>> nodes;
  std::map<std::string, Rel> rels;
  std::vector<std::string> node_order;  // first-seen order
  std::vector<std::string> rel_order;
  bool any_backtick = false;

  bool node_has(const std::string& label, const std::string& key) const {
    auto it = nodes.find(label);
    if (it == nodes.end()) return false;
    for (const std::string& p : it->second) {
      if (p == key) return true;
    }
    return false;
  }
  bool rel_has(const std::string& type, const std::string& key) const {
    auto it = rels.find(type);
    if (it == rels.end()) return false;
    for (const std::string& p : it->second.properties) {
      if (p == key) return true;
    }
    return false;
  }
};

bool has_message_starting(const std::vector<std::string>& messages, const std::string& prefix) {
  for (const std::string& m : messages) {
    if (m.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  Schema schema;
  Model model;
  std::vector<std::string> query_fields;
  size_t records = 0;
  for (std::string_view record : split(input, '\x1e')) {
    if (record.empty() || ++records > kMaxRecords) continue;
    const char kind = record[0];
    std::vector<std::string_view> fields = split(record.substr(1), '\x1f');
    if (kind == 'L') {
      std::string name(fields[0]);
      std::vector<std::string> props;
      for (size_t i = 1; i < fields.size() && props.size() < kMaxProperties; ++i) {
        props.emplace_back(fields[i]);
      }
      for (const std::string& n : props) model.any_backtick |= has_backtick(n);
      model.any_backtick |= has_backtick(name);
      if (!model.nodes.count(name)) model.node_order.push_back(name);
      model.nodes[name] = props;
      schema.add_node_label(std::move(name), std::move(props));
    } else if (kind == 'R') {
      std::string name(fields[0]);
      std::string source(fields.size() > 1 ? fields[1] : std::string_view());
      std::string target(fields.size() > 2 ? fields[2] : std::string_view());
      std::vector<std::string> props;
      for (size_t i = 3; i < fields.size() && props.size() < kMaxProperties; ++i) {
        props.emplace_back(fields[i]);
      }
      for (const std::string& n : props) model.any_backtick |= has_backtick(n);
      model.any_backtick |= has_backtick(name) || has_backtick(source) || has_backtick(target);
      if (!model.rels.count(name)) model.rel_order.push_back(name);
      model.rels[name] = {source, target, props};
      schema.add_rel_type(std::move(name), std::move(source), std::move(target), std::move(props));
    } else if (kind == 'Q') {
      for (std::string_view f : fields) query_fields.emplace_back(f);
    }
  }

  // The schema reports what was put in.
  QV_FUZZ_CHECK(schema.nodes().size() == model.nodes.size());
  QV_FUZZ_CHECK(schema.relationships().size() == model.rels.size());
  for (size_t i = 0; i < model.node_order.size(); ++i) {
    QV_FUZZ_CHECK(schema.nodes()[i].name == model.node_order[i]);
    QV_FUZZ_CHECK(schema.nodes()[i].properties == model.nodes[model.node_order[i]]);
  }
  for (size_t i = 0; i < model.rel_order.size(); ++i) {
    const Model::Rel& rel = model.rels[model.rel_order[i]];
    QV_FUZZ_CHECK(schema.relationships()[i].name == model.rel_order[i]);
    auto ends = schema.rel_src_tgt(model.rel_order[i]);
    QV_FUZZ_CHECK(ends && ends->first == rel.source && ends->second == rel.target);
  }

  // --- One query over names from the input or the schema. ---
  const std::string first_label = model.node_order.empty() ? "Missing" : model.node_order[0];
  const std::string first_type = model.rel_order.empty() ? "MISSING" : model.rel_order[0];
  auto field = [&](size_t i, const std::string& fallback) {
    return i < query_fields.size() ? query_fields[i] : fallback;
  };
  const std::string l1 =
      field(0, model.rels.count(first_type) ? model.rels[first_type].source : first_label);
  const std::string type = field(1, first_type);
  const std::string l2 = field(2, model.rels.count(type) ? model.rels[type].target : first_label);
  const std::string key =
      field(3, model.nodes.count(l1) && !model.nodes[l1].empty() ? model.nodes[l1][0]
                                                                 : std::string("missing"));
  const std::string rel_key =
      field(4, model.rels.count(type) && !model.rels[type].properties.empty()
                   ? model.rels[type].properties[0]
                   : std::string("missing"));

  const std::string query = "MATCH (a:" + query_name(l1) + " {" + query_name(key) +
                            ": 1})-[r:" + query_name(type) + " {" + query_name(rel_key) +
                            ": 2}]->(b:" + query_name(l2) + ") WHERE a." + query_name(key) +
                            " = 1 RETURN a, r, b";
  const CypherValidator validator(schema);
  const ValidationResult result = validator.validate(query);
  fuzz::check_result_matches_parse(result, parse(query), query);
  const bool query_quotable = !has_backtick(l1) && !has_backtick(type) && !has_backtick(l2) &&
                              !has_backtick(key) && !has_backtick(rel_key);
  if (query_quotable) {
    QV_FUZZ_CHECK_MSG(result.syntax_errors.empty(), query);
    const bool fits = model.nodes.count(l1) && model.nodes.count(l2) && model.rels.count(type) &&
                      model.node_has(l1, key) && model.rel_has(type, rel_key) &&
                      model.rels[type].source == l1 && model.rels[type].target == l2;
    QV_FUZZ_CHECK_MSG(result.is_valid == fits, query);
    const auto& found = result.semantic_errors;
    if (!model.nodes.count(l1)) {
      QV_FUZZ_CHECK_MSG(has_message_starting(found, "Unknown node label: :" + l1), query);
    }
    if (!model.nodes.count(l2)) {
      QV_FUZZ_CHECK_MSG(has_message_starting(found, "Unknown node label: :" + l2), query);
    }
    if (!model.rels.count(type)) {
      QV_FUZZ_CHECK_MSG(has_message_starting(found, "Unknown relationship type: :" + type), query);
    } else if (!model.rel_has(type, rel_key)) {
      QV_FUZZ_CHECK_MSG(has_message_starting(found, "Unknown property '" + rel_key +
                                                        "' for relationship type :" + type),
                        query);
    }
    if (model.nodes.count(l1) && !model.node_has(l1, key)) {
      QV_FUZZ_CHECK_MSG(
          has_message_starting(found, "Unknown property '" + key + "' for node label :" + l1),
          query);
    }
  }

  // --- Generated queries. ---
  const uint64_t seed = fnv1a(input);
  CypherGenerator generator(schema, seed);
  CypherGenerator twin(schema, seed);
  Result<std::string> unknown = generator.generate("no_such_type");
  QV_FUZZ_CHECK(!unknown.ok() && unknown.error().kind == CypherError::Kind::Generator &&
                unknown.error().message == "Unknown query type: no_such_type");

  bool ends_declared = true;
  for (const auto& [name, rel] : model.rels) {
    ends_declared &= model.nodes.count(rel.source) && model.nodes.count(rel.target);
  }
  for (std::string_view query_type : CypherGenerator::supported_types()) {
    Result<std::string> generated = generator.generate(query_type);
    QV_FUZZ_CHECK(generated.ok());
    Result<std::string> repeated = twin.generate(query_type);
    QV_FUZZ_CHECK(repeated.ok() && repeated.value() == generated.value());
    const std::string& text = generated.value();
    const ValidationResult checked = validator.validate(text);
    fuzz::check_result_shape(checked);
    if (!checked.syntax_errors.empty()) {
      fuzz::check_syntax_error_text(checked.syntax_errors.front(), text);
    }
    if (model.any_backtick) continue;
    QV_FUZZ_CHECK_MSG(checked.syntax_errors.empty(), text);
    if (model.nodes.empty() && model.rels.empty()) {
      // Only the fallback label is undeclared.
      for (const std::string& e : checked.errors) {
        QV_FUZZ_CHECK_MSG(e == "Unknown node label: :Node", text);
      }
    } else if (!model.nodes.empty() && ends_declared) {
      QV_FUZZ_CHECK_MSG(checked.is_valid,
                        text + "\n" + (checked.errors.empty() ? "" : checked.errors[0]));
    }
  }
  return 0;
}
