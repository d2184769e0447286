#include "validator/semantic/semantic_validator.h"

#include <type_traits>
#include <variant>

#include "validator/semantic/expression_types.h"
#include "validator/semantic/overloaded.h"
#include "validator/semantic/projection_rules.h"
#include "validator/semantic/query_shape_rules.h"
#include "validator/semantic/update_rules.h"

namespace quorvane {

namespace {

const Expr::Variable* as_variable(const Expr& expr) {
  return expr.as<Expr::Variable>();
}

}  // namespace

void SemanticValidator::validate_query(const CypherQuery& query) {
  // The memos hold nodes of the tree last checked.
  type_memos_.forget();
  if (const auto* schema_command = std::get_if<SchemaCommand>(&query)) {
    validate_schema_command(*schema_command);
    return;
  }
  if (const auto* show = std::get_if<ShowCommand>(&query)) {
    validate_show_command(*show);
    return;
  }
  const RegularQuery* regular = std::get_if<RegularQuery>(&query);
  if (regular == nullptr) return;
  if (language_ == Language::Extended) {
    check_query_shape(*regular, QueryForm::Query, findings_, Span{});
  }
  validate_single_query(regular->first());
  for (const UnionPart& branch : regular->unions()) {
    // No variable crosses a UNION: each branch starts from an empty scope.
    Scope outer;
    outer.swap(scope_);
    validate_single_query(branch.query);
    scope_.swap(outer);
  }
}

void SemanticValidator::validate_single_query(const SingleQuery& query) {
  std::visit(Overloaded{
                 [this](const SinglePartQuery& single) {
                   validate_part(single.reading_clauses, single.updating_clauses);
                   if (single.return_clause) validate_return_clause(*single.return_clause);
                 },
                 [this](const MultiPartQuery& multi) {
                   for (const QueryPart& part : multi.parts) {
                     validate_part(part.reading_clauses, part.updating_clauses);
                     validate_with_clause(part.with_clause);
                   }
                   validate_part(multi.reading_clauses, multi.updating_clauses);
                   if (multi.return_clause) validate_return_clause(*multi.return_clause);
                 },
             },
             query);
}

// Everything a part binds is bound before anything in it is checked, so a
// clause may use a variable that a later clause of the same part introduces.
void SemanticValidator::validate_part(const TreeList<ReadingClause>& reading,
                                      const TreeList<UpdatingClause>& updating) {
  for (const ReadingClause& clause : reading) collect_reading_bindings(clause);
  for (const UpdatingClause& clause : updating) collect_updating_bindings(clause);
  for (const ReadingClause& clause : reading) validate_reading_clause(clause);
  for (const UpdatingClause& clause : updating) validate_updating_clause(clause);
  if (language_ == Language::Extended) check_clause_aggregates(reading, updating, findings_);
}

void SemanticValidator::collect_reading_bindings(const ReadingClause& clause) {
  std::visit(
      Overloaded{
          [this](const ReadingClause::Match& match) {
            collect_pattern_bindings(match.pattern, !extended()      ? EndInference::None
                                                    : match.optional ? EndInference::Fresh
                                                                     : EndInference::All);
          },
          [this](const ReadingClause::Unwind& unwind) {
            check_not_bound(unwind.variable, unwind.variable_span, "UNWIND");
            scope_.bind(unwind.variable,
                        KnownLabels().set_type(element_type(value_type(unwind.expr))));
          },
          [this](const CallClause& call) {
            for (const YieldItem& item : call.yield_items) {
              check_not_bound(item.variable, item.variable_span, "YIELD");
              scope_.bind(item.variable, KnownLabels());
            }
            if (call.yield_all) scope_open_ = true;
          },
          [this](const ReadingClause::Subquery& call) { collect_call_subquery_bindings(call); },
          [this](const ReadingClause::LoadCsv& load) {
            // A row is a map of the header's names, or else a list of fields.
            const StaticType row = !extended()         ? kAnyType
                                   : load.with_headers ? StaticType{TypeKind::Map, TypeKind::Any}
                                                       : StaticType::list_of(TypeKind::String);
            check_not_bound(load.variable, load.variable_span, "LOAD CSV");
            scope_.bind(load.variable, KnownLabels().set_type(row));
          },
      },
      clause.clause);
}

void SemanticValidator::collect_updating_bindings(const UpdatingClause& clause) {
  if (const auto* create = std::get_if<UpdatingClause::Create>(&clause.clause)) {
    if (extended()) check_update_rules(create->pattern, "CREATE");
    collect_pattern_bindings(create->pattern);
  } else if (const auto* merge = std::get_if<UpdatingClause::Merge>(&clause.clause)) {
    const std::span<const PatternPart> part(merge->pattern_part.get(), 1);
    if (extended()) check_update_rules(part, "MERGE");
    collect_pattern_bindings(part);
  }
}

void SemanticValidator::collect_pattern_bindings(std::span<const PatternPart> parts,
                                                 EndInference inference) {
  if (extended()) check_repeated_relationships(parts, findings_);
  const size_t first = scope_.size();
  for (const PatternPart& part : parts) {
    if (part.variable) {
      // The path name starts the part.
      check_kind(
          *part.variable, VariableKind::Path,
          Span{part.span.begin, part.span.begin + static_cast<uint32_t>(part.variable->size())});
      scope_.bind(*part.variable, KnownLabels().set_kind(VariableKind::Path));
    }
    collect_part_bindings(part, false, inference, first);
  }
}

// The variables of a quantified group stay visible after the pattern, as
// lists: of no single kind. `first` is the scope's size before the pattern
// bound anything.
void SemanticValidator::collect_part_bindings(const PatternPart& part, bool grouped,
                                              EndInference inference, size_t first) {
  const VariableKind node_kind = grouped ? VariableKind::Unknown : VariableKind::Node;
  const bool optional = inference == EndInference::Fresh;
  collect_node_bindings(part.start, node_kind, optional);
  const NodePattern* left = &part.start;
  for (const PatternLink& link : part.chain) {
    if (link.group) collect_part_bindings((*link.group)->path, true);
    if (link.relationship.variable && !grouped && link.relationship.range) {
      check_binding_type(*link.relationship.variable, StaticType::list_of(TypeKind::Relationship),
                         link.relationship.variable_span);
    }
    if (link.relationship.variable) {
      const bool single = !grouped && !link.relationship.range;
      merge_binding(*link.relationship.variable, link.relationship.variable_span,
                    link.relationship.types, link.relationship.type_expr.has_value(),
                    single ? VariableKind::Relationship : VariableKind::Unknown, optional);
      KnownLabels* known = scope_.find_to_change(*link.relationship.variable);
      if (extended() && !grouped && !single && !known->type().known()) {
        known->set_type(StaticType::list_of(TypeKind::Relationship));
      }
    }
    collect_node_bindings(link.node, node_kind, optional);
    if (!grouped && !link.group && inference != EndInference::None) {
      infer_ends(link.relationship, *left, link.node, inference, first);
    }
    left = &link.node;
  }
}

// A relationship of a type declared with one pair tells what its ends are
// whenever it matches: a directed one, or an undirected one whose pair joins
// a label to itself, of at least one hop (zero hops leave one node at both
// ends).
void SemanticValidator::infer_ends(const RelationshipPattern& relationship, const NodePattern& left,
                                   const NodePattern& right, EndInference inference, size_t first) {
  if (relationship.types.size() != 1 || relationship.type_expr) return;
  if (relationship.range && relationship.range->min.value_or(1) < 1) return;
  const Schema::RelType* declared = lookup_.rel(relationship.types.front());
  if (declared == nullptr || declared->endpoints.size() != 1) return;
  const Schema::Endpoints& pair = declared->endpoints.front();
  if (relationship.direction == Direction::Undirected && pair.source != pair.target) return;
  const bool outgoing = relationship.direction != Direction::Incoming;
  infer_end(outgoing ? left : right, pair.source, declared->name, inference, first);
  infer_end(outgoing ? right : left, pair.target, declared->name, inference, first);
}

void SemanticValidator::infer_end(const NodePattern& node, std::string_view label,
                                  std::string_view type, EndInference inference, size_t first) {
  if (!node.variable || !node.labels.empty() || node.label_expr) return;
  if (inference == EndInference::Fresh && !scope_.bound_since(*node.variable, first)) return;
  KnownLabels* known = scope_.find_to_change(*node.variable);
  if (known == nullptr || known->kind() != VariableKind::Node) return;
  known->infer(label, type);
}

void SemanticValidator::collect_node_bindings(const NodePattern& node, VariableKind kind,
                                              bool optional) {
  if (node.variable) {
    merge_binding(*node.variable, node.variable_span, node.labels, node.label_expr.has_value(),
                  kind, optional);
  }
}

void SemanticValidator::merge_binding(std::string_view variable, Span span,
                                      const TreeList<TreeString>& labels, bool any_of,
                                      VariableKind kind, bool optional) {
  if (KnownLabels* known = scope_.find_to_change(variable)) {
    check_kind(variable, kind, span);
    if (known->merge(labels) && optional) known->set_uncertain();
    if (known->kind() == VariableKind::Unknown) known->set_kind(kind);
  } else {
    scope_.push(variable, KnownLabels(&labels, any_of).set_kind(kind));
  }
}

StaticType SemanticValidator::value_type(const Expr& expr) const {
  return extended() ? Typer(scope_, nullptr, &type_memos_.without_schema).type_of(expr) : kAnyType;
}

void SemanticValidator::validate_reading_clause(const ReadingClause& clause) {
  if (const auto* match = std::get_if<ReadingClause::Match>(&clause.clause)) {
    if (extended()) check_parameter_maps(match->pattern, "MATCH", findings_);
    validate_pattern(match->pattern);
    if (match->where_clause) validate_expr(*match->where_clause);
  } else if (const auto* unwind = std::get_if<ReadingClause::Unwind>(&clause.clause)) {
    validate_expr(unwind->expr);
  } else if (const auto* call = std::get_if<CallClause>(&clause.clause)) {
    // The subset leaves an in-query CALL unchecked; the extended language
    // checks its arguments and its WHERE.
    if (language_ == Language::Extended) {
      for (const Expr& arg : call->args) validate_expr(arg);
      if (call->where_clause) validate_expr(*call->where_clause);
    }
  } else if (const auto* subquery = std::get_if<ReadingClause::Subquery>(&clause.clause)) {
    if (language_ == Language::Extended) {
      check_query_shape(*subquery->query, QueryForm::CallBody, findings_, clause.span);
    }
    validate_call_subquery(*subquery);
  } else if (const auto* load = std::get_if<ReadingClause::LoadCsv>(&clause.clause)) {
    validate_expr(*load->source);
  }
}

void SemanticValidator::validate_with_clause(const WithClause& with) {
  if (language_ == Language::Extended) {
    check_projection({"WITH", with.distinct, with.items, with.order_by, with.skip, with.limit,
                      &with.where_clause},
                     scope_, findings_);
  }
  for (const ReturnItem& item : with.items) validate_expr(item.expr);
  // The tree gives WITH * an empty item list; it carries the whole scope on.
  if (with.items.empty()) {
    validate_tail(with.order_by, with.skip, with.limit);
    if (with.where_clause) validate_expr(*with.where_clause);
    return;
  }
  project(with.items, projection_);
  // ORDER BY, SKIP, LIMIT and WHERE see the variables before the projection
  // together with the aliases the projection defines.
  bind_aliases(with.items);
  validate_tail(with.order_by, with.skip, with.limit);
  if (with.where_clause) validate_expr(*with.where_clause);
  scope_.swap(projection_);
  projection_.clear();
  scope_open_ = false;
}

void SemanticValidator::validate_return_clause(const ReturnClause& clause) {
  if (language_ == Language::Extended) {
    check_projection({"RETURN", clause.distinct, clause.items.items, clause.order_by, clause.skip,
                      clause.limit, nullptr},
                     scope_, findings_);
  }
  for (const ReturnItem& item : clause.items.items) validate_expr(item.expr);
  if (!clause.order_by && !clause.skip && !clause.limit) return;
  // The RETURN ends its query part, so its aliases may go straight into the
  // current scope: nothing reads that scope afterwards.
  project(clause.items.items, projection_);
  bind_aliases(clause.items.items);
  projection_.clear();
  validate_tail(clause.order_by, clause.skip, clause.limit);
}

// A projected variable keeps the labels known for it; an alias of a bound
// variable takes that variable's labels; any other alias knows none. A later
// item of the same name replaces an earlier one.
void SemanticValidator::project(const TreeList<ReturnItem>& items, Scope& into) const {
  into.clear();
  for (const ReturnItem& item : items) {
    const Expr::Variable* variable = as_variable(item.expr);
    if (!item.alias && variable == nullptr) continue;
    const KnownLabels* known = variable ? scope_.find(variable->name) : nullptr;
    into.bind(item.alias ? std::string_view(*item.alias) : std::string_view(variable->name),
              known ? *known : KnownLabels().set_type(value_type(item.expr)));
  }
}

// Binds each alias as the projection (already in projection_) binds it.
void SemanticValidator::bind_aliases(const TreeList<ReturnItem>& items) {
  for (const ReturnItem& item : items) {
    if (!item.alias) continue;
    if (const KnownLabels* projected = projection_.find(*item.alias)) {
      scope_.bind(*item.alias, *projected);
    }
  }
}

void SemanticValidator::validate_tail(const Nullable<TreeList<SortItem>>& order_by,
                                      const Nullable<Expr>& skip, const Nullable<Expr>& limit) {
  if (order_by) {
    for (const SortItem& item : *order_by) validate_expr(item.expr);
  }
  if (skip) validate_expr(*skip);
  if (limit) validate_expr(*limit);
}

void SemanticValidator::validate_expr(const Expr& expr) {
  if (language_ == Language::Extended) check_expression_rules(expr);
  std::visit(
      [this, &expr](const auto& node) {
        using T = std::decay_t<decltype(node)>;
        if constexpr (std::is_base_of_v<Expr::Binary, T>) {
          validate_expr(*node.left);
          validate_expr(*node.right);
        } else if constexpr (std::is_base_of_v<Expr::Unary, T>) {
          validate_expr(*node.operand);
        } else if constexpr (std::is_base_of_v<Expr::Quantifier, T>) {
          validate_expr(*node.list);
          validate_with_iteration_variable(node.variable, *node.list, node.predicate, std::nullopt);
        } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
          validate_expr(*node.list);
          validate_with_iteration_variable(node.variable, *node.list, node.predicate,
                                           node.projection);
        } else if constexpr (std::is_same_v<T, Expr::Variable>) {
          if (!scope_.contains(node.name)) report_unbound(node.name, expr.span);
        } else if constexpr (std::is_same_v<T, Expr::Property>) {
          if (const Expr::Variable* variable = as_variable(*node.target)) {
            validate_property_access(variable->name, std::span(&node.key, 1),
                                     std::span(&node.key_span, 1));
          }
          validate_expr(*node.target);
        } else if constexpr (std::is_same_v<T, Expr::List>) {
          for (const Expr& item : node.items) validate_expr(item);
        } else if constexpr (std::is_same_v<T, Expr::Map>) {
          for (const MapEntry& entry : node.entries) validate_expr(entry.value);
        } else if constexpr (std::is_same_v<T, Expr::Index>) {
          validate_expr(*node.target);
          validate_expr(*node.index);
        } else if constexpr (std::is_same_v<T, Expr::Slice>) {
          validate_expr(*node.target);
          if (node.from) validate_expr(**node.from);
          if (node.to) validate_expr(**node.to);
        } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
          for (const Expr& arg : node.args) validate_expr(arg);
        } else if constexpr (std::is_same_v<T, Expr::Case>) {
          if (node.operand) validate_expr(**node.operand);
          for (const Expr::CaseAlternative& alternative : node.alternatives) {
            validate_expr(alternative.when);
            validate_expr(alternative.then);
          }
          if (node.else_expr) validate_expr(**node.else_expr);
        } else if constexpr (std::is_same_v<T, Expr::Exists>) {
          // The subset deliberately leaves an EXISTS subquery unchecked.
          if (language_ == Language::Extended) validate_subquery_expr(*node.subquery);
        } else if constexpr (std::is_same_v<T, Expr::CountSubquery> ||
                             std::is_same_v<T, Expr::CollectSubquery>) {
          validate_subquery_expr(*node.subquery);
        } else if constexpr (std::is_same_v<T, Expr::PatternPredicate> ||
                             std::is_same_v<T, Expr::ShortestPath>) {
          validate_local_pattern(*node.pattern, nullptr, nullptr);
        } else if constexpr (std::is_same_v<T, Expr::PatternComprehension>) {
          validate_local_pattern(*node.pattern, node.predicate ? node.predicate->get() : nullptr,
                                 node.projection.get());
        } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
          validate_label_check(node);
        } else if constexpr (std::is_same_v<T, Expr::MapProjection>) {
          validate_map_projection(node, expr.span);
        } else if constexpr (std::is_same_v<T, Expr::Reduce>) {
          validate_reduce(node);
        } else if constexpr (std::is_same_v<T, Expr::TypePredicate>) {
          validate_expr(*node.operand);
        } else {
          // Literals, parameters and count(*) hold no variable.
          static_assert(std::is_same_v<T, Expr::Integer> || std::is_same_v<T, Expr::Float> ||
                        std::is_same_v<T, Expr::String> || std::is_same_v<T, Expr::Boolean> ||
                        std::is_same_v<T, Expr::Null> || std::is_same_v<T, Expr::Parameter> ||
                        std::is_same_v<T, Expr::CountStar>);
        }
      },
      expr.node);
}

