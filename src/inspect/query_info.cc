#include "inspect/query_info.h"

#include <algorithm>
#include <type_traits>

#include "inspect/all_names.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// Gathers names into three lists; duplicates are removed at the end.
class NameCollector {
 public:
  NameCollector(std::vector<std::string>* labels, std::vector<std::string>* rel_types,
                std::vector<std::string>* properties)
      : labels_(labels), rel_types_(rel_types), properties_(properties) {}

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
                     // A WITH projection contributes nothing, only the
                     // clauses around it.
                     for (const QueryPart& part : multi.parts) {
                       clauses(part.reading_clauses, part.updating_clauses);
                     }
                     clauses(multi.reading_clauses, multi.updating_clauses);
                     if (multi.return_clause) return_clause(*multi.return_clause);
                   },
               },
               query);
  }

  void clauses(const TreeList<ReadingClause>& reading, const TreeList<UpdatingClause>& updating) {
    for (const ReadingClause& clause : reading) {
      if (const auto* match = std::get_if<ReadingClause::Match>(&clause.clause)) {
        pattern(match->pattern);
        if (match->where_clause) expr(*match->where_clause);
      }
    }
    for (const UpdatingClause& clause : updating) {
      if (const auto* create = std::get_if<UpdatingClause::Create>(&clause.clause)) {
        pattern(create->pattern);
      } else if (const auto* merge = std::get_if<UpdatingClause::Merge>(&clause.clause)) {
        pattern_part(*merge->pattern_part);
      }
    }
  }

  void return_clause(const ReturnClause& clause) {
    if (clause.items.all) return;
    for (const ReturnItem& item : clause.items.items) expr(item.expr);
  }

  void pattern(const Pattern& parts) {
    for (const PatternPart& part : parts) pattern_part(part);
  }

  void pattern_part(const PatternPart& part) {
    node(part.start);
    for (const PatternLink& link : part.chain) {
      for (const TreeString& type : link.relationship.types) rel_types_->emplace_back(type);
      node(link.node);
    }
  }

  void node(const NodePattern& node) {
    for (const TreeString& label : node.labels) labels_->emplace_back(label);
    if (!node.properties) return;
    if (const auto* map = std::get_if<MapOrParam::Map>(&node.properties->value)) {
      for (const MapEntry& entry : map->entries) {
        properties_->emplace_back(entry.key);
        expr(entry.value);
      }
    }
  }

  void optional_expr(const Nullable<Box<Expr>>& e) {
    if (e) expr(**e);
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
            properties_->emplace_back(node.key);
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
          } else if constexpr (std::is_same_v<T, Expr::Exists>) {
            exists(*node.subquery);
          }
          // Literals, variables, parameters and count(*) name nothing.
        },
        e.node);
  }

  void exists(const ExistsSubquery& subquery) {
    // An EXISTS pattern contributes nothing. From a whole subquery only the
    // property keys reach the result.
    if (const auto* query = std::get_if<RegularQuery>(&subquery.value)) {
      std::vector<std::string> scratch_labels;
      std::vector<std::string> scratch_rel_types;
      NameCollector inner(&scratch_labels, &scratch_rel_types, properties_);
      inner.regular_query(*query);
    }
  }

  std::vector<std::string>* labels_;
  std::vector<std::string>* rel_types_;
  std::vector<std::string>* properties_;
};

// std::string orders by unsigned bytes, which is UTF-8 byte order.
void sort_unique(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
}

}  // namespace

QueryInfo inspect_tree(const CypherQuery& query, Language language) {
  QueryInfo info;
  info.is_valid = true;
  // A constraint or index names labels (or types) and keys; SHOW and the
  // administration commands name none.
  if (const auto* command = std::get_if<SchemaCommand>(&query)) {
    auto& into = command->target.relationship ? info.rel_types_used : info.labels_used;
    for (const CommandName& label : command->target.labels) into.push_back(label.name);
    for (const CommandName& key : command->target.properties) {
      info.properties_used.push_back(key.name);
    }
  } else if (const auto* regular = std::get_if<RegularQuery>(&query)) {
    if (language == Language::Extended) {
      collect_all_names(*regular, {&info.labels_used, &info.rel_types_used, &info.properties_used});
    } else {
      NameCollector collector(&info.labels_used, &info.rel_types_used, &info.properties_used);
      collector.regular_query(*regular);
    }
  }
  sort_unique(info.labels_used);
  sort_unique(info.rel_types_used);
  sort_unique(info.properties_used);
  return info;
}

QueryInfo inspect_query(std::string_view text, Language language) {
  Result<CypherQuery> parsed = parse(text, language);
  if (!parsed.ok()) {
    QueryInfo info;
    info.is_valid = false;
    info.errors.push_back(parsed.error().display());
    return info;
  }
  return inspect_tree(parsed.value(), language);
}

}  // namespace quorvane
