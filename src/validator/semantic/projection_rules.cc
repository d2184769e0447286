#include "validator/semantic/projection_rules.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>

#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_text.h"
#include "validator/semantic/literal_rules.h"
#include "validator/semantic/overloaded.h"

namespace quorvane {

namespace {

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
  return out;
}

// False when the texts of `a` and `b` certainly differ, without writing
// them: their kinds differ, or along a chain of properties a key or the
// variable differs. Reading a text back gives its tree, so two trees of one
// text agree on all of these.
bool may_read_alike(const Expr& a, const Expr& b) {
  if (a.kind() != b.kind()) return false;
  if (const auto* x = a.as<Expr::Variable>()) return x->name == b.as<Expr::Variable>()->name;
  if (const auto* x = a.as<Expr::Property>()) {
    const auto* y = b.as<Expr::Property>();
    return x->key == y->key && may_read_alike(*x->target, *y->target);
  }
  return true;
}

// The outermost aggregate of each item of a projection (find_aggregate),
// looked for once: the rules below all ask. Held on the stack for the usual
// handful of items.
class ItemAggregates {
 public:
  explicit ItemAggregates(const TreeList<ReturnItem>& items) {
    if (items.size() > kInline) spilled_.resize(items.size());
    found_ = items.size() > kInline ? spilled_.data() : inline_.data();
    for (size_t i = 0; i < items.size(); ++i) {
      found_[i] = find_aggregate(items[i].expr);
      any_ = any_ || found_[i] != nullptr;
    }
  }

  // Nothing when item i holds no aggregate; the item itself when it is one.
  const Expr* operator[](size_t i) const { return found_[i]; }
  bool any() const { return any_; }

