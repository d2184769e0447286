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

void add_distinct(std::vector<std::string_view>& names, std::string_view name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// ":A", ":A or :B", ":A, :B or :C".
void append_alternatives(std::string& out, std::span<const std::string_view> labels) {
  for (size_t i = 0; i < labels.size(); ++i) {
    if (i > 0) out += i + 1 == labels.size() ? " or " : ", ";
    out += ':';
    out += labels[i];
  }
}

void append_label_expr(std::string& out, const LabelExpr& e, bool nested) {
  switch (e.kind) {
    case LabelExpr::Kind::Name:
      out += e.name;
      return;
    case LabelExpr::Kind::Wildcard:
      out += '%';
      return;
    case LabelExpr::Kind::Not:
      out += '!';
      append_label_expr(out, e.operands.front(), true);
      return;
    case LabelExpr::Kind::And:
    case LabelExpr::Kind::Or:
      if (nested) out += '(';
      for (size_t i = 0; i < e.operands.size(); ++i) {
        if (i > 0) out += e.kind == LabelExpr::Kind::And ? '&' : '|';
        append_label_expr(out, e.operands[i], true);
      }
      if (nested) out += ')';
      return;
  }
}

// A node's labels as its pattern writes them: ":A:B", or ":A|B" for a label
// expression.
void append_node_labels(std::string& out, const NodePattern& node) {
  if (node.label_expr) {
    out += ':';
    append_label_expr(out, **node.label_expr, false);
    return;
  }
  for (const std::string& label : node.labels) {
    out += ':';
    out += label;
  }
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
        check_property_map_calls(relationship.properties);
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
  check_property_map_calls(node.properties);
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
    check_endpoints(relationship, *declared, left, right);
  }
}

// A relationship passes when one declared pair fits its direction and the
// labels of both ends; an undirected one may fit either way round. Each end
// is first compared with every label the type allows there, so that a
// mismatch names what was declared for that end. Only a single hop can fail
// for want of one pair fitting both ends: a longer path may pass through
// other pairs of the type. A type declared with one pair keeps its
// undirected relationships unchecked.
void SemanticValidator::check_endpoints(const RelationshipPattern& relationship,
                                        const Schema::RelType& declared, const NodePattern& left,
                                        const NodePattern& right) {
  const std::vector<Schema::Endpoints>& pairs = declared.endpoints;
  if (pairs.empty()) return;
  // No range, "*1" or "*..1": exactly one relationship.
  const bool single_hop = !relationship.range || (relationship.range->min.value_or(1) == 1 &&
                                                   relationship.range->max == 1);
  if (relationship.direction == Direction::Undirected) {
    if (pairs.size() < 2) return;
    std::vector<std::string_view> either;
    for (const Schema::Endpoints& pair : pairs) {
      add_distinct(either, pair.source);
      add_distinct(either, pair.target);
    }
    const bool left_fits = check_endpoint_label(left.labels, either, "", declared.name);
    const bool right_fits = check_endpoint_label(right.labels, either, "", declared.name);
    if (!left_fits || !right_fits || !single_hop) return;
    if (std::any_of(pairs.begin(), pairs.end(), [&](const Schema::Endpoints& pair) {
          return joins(left.labels, right.labels, pair) || joins(right.labels, left.labels, pair);
        })) {
      return;
    }
    report_unjoined(declared, left, " and ", right, " in either direction");
    return;
  }
  const bool outgoing = relationship.direction == Direction::Outgoing;
  const NodePattern& source = outgoing ? left : right;
  const NodePattern& target = outgoing ? right : left;
  if (pairs.size() == 1) {  // the common case, without allocating
    const std::string_view source_label[] = {pairs.front().source};
    const std::string_view target_label[] = {pairs.front().target};
    check_endpoint_label(source.labels, source_label, "source", declared.name);
    check_endpoint_label(target.labels, target_label, "target", declared.name);
    return;
  }
  std::vector<std::string_view> sources, targets;
  for (const Schema::Endpoints& pair : pairs) {
    add_distinct(sources, pair.source);
    add_distinct(targets, pair.target);
  }
  const bool source_fits = check_endpoint_label(source.labels, sources, "source", declared.name);
  const bool target_fits = check_endpoint_label(target.labels, targets, "target", declared.name);
  if (!source_fits || !target_fits || !single_hop) return;
  if (std::any_of(pairs.begin(), pairs.end(), [&](const Schema::Endpoints& pair) {
        return joins(source.labels, target.labels, pair);
      })) {
    return;
  }
  report_unjoined(declared, source, " to ", target, "");
}

// Unlabelled nodes fit any end, and a node whose labels are all unknown has
// already been reported by the node check: neither is compared.
bool SemanticValidator::end_fits(const std::vector<std::string>& labels,
                                 std::string_view expected) const {
  if (labels.empty()) return true;
  if (std::find(labels.begin(), labels.end(), expected) != labels.end()) return true;
  return std::none_of(labels.begin(), labels.end(),
                      [this](const std::string& label) { return schema_.has_node_label(label); });
}

bool SemanticValidator::joins(const std::vector<std::string>& source,
                              const std::vector<std::string>& target,
                              const Schema::Endpoints& pair) const {
  return end_fits(source, pair.source) && end_fits(target, pair.target);
}

// Reports, and answers false, when the node fits none of the expected
// labels. `end` is "source" or "target", or empty for either end of an
// undirected relationship.
bool SemanticValidator::check_endpoint_label(const std::vector<std::string>& labels,
                                             std::span<const std::string_view> expected,
                                             std::string_view end, std::string_view type) {
  if (std::any_of(expected.begin(), expected.end(),
                  [&](std::string_view label) { return end_fits(labels, label); })) {
    return true;
  }
  std::string message = concat({"Relationship :", type, " expects "});
  if (!end.empty()) message += concat({end, " "});
  message += "label ";
  append_alternatives(message, expected);
  if (end.empty()) message += " at either end";
  message += ", but node has label(s): ";
  for (size_t i = 0; i < labels.size(); ++i) {
    if (i > 0) message += ", ";
    message += ':';
    message += labels[i];
  }
  errors_.push_back(std::move(message));
  return false;
}

void SemanticValidator::report_unjoined(const Schema::RelType& declared, const NodePattern& first,
                                        std::string_view between, const NodePattern& second,
                                        std::string_view how) {
  std::string message = concat({"Relationship :", declared.name, " does not join "});
  append_node_labels(message, first);
  message += between;
  append_node_labels(message, second);
  message += how;
  message += "; declared: ";
  for (size_t i = 0; i < declared.endpoints.size(); ++i) {
    if (i > 0) message += ", ";
    message += concat({"(:", declared.endpoints[i].source, ")->(:", declared.endpoints[i].target,
                       ")"});
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

void SemanticValidator::report_unknown_rel_type(std::string_view type) {
  errors_.push_back(
      concat({"Unknown relationship type: :", type, suggestion(type, schema_.relationships())}));
}

void SemanticValidator::report_unknown_label(std::string_view prefix, std::string_view label) {
  errors_.push_back(concat({prefix, label, suggestion(label, schema_.nodes())}));
}

}  // namespace quorvane
