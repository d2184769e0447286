// The schema-aware pass over a parsed query.
//
// One SemanticValidator checks one tree: it walks the clauses in order with a
// scope of bound variables, reports uses of unbound variables, and compares
// labels, relationship types, property keys and relationship ends with the
// schema. Findings are diagnostics (code, message, span, fixes), kept in the
// order they are made.
// The validator borrows the schema and, while validate_query runs, the tree.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_SEMANTIC_VALIDATOR_H_
#define QUORVANE_VALIDATOR_SEMANTIC_SEMANTIC_VALIDATOR_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/ast.h"
#include "parser/language.h"
#include "schema/schema.h"
#include "validator/diagnostic.h"
#include "validator/semantic/expression_types.h"
#include "validator/semantic/schema_index.h"
#include "validator/semantic/scope.h"

namespace quorvane {

class SemanticValidator {
 public:
  // `index` is the schema's, built once by the caller that validates many
  // queries; without one the validator builds its own.
  SemanticValidator(const Schema& schema, Language language, const SchemaIndex* index = nullptr)
      : schema_(schema),
        own_index_(index ? std::nullopt : std::optional<SchemaIndex>(std::in_place, schema)),
        lookup_(schema, index ? *index : *own_index_),
        language_(language),
        typed_schema_(language == Language::Extended && lookup_.index().has_property_types()) {}

  // Checks a whole query or command, appending every finding. A standalone
  // procedure call and an administration command are not checked.
  void validate_query(const CypherQuery& query);

  // Every finding; warnings (extended language only) do not make the query
  // invalid.
  const std::vector<Diagnostic>& findings() const { return findings_.list(); }
  std::vector<Diagnostic> take_findings() { return findings_.take(); }
  // The messages of the errors, in order.
  std::vector<std::string> errors() const;

 private:
  // Which unlabelled nodes a pattern labels from a relationship type's only
  // declared pair: none (CREATE and MERGE make nodes of no label), only
  // variables the pattern binds first (OPTIONAL MATCH may leave an earlier
  // variable as it was), or all (MATCH).
  enum class EndInference : uint8_t { None, Fresh, All };

  // The labels one relationship end is known to carry: those its pattern
  // writes or, in the extended language, those earlier clauses gave its
  // variable. Views into the tree.
  struct EndLabels {
    const NodePattern* node;
    const TreeList<TreeString>* written;
    std::span<const std::string_view> merged;
    bool from_scope;  // the pattern writes no label; these come from the scope
    // Whether the schema declares one of them: unknown until first asked.
    mutable int8_t declared = -1;

    bool empty() const { return (!written || written->empty()) && merged.empty(); }
    bool contains(std::string_view label) const {
      if (written) {
        for (const TreeString& known : *written) {
          if (known.size() == label.size() && std::string_view(known) == label) return true;
        }
      }
      for (std::string_view known : merged) {
        if (known == label) return true;
      }
      return false;
    }
    template <class F>
    bool any_of(F&& f) const {
      if (written && std::any_of(written->begin(), written->end(), f)) return true;
      return std::any_of(merged.begin(), merged.end(), f);
    }
  };

  // The walk: scopes and bindings (semantic_validator.cc).
  void validate_single_query(const SingleQuery& query);
  void validate_part(const TreeList<ReadingClause>& reading,
                     const TreeList<UpdatingClause>& updating);
  void collect_reading_bindings(const ReadingClause& clause);
  void collect_updating_bindings(const UpdatingClause& clause);
  void collect_pattern_bindings(std::span<const PatternPart> parts,
                                EndInference inference = EndInference::None);
  void collect_node_bindings(const NodePattern& node, VariableKind kind, bool optional);
  void merge_binding(std::string_view variable, Span span, const TreeList<TreeString>& labels,
                     bool any_of, VariableKind kind, bool optional = false);
  void validate_reading_clause(const ReadingClause& clause);
  void validate_with_clause(const WithClause& with);
  void validate_return_clause(const ReturnClause& clause);
  void project(const TreeList<ReturnItem>& items, Scope& into) const;
  void bind_aliases(const TreeList<ReturnItem>& items);
  void validate_tail(const Nullable<TreeList<SortItem>>& order_by, const Nullable<Expr>& skip,
                     const Nullable<Expr>& limit);
  void validate_expr(const Expr& expr);
  void validate_with_iteration_variable(std::string_view variable, const Expr& list,
                                        const Nullable<Box<Expr>>& predicate,
                                        const Nullable<Box<Expr>>& projection);