 private:
  static constexpr size_t kInline = 16;
  std::array<const Expr*, kInline> inline_;
  std::vector<const Expr*> spilled_;
  const Expr** found_ = nullptr;
  bool any_ = false;
};

// Each outermost aggregate in `expr`, in reading order.
template <class F>
void for_each_aggregate(const Expr& expr, F&& f) {
  if (is_aggregate(expr)) {
    f(expr);
    return;
  }
  any_child(expr, [&](const Expr& child) {
    for_each_aggregate(child, f);
    return false;
  });
}

void report_aggregates_in(const Expr& expr, std::string_view place, Findings& findings) {
  for_each_aggregate(expr, [&](const Expr& aggregate) {
    findings.error(
        Code::MisplacedAggregate, aggregate.span,
        "Aggregating function " + expression_text(aggregate) + " is not allowed in " +
            std::string(place) +
            (place == "WHERE" ? "; compute it in a WITH item with an alias and filter on the alias"
                              : "; compute it in a preceding WITH and use its alias"));
  });
}

void report_aggregates_in(const std::optional<Expr>& expr, std::string_view place,
                          Findings& findings) {
  if (expr) report_aggregates_in(*expr, place, findings);
}

void report_aggregates_in(const Nullable<Expr>& expr, std::string_view place, Findings& findings) {
  if (expr) report_aggregates_in(*expr, place, findings);
}

void report_aggregates_in(const Nullable<Box<Expr>>& expr, std::string_view place,
                          Findings& findings) {
  if (expr) report_aggregates_in(**expr, place, findings);
}

void report_aggregates_in(const PropertyMap& map, std::string_view place, Findings& findings) {
  for (const MapEntry& entry : map) report_aggregates_in(entry.value, place, findings);
}

void report_aggregates_in(const Nullable<MapOrParam>& properties, std::string_view place,
                          Findings& findings) {
  if (!properties) return;
  if (const auto* map = std::get_if<MapOrParam::Map>(&properties->value)) {
    report_aggregates_in(map->entries, place, findings);
  }
}

void report_aggregates_in(const PatternPart& part, std::string_view place, Findings& findings) {
  const auto node = [&](const NodePattern& n) {
    report_aggregates_in(n.properties, place, findings);
    report_aggregates_in(n.where_clause, place, findings);
  };
  node(part.start);
  for (const PatternLink& link : part.chain) {
    if (link.group) {
      report_aggregates_in((*link.group)->path, place, findings);
      report_aggregates_in((*link.group)->where_clause, place, findings);
    } else {
      report_aggregates_in(link.relationship.properties, place, findings);
      report_aggregates_in(link.relationship.where_clause, place, findings);
    }
    node(link.node);
  }
}

void report_aggregates_in(const TreeList<SetItem>& items, std::string_view place,
                          Findings& findings) {
  for (const SetItem& item : items) {
    std::visit(
        Overloaded{
            [&](const SetItem::Property& p) { report_aggregates_in(p.value, place, findings); },
            [&](const SetItem::Assign& a) { report_aggregates_in(a.value, place, findings); },
            [&](const SetItem::AddAssign& a) { report_aggregates_in(a.value, place, findings); },
            [](const SetItem::Labels&) {},
        },
        item.item);
  }
}

void report_aggregates_in(const UpdatingClause& clause, Findings& findings) {
  std::visit(
      Overloaded{
          [&](const UpdatingClause::Create& create) {
            for (const PatternPart& part : create.pattern) {
              report_aggregates_in(part, "CREATE", findings);
            }
          },
          [&](const UpdatingClause::Merge& merge) {
            report_aggregates_in(*merge.pattern_part, "MERGE", findings);
            for (const auto& items : merge.on_match) {
              report_aggregates_in(items, "SET", findings);
            }
            for (const auto& items : merge.on_create) {
              report_aggregates_in(items, "SET", findings);
            }
          },
          [&](const UpdatingClause::Set& set) { report_aggregates_in(set.items, "SET", findings); },
          [](const UpdatingClause::Remove&) {},
          [&](const UpdatingClause::Delete& del) {
            for (const Expr& expr : del.exprs) report_aggregates_in(expr, "DELETE", findings);
          },
          [&](const UpdatingClause::Foreach& foreach) {
            report_aggregates_in(foreach.list, "FOREACH", findings);
            for (const UpdatingClause& inner : foreach.clauses) {
              report_aggregates_in(inner, findings);
            }
          },
      },
      clause.clause);
}

void report_aggregates_in(const ReadingClause& clause, Findings& findings) {
  std::visit(Overloaded{
                 [&](const ReadingClause::Match& match) {
                   for (const PatternPart& part : match.pattern) {
                     report_aggregates_in(part, "MATCH", findings);
                   }
                   report_aggregates_in(match.where_clause, "WHERE", findings);
                 },
                 [&](const ReadingClause::Unwind& unwind) {
                   report_aggregates_in(unwind.expr, "UNWIND", findings);
                 },
                 [&](const CallClause& call) {
                   for (const Expr& arg : call.args) report_aggregates_in(arg, "CALL", findings);
                   report_aggregates_in(call.where_clause, "WHERE", findings);
                 },
                 [](const ReadingClause::Subquery&) {},
                 [&](const ReadingClause::LoadCsv& load) {
                   report_aggregates_in(*load.source, "LOAD CSV", findings);
                 },
             },
             clause.clause);
}

// What a projection offers to expressions after it: the text of every item
// and the names it binds.
// Texts are made only for items of the same kind as the expression
// compared, and at most once each.
class Projected {
 public:
  explicit Projected(const TreeList<ReturnItem>& items) : items_(items), texts_(items.size()) {
    for (const ReturnItem& item : items) {
      if (item.alias) {
        names_.push_back(*item.alias);
      } else if (const auto* variable = item.expr.as<Expr::Variable>()) {
        names_.push_back(variable->name);
      }
    }
  }

