// Queries and clauses.
#include <string>

#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"
#include "parser/parse.h"
#include "parser/syntax_error.h"

namespace quorvane {

namespace {

CypherError fail(std::string message) {
  return CypherError::parse(std::move(message));
}

std::string with_rule(const char* prefix, NodeRef node) {
  return std::string(prefix) + std::string(rule_name(node.rule()));
}

}  // namespace

std::string TreeBuilder::name_of(NodeRef node) {
  std::string_view text = node.text();
  if (text.size() >= 2 && text.front() == '`' && text.back() == '`') {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

bool TreeBuilder::keyword_follows(size_t pos, std::string_view upper) const {
  return starts_with_keyword(text_, skip_ignorable(text_, pos), upper);
}

CypherError TreeBuilder::too_deep(NodeRef at) const {
  return fail(render_syntax_error(
      text_, at.start(),
      "query nested too deeply (tree depth limit " + std::to_string(kMaxTreeDepth) + ")"));
}

Result<CypherQuery> TreeBuilder::build_query(NodeRef cypher) {
  NodeRef statement = cypher.first_child();
  if (!statement.valid()) return fail("Empty query");
  if (statement.rule() != Rule::statement)
    return fail(with_rule("Expected statement, got ", statement));
  NodeRef body = statement.first_child();
  if (!body.valid()) return fail("Empty statement");
  if (body.rule() == Rule::standalone_call) {
    QV_TRY(CallClause call, build_call_clause(body, 1));
    return CypherQuery(std::in_place_index<1>, std::move(call));
  }
  if (body.rule() == Rule::regular_query) {
    QV_TRY(RegularQuery query, build_regular_query(body, 1));
    return CypherQuery(std::in_place_index<0>, std::move(query));
  }
  return fail(with_rule("Unknown statement type: ", body));
}

Result<RegularQuery> TreeBuilder::build_regular_query(NodeRef node, int depth) {
  NodeRef first = node.first_child();
  if (!first.valid()) return fail("Missing single_query");
  QV_TRY(SingleQuery first_query, build_single_query(first, depth));
  RegularQuery query{std::move(first_query), {}};
  for (NodeRef c = first.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() != Rule::union_clause) continue;
    const bool all = keyword_follows(c.start() + 5, "ALL");
    NodeRef single = c.child(Rule::single_query);
    if (!single.valid()) return fail("Missing union single_query");
    QV_TRY(SingleQuery branch, build_single_query(single, depth));
    query.unions.push_back({all, std::move(branch)});
  }
  return query;
}

Result<SingleQuery> TreeBuilder::build_single_query(NodeRef node, int depth) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return fail("Empty single_query");
  if (inner.rule() == Rule::single_part_query) {
    SinglePartQuery part;
    for (NodeRef c : children(inner)) {
      if (c.rule() == Rule::reading_clause) {
        QV_TRY(ReadingClause clause, build_reading_clause(c, depth));
        part.reading_clauses.push_back(std::move(clause));
      } else if (c.rule() == Rule::updating_clause) {
        QV_TRY(UpdatingClause clause, build_updating_clause(c, depth));
        part.updating_clauses.push_back(std::move(clause));
      } else if (c.rule() == Rule::return_clause) {
        QV_TRY(ReturnClause clause, build_return_clause(c, depth));
        part.return_clause = std::move(clause);
      }
    }
    return SingleQuery(std::in_place_index<0>, std::move(part));
  }
  if (inner.rule() == Rule::multi_part_query) {
    MultiPartQuery query;
    std::vector<ReadingClause> reading;
    std::vector<UpdatingClause> updating;
    for (NodeRef c : children(inner)) {
      switch (c.rule()) {
        case Rule::reading_clause: {
          QV_TRY(ReadingClause clause, build_reading_clause(c, depth));
          reading.push_back(std::move(clause));
          break;
        }
        case Rule::updating_clause: {
          QV_TRY(UpdatingClause clause, build_updating_clause(c, depth));
          updating.push_back(std::move(clause));
          break;
        }
        case Rule::with_clause: {
          QV_TRY(WithClause with, build_with_clause(c, depth));
          query.parts.push_back({std::move(reading), std::move(updating), std::move(with)});
          reading.clear();
          updating.clear();
          break;
        }
        case Rule::return_clause: {
          QV_TRY(ReturnClause clause, build_return_clause(c, depth));
          query.return_clause = std::move(clause);
          break;
        }
        default:
          break;
      }
    }
    query.reading_clauses = std::move(reading);
    query.updating_clauses = std::move(updating);
    return SingleQuery(std::in_place_index<1>, std::move(query));
  }
  return fail(with_rule("Unknown single_query: ", inner));
}

Result<WithClause> TreeBuilder::build_with_clause(NodeRef node, int depth) {
  WithClause with;
  with.distinct = keyword_follows(node.start() + 4, "DISTINCT");
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::return_body) {
      QV_TRY(ReturnBody body, build_return_body(c, depth));
      with.items = std::move(body.items);
      with.order_by = std::move(body.order_by);
      with.skip = std::move(body.skip);
      with.limit = std::move(body.limit);
    } else if (c.rule() == Rule::where_clause) {
      NodeRef e = c.first_child();
      if (!e.valid()) return fail("WHERE missing expr");
      QV_TRY(Expr where, build_expression(e, depth));
      with.where_clause = std::move(where);
    }
  }
  return with;
}

