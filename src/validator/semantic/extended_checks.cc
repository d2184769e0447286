// The checks of the extended language: scopes of subqueries, local pattern
// variables, label expressions, map projections, reduce, CALL { } and
// FOREACH. Part of SemanticValidator.
//
// Every construct here sees the variables around it. What it binds itself
// stays inside, except what a CALL { } subquery returns and the variables of
// quantified groups, which stay visible after their pattern.
#include <algorithm>
#include <optional>
#include <variant>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_text.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

// Keeps the scope (and the projection scratch) of the caller intact while a
// nested construct binds what it likes.
class ScopeGuard {
 public:
  ScopeGuard(Scope& scope, Scope& projection, bool& open)
      : scope_(scope), projection_(projection), open_(open), saved_(scope), saved_open_(open) {
    saved_projection_.swap(projection_);
  }
  ~ScopeGuard() {
    scope_.swap(saved_);
    projection_.swap(saved_projection_);
    open_ = saved_open_;
  }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  Scope& scope_;
  Scope& projection_;
  bool& open_;
  Scope saved_;
  Scope saved_projection_;
  bool saved_open_;
};

const ReturnClause* final_return(const SingleQuery& query) {
  if (const auto* single = std::get_if<SinglePartQuery>(&query)) {
    return single->return_clause ? &*single->return_clause : nullptr;
  }
  const auto& multi = std::get<MultiPartQuery>(query);
  return multi.return_clause ? &*multi.return_clause : nullptr;
}

// Whether a subquery starts with an importing WITH.
bool starts_with_with(const SingleQuery& query) {
  const auto* multi = std::get_if<MultiPartQuery>(&query);
  return multi && !multi->parts.empty() && multi->parts.front().reading_clauses.empty() &&
         multi->parts.front().updating_clauses.empty();
}

// The name a CALL { }'s RETURN item gives its column in the outer query:
// its alias, or the variable it returns; none for another expression.
std::optional<std::string_view> outer_column(const ReturnItem& item) {
  if (item.alias) return std::string_view(*item.alias);
  if (const Expr::Variable* variable = item.expr.as<Expr::Variable>()) return variable->name;
  return std::nullopt;
}

}  // namespace

void SemanticValidator::report_unbound(std::string_view name, Span span) {
  if (scope_open_) return;
  findings_.error(Code::UnboundVariable, span,
                  "Variable '" + std::string(name) + "' is not bound in this scope");
}

bool SemanticValidator::any_label_declares(const KnownLabels& known, std::string_view key) const {
  bool found = false;
  known.for_each([&](std::string_view label) {
    if (const Schema::NodeLabel* node = lookup_.node(label)) {
      found = found || std::find(node->properties.begin(), node->properties.end(), key) !=
                           node->properties.end();
    } else if (const Schema::RelType* rel = lookup_.rel(label)) {
      found = found || std::find(rel->properties.begin(), rel->properties.end(), key) !=
                           rel->properties.end();
    }
  });
  return found;
}

// EXISTS { }, COUNT { } and COLLECT { }: the outer variables are visible,
// nothing bound inside leaks out.
void SemanticValidator::validate_subquery_expr(const ExistsSubquery& subquery) {
  if (const auto* pattern = std::get_if<Pattern>(&subquery.value)) {
    ScopeGuard guard(scope_, projection_, scope_open_);
    collect_pattern_bindings(*pattern, extended() ? EndInference::All : EndInference::None);
    validate_pattern(*pattern);
    return;
  }
  const Scope outer = scope_;
  ScopeGuard guard(scope_, projection_, scope_open_);
  validate_nested_query(std::get<RegularQuery>(subquery.value), outer);
}

// Each branch of a UNION starts from `start`.
void SemanticValidator::validate_nested_query(const RegularQuery& query, const Scope& start) {
  const bool open = scope_open_;
  scope_ = start;
  validate_single_query(query.first());
  for (const UnionPart& branch : query.unions()) {
    scope_ = start;
    scope_open_ = open;
    validate_single_query(branch.query);
  }
}

// A pattern used as an expression: its new variables (and the path name of
// a comprehension) exist only inside it.
void SemanticValidator::validate_local_pattern(const PatternPart& part, const Expr* predicate,
                                               const Expr* projection) {
  ScopeGuard guard(scope_, projection_, scope_open_);
  collect_pattern_bindings(std::span(&part, 1),
                           extended() ? EndInference::All : EndInference::None);
  validate_pattern(std::span(&part, 1));
  if (predicate) validate_expr(*predicate);
  if (projection) validate_expr(*projection);
}

void SemanticValidator::validate_group(const QuantifiedPath& group) {
  validate_pattern(std::span(&group.path, 1));
  if (group.where_clause) validate_expr(*group.where_clause);
}

// Every name in a label or type expression must be declared, whatever the
// operators around it.
void SemanticValidator::validate_label_names(const LabelExpr& labels, bool relationship) {
  if (labels.kind == LabelExpr::Kind::Dynamic) {
    // Named when the query runs: only the expression can be checked.
    validate_expr(**labels.names);
    return;
  }
  if (labels.kind == LabelExpr::Kind::Name) {
    if (relationship) {
      if (lookup_.rel(labels.name) == nullptr) report_unknown_rel_type(labels.name, labels.span);
    } else if (!lookup_.has_node(labels.name)) {
      report_unknown_label("Unknown node label: :", labels.name, labels.span);
    }
    return;
  }
  for (const LabelExpr& operand : labels.operands) validate_label_names(operand, relationship);
}

