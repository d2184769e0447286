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

bool TreeBuilder::keyword_follows(size_t pos, std::string_view upper) const {
  return starts_with_keyword(text_, skip_ignorable(text_, pos), upper);
}

bool TreeBuilder::keyword_before(size_t pos, std::string_view upper, NodeRef next) const {
  const size_t at = skip_ignorable(text_, pos);
  return starts_with_keyword(text_, at, upper) &&
         (!next.valid() || at + upper.size() <= next.start());
}

CypherError TreeBuilder::too_deep(NodeRef at) const {
  std::string summary =
      "query nested too deeply (tree depth limit " + std::to_string(kMaxTreeDepth) + ")";
  CypherError error = fail(render_syntax_error(text_, at.start(), summary));
  error.position = at.start();
  error.summary = std::move(summary);
  return error;
}

Result<CypherQuery> TreeBuilder::build_query(NodeRef cypher) {
  NodeRef statement = cypher.first_child();
  if (!statement.valid()) return fail("Empty query");
  if (statement.rule() != Rule::statement)
    return fail(with_rule("Expected statement, got ", statement));
  NodeRef body = statement.first_child();
  if (!body.valid()) return fail("Empty statement");
  if (body.rule() == Rule::standalone_call) {
    Result<CypherQuery> query(std::in_place, std::in_place_index<1>);
    if (!build_call_clause(body, 1, std::get<1>(*query))) query = take_error();
    return query;
  }
  if (body.rule() == Rule::regular_query) {
    // One returned object on every path lets it be built in place.
    Result<CypherQuery> query(std::in_place, std::in_place_index<0>);
    if (!build_regular_query(body, 1, std::get<0>(*query))) query = take_error();
    return query;
  }
  return fail(with_rule("Unknown statement type: ", body));
}

bool TreeBuilder::build_regular_query(NodeRef node, int depth, RegularQuery& out) {
  NodeRef first = node.first_child();
  if (!first.valid()) return failed(fail("Missing single_query"));
  if (!build_single_query(first, depth, out.first)) return false;
  // A long UNION chain would otherwise leave up to half its storage unused.
  size_t branches = 0;
  for (NodeRef c = first.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    branches += c.rule() == Rule::union_clause;
  }
  out.unions.reserve(branches);
  for (NodeRef c = first.next_sibling(node); c.valid(); c = c.next_sibling(node)) {
    if (c.rule() != Rule::union_clause) continue;
    NodeRef single = c.child(Rule::single_query);
    if (!single.valid()) return failed(fail("Missing union single_query"));
    const bool all = keyword_before(c.start() + 5, "ALL", single);
    UnionPart& branch = out.unions.emplace_back();
    branch.all = all;
    if (!build_single_query(single, depth, branch.query)) return false;
  }
  return true;
}

bool TreeBuilder::build_single_query(NodeRef node, int depth, SingleQuery& out) {
  NodeRef inner = node.first_child();
  if (!inner.valid()) return failed(fail("Empty single_query"));
  if (inner.rule() == Rule::single_part_query) {
    SinglePartQuery& part = out.emplace<0>();
    for (NodeRef c : children(inner)) {
      if (c.rule() == Rule::reading_clause) {
        // ReadingClause has no usable default constructor: Match's member
        // initializers are not yet seen where the variant is declared.
        ReadingClause& clause =
            part.reading_clauses.emplace_back(ReadingClause{ReadingClause::Match{}});
        if (!build_reading_clause(c, depth, clause)) return false;
      } else if (c.rule() == Rule::updating_clause) {
        if (!build_updating_clause(c, depth, part.updating_clauses.emplace_back())) return false;
      } else if (c.rule() == Rule::return_clause) {
        if (!build_return_clause(c, depth, part.return_clause.emplace())) return false;
      }
    }
    return true;
  }
  if (inner.rule() == Rule::multi_part_query) {
    MultiPartQuery& query = out.emplace<1>();
    std::vector<ReadingClause> reading;
    std::vector<UpdatingClause> updating;
    for (NodeRef c : children(inner)) {
      switch (c.rule()) {
        case Rule::reading_clause: {
          ReadingClause& clause = reading.emplace_back(ReadingClause{ReadingClause::Match{}});
          if (!build_reading_clause(c, depth, clause)) return false;
          break;
        }
        case Rule::updating_clause:
          if (!build_updating_clause(c, depth, updating.emplace_back())) return false;
          break;
        case Rule::with_clause: {
          QueryPart& part = query.parts.emplace_back();
          part.reading_clauses = std::move(reading);
          part.updating_clauses = std::move(updating);
          reading.clear();
          updating.clear();
          if (!build_with_clause(c, depth, part.with_clause)) return false;
          break;
        }
        case Rule::return_clause:
          if (!build_return_clause(c, depth, query.return_clause.emplace())) return false;
          break;
        default:
          break;
      }
    }
    query.reading_clauses = std::move(reading);
    query.updating_clauses = std::move(updating);
    return true;
  }
  return failed(fail(with_rule("Unknown single_query: ", inner)));
}

