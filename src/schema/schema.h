// A property-graph schema: node labels with their property keys, and
// relationship types with the (source, target) label pairs they join and
// their property keys. A key may also carry the type its values are declared
// to have ("STRING", "DATE", ...), kept as written; a schema without types
// is read exactly as before.
//
// Invariants: names are unique within each map; a later insertion of the same
// name replaces the earlier entry in place, so enumeration follows the order
// in which names were first supplied. Names compare by exact bytes. Property
// lists keep their supplied order and repeats. Once built, a Schema is only
// read, so any number of threads may share one.
#ifndef QUORVANE_SCHEMA_SCHEMA_H_
#define QUORVANE_SCHEMA_SCHEMA_H_

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvane {

class Schema {
 public:
  // A key's declared type, as the schema wrote it.
  struct PropertyType {
    std::string key;
    std::string type;

    bool operator==(const PropertyType&) const = default;
  };
  using PropertyTypes = std::vector<PropertyType>;

  struct NodeLabel {
    std::string name;
    std::vector<std::string> properties;
    PropertyTypes property_types;  // in the order supplied; the last of a key wins
  };
  struct Endpoints {
    std::string source;
    std::string target;

    bool operator==(const Endpoints&) const = default;
  };
  struct RelType {
    std::string name;
    std::vector<Endpoints> endpoints;
    std::vector<std::string> properties;
    PropertyTypes property_types;
  };

  Schema() = default;

  // Building. Re-adding a name replaces its entry where it stands.
  // Re-adding also replaces the types.
  void add_node_label(std::string label, std::vector<std::string> properties,
                      PropertyTypes types = {});
  void add_rel_type(std::string type, std::string source, std::string target,
                    std::vector<std::string> properties, PropertyTypes types = {});
  void add_rel_type(std::string type, std::vector<Endpoints> endpoints,
                    std::vector<std::string> properties, PropertyTypes types = {});

  // Lookups; unknown names give false, an empty list or nothing.
  bool has_node_label(std::string_view label) const { return find_node(label) != nullptr; }
  bool has_rel_type(std::string_view type) const { return find_rel(type) != nullptr; }
  std::vector<std::string_view> node_labels() const;
  std::vector<std::string_view> rel_types() const;
  std::vector<std::string_view> node_properties(std::string_view label) const;
  std::vector<std::string_view> rel_properties(std::string_view type) const;
  bool node_has_property(std::string_view label, std::string_view key) const;
  bool rel_has_property(std::string_view type, std::string_view key) const;
  // The declared type of a key, as written; nothing when the label (type) or
  // the key is unknown or untyped. property_type asks the node label first,
  // then the relationship type of that name.
  std::optional<std::string_view> node_property_type(std::string_view label,
                                                     std::string_view key) const;
  std::optional<std::string_view> rel_property_type(std::string_view type,
                                                    std::string_view key) const;
  std::optional<std::string_view> property_type(std::string_view label_or_type,
                                                std::string_view key) const;
  // Whether any key of the schema has a declared type.
  bool has_property_types() const;
  // The first endpoint pair; nothing for an unknown type or one without pairs.
  std::optional<std::pair<std::string_view, std::string_view>> rel_src_tgt(
      std::string_view type) const;
  // Every endpoint pair, in order.
  std::vector<std::pair<std::string_view, std::string_view>> rel_endpoint_pairs(
      std::string_view type) const;

  // The entries themselves, in enumeration order, for callers that walk the
  // whole schema without copying (suggestions, export, generation).
  const std::vector<NodeLabel>& nodes() const { return nodes_; }
  const std::vector<RelType>& relationships() const { return rels_; }
  const NodeLabel* find_node(std::string_view label) const;
  const RelType* find_rel(std::string_view type) const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  using Index = std::unordered_map<std::string, size_t, Hash, std::equal_to<>>;

  std::vector<NodeLabel> nodes_;
  std::vector<RelType> rels_;
  Index node_index_;
  Index rel_index_;
};

}  // namespace quorvane

#endif  // QUORVANE_SCHEMA_SCHEMA_H_
