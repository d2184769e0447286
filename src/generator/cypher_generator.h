// Random example queries that fit a schema.
//
// A CypherGenerator fills one of thirteen fixed query shapes with names drawn
// from its own copy of the schema and with literal values. The draws of each
// shape happen in a fixed order, so a seed, a schema built in the same order
// and a sequence of query types always give the same queries. Only the random
// source changes after construction; one generator must not be used by two
// threads at once.
#ifndef QUORVANE_GENERATOR_CYPHER_GENERATOR_H_
#define QUORVANE_GENERATOR_CYPHER_GENERATOR_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "error/cypher_error.h"
#include "generator/random_source.h"
#include "schema/schema.h"

namespace quorvane {

class CypherGenerator {
 public:
  // Seeded from `seed` when given, else from operating-system entropy; only
  // the latter can fail (see RandomSource::from_os_rng).
  static Result<CypherGenerator> create(Schema schema, std::optional<uint64_t> seed);

  // The seeded form, which cannot fail.
  CypherGenerator(Schema schema, uint64_t seed);

  // Continues from a random source as rng() returned it, so that a saved
  // generator goes on with the same sequence.
  CypherGenerator(Schema schema, RandomSource rng);

  // One query of the named type. Matching is exact; an unknown type gives the
  // error "Unknown query type: {query_type}" and draws nothing.
  Result<std::string> generate(std::string_view query_type);

  // The thirteen query types, in the order callers list them.
  static const std::vector<std::string_view>& supported_types();

  // Selection operations; each draws only when the label has property keys.
  // Keys come back as the schema spells them; the map text writes them the
  // way a query must.
  std::optional<std::string> pick_node_prop(std::string_view label);
  std::string gen_property_map(std::string_view label);
  std::string gen_scalar_value();
  std::string gen_string_value();

  const std::vector<std::string>& labels() const { return labels_; }
  const std::vector<std::string>& rel_types() const { return rel_types_; }
  const Schema& schema() const { return schema_; }
  // The label's property keys in stored order; empty for an unknown label.
  const std::vector<std::string>& label_props(std::string_view label) const;
  const RandomSource& rng() const { return rng_; }

 private:
  // Per label: its keys, and the same keys as written in query text.
  struct LabelProps {
    std::vector<std::string> keys;
    std::vector<std::string> written_keys;
  };
  // Per relationship type, everything its patterns write: the type, and the
  // label of each end with its colon (empty for a type without pairs).
  struct RelShape {
    std::string type;
    std::string source;
    std::string target;
  };
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  // A drawn scalar literal, kept apart from its text so that draws whose
  // text is not used cost no formatting.
  struct Scalar {
    enum class Kind { QuotedName, Integer, Boolean, Parameter } kind;
    int64_t value;
  };
  static constexpr size_t kNoLabel = static_cast<size_t>(-1);

  // Shared steps of the query shapes; each appends to `out` and draws as its
  // name says.
  size_t choose_label();
  void append_label(std::string& out, size_t label) const;
  // An index into the label's written keys, or nothing (no draw) when the
  // label has no keys.
  std::optional<size_t> pick_prop(size_t label);
  const std::string& written_prop(size_t label, size_t prop) const {
    return label_props_[label].written_keys[prop];
  }
  void append_limit(std::string& out);
  void append_property_map(std::string& out, const std::vector<std::string>& written_keys);
  Scalar draw_scalar();
  static void append_scalar(std::string& out, Scalar scalar);
  void append_string_value(std::string& out);
  const LabelProps* find_label_props(std::string_view label) const;

  void match_return(std::string& out);
  void match_where_return(std::string& out);
  void create_node(std::string& out, std::string_view verb);
  void create(std::string& out) { create_node(out, "CREATE"); }
  void merge(std::string& out) { create_node(out, "MERGE"); }
  void aggregation(std::string& out);
  void match_relationship(std::string& out);
  void create_relationship(std::string& out);
  void match_set(std::string& out);
  void match_delete(std::string& out);
  void with_chain(std::string& out);
  void distinct_return(std::string& out);
  void order_by(std::string& out);
  void unwind(std::string& out);

  using Shape = void (CypherGenerator::*)(std::string&);
  struct ShapeEntry {
    std::string_view name;
    Shape build;
  };
  static const ShapeEntry kShapes[13];

  std::vector<std::string> labels_;
  std::vector<std::string> rel_types_;
  Schema schema_;
  std::vector<LabelProps> label_props_;  // parallel to labels_
  std::unordered_map<std::string, size_t, NameHash, std::equal_to<>> label_index_;
  RandomSource rng_;
  // Query-text forms, parallel to labels_ and rel_types_, so that generate()
  // needs no lookups or quoting.
  std::vector<std::string> written_labels_;
  std::vector<RelShape> rel_shapes_;
};

}  // namespace quorvane

#endif  // QUORVANE_GENERATOR_CYPHER_GENERATOR_H_
