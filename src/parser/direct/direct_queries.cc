// Queries and clauses.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "parser/direct/direct_reader.h"

namespace quorvane {

// Clauses come in the order (reading* updating* WITH)* reading* updating*
// RETURN?, and at least one is there; the query is a multi-part one when it
// has a WITH.
bool DirectReader::read_single_query(SingleQuery& out) {
  TreeList<ReadingClause> reading;
  TreeList<UpdatingClause> updating;
  TreeList<QueryPart> parts;
  bool any = false;
  // Moves what was read into `out`; returns where its RETURN goes.
  auto finish = [&]() -> std::optional<ReturnClause>& {
    if (parts.empty()) {
      SinglePartQuery& query = out.emplace<0>();
      query.reading_clauses = std::move(reading);
      query.updating_clauses = std::move(updating);
      return query.return_clause;
    }
    MultiPartQuery& query = out.emplace<1>();
    query.parts = std::move(parts);
    query.reading_clauses = std::move(reading);
    query.updating_clauses = std::move(updating);
    return query.return_clause;
  };
  for (;;) {
    // Inside a subquery the count goes on: the whole subquery sits in the
    // clause around it.
    if (subquery_depth_ == 0) clause_nodes_ = 0;
    const size_t start = pos_;
    // Reading clauses may not follow updating ones within a part.
    if (updating.empty()) {
      const size_t before = reading.size();
      if (!read_reading_clause(reading)) return false;
      if (reading.size() > before) {
        reading.back().span = span_from(start);
        any = true;
        continue;
      }
    }
    const size_t before = updating.size();
    if (!read_updating_clause(updating)) return false;
    if (updating.size() > before) {
      any = true;
      continue;
    }
    if (keyword("WITH")) {
      QueryPart& part = add(parts);
      part.reading_clauses = std::move(reading);
      part.updating_clauses = std::move(updating);
      reading.clear();
      updating.clear();
      if (!read_with(part.with_clause)) return false;
      part.with_clause.span = span_from(start);
      any = true;
      continue;
    }
    if (keyword("RETURN")) {
      ReturnClause& clause = finish().emplace();
      if (!read_return(clause)) return false;
      clause.span = span_from(start);
      return true;
    }
    break;
  }
  if (!any) return false;
  finish();
  return true;
}

// MATCH, UNWIND, CALL and (extended language) LOAD CSV. A clause read is
// added to `out`; `out` is left as it was when none starts here.
bool DirectReader::read_reading_clause(TreeList<ReadingClause>& out) {
  const bool optional = keyword("OPTIONAL");
  // OPTIONAL CALL, a subquery or a procedure (extended language).
  if (optional && extended_ && keyword("CALL")) return read_call_clause(out, true);
  if (optional || keyword("MATCH")) {
    if (optional && !keyword("MATCH")) return false;
    return read_match(add(out, ReadingClause{ReadingClause::Match{}}), optional);
  }
  if (keyword("CALL")) return read_call_clause(out, false);
  if (keyword("UNWIND")) {
    return read_unwind(add(out, ReadingClause{ReadingClause::Match{}}));
  }
  if (extended_ && keyword("LOAD")) {
    return read_load_csv(add(out, ReadingClause{ReadingClause::Match{}}));
  }
  return true;
}

// After `[OPTIONAL] CALL`: a subquery where a brace or a scope follows
// (extended language), else a procedure call.
bool DirectReader::read_call_clause(TreeList<ReadingClause>& out, bool optional) {
  ReadingClause& clause = add(out, ReadingClause{ReadingClause::Match{}});
  if (extended_ && (peek() == '{' || peek() == '(')) return read_call_subquery(clause, optional);
  return read_call(clause.clause.emplace<CallClause>());
}

// CREATE, MERGE, SET, REMOVE, [DETACH] DELETE and (extended language)
// NODETACH DELETE and FOREACH, with its span. A clause read is added to
// `out`; `out` is left as it was when none starts here.
bool DirectReader::read_updating_clause(TreeList<UpdatingClause>& out) {
  const size_t start = pos_;
  bool ok = true;
  if (extended_ && keyword("FOREACH")) {
    ok = read_foreach(add(out));
  } else if (keyword("CREATE")) {
    ok = read_create(add(out));
  } else if (keyword("MERGE")) {
    ok = read_merge(add(out));
  } else if (keyword("SET")) {
    ok = read_set_items(add(out).clause.emplace<UpdatingClause::Set>().items);
  } else if (keyword("REMOVE")) {
    ok = read_remove(add(out));
  } else {
    const bool detach = keyword("DETACH");
    const bool said = detach || (extended_ && keyword("NODETACH"));
    if (!said && !keyword("DELETE")) return true;
    if (said && !keyword("DELETE")) return false;
    ok = read_delete(add(out), detach);
  }
  if (ok) out.back().span = span_from(start);
  return ok;
}

bool DirectReader::read_match(ReadingClause& out, bool optional) {
  ReadingClause::Match& match = std::get<ReadingClause::Match>(out.clause);
  match.optional = optional;
  if (!read_pattern(match.pattern)) return false;
  if (keyword("WHERE")) return read_expression(match.where_clause.emplace(Expr::Null{}));
  return true;
}

bool DirectReader::read_unwind(ReadingClause& out) {
  ReadingClause::Unwind& unwind =
      out.clause.emplace<ReadingClause::Unwind>(ReadingClause::Unwind{Expr::Null{}, TreeString()});
  return read_expression(unwind.expr) && keyword("AS") &&
         read_name(NameKind::kVariable, unwind.variable, unwind.variable_span);
}

// `CALL ns.name(args) [YIELD field AS name, ...]`; the extended language
// also reads a name without parentheses, `YIELD *` and a WHERE after the
// yielded items.
bool DirectReader::read_call(CallClause& out) {
  const size_t start = pos_;
  if (!read_procedure_name()) return false;
  out.procedure = TreeString::view(text_.substr(start, end_ - start));
  if (accept('(')) {
    if (!accept(')') && !read_expression_list(out.args, ')')) return false;
  } else if (extended_) {
    out.implicit_arguments = true;
  } else {
    return false;
  }
  if (!keyword("YIELD")) return true;
  if (extended_ && accept('*')) {
    out.yield_all = true;
    return true;
  }
  do {
    // `field AS name` or `name`; a field may not be a reserved word.
    const bool reserved_field =
        extended_ ? extended_reserved(keyword_index(text_, pos_)) : keyword_index(text_, pos_) >= 0;
    std::string_view first;
    const size_t item_start = pos_;
    Span first_span;
    if (!read_name(NameKind::kVariable, first, first_span)) return false;
    YieldItem& item = add(out.yield_items);
    if (keyword("AS")) {
      if (reserved_field) return false;
      item.field.emplace(TreeString::view(first));
      if (!read_name(NameKind::kVariable, item.variable, item.variable_span)) return false;
    } else {
      item.variable = TreeString::view(first);
      item.variable_span = first_span;
    }
    item.span = span_from(item_start);
  } while (accept(','));
  if (extended_ && keyword("WHERE"))
    return read_expression(out.where_clause.emplace_in(arena_, Expr::Null{}));
  return true;
}

// Names joined by dots with nothing between them, each plain or in
// backticks. The first may not be a reserved word; the subset reserves the
// words after a dot too, the extended language none there.
bool DirectReader::read_procedure_name() {
  for (bool first = true;; first = false) {
    if (peek() == '`') {
      const size_t close = text_.find('`', pos_ + 1);
      if (close == std::string_view::npos) return false;
      pos_ = close + 1;
    } else {
      const size_t length = plain_name_length();
      if (length == 0) return false;
      const int k = keyword_index(text_, pos_);
      if (extended_ ? first && extended_reserved(k) : k >= 0) return false;
      pos_ += length;
    }
    if (peek() != '.') break;
    ++pos_;
  }
  skip();
  return true;
}

bool DirectReader::read_create(UpdatingClause& out) {
  return read_pattern(out.clause.emplace<UpdatingClause::Create>().pattern);
}

bool DirectReader::read_merge(UpdatingClause& out) {
  UpdatingClause::Merge& merge =
      out.clause.emplace<UpdatingClause::Merge>(UpdatingClause::Merge{box<PatternPart>(), {}, {}});
  if (!read_pattern_part(*merge.pattern_part)) return false;
  while (keyword("ON")) {
    const bool on_match = keyword("MATCH");
    if (!on_match && !keyword("CREATE")) return false;
    if (!keyword("SET")) return false;
    if (!read_set_items(add((on_match ? merge.on_match : merge.on_create)))) {
      return false;
    }
  }
  return true;
}

bool DirectReader::read_set_items(TreeList<SetItem>& items) {
  Siblings siblings(*this);
  do {
    std::string_view variable;
    Span variable_span;
    if (!read_name(NameKind::kVariable, variable, variable_span)) return false;
    const unsigned char c = peek();
    if (c == '.') {
      SetItem& item = add(items, SetItem{SetItem::Property{{}, Expr::Null{}}});
      SetItem::Property& property = std::get<SetItem::Property>(item.item);
      property.target.variable = TreeString::view(variable);
      property.target.variable_span = variable_span;
      if (!read_property_keys(property.target) || !accept('=') ||
          !read_expression(property.value)) {
        return false;
      }
    } else if (c == '=') {
      accept('=');
      SetItem& item = add(
          items, SetItem{SetItem::Assign{TreeString::view(variable), Expr::Null{}, variable_span}});
      if (!read_expression(std::get<SetItem::Assign>(item.item).value)) return false;
    } else if (c == '+' && peek_at(1) == '=') {
      pos_ += 2;
      skip();
      SetItem& item =
          add(items,
              SetItem{SetItem::AddAssign{TreeString::view(variable), Expr::Null{}, variable_span}});
      if (!read_expression(std::get<SetItem::AddAssign>(item.item).value)) return false;
    } else if (c == ':' || (extended_ && word_here("IS"))) {
      SetItem& item = add(
          items, SetItem{SetItem::Labels{TreeString::view(variable), {}, variable_span, {}, {}}});
      SetItem::Labels& labels = std::get<SetItem::Labels>(item.item);
      if (!read_item_labels(labels.labels, labels.label_spans, labels.dynamic)) return false;
    } else {
      return false;
    }
    siblings.next_operand();
  } while (accept(','));
  return true;
}

bool DirectReader::read_remove(UpdatingClause& out) {
  TreeList<RemoveItem>& items = out.clause.emplace<UpdatingClause::Remove>().items;
  do {
    std::string_view variable;
    Span variable_span;
    if (!read_name(NameKind::kVariable, variable, variable_span)) return false;
    RemoveItem& item = add(items);
    if (peek() == ':' || (extended_ && word_here("IS"))) {
      RemoveItem::Labels& labels = item.item.emplace<RemoveItem::Labels>();
      labels.variable = TreeString::view(variable);
      labels.variable_span = variable_span;
      if (!read_item_labels(labels.labels, labels.label_spans, labels.dynamic)) return false;
    } else if (peek() == '.') {
      PropertyExpr& target = item.item.emplace<RemoveItem::Property>().target;
      target.variable = TreeString::view(variable);
      target.variable_span = variable_span;
      if (!read_property_keys(target)) return false;
    } else {
      return false;
    }
  } while (accept(','));
  return true;
}

bool DirectReader::read_delete(UpdatingClause& out, bool detach) {
  UpdatingClause::Delete& del = out.clause.emplace<UpdatingClause::Delete>();
  del.detach = detach;
  Siblings siblings(*this);
  do {
    if (!read_expression(add(del.exprs, Expr::Null{}))) return false;
    siblings.next_operand();
  } while (accept(','));
  return true;
}

bool DirectReader::read_with(WithClause& out) {
  out.distinct = keyword("DISTINCT");
  if (!read_return_body(out.items, out.order_by, out.skip, out.limit)) return false;
  if (keyword("WHERE")) return read_expression(out.where_clause.emplace_in(arena_, Expr::Null{}));
  return true;
}

bool DirectReader::read_return(ReturnClause& out) {
  out.distinct = keyword("DISTINCT");
  out.items.all = false;
  return read_return_body(out.items.items, out.order_by, out.skip, out.limit);
}

bool DirectReader::read_return_body(TreeList<ReturnItem>& items,
                                    Nullable<TreeList<SortItem>>& order, Nullable<Expr>& skip_expr,
                                    Nullable<Expr>& limit_expr) {
  Siblings siblings(*this);
  if (!accept('*')) {
    do {
      ReturnItem& item = add(items, ReturnItem{Expr::Null{}, std::nullopt});
      if (!read_expression(item.expr)) return false;
      siblings.next_operand();
      if (keyword("AS") && !read_name(NameKind::kVariable, item.alias.emplace(), item.alias_span)) {
        return false;
      }
    } while (accept(','));
  }
  if (keyword("ORDER")) {
    if (!keyword("BY")) return false;
    TreeList<SortItem>& sort = order.emplace_in(arena_);
    do {
      SortItem& item = add(sort, SortItem{Expr::Null{}, false});
      if (!read_expression(item.expr)) return false;
      siblings.next_operand();
      // The first that stands here, longest first, as the matcher tries
      // them; the subset reads them glued to the next word too.
      for (std::string_view word : {"ASCENDING", "ASC", "DESCENDING", "DESC"}) {
        const bool descending = peek() == 'D' || peek() == 'd';
        if (keyword(word)) {
          item.descending = descending;
          break;
        }
      }
    } while (accept(','));
  }
  // The extended language also writes SKIP as OFFSET.
  if ((keyword("SKIP") || (extended_ && keyword("OFFSET"))) &&
      !read_expression(skip_expr.emplace_in(arena_, Expr::Null{}))) {
    return false;
  }
  if (keyword("LIMIT") && !read_expression(limit_expr.emplace_in(arena_, Expr::Null{})))
    return false;
  return true;
}

// One or more `.key` lookups after a variable.
bool DirectReader::read_property_keys(PropertyExpr& target) {
  while (peek() == '.' && peek_at(1) != '.') {
    ++pos_;
    skip();
    std::string_view key;
    if (!read_name(NameKind::kAny, key, add(target.key_spans))) return false;
    add(target.keys, TreeString::view(key));
  }
  return !target.keys.empty();
}

}  // namespace quorvane
