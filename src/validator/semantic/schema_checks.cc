// The comparisons of a query with the schema: labels, relationship types,
// property keys and relationship ends. Part of SemanticValidator.
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "validator/semantic/closest_match.h"
#include "validator/semantic/expression_text.h"
#include "validator/semantic/overloaded.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

// Where a SET item starts: its variable.
uint32_t set_item_begin(const SetItem& item) {
  return std::visit(Overloaded{
                        [](const SetItem::Property& p) { return p.target.variable_span.begin; },
                        [](const SetItem::Assign& a) { return a.variable_span.begin; },
                        [](const SetItem::AddAssign& a) { return a.variable_span.begin; },
                        [](const SetItem::Labels& l) { return l.variable_span.begin; },
                    },
                    item.item);
}

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

const PropertyMap* inline_map(const Nullable<MapOrParam>& properties) {
  if (!properties) return nullptr;
  const auto* map = std::get_if<MapOrParam::Map>(&properties->value);
  return map ? &map->entries : nullptr;
}

// ", did you mean :X?" or nothing. The candidates are searched in the
// schema's own order, straight from its entries.
template <class Entries>
std::optional<std::string_view> closest_name(std::string_view name, const Entries& entries) {
  return closest_match(name, entries,
                       [](const auto& entry) -> std::string_view { return entry.name; });
}