Result<ReturnClause> TreeBuilder::build_return_clause(NodeRef node, int depth) {
  ReturnClause ret;
  ret.distinct = keyword_follows(node.start() + 6, "DISTINCT");
  for (NodeRef c : children(node)) {
    if (c.rule() != Rule::return_body) continue;
    QV_TRY(ReturnBody body, build_return_body(c, depth));
    ret.items = ReturnItems{false, std::move(body.items)};
    ret.order_by = std::move(body.order_by);
    ret.skip = std::move(body.skip);
    ret.limit = std::move(body.limit);
  }
  return ret;
}

Result<ReturnBody> TreeBuilder::build_return_body(NodeRef node, int depth) {
  ReturnBody body;
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::return_items: {
        if (!c.has_children()) break;  // "*"
        for (NodeRef item : children(c)) {
          if (item.rule() != Rule::return_item) continue;
          NodeRef e = item.first_child();
          if (!e.valid()) return fail("Return item missing expr");
          QV_TRY(Expr expr, build_expression(e, depth));
          ReturnItem ri{std::move(expr), std::nullopt};
          for (NodeRef a = e.next_sibling(item); a.valid(); a = a.next_sibling(item)) {
            if (a.rule() == Rule::variable) {
              ri.alias = name_of(a);
              break;
            }
          }
          body.items.push_back(std::move(ri));
        }
        break;
      }
      case Rule::order_clause: {
        std::vector<SortItem> sort;
        for (NodeRef s : children(c)) {
          if (s.rule() != Rule::sort_item) continue;
          QV_TRY(SortItem item, build_sort_item(s, depth));
          sort.push_back(std::move(item));
        }
        body.order_by = std::move(sort);
        break;
      }
      case Rule::skip_clause: {
        NodeRef e = c.first_child();
        if (!e.valid()) return fail("SKIP missing expr");
        QV_TRY(Expr skip, build_expression(e, depth));
        body.skip = std::move(skip);
        break;
      }
      case Rule::limit_clause: {
        NodeRef e = c.first_child();
        if (!e.valid()) return fail("LIMIT missing expr");
        QV_TRY(Expr limit, build_expression(e, depth));
        body.limit = std::move(limit);
        break;
      }
      default:
        break;
    }
  }
  return body;
}

Result<SortItem> TreeBuilder::build_sort_item(NodeRef node, int depth) {
  NodeRef e = node.first_child();
  if (!e.valid()) return fail("Sort item missing expr");
  QV_TRY(Expr expr, build_expression(e, depth));
  // DESC also covers DESCENDING.
  return SortItem{std::move(expr), keyword_follows(e.end(), "DESC")};
}