bool TreeBuilder::build_with_clause(NodeRef node, int depth, WithClause& with) {
  with.span = span_of(node);
  with.distinct = keyword_before(node.start() + 4, "DISTINCT", node.first_child());
  for (NodeRef c : children(node)) {
    if (c.rule() == Rule::return_body) {
      if (!build_return_body(c, depth, {with.items, with.order_by, with.skip, with.limit})) {
        return false;
      }
    } else if (c.rule() == Rule::where_clause) {
      NodeRef e = c.first_child();
      if (!e.valid()) return failed(fail("WHERE missing expr"));
      if (!build_expression(e, depth, with.where_clause.emplace(Expr::Null{}))) return false;
    }
  }
  return true;
}

bool TreeBuilder::build_return_clause(NodeRef node, int depth, ReturnClause& ret) {
  ret.span = span_of(node);
  ret.distinct = keyword_before(node.start() + 6, "DISTINCT", node.first_child());
  for (NodeRef c : children(node)) {
    if (c.rule() != Rule::return_body) continue;
    ret.items.all = false;
    if (!build_return_body(c, depth, {ret.items.items, ret.order_by, ret.skip, ret.limit})) {
      return false;
    }
  }
  return true;
}

bool TreeBuilder::build_return_body(NodeRef node, int depth, const ReturnBody& body) {
  // Each body replaces whatever an earlier one set.
  body.items.clear();
  body.order_by.reset();
  body.skip.reset();
  body.limit.reset();
  for (NodeRef c : children(node)) {
    switch (c.rule()) {
      case Rule::return_items: {
        if (!c.has_children()) break;  // "*"
        size_t count = 0;
        for (NodeRef item : children(c)) count += item.rule() == Rule::return_item;
        body.items.reserve(count);
        for (NodeRef item : children(c)) {
          if (item.rule() != Rule::return_item) continue;
          NodeRef e = item.first_child();
          if (!e.valid()) return failed(fail("Return item missing expr"));
          ReturnItem& ri = body.items.emplace_back(ReturnItem{Expr::Null{}, std::nullopt});
          if (!build_expression(e, depth, ri.expr)) return false;
          for (NodeRef a = e.next_sibling(item); a.valid(); a = a.next_sibling(item)) {
            if (a.rule() == Rule::variable) {
              ri.alias.emplace(name_text(a));
              ri.alias_span = span_of(a);
              break;
            }
          }
        }
        break;
      }
      case Rule::order_clause: {
        std::vector<SortItem>& sort = body.order_by.emplace();
        for (NodeRef s : children(c)) {
          if (s.rule() != Rule::sort_item) continue;
          if (!build_sort_item(s, depth, sort.emplace_back(SortItem{Expr::Null{}, false})))
            return false;
        }
        break;
      }
      case Rule::skip_clause: {
        NodeRef e = c.first_child();
        if (!e.valid()) return failed(fail("SKIP missing expr"));
        if (!build_expression(e, depth, body.skip.emplace(Expr::Null{}))) return false;
        break;
      }
      case Rule::limit_clause: {
        NodeRef e = c.first_child();
        if (!e.valid()) return failed(fail("LIMIT missing expr"));
        if (!build_expression(e, depth, body.limit.emplace(Expr::Null{}))) return false;
        break;
      }
      default:
        break;
    }
  }
  return true;
}

bool TreeBuilder::build_sort_item(NodeRef node, int depth, SortItem& out) {
  NodeRef e = node.first_child();
  if (!e.valid()) return failed(fail("Sort item missing expr"));
  if (!build_expression(e, depth, out.expr)) return false;
  // DESC also covers DESCENDING.
  out.descending = keyword_follows(e.end(), "DESC");
  return true;
}

