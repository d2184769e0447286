// The comparisons of a query with the schema: labels, relationship types,
// property keys and relationship ends. Part of SemanticValidator.
#include <algorithm>
#include <initializer_list>
#include <variant>

#include "validator/semantic/closest_match.h"
#include "validator/semantic/overloaded.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

std::string concat(std::initializer_list<std::string_view> pieces) {
  size_t size = 0;
  for (std::string_view piece : pieces) size += piece.size();
  std::string out;
  out.reserve(size);
  for (std::string_view piece : pieces) out += piece;
  return out;
}

bool declares(const std::vector<std::string>& keys, std::string_view key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

const PropertyMap* inline_map(const std::optional<MapOrParam>& properties) {
  if (!properties) return nullptr;
  const auto* map = std::get_if<MapOrParam::Map>(&properties->value);
  return map ? &map->entries : nullptr;
}

// ", did you mean :X?" or nothing. The candidates are searched in the
// schema's own order, straight from its entries.
template <class Entries>
std::string suggestion(std::string_view name, const Entries& entries) {
  std::optional<std::string_view> match = closest_match(
      name, entries, [](const auto& entry) -> std::string_view { return entry.name; });
  return match ? concat({", did you mean :", *match, "?"}) : std::string();
}

}  // namespace

void SemanticValidator::validate_pattern(std::span<const PatternPart> parts) {
  for (const PatternPart& part : parts) {
    validate_node_pattern(part.start);
    const NodePattern* left = &part.start;
    for (const PatternLink& link : part.chain) {
      if (link.group) {
        validate_group(**link.group);
      } else {
        const RelationshipPattern& relationship = link.relationship;
        validate_relationship(relationship, *left, link.node);
        // Names under `!` or `%` give no types to check above.
        if (relationship.type_expr && relationship.types.empty()) {
          validate_label_names(**relationship.type_expr, true);
        }
        if (relationship.where_clause) validate_expr(**relationship.where_clause);
      }
      validate_node_pattern(link.node);
      left = &link.node;
    }
  }
}

// A label expression's node may carry any one of its labels, so a property
// is unknown only when none of them declares it.
void SemanticValidator::validate_node_pattern(const NodePattern& node) {
  if (node.label_expr) {
    validate_label_names(**node.label_expr, false);
  } else {
    for (const std::string& label : node.labels) {
      if (!schema_.has_node_label(label)) report_unknown_label("Unknown node label: :", label);
    }
  }
  const PropertyMap* properties = inline_map(node.properties);
  if (properties != nullptr && !node.labels.empty()) {
    for (const MapEntry& entry : *properties) {
      if (node.label_expr &&
          std::any_of(node.labels.begin(), node.labels.end(), [&](const std::string& label) {
            const Schema::NodeLabel* declared = schema_.find_node(label);
            return declared && declares(declared->properties, entry.key);
          })) {
        continue;
      }
      for (const std::string& label : node.labels) {
        const Schema::NodeLabel* declared = schema_.find_node(label);
        if (declared && !declares(declared->properties, entry.key)) {
          errors_.push_back(
              concat({"Unknown property '", entry.key, "' for node label :", label}));
        }
      }
    }
  }
  if (node.where_clause) validate_expr(**node.where_clause);
}

void SemanticValidator::validate_relationship(const RelationshipPattern& relationship,
                                              const NodePattern& left, const NodePattern& right) {
  for (const std::string& type : relationship.types) {
    const Schema::RelType* declared = schema_.find_rel(type);
    if (declared == nullptr) {
      errors_.push_back(concat(
          {"Unknown relationship type: :", type, suggestion(type, schema_.relationships())}));
      continue;
    }
    if (const PropertyMap* properties = inline_map(relationship.properties)) {
      for (const MapEntry& entry : *properties) {
        if (!declares(declared->properties, entry.key)) {
          errors_.push_back(
              concat({"Unknown property '", entry.key, "' for relationship type :", type}));
        }
      }
    }
    if (relationship.direction == Direction::Outgoing) {
      check_endpoint_label(left.labels, declared->source, "source", type);
      check_endpoint_label(right.labels, declared->target, "target", type);
    } else if (relationship.direction == Direction::Incoming) {
      check_endpoint_label(right.labels, declared->source, "source", type);
      check_endpoint_label(left.labels, declared->target, "target", type);
    }
  }
}