  // Whether `expr` is written exactly as one of the items.
  bool is_item(const Expr& expr) const {
    std::optional<std::string> text;
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].expr.kind() != expr.kind()) continue;
      if (const auto* a = expr.as<Expr::Variable>()) {
        if (a->name == items_[i].expr.as<Expr::Variable>()->name) return true;
        continue;
      }
      if (!may_read_alike(items_[i].expr, expr)) continue;
      if (!texts_[i]) texts_[i] = expression_text(items_[i].expr);
      if (!text) text = expression_text(expr);
      if (*texts_[i] == *text) return true;
    }
    return false;
  }

  bool names(std::string_view name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
  }

 private:
  const TreeList<ReturnItem>& items_;
  mutable std::vector<std::optional<std::string>> texts_;
  std::vector<std::string_view> names_;
};

// Variables that `expr` reads from the scope before the projection without
// going through a projected item; aggregates are skipped (they are allowed
// in the ORDER BY of an aggregating projection and reported elsewhere in
// any other place). Constructs with scopes of their own are not entered,
// except that an iteration variable shadows a dropped one.
// A variable a projection dropped, and where a later clause uses it.
struct Dropped {
  std::string name;
  Span span;
};

void collect_dropped(const Expr& expr, const Projected& projected, const Scope& before,
                     std::vector<std::string_view>& locals, std::vector<Dropped>& dropped) {
  if (is_aggregate(expr) || projected.is_item(expr)) return;
  const auto note = [&](const TreeString& name, Span span) {
    if (!projected.names(name) && before.contains(name) &&
        std::find(locals.begin(), locals.end(), name) == locals.end() &&
        std::none_of(dropped.begin(), dropped.end(),
                     [&](const Dropped& d) { return d.name == name; })) {
      dropped.push_back(Dropped{name.str(), span});
    }
  };
  if (const auto* variable = expr.as<Expr::Variable>()) {
    note(variable->name, expr.span);
    return;
  }
  if (const auto* projection = expr.as<Expr::MapProjection>()) {
    note(projection->variable, variable_span(*projection, expr.span));
  }
  if (expr.as<Expr::PatternPredicate>() || expr.as<Expr::PatternComprehension>() ||
      expr.as<Expr::ShortestPath>() || expr.as<Expr::Exists>() || expr.as<Expr::CountSubquery>() ||
      expr.as<Expr::CollectSubquery>()) {
    return;
  }
  const size_t depth = locals.size();
  if (const auto* comprehension = expr.as<Expr::ListComprehension>()) {
    locals.push_back(comprehension->variable);
  } else if (const auto* reduce = expr.as<Expr::Reduce>()) {
    locals.push_back(reduce->accumulator);
    locals.push_back(reduce->iteration->variable);
  } else {
    for (const Expr::Quantifier* q :
         {static_cast<const Expr::Quantifier*>(expr.as<Expr::All>()),
          static_cast<const Expr::Quantifier*>(expr.as<Expr::Any>()),
          static_cast<const Expr::Quantifier*>(expr.as<Expr::None>()),
          static_cast<const Expr::Quantifier*>(expr.as<Expr::Single>())}) {
      if (q != nullptr) locals.push_back(q->variable);
    }
  }
  any_child(expr, [&](const Expr& child) {
    collect_dropped(child, projected, before, locals, dropped);
    return false;
  });
  locals.resize(depth);
}

bool mentions_variable(const Expr& expr) {
  return expr.as<Expr::Variable>() != nullptr || expr.as<Expr::MapProjection>() != nullptr ||
         any_child(expr, [](const Expr& child) { return mentions_variable(child); });
}

bool all_variables_bound(const Expr& expr, const Scope& scope) {
  if (const auto* variable = expr.as<Expr::Variable>()) return scope.contains(variable->name);
  return !any_child(expr, [&](const Expr& child) { return !all_variables_bound(child, scope); });
}