bool TreeBuilder::build_reading_clause(NodeRef node, int depth, ReadingClause& out) {
  out.span = span_of(node);
  NodeRef clause = node.first_child();
  if (!clause.valid()) return failed(fail("Empty reading_clause"));
  switch (clause.rule()) {
    case Rule::match_clause: {
      ReadingClause::Match& match =
          out.clause.emplace<ReadingClause::Match>(ReadingClause::Match{});
      match.optional = starts_with_keyword(text_, clause.start(), "OPTIONAL");
      bool has_pattern = false;
      for (NodeRef c : children(clause)) {
        if (c.rule() == Rule::pattern) {
          match.pattern.clear();
          if (!build_pattern(c, depth, match.pattern)) return false;
          has_pattern = true;
        } else if (c.rule() == Rule::where_clause) {
          NodeRef e = c.first_child();
          if (!e.valid()) return failed(fail("Empty WHERE"));
          if (!build_expression(e, depth, match.where_clause.emplace(Expr::Null{}))) return false;
        }
      }
      if (!has_pattern) return failed(fail("MATCH missing pattern"));
      return true;
    }
    case Rule::unwind_clause: {
      NodeRef e = clause.first_child();
      if (!e.valid()) return failed(fail("UNWIND missing expr"));
      ReadingClause::Unwind& unwind = out.clause.emplace<ReadingClause::Unwind>(
          ReadingClause::Unwind{Expr::Null{}, std::string()});
      if (!build_expression(e, depth, unwind.expr)) return false;
      NodeRef var = e.next_sibling(clause);
      if (!var.valid()) return failed(fail("UNWIND missing variable"));
      unwind.variable.assign(name_text(var));
      return true;
    }
    case Rule::in_query_call: {
      return build_call_clause(clause, depth, out.clause.emplace<CallClause>());
    }
    case Rule::call_subquery:
      return build_call_subquery(clause, depth, out);
    case Rule::load_csv_clause:
      return build_load_csv(clause, depth, out);
    default:
      return failed(fail(with_rule("Unknown reading clause: ", clause)));
  }
}

bool TreeBuilder::build_call_clause(NodeRef node, int depth, CallClause& call) {
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
          call.procedure.assign(p.text());
        } else if (p.rule() == Rule::expression) {
          if (!build_expression(p, depth, call.args.emplace_back(Expr::Null{}))) return false;
        }
      }
    } else if (c.rule() == Rule::procedure_name) {
      // The extended language's call without parentheses.
      call.procedure.assign(c.text());
      call.implicit_arguments = true;
    } else if (c.rule() == Rule::where_clause) {
      if (!build_where(c, depth, call.where_clause.emplace(Expr::Null{}))) return false;
    } else if (c.rule() == Rule::yield_items) {
      for (NodeRef item : children(c)) {
        if (item.rule() != Rule::yield_item) continue;
        YieldItem& yield = call.yield_items.emplace_back();
        yield.span = span_of(item);
        for (NodeRef part : children(item)) {
          if (part.rule() == Rule::procedure_result_field) yield.field.emplace(name_text(part));
          if (part.rule() == Rule::variable) yield.variable.assign(name_text(part));
        }
      }
    }
  }
  return true;
}