// Unlabelled nodes fit any end, and a node whose labels are all unknown has
// already been reported by the node check.
void SemanticValidator::check_endpoint_label(const std::vector<std::string>& labels,
                                             std::string_view expected, std::string_view end,
                                             std::string_view type) {
  if (labels.empty()) return;
  if (std::find(labels.begin(), labels.end(), expected) != labels.end()) return;
  if (std::none_of(labels.begin(), labels.end(),
                   [this](const std::string& label) { return schema_.has_node_label(label); })) {
    return;
  }
  std::string message = concat({"Relationship :", type, " expects ", end, " label :", expected,
                                ", but node has label(s): "});
  for (size_t i = 0; i < labels.size(); ++i) {
    if (i > 0) message += ", ";
    message += ':';
    message += labels[i];
  }
  errors_.push_back(std::move(message));
}

void SemanticValidator::validate_property_access(std::string_view variable,
                                                 std::span<const std::string> keys) {
  const KnownLabels* known = scope_.find(variable);
  if (known == nullptr) return;
  known->for_each([&](std::string_view label) {
    if (const Schema::NodeLabel* node = schema_.find_node(label)) {
      for (const std::string& key : keys) {
        if (known->any_of() && any_label_declares(*known, key)) continue;
        if (!declares(node->properties, key)) {
          errors_.push_back(concat(
              {"Unknown property '", key, "' on variable '", variable, "' with label :", label}));
        }
      }
    } else if (const Schema::RelType* rel = schema_.find_rel(label)) {
      for (const std::string& key : keys) {
        if (known->any_of() && any_label_declares(*known, key)) continue;
        if (!declares(rel->properties, key)) {
          errors_.push_back(concat({"Unknown property '", key, "' on variable '", variable,
                                    "' with relationship type :", label}));
        }
      }
    }
  });
}

void SemanticValidator::validate_updating_clause(const UpdatingClause& clause) {
  std::visit(Overloaded{
                 [this](const UpdatingClause::Create& create) { validate_pattern(create.pattern); },
                 // ON MATCH and ON CREATE actions are not checked.
                 [this](const UpdatingClause::Merge& merge) {
                   validate_pattern(std::span(&merge.pattern_part, 1));
                 },
                 [this](const UpdatingClause::Set& set) {
                   for (const SetItem& item : set.items) validate_set_item(item);
                 },
                 [this](const UpdatingClause::Remove& remove) {
                   for (const RemoveItem& item : remove.items) validate_remove_item(item);
                 },
                 [this](const UpdatingClause::Delete& del) {
                   for (const Expr& expr : del.exprs) validate_expr(expr);
                 },
                 [this](const UpdatingClause::Foreach& foreach) { validate_foreach(foreach); },
             },
             clause.clause);
}

// The variable a SET item assigns to is only compared with the schema, never
// reported as unbound.
void SemanticValidator::validate_set_item(const SetItem& item) {
  if (const auto* property = std::get_if<SetItem::Property>(&item.item)) {
    validate_property_access(property->target.variable, property->target.keys);
    validate_expr(property->value);
  } else if (const auto* assign = std::get_if<SetItem::Assign>(&item.item)) {
    validate_expr(assign->value);
  } else if (const auto* add = std::get_if<SetItem::AddAssign>(&item.item)) {
    validate_expr(add->value);
  } else if (const auto* labels = std::get_if<SetItem::Labels>(&item.item)) {
    for (const std::string& label : labels->labels) {
      if (!schema_.has_node_label(label))
        report_unknown_label("Unknown node label in SET: :", label);
    }
  }
}

void SemanticValidator::validate_remove_item(const RemoveItem& item) {
  if (const auto* property = std::get_if<RemoveItem::Property>(&item.item)) {
    validate_property_access(property->target.variable, property->target.keys);
  } else if (const auto* labels = std::get_if<RemoveItem::Labels>(&item.item)) {
    for (const std::string& label : labels->labels) {
      if (!schema_.has_node_label(label)) {
        report_unknown_label("Unknown node label in REMOVE: :", label);
      }
    }
  }
}

void SemanticValidator::report_unknown_label(std::string_view prefix, std::string_view label) {
  errors_.push_back(concat({prefix, label, suggestion(label, schema_.nodes())}));
}

}  // namespace quorvane