// The grouping keys of an aggregating projection: the text of every item
// without an aggregate.
class GroupingKeys {
 public:
  GroupingKeys(const TreeList<ReturnItem>& items, const ItemAggregates& aggregates) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (aggregates[i] == nullptr) {
        texts_.push_back(expression_text(items[i].expr));
        kinds_.push_back(items[i].expr.kind());
      }
    }
  }

  bool is_key(const Expr& expr) const {
    if (std::find(kinds_.begin(), kinds_.end(), expr.kind()) == kinds_.end()) return false;
    return std::find(texts_.begin(), texts_.end(), expression_text(expr)) != texts_.end();
  }

  bool holds_key(const Expr& expr) const {
    return is_key(expr) || any_child(expr, [&](const Expr& child) { return holds_key(child); });
  }

  // The largest parts of an aggregating item that read variables outside
  // every grouping key and every aggregate.
  void collect_loose(const Expr& expr, std::vector<const Expr*>& loose) const {
    if (is_aggregate(expr) || is_key(expr)) return;
    if (find_aggregate(expr) == nullptr && !holds_key(expr)) {
      if (mentions_variable(expr)) loose.push_back(&expr);
      return;
    }
    any_child(expr, [&](const Expr& child) {
      collect_loose(child, loose);
      return false;
    });
  }

 private:
  std::vector<std::string> texts_;
  std::vector<size_t> kinds_;
};

// An item that is one aggregate (the usual case) mixes nothing; `aggregate`
// is the item's outermost one.
bool mixes(const ReturnItem& item, const Expr* aggregate) {
  return aggregate != nullptr && aggregate != &item.expr && !binds_variables(item.expr);
}

void check_grouping(const Projection& projection, const ItemAggregates& aggregates,
                    const Scope& before, Findings& findings) {
  const TreeList<ReturnItem>& items = projection.items;
  bool any_mixes = false;
  for (size_t i = 0; i < items.size() && !any_mixes; ++i)
    any_mixes = mixes(items[i], aggregates[i]);
  if (!any_mixes) return;
  const GroupingKeys keys(items, aggregates);
  for (size_t i = 0; i < items.size(); ++i) {
    const ReturnItem& item = items[i];
    if (!mixes(item, aggregates[i])) continue;
    std::vector<const Expr*> loose;
    keys.collect_loose(item.expr, loose);
    std::vector<std::string> texts;
    for (const Expr* part : loose) {
      if (all_variables_bound(*part, before)) texts.push_back(expression_text(*part));
    }
    if (texts.empty()) continue;
    const bool one = texts.size() == 1;
    findings.error(Code::MixedAggregate, item.expr.span,
                   std::string(projection.keyword) + " item " + expression_text(item.expr) +
                       " mixes an aggregate with " + joined(texts) +
                       (one ? ", which is not a grouping key; make it an item of its own or "
                              "aggregate it"
                            : ", which are not grouping keys; make them items of their own or "
                              "aggregate them"));
  }
}

void check_dropped(const Projection& projection, bool aggregating, const Scope& before,
                   Findings& findings) {
  if (!projection.order_by && !(projection.where && *projection.where)) return;
  const Projected projected(projection.items);
  // Each dropped variable once per place.
  const auto report = [&](const std::vector<Dropped>& dropped, std::string_view place) {
    if (dropped.empty()) return;
    std::vector<std::string> columns;
    for (const ReturnItem& item : projection.items) columns.push_back(column_name(item));
    const std::string after = std::string("a ") + std::string(projection.keyword) +
                              (aggregating ? " that aggregates" : " DISTINCT");
    const std::string offered = projection.keyword == "RETURN" ? "returned" : "projected";
    for (const Dropped& d : dropped) {
      findings.error(Code::OutOfScopeVariable, d.span,
                     "Variable '" + d.name + "' is not available in " + std::string(place) +
                         " after " + after + "; only the " + offered + " items (" +
                         joined(columns) + ") can be used");
    }
  };
  std::vector<std::string_view> locals;
  if (projection.order_by) {
    std::vector<Dropped> dropped;
    for (const SortItem& item : *projection.order_by) {
      collect_dropped(item.expr, projected, before, locals, dropped);
    }
    report(dropped, "ORDER BY");
  }
  if (projection.where && *projection.where) {
    std::vector<Dropped> dropped;
    collect_dropped(**projection.where, projected, before, locals, dropped);
    report(dropped, "WHERE");
  }
}