  // Comparison with the schema (schema_checks.cc).
  void validate_pattern(std::span<const PatternPart> parts);
  void validate_node_pattern(const NodePattern& node);
  void validate_relationship(const RelationshipPattern& relationship, const NodePattern& left,
                             const NodePattern& right);
  void check_endpoints(const RelationshipPattern& relationship, const Schema::RelType& declared,
                       const NodePattern& left, const NodePattern& right);
  EndLabels end_labels(const NodePattern& node) const;
  // Whether one end fits the label each declared pair of a type expects at
  // one of its ends, each pair asked about once: the direction check and the
  // endpoint checks ask the same questions. Answers past the 64th pair are
  // not kept.
  struct PairFits {
    const EndLabels& labels;
    const std::vector<Schema::Endpoints>& pairs;
    bool at_source;  // compared with each pair's source, else its target
    mutable uint64_t asked = 0;
    mutable uint64_t fitting = 0;
  };
  bool fits(const PairFits& end, size_t pair) const {
    const Schema::Endpoints& endpoints = end.pairs[pair];
    const std::string_view expected = end.at_source ? endpoints.source : endpoints.target;
    if (pair >= 64) return end_fits(end.labels, expected);
    const uint64_t bit = uint64_t{1} << pair;
    if ((end.asked & bit) == 0) {
      end.asked |= bit;
      if (end_fits(end.labels, expected)) end.fitting |= bit;
    }
    return (end.fitting & bit) != 0;
  }
  bool fits_any(const PairFits& end) const;
  bool drawn_reversed(const Schema::RelType& declared, const PairFits& source,
                      const PairFits& target, bool single_hop, Span span);
  bool any_declared(const EndLabels& labels) const;
  // Unlabelled nodes fit any end, and a node whose labels are all unknown has
  // already been reported by the node check: neither is compared.
  bool end_fits(const EndLabels& labels, std::string_view expected) const {
    return labels.empty() || labels.contains(expected) || !any_declared(labels);
  }
  bool joins(const EndLabels& source, const EndLabels& target, const Schema::Endpoints& pair) const;
  void report_endpoint_label(const EndLabels& labels, std::span<const std::string_view> expected,
                             std::string_view end, std::string_view type, Span span);
  void report_unjoined(const Schema::RelType& declared, const EndLabels& first,
                       std::string_view between, const EndLabels& second, std::string_view how,
                       Span span);
  // `key_spans` holds where each key is written, or nothing.
  void validate_property_access(std::string_view variable, std::span<const TreeString> keys,
                                std::span<const Span> key_spans);
  bool validate_keys_of_labels(std::string_view variable, const KnownLabels& known,
                               std::span<const TreeString> keys, std::span<const Span> key_spans);
  void warn_inferred_keys(std::string_view variable, const KnownLabels& known,
                          std::span<const TreeString> keys, std::span<const Span> key_spans);
  // An unknown key: the finding, with the hint and the did-you-mean of the
  // extended language.
  void report_unknown_key(std::string message, std::string_view key, Span span,
                          std::span<const std::string_view> labels, bool warning = false);
  std::string property_hint(std::string_view key, std::span<const std::string_view> labels,
                            std::string* suggested = nullptr) const;
  std::vector<std::string_view> declared_node_labels(const TreeList<TreeString>& labels) const;
  void validate_updating_clause(const UpdatingClause& clause);
  void validate_set_item(const SetItem& item);
  void validate_merge_actions(const UpdatingClause::Merge& merge);
  void validate_remove_item(const RemoveItem& item);
  void labels_changed(std::string_view variable);
  void report_unknown_label(std::string_view prefix, std::string_view label, Span span);
  void report_unknown_rel_type(std::string_view type, Span span);

