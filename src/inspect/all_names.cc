#include "inspect/all_names.h"

#include <type_traits>
#include <variant>

#include "validator/semantic/expression_kinds.h"

namespace quorvane {

namespace {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

class AllNames {
 public:
  explicit AllNames(NameLists out) : out_(out) {}

  void regular_query(const RegularQuery& query) {
    single_query(query.first());
    for (const UnionPart& part : query.unions()) single_query(part.query);
  }

 private:
  void single_query(const SingleQuery& query) {
    std::visit(Overloaded{
                   [&](const SinglePartQuery& single) {
                     clauses(single.reading_clauses, single.updating_clauses);
                     if (single.return_clause) return_clause(*single.return_clause);
                   },
                   [&](const MultiPartQuery& multi) {
                     for (const QueryPart& part : multi.parts) {
                       clauses(part.reading_clauses, part.updating_clauses);
                       with_clause(part.with_clause);
                     }
                     clauses(multi.reading_clauses, multi.updating_clauses);
                     if (multi.return_clause) return_clause(*multi.return_clause);
                   },
               },
               query);
  }

  void clauses(const TreeList<ReadingClause>& reading, const TreeList<UpdatingClause>& updating) {
    for (const ReadingClause& clause : reading) reading_clause(clause);
    for (const UpdatingClause& clause : updating) updating_clause(clause);
  }

  void reading_clause(const ReadingClause& clause) {
    std::visit(Overloaded{
                   [&](const ReadingClause::Match& match) {
                     pattern(match.pattern);
                     optional_expr(match.where_clause);
                   },
                   [&](const ReadingClause::Unwind& unwind) { expr(unwind.expr); },
                   [&](const CallClause& call) {
                     for (const Expr& arg : call.args) expr(arg);
                     optional_expr(call.where_clause);
                   },
                   [&](const ReadingClause::Subquery& call) {
                     regular_query(*call.query);
                     optional_expr(call.concurrency);
                     optional_expr(call.batch_rows);
                   },
                   [&](const ReadingClause::LoadCsv& load) { expr(*load.source); },
               },
               clause.clause);
  }

  void updating_clause(const UpdatingClause& clause) {
    std::visit(Overloaded{
                   [&](const UpdatingClause::Create& create) { pattern(create.pattern); },
                   [&](const UpdatingClause::Merge& merge) {
                     pattern_part(*merge.pattern_part);
                     for (const auto& items : merge.on_match) set_items(items);
                     for (const auto& items : merge.on_create) set_items(items);
                   },
                   [&](const UpdatingClause::Set& set) { set_items(set.items); },
                   [&](const UpdatingClause::Remove& remove) {
                     for (const RemoveItem& item : remove.items) remove_item(item);
                   },
                   [&](const UpdatingClause::Delete& del) {
                     for (const Expr& e : del.exprs) expr(e);
                   },
                   [&](const UpdatingClause::Foreach& foreach) {
                     expr(foreach.list);
                     for (const UpdatingClause& inner : foreach.clauses) updating_clause(inner);
                   },
               },
               clause.clause);
  }

  void set_items(const TreeList<SetItem>& items) {
    for (const SetItem& item : items) {
      std::visit(Overloaded{
                     [&](const SetItem::Property& p) {
                       keys(p.target.keys);
                       expr(p.value);
                     },
                     [&](const SetItem::Assign& a) { expr(a.value); },
                     [&](const SetItem::AddAssign& a) { expr(a.value); },
                     [&](const SetItem::Labels& l) {
                       for (const TreeString& label : l.labels) add(out_.labels, label);
                       for (const Expr& names : l.dynamic) expr(names);
                     },
                 },
                 item.item);
    }
  }

  void remove_item(const RemoveItem& item) {
    if (const auto* labels = std::get_if<RemoveItem::Labels>(&item.item)) {
      for (const TreeString& label : labels->labels) add(out_.labels, label);
      for (const Expr& names : labels->dynamic) expr(names);
    } else if (const auto* property = std::get_if<RemoveItem::Property>(&item.item)) {
      keys(property->target.keys);
    }
  }

  void keys(const TreeList<TreeString>& names) {
    for (const TreeString& key : names) add(out_.properties, key);
  }

  void projection(const TreeList<ReturnItem>& items, const Nullable<TreeList<SortItem>>& order_by,
                  const Nullable<Expr>& skip, const Nullable<Expr>& limit) {
    for (const ReturnItem& item : items) expr(item.expr);
    if (order_by) {
      for (const SortItem& item : *order_by) expr(item.expr);
    }
    optional_expr(skip);
    optional_expr(limit);
  }

  void with_clause(const WithClause& with) {
    projection(with.items, with.order_by, with.skip, with.limit);
    optional_expr(with.where_clause);
  }

  void return_clause(const ReturnClause& clause) {
    projection(clause.items.items, clause.order_by, clause.skip, clause.limit);
  }

  void pattern(const Pattern& parts) {
    for (const PatternPart& part : parts) pattern_part(part);
  }

  void pattern_part(const PatternPart& part) {
    node(part.start);
    for (const PatternLink& link : part.chain) {
      if (link.group) {
        pattern_part((*link.group)->path);
        optional_expr((*link.group)->where_clause);
      } else {
        relationship(link.relationship);
      }
      node(link.node);
    }
  }

  void relationship(const RelationshipPattern& rel) {
    if (rel.type_expr) {
      label_expr(**rel.type_expr, out_.rel_types);
    } else {
      for (const TreeString& type : rel.types) add(out_.rel_types, type);
    }
    properties(rel.properties);
    optional_expr(rel.where_clause);
  }