Result<ReadingClause> TreeBuilder::build_reading_clause(NodeRef node, int depth) {
  NodeRef clause = node.first_child();
  if (!clause.valid()) return fail("Empty reading_clause");
  switch (clause.rule()) {
    case Rule::match_clause: {
      ReadingClause::Match match;
      match.optional = starts_with_keyword(text_, clause.start(), "OPTIONAL");
      bool has_pattern = false;
      for (NodeRef c : children(clause)) {
        if (c.rule() == Rule::pattern) {
          QV_TRY(Pattern pattern, build_pattern(c, depth));
          match.pattern = std::move(pattern);
          has_pattern = true;
        } else if (c.rule() == Rule::where_clause) {
          NodeRef e = c.first_child();
          if (!e.valid()) return fail("Empty WHERE");
          QV_TRY(Expr where, build_expression(e, depth));
          match.where_clause = std::move(where);
        }
      }
      if (!has_pattern) return fail("MATCH missing pattern");
      return ReadingClause{std::move(match)};
    }
    case Rule::unwind_clause: {
      NodeRef e = clause.first_child();
      if (!e.valid()) return fail("UNWIND missing expr");
      QV_TRY(Expr expr, build_expression(e, depth));
      NodeRef var = e.next_sibling(clause);
      if (!var.valid()) return fail("UNWIND missing variable");
      return ReadingClause{ReadingClause::Unwind{std::move(expr), name_of(var)}};
    }
    case Rule::in_query_call: {
      QV_TRY(CallClause call, build_call_clause(clause, depth));
      return ReadingClause{std::move(call)};
    }
    case Rule::call_subquery:
      return build_call_subquery(clause, depth);
    case Rule::load_csv_clause:
      return build_load_csv(clause, depth);
    default:
      return fail(with_rule("Unknown reading clause: ", clause));
  }
}

Result<CallClause> TreeBuilder::build_call_clause(NodeRef node, int depth) {
  CallClause call;
  // `YIELD *` (extended language) leaves no node of its own: a YIELD without
  // items.
  NodeRef invocation = node.child(Rule::explicit_procedure_invocation);
  if (!invocation.valid()) invocation = node.child(Rule::procedure_name);
  call.yield_all = invocation.valid() && !node.child(Rule::yield_items).valid() &&
                   keyword_follows(invocation.end(), "YIELD");
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::explicit_procedure_invocation) {
      for (NodeRef p : children(c)) {
        if (p.rule() == Rule::procedure_name) {
          call.procedure = std::string(p.text());
        } else if (p.rule() == Rule::expression) {
          QV_TRY(Expr arg, build_expression(p, depth));
          call.args.push_back(std::move(arg));
        }
      }
    } else if (c.rule() == Rule::procedure_name) {
      // The extended language's call without parentheses.
      call.procedure = std::string(c.text());
      call.implicit_arguments = true;
    } else if (c.rule() == Rule::where_clause) {
      QV_TRY(Expr where, build_where(c, depth));
      call.where_clause = std::move(where);
    } else if (c.rule() == Rule::yield_items) {
      for (NodeRef item : children(c)) {
        if (item.rule() != Rule::yield_item) continue;
        YieldItem yield;
        for (NodeRef part : children(item)) {
          if (part.rule() == Rule::procedure_result_field) yield.field = name_of(part);
          if (part.rule() == Rule::variable) yield.variable = name_of(part);
        }
        call.yield_items.push_back(std::move(yield));
      }
    }
  }
  return call;
}

