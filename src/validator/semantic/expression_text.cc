#include "validator/semantic/expression_text.h"

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <variant>

#include "parser/operators.h"

namespace quorvane {

namespace {

bool identifier_char(unsigned char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80 ||
         (!first && c >= '0' && c <= '9');
}

bool holds_unescaped(std::string_view text, char c) {
  bool escaped = false;
  for (char x : text) {
    if (x == c && !escaped) return true;
    escaped = x == '\\' && !escaped;
  }
  return false;
}

class Printer {
 public:
  std::string take() { return std::move(out_); }

  void expr(const Expr& e) {
    std::visit([this](const auto& node) { print(node); }, e.node);
  }

  // `e`, in parentheses when it binds looser than `least`.
  void operand(const Expr& e, int least) {
    const bool wrap = precedence(e) < least;
    if (wrap) out_ += '(';
    expr(e);
    if (wrap) out_ += ')';
  }

  void part(const PatternPart& p) {
    if (p.variable) {
      name(*p.variable);
      out_ += " = ";
    }
    switch (p.selector) {
      case PathSelector::All:
        chain(p);
        return;
      case PathSelector::ShortestPath:
        out_ += "shortestPath(";
        break;
      case PathSelector::AllShortestPaths:
        out_ += "allShortestPaths(";
        break;
      case PathSelector::AnyPaths:
        out_ += "ANY ";
        if (p.selector_count) out_ += std::to_string(*p.selector_count) + " ";
        chain(p);
        return;
      case PathSelector::ShortestK:
        out_ += "SHORTEST " + std::to_string(p.selector_count.value_or(1)) + " ";
        chain(p);
        return;
      case PathSelector::AllShortest:
        out_ += "ALL SHORTEST ";
        chain(p);
        return;
      case PathSelector::ShortestKGroups:
        out_ += "SHORTEST " + std::to_string(p.selector_count.value_or(1)) + " GROUPS ";
        chain(p);
        return;
    }
    chain(p);
    out_ += ')';
  }

  // `$name`, or `$0` for a numbered parameter: a query writes its digits
  // bare, and no parameter takes backticks.
  void parameter(std::string_view n) {
    out_ += '$';
    const bool numbered =
        !n.empty() && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (numbered) {
      out_ += n;
    } else {
      name(n);
    }
  }

  void name(std::string_view n) {
    bool plain = !n.empty();
    for (size_t i = 0; i < n.size() && plain; ++i) {
      plain = identifier_char(static_cast<unsigned char>(n[i]), i == 0);
    }
    if (plain) {
      out_ += n;
      return;
    }
    out_ += '`';
    for (char c : n) {
      out_ += c;
      if (c == '`') out_ += '`';
    }
    out_ += '`';
  }