bool holds_literal(const Expr& expr) {
  return expr.as<Expr::Integer>() || expr.as<Expr::Float>() || expr.as<Expr::String>() ||
         any_child(expr, [](const Expr& child) { return holds_literal(child); });
}

// Each name two items of a projection both give their column, once. A WITH
// item without a name is reported as needing one, so it is left out here.
// An unnamed item's column is named by its text as written; the tree keeps
// only what it means, so items holding a number or a string (0 and 00, 'a'
// and "a") are not compared, and others only when both are of one kind.
void check_column_names(const Projection& projection, Findings& findings) {
  const TreeList<ReturnItem>& items = projection.items;
  const bool in_return = projection.keyword == "RETURN";
  // The name an item gives its column, when it names it.
  const auto named = [](const ReturnItem& item) -> std::optional<std::string_view> {
    if (item.alias) return std::string_view(*item.alias);
    if (const auto* variable = item.expr.as<Expr::Variable>()) return variable->name;
    return std::nullopt;
  };
  // An unnamed item whose text names its column, and that may be compared.
  const auto compared = [&](const ReturnItem& item) {
    return in_return && !named(item) && !holds_literal(item.expr);
  };
  std::vector<std::string> repeated;
  const auto repeat = [&](std::string name, Span span) {
    if (std::find(repeated.begin(), repeated.end(), name) != repeated.end()) return;
    findings.error(Code::DuplicateColumn, span,
                   "Column name '" + name + "' appears twice in this " +
                       std::string(projection.keyword) + "; give one of them another name with AS");
    repeated.push_back(std::move(name));
  };
  // Whether an item before the i-th names its column `name`: searched in
  // place among the usual few items, hashed among many, so that a projection
  // of thousands of items stays linear.
  constexpr size_t kHashedFrom = 32;
  std::unordered_set<std::string_view> names;
  const auto named_before = [&](size_t i, std::string_view name) {
    if (items.size() >= kHashedFrom) return !names.insert(name).second;
    for (size_t j = 0; j < i; ++j) {
      if (named(items[j]) == name) return true;
    }
    return false;
  };
  for (size_t i = 0; i < items.size(); ++i) {
    const ReturnItem& item = items[i];
    if (const std::optional<std::string_view> name = named(item)) {
      if (named_before(i, *name)) {
        repeat(std::string(*name), item.alias ? item.alias_span : item.expr.span);
      }
    } else if (compared(item)) {
      std::optional<std::string> text;
      for (size_t j = 0; j < i; ++j) {
        const ReturnItem& earlier = items[j];
        if (!may_read_alike(earlier.expr, item.expr) || !compared(earlier)) continue;
        if (!text) text = expression_text(item.expr);
        if (*text == expression_text(earlier.expr)) {
          repeat(std::move(*text), item.expr.span);
          break;
        }
      }
    }
  }
}

std::string lower_ascii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// An aggregate in the ORDER BY of an aggregating projection must be one of
// its items, or stand inside an expression that is one: a database sorts the
// rows the projection made and cannot aggregate anew. Texts are compared
// ignoring letter case (count and COUNT are one function), which can only
// make fewer findings.
class AggregatingItems {
 public:
  // The texts are written when an ORDER BY first holds an aggregate.
  AggregatingItems(const TreeList<ReturnItem>& items, const ItemAggregates& aggregates)
      : items_(items), aggregates_(aggregates) {}

