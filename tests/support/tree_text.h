// A complete, deterministic text form of a syntax tree, for tests that
// compare trees: two trees are equal exactly when their texts are.
#ifndef QUORVANE_TESTS_SUPPORT_TREE_TEXT_H_
#define QUORVANE_TESTS_SUPPORT_TREE_TEXT_H_

#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "parser/ast.h"

namespace quorvane::testing {

// With `spans`, the text also holds where each node lies in the query, so
// that two trees with the same shape but different positions differ.
class TreeText {
 public:
  explicit TreeText(bool spans = false) : spans_(spans) {}
  // Each name of the tree met while writing it, and whether it is a view.
  struct SeenName {
    std::string_view text;
    bool view;
  };
  void record_names(std::vector<SeenName>* seen) { names_seen_ = seen; }

  std::string query(const CypherQuery& q) {
    if (const auto* regular = std::get_if<RegularQuery>(&q)) {
      regular_query(*regular);
    } else if (const auto* standalone = std::get_if<CallClause>(&q)) {
      call(*standalone);
    } else if (const auto* schema = std::get_if<SchemaCommand>(&q)) {
      schema_command(*schema);
    } else if (const auto* show = std::get_if<ShowCommand>(&q)) {
      show_command(*show);
    } else {
      admin_command(std::get<AdminCommand>(q));
    }
    return out_;
  }

 private:
  void open(const char* name) {
    out_ += '(';
    out_ += name;
  }
  void close() { out_ += ')'; }
  void name(const TreeString& s) {
    if (names_seen_ != nullptr) names_seen_->push_back({s.sv(), s.is_view()});
    name(s.sv());
  }
  void name(const std::string& s) { name(std::string_view(s)); }
  void name(std::string_view s) {
    out_ += " \"";
    out_ += s;
    out_ += '"';
  }
  // An optional name: std::optional or Nullable.
  template <class OptionalName>
  void opt_name(const OptionalName& s) {
    if (s) {
      name(*s);
    } else {
      out_ += " -";
    }
  }
  void flag(bool b) { out_ += b ? " T" : " F"; }
  void at(Span s) {
    if (!spans_) return;
    out_ += " @";
    out_ += std::to_string(s.begin);
    out_ += '-';
    out_ += std::to_string(s.end);
  }
  void at(const TreeList<Span>& list) {
    for (Span s : list) at(s);
  }
  void number(int64_t v) {
    out_ += ' ';
    out_ += std::to_string(v);
  }
  void opt_number(const std::optional<int64_t>& v) {
    if (v) {
      number(*v);
    } else {
      out_ += " -";
    }
  }
  void names(const TreeList<TreeString>& list) {
    out_ += " [";
    for (const TreeString& s : list) name(s);
    out_ += ']';
  }

  void regular_query(const RegularQuery& q) {
    open("query");
    single_query(q.first());
    for (const UnionPart& u : q.unions()) {
      open("union");
      flag(u.all);
      single_query(u.query);
      close();
    }
    close();
  }

  void single_query(const SingleQuery& q) {
    if (const auto* single = std::get_if<SinglePartQuery>(&q)) {
      open("single");
      clauses(single->reading_clauses, single->updating_clauses);
      if (single->return_clause) return_clause(*single->return_clause);
      close();
      return;
    }
    const auto& multi = std::get<MultiPartQuery>(q);
    open("multi");
    for (const QueryPart& part : multi.parts) {
      open("part");
      clauses(part.reading_clauses, part.updating_clauses);
      with_clause(part.with_clause);
      close();
    }
    clauses(multi.reading_clauses, multi.updating_clauses);
    if (multi.return_clause) return_clause(*multi.return_clause);
    close();
  }

  void clauses(const TreeList<ReadingClause>& reading, const TreeList<UpdatingClause>& updating) {
    for (const ReadingClause& c : reading) {
      at(c.span);
      reading_clause(c);
    }
    for (const UpdatingClause& c : updating) {
      at(c.span);
      updating_clause(c);
    }
  }

  void command_name(const CommandName& n) {
    name(n.name);
    at(n.span);
  }

  void schema_command(const SchemaCommand& c) {
    open("schema");
    number(static_cast<int64_t>(c.kind));
    command_name(c.name);
    flag(c.if_exists);
    name(c.form);
    flag(c.target.relationship);
    command_name(c.target.variable);
    for (const CommandName& n : c.target.labels) command_name(n);
    out_ += " |";
    for (const CommandName& n : c.target.properties) command_name(n);
    opt_expr(c.options);
    at(c.span);
    close();
  }

  void show_command(const ShowCommand& c) {
    open("show");
    name(c.what);
    name(c.filter);
    command_name(c.name);
    if (c.yield) call(*c.yield);
    if (c.return_clause) return_clause(*c.return_clause);
    opt_expr(c.where_clause);
    at(c.span);
    close();
  }