// `x:T` may also test a relationship's type, so a name the schema declares
// as a relationship type is not reported.
void SemanticValidator::validate_label_check(const Expr::LabelCheck& check) {
  validate_expr(*check.target);
  std::vector<const LabelExpr*> pending{check.labels.get()};
  while (!pending.empty()) {
    const LabelExpr* e = pending.back();
    pending.pop_back();
    if (e->kind == LabelExpr::Kind::Name) {
      if (!lookup_.has_node(e->name) && lookup_.rel(e->name) == nullptr) {
        report_unknown_label("Unknown node label: :", e->name, e->span);
      }
    } else if (e->kind == LabelExpr::Kind::Dynamic) {
      validate_expr(**e->names);
    }
    for (const LabelExpr& operand : e->operands) pending.push_back(&operand);
  }
}

void SemanticValidator::validate_map_projection(const Expr::MapProjection& projection, Span span) {
  if (!scope_.contains(projection.variable)) {
    report_unbound(projection.variable, variable_span(projection, span));
  }
  using Kind = Expr::MapProjectionItem::Kind;
  for (const Expr::MapProjectionItem& item : projection.items) {
    switch (item.kind) {
      case Kind::Property:
        validate_property_access(projection.variable, std::span(&item.name, 1),
                                 std::span(&item.span, 1));
        break;
      case Kind::Entry:
        if (item.value) validate_expr(**item.value);
        break;
      case Kind::Variable:
        if (!scope_.contains(item.name)) report_unbound(item.name, item.span);
        break;
      case Kind::AllProperties:
        break;
    }
  }
}

void SemanticValidator::validate_reduce(const Expr::Reduce& reduce) {
  validate_expr(*reduce.init);
  validate_expr(*reduce.iteration->list);
  ScopeGuard guard(scope_, projection_, scope_open_);
  scope_.bind(reduce.accumulator, KnownLabels());
  scope_.bind(reduce.iteration->variable, KnownLabels());
  if (reduce.iteration->projection) validate_expr(**reduce.iteration->projection);
}

// The columns a CALL { } returns join the outer scope; what they are known
// to be comes from the body, once it has been checked.
void SemanticValidator::collect_call_subquery_bindings(const ReadingClause::Subquery& call) {
  const ReturnClause* returned = final_return(call.query->first());
  if (returned != nullptr) {
    if (returned->items.items.empty()) scope_open_ = true;  // RETURN *
    // Against the outer scope alone: a column named twice is the RETURN's
    // own mistake, reported there.
    for (const ReturnItem& item : returned->items.items) {
      if (const auto name = outer_column(item)) {
        check_not_bound(*name, item.alias ? item.alias_span : item.expr.span, "CALL { }");
      }
    }
    for (const ReturnItem& item : returned->items.items) {
      if (const auto name = outer_column(item)) scope_.bind(*name, KnownLabels());
    }
  }
  // REPORT STATUS AS s: a map of how each inner transaction went.
  if (call.status) {
    check_not_bound(*call.status, call.status_span, "REPORT STATUS");
    scope_.bind(*call.status, KnownLabels().set_type(StaticType{TypeKind::Map, TypeKind::Any}));
  }
}

// UNWIND, YIELD, LOAD CSV, a CALL { }'s columns and REPORT STATUS each
// declare a new variable: a database refuses a name already bound there
// (extended language; the subset leaves it unchecked).
void SemanticValidator::check_not_bound(std::string_view name, Span span, std::string_view clause) {
  if (!extended() || !scope_.contains(name)) return;
  findings_.error(Code::VariableAlreadyBound, span,
                  "Variable " + quoted(name) + " is already bound, so " + std::string(clause) +
                      " cannot declare it again; use a new name");
}

// The body sees only what it imports: the scope list, or the outer scope
// through a leading WITH.
void SemanticValidator::validate_call_subquery(const ReadingClause::Subquery& call) {
  Scope imported;
  if (call.has_scope && !call.import_all) {
    for (size_t i = 0; i < call.scope.size(); ++i) {
      const TreeString& name = call.scope[i];
      if (const KnownLabels* known = scope_.find(name)) {
        imported.bind(name, *known);
      } else {
        // A tree built by code may hold names without spans.
        report_unbound(name, i < call.scope_spans.size() ? call.scope_spans[i] : Span{});
      }
    }
  }
  const Scope outer = scope_;
  std::vector<std::pair<std::string_view, KnownLabels>> returned;
  {
    ScopeGuard guard(scope_, projection_, scope_open_);
    auto check_branch = [&](const SingleQuery& branch) {
      const bool import_outer = call.import_all || (!call.has_scope && starts_with_with(branch));
      scope_ = import_outer ? outer : imported;
      if (!call.import_all) scope_open_ = false;
      validate_single_query(branch);
    };
    check_branch(call.query->first());
    if (const ReturnClause* clause = final_return(call.query->first())) {
      for (const ReturnItem& item : clause->items.items) {
        const std::optional<std::string_view> name = outer_column(item);
        if (!name) continue;
        const Expr::Variable* variable = item.expr.as<Expr::Variable>();
        const KnownLabels* known = variable ? scope_.find(variable->name) : nullptr;
        returned.emplace_back(*name, known ? *known : KnownLabels());
      }
    }
    for (const UnionPart& branch : call.query->unions()) check_branch(branch.query);
  }
  for (auto& [name, known] : returned) scope_.bind(name, std::move(known));
  if (call.concurrency) validate_expr(*call.concurrency);
  if (call.batch_rows) validate_expr(*call.batch_rows);
}

void SemanticValidator::validate_foreach(const UpdatingClause::Foreach& foreach) {
  validate_expr(foreach.list);
  ScopeGuard guard(scope_, projection_, scope_open_);
  scope_.bind(foreach.variable, KnownLabels());
  for (const UpdatingClause& clause : foreach.clauses) collect_updating_bindings(clause);
  for (const UpdatingClause& clause : foreach.clauses) validate_updating_clause(clause);
}

}  // namespace quorvane