  // Each outermost aggregate in `expr` outside every projected item.
  template <class F>
  void for_each_unprojected(const Expr& expr, F&& f) const {
    if (find_aggregate(expr) == nullptr) return;
    const std::string text = lower_ascii(expression_text(expr));
    if (std::find(texts().begin(), texts().end(), text) != texts().end()) return;
    if (is_aggregate(expr)) {
      f(expr);
      return;
    }
    any_child(expr, [&](const Expr& child) {
      for_each_unprojected(child, f);
      return false;
    });
  }

 private:
  const std::vector<std::string>& texts() const {
    if (!texts_) {
      texts_.emplace();
      for (size_t i = 0; i < items_.size(); ++i) {
        if (aggregates_[i] != nullptr)
          texts_->push_back(lower_ascii(expression_text(items_[i].expr)));
      }
    }
    return *texts_;
  }

  const TreeList<ReturnItem>& items_;
  const ItemAggregates& aggregates_;
  mutable std::optional<std::vector<std::string>> texts_;
};

void check_order_by_aggregates(const Projection& projection, const ItemAggregates& aggregates,
                               Findings& findings) {
  const std::string_view keyword = projection.keyword;
  const auto advice = [&](const std::string& text) {
    return "; add " + text + " to the " + std::string(keyword) +
           " items with an alias and order by the alias";
  };
  // After a projection that does not aggregate, ORDER BY may aggregate over
  // the sorted rows itself: databases accept that.
  if (!aggregates.any()) return;
  const AggregatingItems items(projection.items, aggregates);
  for (const SortItem& item : *projection.order_by) {
    items.for_each_unprojected(item.expr, [&](const Expr& aggregate) {
      const std::string text = expression_text(aggregate);
      findings.error(Code::OrderByAggregate, aggregate.span,
                     "ORDER BY " + text + " aggregates, but " + text + " is not one of the " +
                         std::string(keyword) + " items" + advice(text));
    });
  }
}

}  // namespace

void check_projection(const Projection& projection, const Scope& before, Findings& findings) {
  for (const ReturnItem& item : projection.items) {
    if (const auto* pattern = item.expr.as<Expr::PatternPredicate>()) {
      findings.error(Code::PatternAsValue, item.expr.span, pattern_value_message(*pattern));
    }
    if (projection.keyword == "WITH" && !item.alias && item.expr.as<Expr::Variable>() == nullptr) {
      const std::string text = expression_text(item.expr);
      const auto* property = item.expr.as<Expr::Property>();
      Diagnostic& d =
          findings.error(Code::MissingAlias, item.expr.span,
                         "WITH item " + text + " needs an alias: " +
                             (property ? "write " + text + " AS " + name_text(property->key)
                                       : "add AS and a name after it"));
      // `x.key` takes the key's name, which no other item may hold.
      if (property && !item.expr.span.empty()) {
        d.edits.push_back(
            Edit{Span{item.expr.span.end, item.expr.span.end}, " AS " + name_text(property->key)});
      }
    }
  }
  const ItemAggregates aggregates(projection.items);
  const bool aggregating = aggregates.any();
  check_column_names(projection, findings);
  if (aggregating) check_grouping(projection, aggregates, before, findings);
  if (projection.order_by) check_order_by_aggregates(projection, aggregates, findings);
  if ((aggregating || projection.distinct) && !projection.items.empty()) {
    check_dropped(projection, aggregating, before, findings);
  }
  if (projection.where) report_aggregates_in(*projection.where, "WHERE", findings);
  report_aggregates_in(projection.skip, "SKIP", findings);
  report_aggregates_in(projection.limit, "LIMIT", findings);
  check_row_count("SKIP", projection.skip, findings);
  check_row_count("LIMIT", projection.limit, findings);
}

void check_clause_aggregates(const TreeList<ReadingClause>& reading,
                             const TreeList<UpdatingClause>& updating, Findings& findings) {
  for (const ReadingClause& clause : reading) report_aggregates_in(clause, findings);
  for (const UpdatingClause& clause : updating) report_aggregates_in(clause, findings);
}

}  // namespace quorvane