  void admin_command(const AdminCommand& c) {
    open("admin");
    name(c.action);
    for (const CommandName& n : c.names) command_name(n);
    at(c.span);
    close();
  }

  void call(const CallClause& c) {
    open("call");
    name(c.procedure);
    for (const Expr& a : c.args) expr(a);
    for (const YieldItem& y : c.yield_items) {
      open("yield");
      at(y.span);
      name(y.variable);
      at(y.variable_span);
      opt_name(y.field);
      close();
    }
    flag(c.yield_all);
    flag(c.implicit_arguments);
    opt_expr(c.where_clause);
    close();
  }

  void reading_clause(const ReadingClause& c) {
    if (const auto* m = std::get_if<ReadingClause::Match>(&c.clause)) {
      open("match");
      flag(m->optional);
      pattern(m->pattern);
      opt_expr(m->where_clause);
      close();
    } else if (const auto* u = std::get_if<ReadingClause::Unwind>(&c.clause)) {
      open("unwind");
      expr(u->expr);
      name(u->variable);
      close();
    } else if (const auto* k = std::get_if<CallClause>(&c.clause)) {
      call(*k);
    } else if (const auto* s = std::get_if<ReadingClause::Subquery>(&c.clause)) {
      open("subquery");
      flag(s->optional);
      flag(s->has_scope);
      flag(s->import_all);
      names(s->scope);
      at(s->scope_spans);
      regular_query(*s->query);
      flag(s->in_transactions);
      opt_expr(s->batch_rows);
      // Written only where the query has them, so that the trees of other
      // subqueries read as before.
      if (s->concurrent) {
        out_ += " concurrent";
        opt_expr(s->concurrency);
      }
      if (s->status) {
        out_ += " status";
        name(*s->status);
      }
      close();
    } else {
      const auto& l = std::get<ReadingClause::LoadCsv>(c.clause);
      open("load");
      flag(l.with_headers);
      expr(*l.source);
      name(l.variable);
      opt_name(l.field_terminator);
      close();
    }
  }

  void set_items(const TreeList<SetItem>& items) {
    for (const SetItem& item : items) {
      std::visit(
          [&](const auto& i) {
            using T = std::decay_t<decltype(i)>;
            if constexpr (std::is_same_v<T, SetItem::Property>) {
              open("set-property");
              name(i.target.variable);
              names(i.target.keys);
              at(i.target.variable_span);
              at(i.target.key_spans);
              expr(i.value);
            } else if constexpr (std::is_same_v<T, SetItem::Labels>) {
              open("set-labels");
              name(i.variable);
              names(i.labels);
              at(i.variable_span);
              at(i.label_spans);
              for (const Expr& names : i.dynamic) expr(names);
            } else {
              open(std::is_same_v<T, SetItem::Assign> ? "set-assign" : "set-add");
              name(i.variable);
              at(i.variable_span);
              expr(i.value);
            }
            close();
          },
          item.item);
    }
  }

  void updating_clause(const UpdatingClause& c) {
    std::visit(
        [&](const auto& u) {
          using T = std::decay_t<decltype(u)>;
          if constexpr (std::is_same_v<T, UpdatingClause::Create>) {
            open("create");
            pattern(u.pattern);
          } else if constexpr (std::is_same_v<T, UpdatingClause::Merge>) {
            open("merge");
            pattern_part(*u.pattern_part);
            for (const auto& items : u.on_match) {
              open("on-match");
              set_items(items);
              close();
            }
            for (const auto& items : u.on_create) {
              open("on-create");
              set_items(items);
              close();
            }
          } else if constexpr (std::is_same_v<T, UpdatingClause::Set>) {
            open("set");
            set_items(u.items);
          } else if constexpr (std::is_same_v<T, UpdatingClause::Remove>) {
            open("remove");
            for (const RemoveItem& item : u.items) {
              if (const auto* l = std::get_if<RemoveItem::Labels>(&item.item)) {
                name(l->variable);
                names(l->labels);
                for (const Expr& names : l->dynamic) expr(names);
              } else {
                const auto& p = std::get<RemoveItem::Property>(item.item);
                name(p.target.variable);
                names(p.target.keys);
              }
            }
          } else if constexpr (std::is_same_v<T, UpdatingClause::Delete>) {
            open("delete");
            flag(u.detach);
            for (const Expr& e : u.exprs) expr(e);
          } else {
            open("foreach");
            name(u.variable);
            expr(u.list);
            for (const UpdatingClause& inner : u.clauses) updating_clause(inner);
          }
          close();
        },
        c.clause);
  }