// An iteration variable is bound, knowing no labels, only while the inner
// expressions are checked. The subset uses a name that is already bound as
// it is; the extended language hides it, as reduce does.
void SemanticValidator::validate_with_iteration_variable(std::string_view variable,
                                                         const Expr& list,
                                                         const Nullable<Box<Expr>>& predicate,
                                                         const Nullable<Box<Expr>>& projection) {
  const KnownLabels element = KnownLabels().set_type(element_type(value_type(list)));
  const bool bind_here = !scope_.contains(variable);
  if (bind_here) scope_.push(variable, element);
  // In the extended language the name holds a list element inside, whatever
  // it held outside; the subset keeps what it knew.
  std::optional<KnownLabels> outer;
  if (!bind_here && language_ == Language::Extended) {
    KnownLabels* known = scope_.find_to_change(variable);
    outer = *known;
    *known = element;
  }
  if (predicate) validate_expr(**predicate);
  if (projection) validate_expr(**projection);
  if (bind_here) {
    scope_.pop_last();
  } else if (outer) {
    *scope_.find_to_change(variable) = std::move(*outer);
  }
}

}  // namespace quorvane

namespace quorvane {

std::vector<std::string> SemanticValidator::errors() const {
  std::vector<std::string> messages;
  for (const Diagnostic& d : findings_.list()) {
    if (d.severity == Severity::Error) messages.push_back(d.message);
  }
  return messages;
}

}  // namespace quorvane