bool TreeBuilder::build_updating_clause(NodeRef node, int depth, UpdatingClause& out) {
  out.span = span_of(node);
  NodeRef clause = node.first_child();
  if (!clause.valid()) return failed(fail("Empty updating_clause"));
  switch (clause.rule()) {
    case Rule::create_clause: {
      NodeRef p = clause.first_child();
      if (!p.valid()) return failed(fail("CREATE missing pattern"));
      return build_pattern(p, depth, out.clause.emplace<UpdatingClause::Create>().pattern);
    }
    case Rule::merge_clause: {
      UpdatingClause::Merge& merge = out.clause.emplace<UpdatingClause::Merge>();
      bool has_part = false;
      for (NodeRef c : children(clause)) {
        if (c.rule() == Rule::pattern_part) {
          merge.pattern_part = PatternPart();
          if (!build_pattern_part(c, depth, merge.pattern_part)) return false;
          has_part = true;
        } else if (c.rule() == Rule::on_match_or_create) {
          const bool is_match = keyword_follows(c.start() + 2, "MATCH");
          for (NodeRef s : children(c)) {
            if (s.rule() != Rule::set_clause) continue;
            std::vector<SetItem>& items =
                (is_match ? merge.on_match : merge.on_create).emplace_back();
            if (!build_set_clause(s, depth, items)) return false;
          }
        }
      }
      if (!has_part) return failed(fail("MERGE missing pattern_part"));
      return true;
    }
    case Rule::set_clause: {
      return build_set_clause(clause, depth, out.clause.emplace<UpdatingClause::Set>().items);
    }
    case Rule::remove_clause: {
      UpdatingClause::Remove& remove = out.clause.emplace<UpdatingClause::Remove>();
      for (NodeRef c : children(clause)) {
        if (c.rule() != Rule::remove_item) continue;
        if (!build_remove_item(c, remove.items.emplace_back())) return false;
      }
      return true;
    }
    case Rule::foreach_clause:
      return build_foreach(clause, depth, out);
    case Rule::delete_clause: {
      UpdatingClause::Delete& del = out.clause.emplace<UpdatingClause::Delete>();
      del.detach = starts_with_keyword(text_, clause.start(), "DETACH");
      for (NodeRef c : children(clause)) {
        if (c.rule() != Rule::expression) continue;
        if (!build_expression(c, depth, del.exprs.emplace_back(Expr::Null{}))) return false;
      }
      return true;
    }
    default:
      return failed(fail(with_rule("Unknown updating clause: ", clause)));
  }
}

bool TreeBuilder::build_set_clause(NodeRef node, int depth, std::vector<SetItem>& items) {
  for (NodeRef item : children(node)) {
    if (item.rule() != Rule::set_item) continue;
    NodeRef first = item.first_child();
    NodeRef second = first.valid() ? first.next_sibling(item) : NodeRef();
    // The "+=" form: a variable, then "+=" where the expression begins.
    if (first.valid() && second.valid() && first.rule() == Rule::variable &&
        second.rule() != Rule::node_labels &&
        text_.substr(skip_ignorable(text_, first.end()), 2) == "+=") {
      SetItem& set = items.emplace_back(
          SetItem{SetItem::AddAssign{name_of(first), Expr::Null{}, span_of(first)}});
      Expr& value = std::get<SetItem::AddAssign>(set.item).value;
      if (!build_expression(second, depth, value)) return false;
      continue;
    }
    if (!second.valid()) return failed(fail("Invalid SET item"));
    if (first.rule() == Rule::property_expression) {
      SetItem& set = items.emplace_back(SetItem{SetItem::Property{{}, Expr::Null{}}});
      SetItem::Property& property = std::get<SetItem::Property>(set.item);
      if (!build_property_expression(first, property.target)) return false;
      if (!build_expression(second, depth, property.value)) return false;
    } else if (first.rule() == Rule::variable) {
      if (second.rule() == Rule::node_labels) {
        SetItem::Labels labels{name_of(first), {}, span_of(first), {}};
        labels.labels = label_names(second, labels.label_spans);
        items.emplace_back(SetItem{std::move(labels)});
      } else {
        SetItem& set = items.emplace_back(
            SetItem{SetItem::Assign{name_of(first), Expr::Null{}, span_of(first)}});
        Expr& value = std::get<SetItem::Assign>(set.item).value;
        if (!build_expression(second, depth, value)) return false;
      }
    } else {
      return failed(fail("Unknown SET item"));
    }
  }
  return true;
}

bool TreeBuilder::build_remove_item(NodeRef node, RemoveItem& out) {
  NodeRef first = node.first_child();
  if (!first.valid()) return failed(fail("Empty remove_item"));
  if (first.rule() == Rule::property_expression) {
    return build_property_expression(first, out.item.emplace<RemoveItem::Property>().target);
  }
  if (first.rule() == Rule::variable) {
    RemoveItem::Labels& labels = out.item.emplace<RemoveItem::Labels>();
    labels.variable.assign(name_text(first));
    labels.variable_span = span_of(first);
    NodeRef second = first.next_sibling(node);
    if (second.valid() && second.rule() == Rule::node_labels) {
      labels.labels = label_names(second, labels.label_spans);
    }
    return true;
  }
  return failed(fail("Unknown REMOVE item"));
}

}  // namespace quorvane