  void node(const NodePattern& node) {
    if (node.label_expr) {
      label_expr(**node.label_expr, out_.labels);
    } else {
      for (const TreeString& label : node.labels) add(out_.labels, label);
    }
    properties(node.properties);
    optional_expr(node.where_clause);
  }

  void properties(const Nullable<MapOrParam>& props) {
    if (!props) return;
    if (const auto* map = std::get_if<MapOrParam::Map>(&props->value)) {
      for (const MapEntry& entry : map->entries) {
        add(out_.properties, entry.key);
        expr(entry.value);
      }
    } else if (out_.parameters) {
      const auto& parameter = std::get<MapOrParam::Parameter>(props->value);
      out_.parameters->push_back(ParameterUse{parameter.name, parameter.span});
    }
  }

  static void add(std::vector<std::string>* list, std::string_view name) {
    if (list) list->emplace_back(name);
  }

  // The names written, and what a dynamic label's expression names.
  void label_expr(const LabelExpr& e, std::vector<std::string>* out) {
    if (e.kind == LabelExpr::Kind::Name) add(out, e.name);
    if (e.kind == LabelExpr::Kind::Dynamic) expr(**e.names);
    for (const LabelExpr& operand : e.operands) label_expr(operand, out);
  }

  void optional_expr(const std::optional<Expr>& e) {
    if (e) expr(*e);
  }
  void optional_expr(const Nullable<Expr>& e) {
    if (e) expr(*e);
  }
  void optional_expr(const Nullable<Box<Expr>>& e) {
    if (e) expr(**e);
  }

  void subquery(const ExistsSubquery& sq) {
    if (const auto* p = std::get_if<Pattern>(&sq.value)) {
      pattern(*p);
    } else {
      regular_query(std::get<RegularQuery>(sq.value));
    }
  }

  void expr(const Expr& e) {
    std::visit(
        [&](const auto& node) {
          using T = std::decay_t<decltype(node)>;
          if constexpr (std::is_base_of_v<Expr::Binary, T>) {
            expr(*node.left);
            expr(*node.right);
          } else if constexpr (std::is_base_of_v<Expr::Unary, T>) {
            expr(*node.operand);
          } else if constexpr (std::is_base_of_v<Expr::Quantifier, T>) {
            expr(*node.list);
            optional_expr(node.predicate);
          } else if constexpr (std::is_same_v<T, Expr::Property>) {
            add(out_.properties, node.key);
            expr(*node.target);
          } else if constexpr (std::is_same_v<T, Expr::List>) {
            for (const Expr& item : node.items) expr(item);
          } else if constexpr (std::is_same_v<T, Expr::Map>) {
            // Keys of a map literal are not property accesses.
            for (const MapEntry& entry : node.entries) expr(entry.value);
          } else if constexpr (std::is_same_v<T, Expr::Index>) {
            expr(*node.target);
            expr(*node.index);
          } else if constexpr (std::is_same_v<T, Expr::Slice>) {
            expr(*node.target);
            optional_expr(node.from);
            optional_expr(node.to);
          } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
            for (const Expr& arg : node.args) expr(arg);
          } else if constexpr (std::is_same_v<T, Expr::Case>) {
            optional_expr(node.operand);
            for (const Expr::CaseAlternative& alt : node.alternatives) {
              expr(alt.when);
              expr(alt.then);
            }
            optional_expr(node.else_expr);
          } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
            expr(*node.list);
            optional_expr(node.predicate);
            optional_expr(node.projection);
          } else if constexpr (std::is_same_v<T, Expr::Exists> ||
                               std::is_same_v<T, Expr::CountSubquery> ||
                               std::is_same_v<T, Expr::CollectSubquery>) {
            subquery(*node.subquery);
          } else if constexpr (std::is_same_v<T, Expr::PatternPredicate> ||
                               std::is_same_v<T, Expr::ShortestPath>) {
            pattern_part(*node.pattern);
          } else if constexpr (std::is_same_v<T, Expr::PatternComprehension>) {
            pattern_part(*node.pattern);
            optional_expr(node.predicate);
            expr(*node.projection);
          } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
            expr(*node.target);
            label_expr(*node.labels, out_.labels);
          } else if constexpr (std::is_same_v<T, Expr::MapProjection>) {
            for (const Expr::MapProjectionItem& item : node.items) {
              if (item.kind == Expr::MapProjectionItem::Kind::Property) {
                add(out_.properties, item.name);
              }
              optional_expr(item.value);
            }
          } else if constexpr (std::is_same_v<T, Expr::Reduce>) {
            expr(*node.init);
            expr(*node.iteration->list);
            optional_expr(node.iteration->projection);
          } else if constexpr (std::is_same_v<T, Expr::TypePredicate>) {
            expr(*node.operand);
          } else if constexpr (std::is_same_v<T, Expr::Parameter>) {
            if (out_.parameters) out_.parameters->push_back(ParameterUse{node.name, e.span});
          } else if constexpr (!is_leaf_or_pattern_kind<T>) {
            static_assert(kNewExpressionKind<T>, "say which names a new kind holds");
          }
          // Literals, variables and count(*) name nothing.
        },
        e.node);
  }

  NameLists out_;
};

}  // namespace

void collect_all_names(const RegularQuery& query, NameLists out) {
  AllNames(out).regular_query(query);
}

}  // namespace quorvane