Result<UpdatingClause> TreeBuilder::build_updating_clause(NodeRef node, int depth) {
  NodeRef clause = node.first_child();
  if (!clause.valid()) return fail("Empty updating_clause");
  switch (clause.rule()) {
    case Rule::create_clause: {
      NodeRef p = clause.first_child();
      if (!p.valid()) return fail("CREATE missing pattern");
      QV_TRY(Pattern pattern, build_pattern(p, depth));
      return UpdatingClause{UpdatingClause::Create{std::move(pattern)}};
    }
    case Rule::merge_clause: {
      std::optional<PatternPart> part;
      std::vector<std::vector<SetItem>> on_match;
      std::vector<std::vector<SetItem>> on_create;
      for (NodeRef c : children(clause)) {
        if (c.rule() == Rule::pattern_part) {
          QV_TRY(PatternPart built, build_pattern_part(c, depth));
          part = std::move(built);
        } else if (c.rule() == Rule::on_match_or_create) {
          const bool is_match = keyword_follows(c.start() + 2, "MATCH");
          for (NodeRef s : children(c)) {
            if (s.rule() != Rule::set_clause) continue;
            QV_TRY(std::vector<SetItem> items, build_set_clause(s, depth));
            (is_match ? on_match : on_create).push_back(std::move(items));
          }
        }
      }
      if (!part) return fail("MERGE missing pattern_part");
      return UpdatingClause{
          UpdatingClause::Merge{std::move(*part), std::move(on_match), std::move(on_create)}};
    }
    case Rule::set_clause: {
      QV_TRY(std::vector<SetItem> items, build_set_clause(clause, depth));
      return UpdatingClause{UpdatingClause::Set{std::move(items)}};
    }
    case Rule::remove_clause: {
      UpdatingClause::Remove remove;
      for (NodeRef c : children(clause)) {
        if (c.rule() != Rule::remove_item) continue;
        QV_TRY(RemoveItem item, build_remove_item(c));
        remove.items.push_back(std::move(item));
      }
      return UpdatingClause{std::move(remove)};
    }
    case Rule::foreach_clause:
      return build_foreach(clause, depth);
    case Rule::delete_clause: {
      UpdatingClause::Delete del;
      del.detach = starts_with_keyword(text_, clause.start(), "DETACH");
      for (NodeRef c : children(clause)) {
        if (c.rule() != Rule::expression) continue;
        QV_TRY(Expr expr, build_expression(c, depth));
        del.exprs.push_back(std::move(expr));
      }
      return UpdatingClause{std::move(del)};
    }
    default:
      return fail(with_rule("Unknown updating clause: ", clause));
  }
}

Result<std::vector<SetItem>> TreeBuilder::build_set_clause(NodeRef node, int depth) {
  std::vector<SetItem> items;
  for (NodeRef item : children(node)) {
    if (item.rule() != Rule::set_item) continue;
    NodeRef first = item.first_child();
    NodeRef second = first.valid() ? first.next_sibling(item) : NodeRef();
    // The "+=" form: a variable, then "+=" where the expression begins.
    if (first.valid() && second.valid() && first.rule() == Rule::variable &&
        second.rule() != Rule::node_labels &&
        text_.substr(skip_ignorable(text_, first.end()), 2) == "+=") {
      QV_TRY(Expr value, build_expression(second, depth));
      items.push_back(SetItem{SetItem::AddAssign{name_of(first), std::move(value)}});
      continue;
    }
    if (!second.valid()) return fail("Invalid SET item");
    if (first.rule() == Rule::property_expression) {
      QV_TRY(PropertyExpr target, build_property_expression(first));
      QV_TRY(Expr value, build_expression(second, depth));
      items.push_back(SetItem{SetItem::Property{std::move(target), std::move(value)}});
    } else if (first.rule() == Rule::variable) {
      if (second.rule() == Rule::node_labels) {
        items.push_back(SetItem{SetItem::Labels{name_of(first), label_names(second)}});
      } else {
        QV_TRY(Expr value, build_expression(second, depth));
        items.push_back(SetItem{SetItem::Assign{name_of(first), std::move(value)}});
      }
    } else {
      return fail("Unknown SET item");
    }
  }
  return items;
}

Result<RemoveItem> TreeBuilder::build_remove_item(NodeRef node) {
  NodeRef first = node.first_child();
  if (!first.valid()) return fail("Empty remove_item");
  if (first.rule() == Rule::property_expression) {
    QV_TRY(PropertyExpr target, build_property_expression(first));
    return RemoveItem{RemoveItem::Property{std::move(target)}};
  }
  if (first.rule() == Rule::variable) {
    std::vector<std::string> labels;
    NodeRef second = first.next_sibling(node);
    if (second.valid() && second.rule() == Rule::node_labels) labels = label_names(second);
    return RemoveItem{RemoveItem::Labels{name_of(first), std::move(labels)}};
  }
  return fail("Unknown REMOVE item");
}

}  // namespace quorvane