  void projection_tail(const Nullable<TreeList<SortItem>>& order_by, const Nullable<Expr>& skip,
                       const Nullable<Expr>& limit) {
    if (order_by) {
      open("order");
      for (const SortItem& s : *order_by) {
        expr(s.expr);
        flag(s.descending);
      }
      close();
    }
    opt_expr(skip);
    opt_expr(limit);
  }

  void items(const TreeList<ReturnItem>& list) {
    for (const ReturnItem& item : list) {
      open("item");
      expr(item.expr);
      opt_name(item.alias);
      at(item.alias_span);
      close();
    }
  }

  void with_clause(const WithClause& w) {
    open("with");
    at(w.span);
    flag(w.distinct);
    items(w.items);
    projection_tail(w.order_by, w.skip, w.limit);
    opt_expr(w.where_clause);
    close();
  }

  void return_clause(const ReturnClause& r) {
    open("return");
    at(r.span);
    flag(r.distinct);
    flag(r.items.all);
    items(r.items.items);
    projection_tail(r.order_by, r.skip, r.limit);
    close();
  }

  void pattern(const Pattern& p) {
    for (const PatternPart& part : p) pattern_part(part);
  }

  void pattern_part(const PatternPart& p) {
    open("path");
    at(p.span);
    opt_name(p.variable);
    number(static_cast<int64_t>(p.selector));
    opt_number(p.selector_count);
    node(p.start);
    for (const PatternLink& link : p.chain) {
      if (link.group) {
        open("group");
        pattern_part((*link.group)->path);
        opt_expr((*link.group)->where_clause);
        opt_number((*link.group)->quantifier.min);
        opt_number((*link.group)->quantifier.max);
        close();
      } else {
        relationship(link.relationship);
      }
      node(link.node);
    }
    close();
  }

  void properties(const Nullable<MapOrParam>& props) {
    if (!props) {
      out_ += " -";
      return;
    }
    if (const auto* map = std::get_if<MapOrParam::Map>(&props->value)) {
      map_entries(map->entries);
    } else {
      open("param");
      const auto& parameter = std::get<MapOrParam::Parameter>(props->value);
      name(parameter.name);
      at(parameter.span);
      close();
    }
  }

  void map_entries(const PropertyMap& entries) {
    open("map");
    for (const MapEntry& e : entries) {
      name(e.key);
      at(e.key_span);
      expr(e.value);
    }
    close();
  }

  void label_expr(const Nullable<Box<LabelExpr>>& e) {
    if (!e) {
      out_ += " -";
      return;
    }
    label_expr(**e);
  }
  void label_expr(const LabelExpr& e) {
    open("labels");
    at(e.span);
    number(static_cast<int64_t>(e.kind));
    name(e.name);
    for (const LabelExpr& o : e.operands) label_expr(o);
    if (e.kind == LabelExpr::Kind::Dynamic) {
      flag(e.any);
      expr(**e.names);
    }
    close();
  }

  void node(const NodePattern& n) {
    open("node");
    at(n.span);
    opt_name(n.variable);
    at(n.variable_span);
    names(n.labels);
    at(n.label_spans);
    properties(n.properties);
    label_expr(n.label_expr);
    opt_expr(n.where_clause);
    close();
  }

  void relationship(const RelationshipPattern& r) {
    open("rel");
    at(r.span);
    opt_name(r.variable);
    at(r.variable_span);
    names(r.types);
    at(r.type_spans);
    properties(r.properties);
    number(static_cast<int64_t>(r.direction));
    if (r.range) {
      opt_number(r.range->min);
      opt_number(r.range->max);
    } else {
      out_ += " *-";
    }
    label_expr(r.type_expr);
    opt_expr(r.where_clause);
    close();
  }

  void opt_expr(const std::optional<Expr>& e) {
    if (e) {
      expr(*e);
    } else {
      out_ += " -";
    }
  }
  void opt_expr(const Nullable<Expr>& e) {
    if (e) {
      expr(*e);
    } else {
      out_ += " -";
    }
  }
  void opt_expr(const Nullable<Box<Expr>>& e) {
    if (e) {
      expr(**e);
    } else {
      out_ += " -";
    }
  }

  void subquery(const ExistsSubquery& s) {
    if (const auto* p = std::get_if<Pattern>(&s.value)) {
      open("pattern");
      pattern(*p);
      close();
    } else {
      regular_query(std::get<RegularQuery>(s.value));
    }
  }