 private:
  template <class T>
  void print(const T& node) {
    if constexpr (std::is_base_of_v<Expr::Binary, T>) {
      constexpr int p = binary_precedence<T>();
      operand(*node.left, p);
      out_ += binary_spelling<T>();
      operand(*node.right, p + 1);
    } else if constexpr (std::is_same_v<T, Expr::Not>) {
      out_ += "NOT ";
      operand(*node.operand, kNot);
    } else if constexpr (std::is_same_v<T, Expr::Negate>) {
      out_ += '-';
      operand(*node.operand, kUnary);
    } else if constexpr (std::is_same_v<T, Expr::IsNull>) {
      operand(*node.operand, kComparison + 1);
      out_ += " IS NULL";
    } else if constexpr (std::is_same_v<T, Expr::IsNotNull>) {
      operand(*node.operand, kComparison + 1);
      out_ += " IS NOT NULL";
    } else if constexpr (std::is_same_v<T, Expr::Integer>) {
      out_ += node.too_large.empty() ? std::to_string(node.value) : node.too_large;
    } else if constexpr (std::is_same_v<T, Expr::Float>) {
      floating(node.value);
    } else if constexpr (std::is_same_v<T, Expr::String>) {
      // The value keeps its escapes as written: a single quote it holds
      // unescaped means it was written in double quotes.
      const char quote = holds_unescaped(node.value, '\'') ? '"' : '\'';
      out_ += quote;
      out_ += node.value;
      out_ += quote;
    } else if constexpr (std::is_same_v<T, Expr::Boolean>) {
      out_ += node.value ? "true" : "false";
    } else if constexpr (std::is_same_v<T, Expr::Null>) {
      out_ += "null";
    } else if constexpr (std::is_same_v<T, Expr::List>) {
      out_ += '[';
      list(node.items);
      out_ += ']';
    } else if constexpr (std::is_same_v<T, Expr::Map>) {
      map(node.entries);
    } else if constexpr (std::is_same_v<T, Expr::Variable>) {
      name(node.name);
    } else if constexpr (std::is_same_v<T, Expr::Property>) {
      operand(*node.target, kPostfix);
      out_ += '.';
      name(node.key);
    } else if constexpr (std::is_same_v<T, Expr::Index>) {
      operand(*node.target, kPostfix);
      out_ += '[';
      expr(*node.index);
      out_ += ']';
    } else if constexpr (std::is_same_v<T, Expr::Slice>) {
      operand(*node.target, kPostfix);
      out_ += '[';
      if (node.from) expr(**node.from);
      out_ += "..";
      if (node.to) expr(**node.to);
      out_ += ']';
    } else if constexpr (std::is_same_v<T, Expr::Parameter>) {
      parameter(node.name);
    } else if constexpr (std::is_same_v<T, Expr::FunctionCall>) {
      out_ += node.name;
      out_ += node.distinct ? "(DISTINCT " : "(";
      list(node.args);
      out_ += ')';
    } else if constexpr (std::is_same_v<T, Expr::CountStar>) {
      out_ += "count(*)";
    } else if constexpr (std::is_same_v<T, Expr::Case>) {
      out_ += "CASE";
      if (node.operand) {
        out_ += ' ';
        expr(**node.operand);
      }
      for (const Expr::CaseAlternative& alternative : node.alternatives) {
        out_ += " WHEN ";
        expr(alternative.when);
        out_ += " THEN ";
        expr(alternative.then);
      }
      if (node.else_expr) {
        out_ += " ELSE ";
        expr(**node.else_expr);
      }
      out_ += " END";
    } else if constexpr (std::is_same_v<T, Expr::ListComprehension>) {
      out_ += '[';
      iteration(node.variable, *node.list, node.predicate);
      if (node.projection) {
        out_ += " | ";
        expr(**node.projection);
      }
      out_ += ']';
    } else if constexpr (std::is_base_of_v<Expr::Quantifier, T>) {
      if constexpr (std::is_same_v<T, Expr::All>) out_ += "all(";
      if constexpr (std::is_same_v<T, Expr::Any>) out_ += "any(";
      if constexpr (std::is_same_v<T, Expr::None>) out_ += "none(";
      if constexpr (std::is_same_v<T, Expr::Single>) out_ += "single(";
      iteration(node.variable, *node.list, node.predicate);
      out_ += ')';
    } else if constexpr (std::is_same_v<T, Expr::Exists>) {
      subquery("EXISTS", *node.subquery);
    } else if constexpr (std::is_same_v<T, Expr::CountSubquery>) {
      subquery("COUNT", *node.subquery);
    } else if constexpr (std::is_same_v<T, Expr::CollectSubquery>) {
      subquery("COLLECT", *node.subquery);
    } else if constexpr (std::is_same_v<T, Expr::PatternPredicate>) {
      part(*node.pattern);
    } else if constexpr (std::is_same_v<T, Expr::PatternComprehension>) {
      out_ += '[';
      part(*node.pattern);
      if (node.predicate) {
        out_ += " WHERE ";
        expr(**node.predicate);
      }
      out_ += " | ";
      expr(*node.projection);
      out_ += ']';
    } else if constexpr (std::is_same_v<T, Expr::LabelCheck>) {
      operand(*node.target, kPostfix);
      labels(*node.labels);
    } else if constexpr (std::is_same_v<T, Expr::MapProjection>) {
      map_projection(node);
    } else if constexpr (std::is_same_v<T, Expr::Reduce>) {
      out_ += "reduce(";
      name(node.accumulator);
      out_ += " = ";
      expr(*node.init);
      out_ += ", ";
      const Expr::ListComprehension& iteration = *node.iteration;
      name(iteration.variable);
      out_ += " IN ";
      expr(*iteration.list);
      out_ += " | ";
      if (iteration.projection) expr(**iteration.projection);
      out_ += ')';
    } else if constexpr (std::is_same_v<T, Expr::ShortestPath>) {
      // The pattern usually carries the selector itself.
      const bool selected = node.pattern->selector != PathSelector::All;
      if (!selected) out_ += node.all ? "allShortestPaths(" : "shortestPath(";
      part(*node.pattern);
      if (!selected) out_ += ')';
    } else if constexpr (std::is_same_v<T, Expr::TypePredicate>) {
      operand(*node.operand, kComparison + 1);
      out_ += node.negated ? " IS NOT :: " : " IS :: ";
      out_ += node.type;
    } else {
      static_assert(sizeof(T) == 0, "every expression has a text");
    }
  }

