#include "validator/semantic/query_shape_rules.h"

#include <optional>
#include <string_view>
#include <variant>

#include "validator/semantic/expression_text.h"

namespace quorvane {

namespace {

struct Ending {
  const ReturnClause* returned = nullptr;
  // The clause a query without RETURN ends with, when that is not a proper
  // end (an update, FOREACH, a procedure call or a CALL { } that returns
  // nothing); empty otherwise.
  std::string_view improper;
  // The last clause, whatever it is, and where it is written.
  std::string_view last;
  Span span;
};

const ReturnClause* final_return(const SingleQuery& query) {
  if (const auto* single = std::get_if<SinglePartQuery>(&query)) {
    return single->return_clause ? &*single->return_clause : nullptr;
  }
  const auto& multi = std::get<MultiPartQuery>(query);
  return multi.return_clause ? &*multi.return_clause : nullptr;
}

std::string_view updating_name(const UpdatingClause& clause) {
  static constexpr std::string_view kNames[] = {"CREATE", "MERGE",  "SET",
                                                "REMOVE", "DELETE", "FOREACH"};
  return kNames[clause.clause.index()];
}

// The name of a reading clause, and whether a query may end with it.
std::pair<std::string_view, bool> reading_end(const ReadingClause& clause) {
  if (const auto* match = std::get_if<ReadingClause::Match>(&clause.clause)) {
    return {match->optional ? "OPTIONAL MATCH" : "MATCH", false};
  }
  if (std::holds_alternative<ReadingClause::Unwind>(clause.clause)) return {"UNWIND", false};
  if (std::holds_alternative<CallClause>(clause.clause)) return {"CALL", true};
  if (const auto* call = std::get_if<ReadingClause::Subquery>(&clause.clause)) {
    return {"CALL { }", final_return(call->query->first()) == nullptr};
  }
  return {"LOAD CSV", false};
}

Ending ending(const SingleQuery& query) {
  Ending end;
  end.returned = final_return(query);
  if (end.returned) {
    end.last = "RETURN";
    end.span = end.returned->span;
    return end;
  }
  const TreeList<ReadingClause>* reading = nullptr;
  const TreeList<UpdatingClause>* updating = nullptr;
  if (const auto* single = std::get_if<SinglePartQuery>(&query)) {
    reading = &single->reading_clauses;
    updating = &single->updating_clauses;
  } else {
    const auto& multi = std::get<MultiPartQuery>(query);
    reading = &multi.reading_clauses;
    updating = &multi.updating_clauses;
    if (reading->empty() && updating->empty()) {
      end.last = end.improper = "WITH";
      end.span = multi.parts.back().with_clause.span;
      return end;
    }
  }
  if (!updating->empty()) {
    end.last = updating_name(updating->back());
    end.span = updating->back().span;
  } else if (!reading->empty()) {
    const auto [name, proper] = reading_end(reading->back());
    end.last = name;
    end.span = reading->back().span;
    if (!proper) end.improper = name;
  }
  return end;
}

// The columns of a branch, or nothing when they are not written out
// (RETURN *, no RETURN).
std::optional<std::vector<std::string>> columns(const SingleQuery& query) {
  const ReturnClause* returned = final_return(query);
  if (returned == nullptr || returned->items.items.empty()) return std::nullopt;
  std::vector<std::string> out;
  for (const ReturnItem& item : returned->items.items) out.push_back(column_name(item));
  return out;
}

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
  return out;
}

constexpr std::string_view kProperEnds =
    "; end it with RETURN, an updating clause, FOREACH or a procedure call";

void check_branch(const SingleQuery& query, QueryForm form, Findings& findings) {
  const Ending end = ending(query);
  switch (form) {
    case QueryForm::Query:
      if (!end.improper.empty()) {
        findings.error(
            Code::InvalidQueryEnd, end.span,
            "A query cannot end with " + std::string(end.improper) + std::string(kProperEnds));
      }
      break;
    case QueryForm::CallBody:
      if (!end.improper.empty()) {
        findings.error(Code::InvalidQueryEnd, end.span,
                       "A CALL { } subquery cannot end with " + std::string(end.improper) +
                           std::string(kProperEnds));
      }
      if (end.returned) {
        for (const ReturnItem& item : end.returned->items.items) {
          if (item.alias || item.expr.as<Expr::Variable>()) continue;
          const std::string text = expression_text(item.expr);
          const auto* property = item.expr.as<Expr::Property>();
          findings.error(Code::MissingAlias, item.expr.span,
                         "Column " + text + " returned by CALL { } needs an alias: " +
                             (property ? "write " + text + " AS " + name_text(property->key)
                                       : "add AS and a name after it"));
        }
      }
      break;
    case QueryForm::ExistsOrCount:
      break;
    case QueryForm::Collect:
      if (end.returned == nullptr) {
        findings.error(
            Code::InvalidQueryEnd, end.span,
            "COLLECT { } must end with a RETURN of exactly one column, but it ends with " +
                std::string(end.last));
      } else if (end.returned->items.items.size() > 1) {
        const std::optional<std::vector<std::string>> names = columns(query);
        findings.error(Code::CollectColumns, end.span,
                       "COLLECT { } must return exactly one column, but it returns " +
                           std::to_string(names->size()) + ": " + joined(*names));
      }
      break;
  }
}

}  // namespace

void check_query_shape(const RegularQuery& query, QueryForm form, Findings& findings, Span where) {
  check_branch(query.first(), form, findings);
  bool with_all = false;
  bool without_all = false;
  for (const UnionPart& branch : query.unions()) {
    check_branch(branch.query, form, findings);
    (branch.all ? with_all : without_all) = true;
  }
  if (with_all && without_all) {
    findings.error(Code::MixedUnion, where,
                   "UNION and UNION ALL cannot be mixed in one query; use one of them throughout");
  }
  if (query.unions().empty()) return;
  const std::optional<std::vector<std::string>> first = columns(query.first());
  if (!first) return;
  for (size_t i = 0; i < query.unions().size(); ++i) {
    const std::optional<std::vector<std::string>> other = columns(query.unions()[i].query);
    if (other && *other != *first) {
      findings.error(
          Code::UnionColumns, final_return(query.unions()[i].query)->span,
          "Every branch of a UNION must return the same columns in the same order, but the first "
          "returns (" +
              joined(*first) + ") and branch " + std::to_string(i + 2) + " returns (" +
              joined(*other) + ")");
    }
  }
}

}  // namespace quorvane