  void expr(const Expr& e) {
    out_ += " (e";
    out_ += std::to_string(e.kind());
    at(e.span);
    std::visit(
        [&](const auto& n) {
          using T = std::decay_t<decltype(n)>;
          if constexpr (std::is_base_of_v<Expr::Binary, T>) {
            expr(*n.left);
            expr(*n.right);
          } else if constexpr (std::is_base_of_v<Expr::Unary, T>) {
            expr(*n.operand);
          } else if constexpr (std::is_base_of_v<Expr::Quantifier, T>) {
            name(n.variable);
            expr(*n.list);
            opt_expr(n.predicate);
          } else if constexpr (std::is_same_v<T, Expr::Integer>) {
            number(n.value);
          } else if constexpr (std::is_same_v<T, Expr::Float>) {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, " %.17g", n.value);
            out_ += buffer;
          } else if constexpr (std::is_same_v<T, Expr::String> ||
                               std::is_same_v<T, Expr::Variable> ||
                               std::is_same_v<T, Expr::Parameter>) {
            if constexpr (std::is_same_v<T, Expr::String>) {
              name(n.value);
            } else {
              name(n.name);
            }
          } else if constexpr (std::is_same_v<T, Expr::Boolean>) {
            flag(n.value);
          } else if constexpr (std::is_same_v<T, Expr::List>) {
            for (const Expr& item : n.items) expr(item);
          } else if constexpr (std::is_same_v<T, Expr::Map>) {
            map_entries(n.entries);
          } else if constexpr (std::is_same_v<T, Expr::Property>) {
            expr(*n.target);
            name(n.key);
            at(n.key_span);
          } else if constexpr (std::is_same_v<T, Expr::Index>) {
            expr(*n.target);
            expr(*n.index);
          } else if constexpr (std::is_same_v<T, Expr::Slice>) {
            expr(*n.target);
            opt_expr(n.from);
            opt_expr(n.to);
          } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
            name(n.name);
            flag(n.distinct);
            for (const Expr& a : n.args) expr(a);
          } else if constexpr (std::is_same_v<T, Expr::Case>) {
            opt_expr(n.operand);
            for (const auto& alt : n.alternatives) {
              expr(alt.when);
              expr(alt.then);
            }
            opt_expr(n.else_expr);
          } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
            name(n.variable);
            expr(*n.list);
            opt_expr(n.predicate);
            opt_expr(n.projection);
          } else if constexpr (std::is_same_v<T, Expr::Exists> ||
                               std::is_same_v<T, Expr::CountSubquery> ||
                               std::is_same_v<T, Expr::CollectSubquery>) {
            subquery(*n.subquery);
          } else if constexpr (std::is_same_v<T, Expr::PatternPredicate>) {
            pattern_part(*n.pattern);
          } else if constexpr (std::is_same_v<T, Expr::PatternComprehension>) {
            pattern_part(*n.pattern);
            opt_expr(n.predicate);
            expr(*n.projection);
          } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
            expr(*n.target);
            label_expr(*n.labels);
          } else if constexpr (std::is_same_v<T, Expr::MapProjection>) {
            name(n.variable);
            for (const auto& item : n.items) {
              number(static_cast<int64_t>(item.kind));
              name(item.name);
              at(item.span);
              opt_expr(item.value);
            }
          } else if constexpr (std::is_same_v<T, Expr::Reduce>) {
            name(n.accumulator);
            expr(*n.init);
            name(n.iteration->variable);
            expr(*n.iteration->list);
            opt_expr(n.iteration->projection);
          } else if constexpr (std::is_same_v<T, Expr::ShortestPath>) {
            flag(n.all);
            pattern_part(*n.pattern);
          } else if constexpr (std::is_same_v<T, Expr::TypePredicate>) {
            expr(*n.operand);
            name(n.type);
            flag(n.negated);
          } else {
            static_assert(std::is_same_v<T, Expr::Null> || std::is_same_v<T, Expr::CountStar>);
          }
        },
        e.node);
    close();
  }

  const bool spans_;
  std::string out_;
  std::vector<SeenName>* names_seen_ = nullptr;
};

// The names of a tree (variables, labels, keys, literals...) in the order
// tree_text() writes them.
inline std::vector<TreeText::SeenName> tree_names(const CypherQuery& query) {
  std::vector<TreeText::SeenName> seen;
  TreeText text;
  text.record_names(&seen);
  text.query(query);
  return seen;
}

inline std::string tree_text(const CypherQuery& query, bool spans = false) {
  return TreeText(spans).query(query);
}

// Whether a tree text holds a pattern predicate. The one place where the
// languages read the same text differently on purpose: `(a)--(b)` and
// `(a)-[r]-(b)` are subtractions in the subset and patterns in the extended
// language.
inline bool has_pattern_predicate(std::string_view text) {
  constexpr size_t kPatternPredicate = 47;
  static_assert(std::is_same_v<std::variant_alternative_t<kPatternPredicate, Expr::Variant>,
                               Expr::PatternPredicate>);
  for (size_t at = text.find(" (e47"); at != std::string_view::npos;
       at = text.find(" (e47", at + 1)) {
    const size_t next = at + 5;
    if (next >= text.size() || text[next] < '0' || text[next] > '9') return true;
  }
  return false;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_TREE_TEXT_H_