  void floating(double value) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, ec == std::errc() ? static_cast<size_t>(end - buffer) : 0);
    if (text == "inf" || text == "-inf" || text == "nan" || text == "-nan") {
      out_ += "toFloat('" + std::string(text) + "')";
      return;
    }
    out_ += text;
    if (text.find_first_of(".e") == std::string_view::npos) out_ += ".0";
  }

  void list(const TreeList<Expr>& items) {
    for (size_t i = 0; i < items.size(); ++i) {
      if (i > 0) out_ += ", ";
      expr(items[i]);
    }
  }

  void map(const PropertyMap& entries) {
    out_ += '{';
    for (size_t i = 0; i < entries.size(); ++i) {
      if (i > 0) out_ += ", ";
      name(entries[i].key);
      out_ += ": ";
      expr(entries[i].value);
    }
    out_ += '}';
  }

  void iteration(std::string_view variable, const Expr& source,
                 const Nullable<Box<Expr>>& predicate) {
    name(variable);
    out_ += " IN ";
    expr(source);
    if (predicate) {
      out_ += " WHERE ";
      expr(**predicate);
    }
  }

  void subquery(const char* keyword, const ExistsSubquery& subquery) {
    out_ += keyword;
    const auto* pattern = std::get_if<Pattern>(&subquery.value);
    if (pattern == nullptr) {
      out_ += " { ... }";
      return;
    }
    out_ += " { ";
    for (size_t i = 0; i < pattern->size(); ++i) {
      if (i > 0) out_ += ", ";
      part((*pattern)[i]);
    }
    out_ += " }";
  }

  void map_projection(const Expr::MapProjection& projection) {
    using Kind = Expr::MapProjectionItem::Kind;
    name(projection.variable);
    out_ += '{';
    for (size_t i = 0; i < projection.items.size(); ++i) {
      const Expr::MapProjectionItem& item = projection.items[i];
      if (i > 0) out_ += ", ";
      switch (item.kind) {
        case Kind::Property:
          out_ += '.';
          name(item.name);
          break;
        case Kind::AllProperties:
          out_ += ".*";
          break;
        case Kind::Entry:
          name(item.name);
          out_ += ": ";
          if (item.value) expr(**item.value);
          break;
        case Kind::Variable:
          name(item.name);
          break;
      }
    }
    out_ += '}';
  }

  // `:A:B` for a colon list, otherwise `:` and the expression.
  void labels(const LabelExpr& e) {
    if (e.kind == LabelExpr::Kind::And) {
      bool plain = true;
      for (const LabelExpr& operand : e.operands) {
        plain = plain && operand.kind == LabelExpr::Kind::Name;
      }
      if (plain) {
        for (const LabelExpr& operand : e.operands) {
          out_ += ':';
          name(operand.name);
        }
        return;
      }
    }
    out_ += ':';
    label_expr(e, 0);
  }

  // Levels: 0 for `|`, 1 for `&`, 2 for `!` and atoms.
  void label_expr(const LabelExpr& e, int least) {
    switch (e.kind) {
      case LabelExpr::Kind::Name:
        name(e.name);
        return;
      case LabelExpr::Kind::Wildcard:
        out_ += '%';
        return;
      case LabelExpr::Kind::Dynamic:
        out_ += e.any ? "$any(" : "$(";
        expr(**e.names);
        out_ += ')';
        return;
      case LabelExpr::Kind::Not:
        out_ += '!';
        if (!e.operands.empty()) label_expr(e.operands.front(), 2);
        return;
      case LabelExpr::Kind::And:
      case LabelExpr::Kind::Or: {
        const int level = e.kind == LabelExpr::Kind::Or ? 0 : 1;
        if (level < least) out_ += '(';
        for (size_t i = 0; i < e.operands.size(); ++i) {
          if (i > 0) out_ += level == 0 ? "|" : "&";
          label_expr(e.operands[i], level + 1);
        }
        if (level < least) out_ += ')';
        return;
      }
    }
  }