  // The extended language (extended_checks.cc).
  void report_unbound(std::string_view name, Span span);
  void check_not_bound(std::string_view name, Span span, std::string_view clause);
  void collect_part_bindings(const PatternPart& part, bool grouped = false,
                             EndInference inference = EndInference::None, size_t first = 0);
  void infer_ends(const RelationshipPattern& relationship, const NodePattern& left,
                  const NodePattern& right, EndInference inference, size_t first);
  void infer_end(const NodePattern& node, std::string_view label, std::string_view type,
                 EndInference inference, size_t first);
  void validate_subquery_expr(const ExistsSubquery& subquery);
  void validate_nested_query(const RegularQuery& query, const Scope& start);
  void validate_local_pattern(const PatternPart& part, const Expr* predicate,
                              const Expr* projection);
  void validate_group(const QuantifiedPath& group);
  void validate_label_names(const LabelExpr& labels, bool relationship);
  void validate_label_check(const Expr::LabelCheck& check);
  void validate_map_projection(const Expr::MapProjection& projection, Span span);
  void validate_reduce(const Expr::Reduce& reduce);
  void collect_call_subquery_bindings(const ReadingClause::Subquery& call);
  void validate_call_subquery(const ReadingClause::Subquery& call);
  void validate_foreach(const UpdatingClause::Foreach& foreach);
  bool any_label_declares(const KnownLabels& known, std::string_view key) const;

  // Commands (command_checks.cc): the labels, types and keys of a
  // constraint or index, and the YIELD, WHERE and RETURN of SHOW.
  void validate_schema_command(const SchemaCommand& command);
  void validate_show_command(const ShowCommand& command);

  // The rules a database enforces before running a query (extended language
  // only): the hooks in database_rules.cc, the rules in expression_kinds.cc,
  // literal_rules.cc, projection_rules.cc and query_shape_rules.cc.
  void check_expression_rules(const Expr& expr);
  // The values of a pattern's property map (extended language), which the
  // walk of expressions does not reach.
  void validate_property_map_values(const Nullable<MapOrParam>& properties);
  void check_kind(std::string_view variable, VariableKind kind, Span span);
  // CREATE and MERGE patterns, before they bind anything (update_rules.h).
  void check_update_rules(std::span<const PatternPart> parts, std::string_view clause);
  // DELETE items.
  void check_updating_clause_rules(const UpdatingClause& clause);
  // The same for any type a binding needs (a variable-length relationship
  // binds a list of relationships).
  void check_binding_type(std::string_view variable, StaticType needed, Span span);
  // The type a value gives the variable it is bound to (extended language;
  // unknown in the subset, which never reads it).
  StaticType value_type(const Expr& expr) const;

  bool extended() const { return language_ == Language::Extended; }

  const Schema& schema_;
  std::optional<SchemaIndex> own_index_;
  SchemaLookup lookup_;
  const Language language_;
  // Whether the schema declares property types, so that typed properties are
  // compared with their uses (extended language).
  const bool typed_schema_;
  Findings findings_;
  Scope scope_;
  Scope projection_;  // reused by every WITH and RETURN that projects
  // Types the extended language's rules worked out for the operators of the
  // tree, in scope_ as it stands (expression_types.h).
  mutable TypeMemos type_memos_;
  // Set after CALL ... YIELD * (extended language): the scope then holds
  // names nobody wrote down, so no variable is reported as unbound until the
  // next projection.
  bool scope_open_ = false;
  // The operand of a minus sign the walk has just met (extended language):
  // an integer literal there may be one further than the largest positive
  // one.
  const Expr* negated_ = nullptr;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_SEMANTIC_VALIDATOR_H_
