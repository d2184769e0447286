#include "schema/schema.h"

#include <algorithm>

namespace quorvane {

namespace {

std::vector<std::string_view> views_of(const std::vector<std::string>& strings) {
  return {strings.begin(), strings.end()};
}

bool contains(const std::vector<std::string>& keys, std::string_view key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

// The last entry for `key` wins, as a repeated key in a mapping would.
std::optional<std::string_view> type_of_key(const Schema::PropertyTypes& types,
                                            std::string_view key) {
  for (auto it = types.rbegin(); it != types.rend(); ++it) {
    if (it->key == key) return std::string_view(it->type);
  }
  return std::nullopt;
}

}  // namespace

void Schema::add_node_label(std::string label, std::vector<std::string> properties,
                            PropertyTypes types) {
  auto it = node_index_.find(std::string_view(label));
  if (it != node_index_.end()) {
    nodes_[it->second].properties = std::move(properties);
    nodes_[it->second].property_types = std::move(types);
    return;
  }
  node_index_.emplace(label, nodes_.size());
  nodes_.push_back({std::move(label), std::move(properties), std::move(types)});
}

void Schema::add_rel_type(std::string type, std::string source, std::string target,
                          std::vector<std::string> properties, PropertyTypes types) {
  std::vector<Endpoints> endpoints;
  endpoints.push_back({std::move(source), std::move(target)});
  add_rel_type(std::move(type), std::move(endpoints), std::move(properties), std::move(types));
}

void Schema::add_rel_type(std::string type, std::vector<Endpoints> endpoints,
                          std::vector<std::string> properties, PropertyTypes types) {
  std::vector<Endpoints> distinct;
  distinct.reserve(endpoints.size());
  for (Endpoints& pair : endpoints) {
    if (std::find(distinct.begin(), distinct.end(), pair) == distinct.end()) {
      distinct.push_back(std::move(pair));
    }
  }
  auto it = rel_index_.find(std::string_view(type));
  if (it != rel_index_.end()) {
    RelType& entry = rels_[it->second];
    entry.endpoints = std::move(distinct);
    entry.properties = std::move(properties);
    entry.property_types = std::move(types);
    return;
  }
  rel_index_.emplace(type, rels_.size());
  rels_.push_back({std::move(type), std::move(distinct), std::move(properties), std::move(types)});
}

std::optional<std::string_view> Schema::node_property_type(std::string_view label,
                                                           std::string_view key) const {
  const NodeLabel* node = find_node(label);
  return node ? type_of_key(node->property_types, key) : std::nullopt;
}

std::optional<std::string_view> Schema::rel_property_type(std::string_view type,
                                                          std::string_view key) const {
  const RelType* rel = find_rel(type);
  return rel ? type_of_key(rel->property_types, key) : std::nullopt;
}

std::optional<std::string_view> Schema::property_type(std::string_view label_or_type,
                                                      std::string_view key) const {
  if (auto type = node_property_type(label_or_type, key)) return type;
  return rel_property_type(label_or_type, key);
}

bool Schema::has_property_types() const {
  return std::any_of(nodes_.begin(), nodes_.end(),
                     [](const NodeLabel& n) { return !n.property_types.empty(); }) ||
         std::any_of(rels_.begin(), rels_.end(),
                     [](const RelType& r) { return !r.property_types.empty(); });
}

const Schema::NodeLabel* Schema::find_node(std::string_view label) const {
  auto it = node_index_.find(label);
  return it == node_index_.end() ? nullptr : &nodes_[it->second];
}

const Schema::RelType* Schema::find_rel(std::string_view type) const {
  auto it = rel_index_.find(type);
  return it == rel_index_.end() ? nullptr : &rels_[it->second];
}

std::vector<std::string_view> Schema::node_labels() const {
  std::vector<std::string_view> out;
  out.reserve(nodes_.size());
  for (const NodeLabel& n : nodes_) out.push_back(n.name);
  return out;
}

std::vector<std::string_view> Schema::rel_types() const {
  std::vector<std::string_view> out;
  out.reserve(rels_.size());
  for (const RelType& r : rels_) out.push_back(r.name);
  return out;
}

std::vector<std::string_view> Schema::node_properties(std::string_view label) const {
  const NodeLabel* n = find_node(label);
  return n ? views_of(n->properties) : std::vector<std::string_view>{};
}

std::vector<std::string_view> Schema::rel_properties(std::string_view type) const {
  const RelType* r = find_rel(type);
  return r ? views_of(r->properties) : std::vector<std::string_view>{};
}

bool Schema::node_has_property(std::string_view label, std::string_view key) const {
  const NodeLabel* n = find_node(label);
  return n && contains(n->properties, key);
}

bool Schema::rel_has_property(std::string_view type, std::string_view key) const {
  const RelType* r = find_rel(type);
  return r && contains(r->properties, key);
}

std::optional<std::pair<std::string_view, std::string_view>> Schema::rel_src_tgt(
    std::string_view type) const {
  const RelType* r = find_rel(type);
  if (!r || r->endpoints.empty()) return std::nullopt;
  const Endpoints& first = r->endpoints.front();
  return std::make_pair(std::string_view(first.source), std::string_view(first.target));
}

std::vector<std::pair<std::string_view, std::string_view>> Schema::rel_endpoint_pairs(
    std::string_view type) const {
  std::vector<std::pair<std::string_view, std::string_view>> out;
  if (const RelType* r = find_rel(type)) {
    out.reserve(r->endpoints.size());
    for (const Endpoints& pair : r->endpoints) out.emplace_back(pair.source, pair.target);
  }
  return out;
}

}  // namespace quorvane