// A name as it must be written: in backticks unless it is a plain word.
std::string written_name(std::string_view name) {
  const bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9') &&
                     std::all_of(name.begin(), name.end(), [](char c) {
                       return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '_';
                     });
  if (plain) return std::string(name);
  std::string out = "`";
  for (char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  return out + "`";
}

// Gives a finding its did-you-mean: the name proposed and, where the name's
// text is known, the edit that writes it there.
void suggest(Diagnostic& d, std::string_view name, Span span) {
  d.suggestion.assign(name);
  if (!span.empty()) d.edits.push_back(Edit{span, written_name(name)});
}

void add_distinct(std::vector<std::string_view>& names, std::string_view name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

// How many declared keys a hint lists before saying how many more there are.
constexpr size_t kListedProperties = 10;

// ":A:B".
void append_labels(std::string& out, std::span<const std::string_view> labels) {
  for (std::string_view label : labels) {
    out += ':';
    out += label;
  }
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
    case LabelExpr::Kind::Dynamic:
      out += e.any ? "$any(" : "$(";
      out += expression_text(**e.names);
      out += ')';
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
  for (const TreeString& label : node.labels) {
    out += ':';
    out += label;
  }
}

// A relationship end's labels: as its pattern writes them, or ":A:B" when
// they come from earlier clauses.
template <class EndLabels>
void append_end_labels(std::string& out, const EndLabels& labels) {
  if (!labels.from_scope) {
    append_node_labels(out, *labels.node);
    return;
  }
  labels.any_of([&out](std::string_view label) {
    out += ':';
    out += label;
    return false;
  });
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
        validate_property_map_values(relationship.properties);
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
    for (size_t i = 0; i < node.labels.size(); ++i) {
      if (!lookup_.has_node(node.labels[i])) {
        report_unknown_label("Unknown node label: :", node.labels[i],
                             i < node.label_spans.size() ? node.label_spans[i] : Span{});
      }
    }
  }
  const PropertyMap* properties = inline_map(node.properties);
  if (properties != nullptr && !node.labels.empty()) {
    // In the extended language a node of several labels may hold the keys of
    // any of them.
    std::vector<std::string_view> all_of;
    if (extended() && !node.label_expr) all_of = declared_node_labels(node.labels);
    for (const MapEntry& entry : *properties) {
      if ((node.label_expr || all_of.size() > 1) &&
          std::any_of(node.labels.begin(), node.labels.end(), [&](const TreeString& label) {
            const Schema::NodeLabel* declared = lookup_.node(label);
            return declared && declares(declared->properties, entry.key);
          })) {
        continue;
      }
      if (all_of.size() > 1) {
        std::string message = concat({"Unknown property '", entry.key, "' for node labels "});
        append_labels(message, all_of);
        report_unknown_key(std::move(message), entry.key, entry.key_span, all_of);
        continue;
      }
      for (const TreeString& label : node.labels) {
        const Schema::NodeLabel* declared = lookup_.node(label);
        if (declared && !declares(declared->properties, entry.key)) {
          const std::string_view labels[] = {declared->name};
          report_unknown_key(concat({"Unknown property '", entry.key, "' for node label :", label}),
                             entry.key, entry.key_span, labels);
        }
      }
    }
  }
  validate_property_map_values(node.properties);
  // A node no label names may still be one a relationship labels: its keys
  // are then warned about.
  if (properties != nullptr && extended() && node.labels.empty() && !node.label_expr &&
      node.variable) {
    const KnownLabels* known = scope_.find(*node.variable);
    if (known != nullptr && known->empty()) {
      for (const MapEntry& entry : *properties) {
        warn_inferred_keys(*node.variable, *known, std::span(&entry.key, 1),
                           std::span(&entry.key_span, 1));
      }
    }
  }
  if (node.where_clause) validate_expr(**node.where_clause);
}

void SemanticValidator::validate_relationship(const RelationshipPattern& relationship,
                                              const NodePattern& left, const NodePattern& right) {
  for (size_t i = 0; i < relationship.types.size(); ++i) {
    const TreeString& type = relationship.types[i];
    const Schema::RelType* declared = lookup_.rel(type);
    if (declared == nullptr) {
      report_unknown_rel_type(
          type, i < relationship.type_spans.size() ? relationship.type_spans[i] : Span{});
      continue;
    }
    if (const PropertyMap* properties = inline_map(relationship.properties)) {
      for (const MapEntry& entry : *properties) {
        if (!declares(declared->properties, entry.key)) {
          const std::string_view labels[] = {declared->name};
          report_unknown_key(
              concat({"Unknown property '", entry.key, "' for relationship type :", type}),
              entry.key, entry.key_span, labels);
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
  const EndLabels left_labels = end_labels(left);
  const EndLabels right_labels = end_labels(right);
  if (relationship.direction == Direction::Undirected) {
    if (pairs.size() < 2) return;
    const PairFits left_source{left_labels, pairs, true};
    const PairFits left_target{left_labels, pairs, false};
    const PairFits right_source{right_labels, pairs, true};
    const PairFits right_target{right_labels, pairs, false};
    // Each end must fit a label the type allows at either of its ends.
    std::vector<std::string_view> either;
    const auto either_fits = [&](const PairFits& as_source, const PairFits& as_target) {
      if (fits_any(as_source) || fits_any(as_target)) return true;
      if (either.empty()) {
        for (const Schema::Endpoints& pair : pairs) {
          add_distinct(either, pair.source);
          add_distinct(either, pair.target);
        }
      }
      report_endpoint_label(as_source.labels, either, "", declared.name, relationship.span);
      return false;
    };
    const bool left_fits = either_fits(left_source, left_target);
    const bool right_fits = either_fits(right_source, right_target);
    if (!left_fits || !right_fits || !single_hop) return;
    for (size_t i = 0; i < pairs.size(); ++i) {
      if ((fits(left_source, i) && fits(right_target, i)) ||
          (fits(right_source, i) && fits(left_target, i))) {
        return;
      }
    }
    report_unjoined(declared, left_labels, " and ", right_labels, " in either direction",
                    relationship.span);
    return;
  }
  const bool outgoing = relationship.direction == Direction::Outgoing;
  const PairFits source{outgoing ? left_labels : right_labels, pairs, true};
  const PairFits target{outgoing ? right_labels : left_labels, pairs, false};
  if (extended() && drawn_reversed(declared, source, target, single_hop, relationship.span)) {
    return;
  }
  // Each end must fit one of the labels the type allows there.
  const auto end_fits_a_pair = [&](const PairFits& end, std::string_view name) {
    if (fits_any(end)) return true;
    if (pairs.size() == 1) {  // the common case, without allocating
      const std::string_view label[] = {end.at_source ? pairs.front().source
                                                      : pairs.front().target};
      report_endpoint_label(end.labels, label, name, declared.name, relationship.span);
      return false;
    }
    std::vector<std::string_view> labels;
    for (const Schema::Endpoints& pair : pairs) {
      add_distinct(labels, end.at_source ? pair.source : pair.target);
    }
    report_endpoint_label(end.labels, labels, name, declared.name, relationship.span);
    return false;
  };
  const bool source_fits = end_fits_a_pair(source, "source");
  const bool target_fits = end_fits_a_pair(target, "target");
  if (pairs.size() == 1 || !source_fits || !target_fits || !single_hop) return;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (fits(source, i) && fits(target, i)) return;
  }
  report_unjoined(declared, source.labels, " to ", target.labels, "", relationship.span);
}

bool SemanticValidator::fits_any(const PairFits& end) const {
  for (size_t i = 0; i < end.pairs.size(); ++i) {
    if (fits(end, i)) return true;
  }
  return false;
}

// The extended language also counts the labels earlier clauses gave an
// unlabelled node's variable, when they are certain: not alternatives of a
// label expression, not merged in by an OPTIONAL MATCH, and held by a node.
SemanticValidator::EndLabels SemanticValidator::end_labels(const NodePattern& node) const {
  const EndLabels written{&node, &node.labels, {}, false};
  if (!extended() || !node.labels.empty() || node.label_expr || !node.variable) return written;
  const KnownLabels* known = scope_.find(*node.variable);
  if (known == nullptr || known->kind() != VariableKind::Node || known->any_of() ||
      known->uncertain()) {
    return written;
  }
  return {&node, known->written(), known->merged(), true};
}

// One finding, instead of one per end, for a directed relationship whose ends
// fit a declared pair only the other way round. Both ends must carry a
// declared label (an unlabelled end fits anything). A longer path counts as
// drawn backwards when an end misses every pair as written and one pair fits
// both ends reversed.
bool SemanticValidator::drawn_reversed(const Schema::RelType& declared, const PairFits& source,
                                       const PairFits& target, bool single_hop, Span span) {
  // The names of a label expression are only possible labels.
  if (source.labels.node->label_expr || target.labels.node->label_expr) return false;
  const std::vector<Schema::Endpoints>& pairs = declared.endpoints;
  if (single_hop) {
    for (size_t i = 0; i < pairs.size(); ++i) {
      if (fits(source, i) && fits(target, i)) return false;
    }
  } else if (fits_any(source) && fits_any(target)) {
    return false;
  }
  if (!any_declared(source.labels) || !any_declared(target.labels)) return false;
  const auto reversed = std::find_if(
      pairs.begin(), pairs.end(),
      [&](const Schema::Endpoints& pair) { return joins(target.labels, source.labels, pair); });
  if (reversed == pairs.end()) return false;
  std::string message = concat({"Relationship :", declared.name, " goes from :", reversed->source,
                                " to :", reversed->target, ", but this pattern draws it from "});
  append_end_labels(message, source.labels);
  message += " to ";
  append_end_labels(message, target.labels);
  message += "; reverse the arrow";
  // The edits that turn the arrow are made where the text is at hand.
  findings_.error(Code::WrongDirection, span, std::move(message));
  return true;
}

bool SemanticValidator::any_declared(const EndLabels& labels) const {
  if (labels.declared < 0) {
    labels.declared =
        labels.any_of([this](std::string_view label) { return lookup_.has_node(label); }) ? 1 : 0;
  }
  return labels.declared == 1;
}

bool SemanticValidator::joins(const EndLabels& source, const EndLabels& target,
                              const Schema::Endpoints& pair) const {
  return end_fits(source, pair.source) && end_fits(target, pair.target);
}

// The finding for a node that fits none of the expected labels. `end` is
// "source" or "target", or empty for either end of an undirected
// relationship.
void SemanticValidator::report_endpoint_label(const EndLabels& labels,
                                              std::span<const std::string_view> expected,
                                              std::string_view end, std::string_view type,
                                              Span span) {
  std::string message = concat({"Relationship :", type, " expects "});
  if (!end.empty()) message += concat({end, " "});
  message += "label ";
  append_alternatives(message, expected);
  if (end.empty()) message += " at either end";
  message += ", but node has label(s): ";
  bool first = true;
  labels.any_of([&](std::string_view label) {
    if (!first) message += ", ";
    first = false;
    message += ':';
    message += label;
    return false;
  });
  findings_.error(Code::WrongEndpoints, span, std::move(message));
}

void SemanticValidator::report_unjoined(const Schema::RelType& declared, const EndLabels& first,
                                        std::string_view between, const EndLabels& second,
                                        std::string_view how, Span span) {
  std::string message = concat({"Relationship :", declared.name, " does not join "});
  append_end_labels(message, first);
  message += between;
  append_end_labels(message, second);
  message += how;
  message += "; declared: ";
  for (size_t i = 0; i < declared.endpoints.size(); ++i) {
    if (i > 0) message += ", ";
    message +=
        concat({"(:", declared.endpoints[i].source, ")->(:", declared.endpoints[i].target, ")"});
  }
  findings_.error(Code::WrongEndpoints, span, std::move(message));
}

void SemanticValidator::validate_property_access(std::string_view variable,
                                                 std::span<const TreeString> keys,
                                                 std::span<const Span> key_spans) {
  const KnownLabels* known = scope_.find(variable);
  if (known == nullptr) return;
  if (extended()) {
    if (known->empty()) {
      warn_inferred_keys(variable, *known, keys, key_spans);
      return;
    }
    if (validate_keys_of_labels(variable, *known, keys, key_spans)) return;
  }
  const auto span_of_key = [&](size_t i) { return i < key_spans.size() ? key_spans[i] : Span{}; };
  known->for_each([&](std::string_view label) {
    if (const Schema::NodeLabel* node = lookup_.node(label)) {
      for (size_t i = 0; i < keys.size(); ++i) {
        const TreeString& key = keys[i];
        if (known->any_of() && any_label_declares(*known, key)) continue;
        if (!declares(node->properties, key)) {
          const std::string_view labels[] = {node->name};
          report_unknown_key(concat({"Unknown property '", key, "' on variable '", variable,
                                     "' with label :", label}),
                             key, span_of_key(i), labels);
        }
      }
    } else if (const Schema::RelType* rel = lookup_.rel(label)) {
      for (size_t i = 0; i < keys.size(); ++i) {
        const TreeString& key = keys[i];
        if (known->any_of() && any_label_declares(*known, key)) continue;
        if (!declares(rel->properties, key)) {
          const std::string_view labels[] = {rel->name};
          report_unknown_key(concat({"Unknown property '", key, "' on variable '", variable,
                                     "' with relationship type :", label}),
                             key, span_of_key(i), labels);
        }
      }
    }
  });
}

void SemanticValidator::report_unknown_key(std::string message, std::string_view key, Span span,
                                           std::span<const std::string_view> labels, bool warning) {
  std::string suggested;
  message += property_hint(key, labels, &suggested);
  Diagnostic& d = warning ? findings_.warning(Code::UnknownProperty, span, std::move(message))
                          : findings_.error(Code::UnknownProperty, span, std::move(message));
  if (!suggested.empty()) suggest(d, suggested, span);
}

// A node known to carry several declared labels (extended language) may
// hold the keys of any of them: one finding per key none of them declares.
// Answers false, checking nothing, for fewer than two such labels or labels
// that are alternatives.
bool SemanticValidator::validate_keys_of_labels(std::string_view variable, const KnownLabels& known,
                                                std::span<const TreeString> keys,
                                                std::span<const Span> key_spans) {
  if (known.any_of() || known.kind() == VariableKind::Relationship) return false;
  // Most variables carry one label: tell that without looking it up.
  size_t carried = 0;
  known.for_each([&carried](std::string_view) { ++carried; });
  if (carried < 2) return false;
  size_t declared = 0;
  known.for_each([&](std::string_view label) { declared += lookup_.has_node(label); });
  if (declared < 2) return false;
  std::vector<std::string_view> labels;
  bool only_nodes = true;
  known.for_each([&](std::string_view label) {
    if (lookup_.has_node(label)) {
      labels.push_back(label);
    } else if (lookup_.rel(label) != nullptr) {
      only_nodes = false;
    }
  });
  if (labels.size() < 2 || !only_nodes) return false;
  for (size_t i = 0; i < keys.size(); ++i) {
    const TreeString& key = keys[i];
    if (any_label_declares(known, key)) continue;
    std::string message =
        concat({"Unknown property '", key, "' on variable '", variable, "' with labels "});
    append_labels(message, labels);
    report_unknown_key(std::move(message), key, i < key_spans.size() ? key_spans[i] : Span{},
                       labels);
  }
  return true;
}

// A node no pattern labels, which a relationship of a type declared with one
// pair makes a node of that pair's label (extended language). The database
// returns null for a key it does not hold, so this is only a warning.
void SemanticValidator::warn_inferred_keys(std::string_view variable, const KnownLabels& known,
                                           std::span<const TreeString> keys,
                                           std::span<const Span> key_spans) {
  if (known.inferred().empty() || known.kind() != VariableKind::Node) return;
  const Schema::NodeLabel* node = lookup_.node(known.inferred());
  if (node == nullptr) return;
  const std::string_view labels[] = {node->name};
  for (size_t i = 0; i < keys.size(); ++i) {
    const TreeString& key = keys[i];
    if (declares(node->properties, key)) continue;
    report_unknown_key(concat({"Unknown property '", key, "' on variable '", variable,
                               "', which :", known.inferred_by(), " makes a :", node->name}),
                       key, i < key_spans.size() ? key_spans[i] : Span{}, labels, true);
  }
}

std::vector<std::string_view> SemanticValidator::declared_node_labels(
    const TreeList<TreeString>& labels) const {
  std::vector<std::string_view> declared;
  for (const TreeString& label : labels) {
    if (lookup_.has_node(label)) add_distinct(declared, label);
  }
  return declared;
}

// What follows an unknown key in the extended language: the closest key the
// labels (or relationship type) declare, or else the keys they declare.
// Nothing in the subset.
std::string SemanticValidator::property_hint(std::string_view key,
                                             std::span<const std::string_view> labels,
                                             std::string* suggested) const {
  if (!extended()) return std::string();
  std::vector<std::string_view> declared;
  for (std::string_view label : labels) {
    const std::vector<std::string>* properties = nullptr;
    if (const Schema::NodeLabel* node = lookup_.node(label)) {
      properties = &node->properties;
    } else if (const Schema::RelType* rel = lookup_.rel(label)) {
      properties = &rel->properties;
    }
    if (properties == nullptr) continue;
    for (const std::string& property : *properties) add_distinct(declared, property);
  }
  // A key is suggested only when at most half of the unknown one has to
  // change: a short key is otherwise "close" to most keys ('age' to 'name'),
  // and the list below tells more.
  ClosestMatcher matcher(key);
  for (std::string_view property : declared) {
    matcher.offer(property);
    if (matcher.settled()) break;
  }
  if (matcher.best() && 2 * matcher.best_distance() <= key.size()) {
    if (suggested != nullptr) suggested->assign(*matcher.best());
    return concat({", did you mean '", *matcher.best(), "'?"});
  }
  std::string hint;
  if (declared.empty()) {
    hint = "; ";
    append_labels(hint, labels);
    hint += labels.size() == 1 ? " declares no properties" : " declare no properties";
    return hint;
  }
  hint = "; declared properties of ";
  append_labels(hint, labels);
  hint += ": ";
  const size_t shown = std::min(declared.size(), kListedProperties);
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) hint += ", ";
    hint += concat({"'", declared[i], "'"});
  }
  if (declared.size() > shown)
    hint += concat({" and ", std::to_string(declared.size() - shown), " more"});
  return hint;
}

void SemanticValidator::validate_updating_clause(const UpdatingClause& clause) {
  if (extended()) check_updating_clause_rules(clause);
  std::visit(Overloaded{
                 [this](const UpdatingClause::Create& create) { validate_pattern(create.pattern); },
                 // The subset leaves ON MATCH and ON CREATE actions unchecked;
                 // the extended language checks them as it checks SET.
                 [this](const UpdatingClause::Merge& merge) {
                   validate_pattern(std::span(merge.pattern_part.get(), 1));
                   if (extended()) validate_merge_actions(merge);
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

// The actions in the order they are written: the tree keeps ON MATCH and ON
// CREATE apart, and each action's items start after the previous action's.
void SemanticValidator::validate_merge_actions(const UpdatingClause::Merge& merge) {
  std::vector<const TreeList<SetItem>*> actions;
  for (const TreeList<SetItem>& items : merge.on_match) actions.push_back(&items);
  for (const TreeList<SetItem>& items : merge.on_create) actions.push_back(&items);
  const auto begin = [](const TreeList<SetItem>* items) {
    return items->empty() ? uint32_t{0} : set_item_begin(items->front());
  };
  std::stable_sort(actions.begin(), actions.end(),
                   [&](const auto* a, const auto* b) { return begin(a) < begin(b); });
  for (const TreeList<SetItem>* items : actions) {
    for (const SetItem& item : *items) validate_set_item(item);
  }
}

// The variable a SET item assigns to is only compared with the schema, never
// reported as unbound.
void SemanticValidator::validate_set_item(const SetItem& item) {
  if (const auto* property = std::get_if<SetItem::Property>(&item.item)) {
    validate_property_access(property->target.variable, property->target.keys,
                             property->target.key_spans);
    validate_expr(property->value);
  } else if (const auto* assign = std::get_if<SetItem::Assign>(&item.item)) {
    validate_expr(assign->value);
  } else if (const auto* add = std::get_if<SetItem::AddAssign>(&item.item)) {
    validate_expr(add->value);
  } else if (const auto* labels = std::get_if<SetItem::Labels>(&item.item)) {
    labels_changed(labels->variable);
    for (size_t i = 0; i < labels->labels.size(); ++i) {
      if (!lookup_.has_node(labels->labels[i])) {
        report_unknown_label("Unknown node label in SET: :", labels->labels[i],
                             i < labels->label_spans.size() ? labels->label_spans[i] : Span{});
      }
    }
    for (const Expr& names : labels->dynamic) validate_expr(names);
  }
}

void SemanticValidator::validate_remove_item(const RemoveItem& item) {
  if (const auto* property = std::get_if<RemoveItem::Property>(&item.item)) {
    validate_property_access(property->target.variable, property->target.keys,
                             property->target.key_spans);
  } else if (const auto* labels = std::get_if<RemoveItem::Labels>(&item.item)) {
    labels_changed(labels->variable);
    for (size_t i = 0; i < labels->labels.size(); ++i) {
      if (!lookup_.has_node(labels->labels[i])) {
        report_unknown_label("Unknown node label in REMOVE: :", labels->labels[i],
                             i < labels->label_spans.size() ? labels->label_spans[i] : Span{});
      }
    }
    for (const Expr& names : labels->dynamic) validate_expr(names);
  }
}

// After SET or REMOVE of labels, the labels the variable was bound with no
// longer tell what it carries at the ends of later relationships.
void SemanticValidator::labels_changed(std::string_view variable) {
  if (KnownLabels* known = extended() ? scope_.find_to_change(variable) : nullptr)
    known->set_uncertain();
}

void SemanticValidator::report_unknown_rel_type(std::string_view type, Span span) {
  const std::optional<std::string_view> match = closest_name(type, schema_.relationships());
  Diagnostic& d =
      findings_.error(Code::UnknownRelationshipType, span,
                      concat({"Unknown relationship type: :", type,
                              match ? concat({", did you mean :", *match, "?"}) : std::string()}));
  if (match) suggest(d, *match, span);
}

void SemanticValidator::report_unknown_label(std::string_view prefix, std::string_view label,
                                             Span span) {
  const std::optional<std::string_view> match = closest_name(label, schema_.nodes());
  Diagnostic& d = findings_.error(
      Code::UnknownLabel, span,
      concat({prefix, label, match ? concat({", did you mean :", *match, "?"}) : std::string()}));
  if (match) suggest(d, *match, span);
}

}  // namespace quorvane