  // A space between the parts of a node or relationship, none right after
  // its opening bracket: `(a {x: 1})` but `({x: 1})`.
  void separate() {
    if (out_.back() != '(' && out_.back() != '[') out_ += ' ';
  }

  void properties(const Nullable<MapOrParam>& props) {
    if (!props) return;
    separate();
    if (const auto* m = std::get_if<MapOrParam::Map>(&props->value)) {
      map(m->entries);
    } else {
      parameter(std::get<MapOrParam::Parameter>(props->value).name);
    }
  }

  void node(const NodePattern& n) {
    out_ += '(';
    if (n.variable) name(*n.variable);
    if (n.label_expr) {
      labels(**n.label_expr);
    } else {
      for (const TreeString& label : n.labels) {
        out_ += ':';
        name(label);
      }
    }
    properties(n.properties);
    if (n.where_clause) {
      separate();
      out_ += "WHERE ";
      expr(**n.where_clause);
    }
    out_ += ')';
  }

  void relationship(const RelationshipPattern& r) {
    out_ += r.direction == Direction::Incoming ? "<-" : "-";
    const bool detail =
        r.variable || !r.types.empty() || r.type_expr || r.properties || r.range || r.where_clause;
    if (detail) {
      out_ += '[';
      if (r.variable) name(*r.variable);
      if (r.type_expr) {
        out_ += ':';
        label_expr(**r.type_expr, 0);
      } else {
        for (size_t i = 0; i < r.types.size(); ++i) {
          out_ += i == 0 ? ":" : "|";
          name(r.types[i]);
        }
      }
      if (r.range) range(*r.range, '*');
      properties(r.properties);
      if (r.where_clause) {
        separate();
        out_ += "WHERE ";
        expr(**r.where_clause);
      }
      out_ += ']';
    }
    out_ += r.direction == Direction::Outgoing ? "->" : "-";
  }

  void range(const RangeBounds& bounds, char star) {
    out_ += star;
    if (bounds.min && bounds.max && *bounds.min == *bounds.max) {
      out_ += std::to_string(*bounds.min);
      return;
    }
    if (!bounds.min && !bounds.max) return;
    if (bounds.min) out_ += std::to_string(*bounds.min);
    out_ += "..";
    if (bounds.max) out_ += std::to_string(*bounds.max);
  }

  void chain(const PatternPart& p) {
    // A path that starts with a group starts at an anonymous node nobody wrote.
    const bool written_start = !(p.chain.size() > 0 && p.chain.front().group && !p.start.variable &&
                                 p.start.labels.empty() && !p.start.label_expr &&
                                 !p.start.properties && !p.start.where_clause);
    if (written_start) node(p.start);
    for (const PatternLink& link : p.chain) {
      if (link.group) {
        if (written_start || &link != &p.chain.front()) out_ += ' ';
        const QuantifiedPath& group = **link.group;
        out_ += '(';
        chain(group.path);
        if (group.where_clause) {
          out_ += " WHERE ";
          expr(*group.where_clause);
        }
        out_ += ')';
        const RangeBounds& q = group.quantifier;
        out_ += '{';
        if (q.min) out_ += std::to_string(*q.min);
        if (!(q.min && q.max && *q.min == *q.max)) {
          out_ += ',';
          if (q.max) out_ += std::to_string(*q.max);
        }
        out_ += '}';
        out_ += ' ';
        node(link.node);
        continue;
      }
      relationship(link.relationship);
      node(link.node);
    }
  }

  std::string out_;
};

}  // namespace

std::string expression_text(const Expr& expr) {
  Printer printer;
  printer.expr(expr);
  return printer.take();
}

std::string pattern_text(const PatternPart& part) {
  Printer printer;
  printer.part(part);
  return printer.take();
}

std::string quoted(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 2);
  out += '\'';
  out += name;
  out += '\'';
  return out;
}

std::string name_text(std::string_view name) {
  Printer printer;
  printer.name(name);
  return printer.take();
}

std::string column_name(const ReturnItem& item) {
  if (item.alias) return item.alias->str();
  if (const auto* variable = item.expr.as<Expr::Variable>()) return variable->name.str();
  return expression_text(item.expr);
}

}  // namespace quorvane
