#include "validator/cypher_validator.h"

#include <algorithm>
#include <utility>

#include "parser/commands/removed_syntax.h"
#include "parser/commands/statement_boundary.h"
#include "parser/parse.h"
#include "validator/semantic/parameter_rules.h"
#include "validator/semantic/semantic_validator.h"

namespace quorvane {

namespace {

// The whole query without the whitespace around it: where a finding about
// no particular part of it points.
Span whole_text(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && space(text[begin])) ++begin;
  while (end > begin && space(text[end - 1])) --end;
  return Span{static_cast<uint32_t>(begin), static_cast<uint32_t>(end)};
}

// Turning a relationship around: `-[r]->` becomes `<-[r]-` and back, the
// text between the arrow's ends unchanged. Nothing when the span does not
// hold a directed arrow.
void add_reversing_edits(std::string_view text, Diagnostic& d) {
  const Span s = d.span;
  if (s.end <= s.begin + 1 || s.end > text.size()) return;
  if (text[s.begin] == '-' && text[s.end - 1] == '>') {
    d.edits.push_back(Edit{Span{s.begin, s.begin}, "<"});
    d.edits.push_back(Edit{Span{s.end - 1, s.end}, ""});
  } else if (text[s.begin] == '<' && text[s.end - 1] == '-') {
    d.edits.push_back(Edit{Span{s.begin, s.begin + 1}, ""});
    d.edits.push_back(Edit{Span{s.end, s.end}, ">"});
  }
}

// A syntax failure of the extended language that parse() explained: removed
// syntax becomes one removed-syntax finding per old form, with the edits
// that write its current form; a missing ';' gets the edit inserting it.
void explain_syntax_finding(std::string_view text, std::vector<Diagnostic>& diagnostics) {
  std::vector<RemovedSyntax> removed = find_removed_syntax(text);
  if (!removed.empty()) {
    diagnostics.clear();
    for (RemovedSyntax& old : removed) {
      Diagnostic& d = diagnostics.emplace_back();
      d.code = Code::RemovedSyntax;
      d.message = std::move(old.message);
      d.span = old.span;
      for (TextEdit& edit : old.edits) {
        d.edits.push_back(Edit{edit.span, std::move(edit.replacement)});
      }
    }
    return;
  }
  Diagnostic& d = diagnostics.front();
  if (d.message == kMissingSemicolon) {
    const auto place = static_cast<uint32_t>(semicolon_place(text, d.span.begin));
    d.edits.push_back(Edit{Span{place, place}, ";"});
  }
}

}  // namespace

ValidationResult CypherValidator::validate(std::string_view query,
                                           const std::vector<std::string>* known_parameters) const {
  ValidationResult result;
  Result<CypherQuery> tree = parse(query, language_);
  if (!tree.ok()) {
    // A grammar or tree-building failure is reported by its bare text; the
    // "Parse error: " prefix belongs to exceptions, not to results.
    const CypherError& error = tree.error();
    std::string message = error.kind == CypherError::Kind::Parse ? error.message : error.display();
    Diagnostic& d = result.diagnostics.emplace_back();
    d.message = error.summary.empty() ? message : error.summary;
    d.span = error.position ? token_span_at(query, *error.position) : whole_text(query);
    if (language_ == Language::Extended) explain_syntax_finding(query, result.diagnostics);
    locate(query, result.diagnostics);
    result.is_valid = false;
    result.errors.push_back(message);
    result.syntax_errors.push_back(std::move(message));
    return result;
  }
  SemanticValidator validator(schema_, language_, &index_);
  validator.validate_query(tree.value());
  result.diagnostics = validator.take_findings();
  if (known_parameters) {
    Findings parameters;
    check_parameters(tree.value(), *known_parameters, parameters);
    for (Diagnostic& d : parameters.take()) result.diagnostics.push_back(std::move(d));
  }
  for (Diagnostic& d : result.diagnostics) {
    if (d.span.empty()) d.span = whole_text(query);
    if (d.code == Code::WrongDirection) add_reversing_edits(query, d);
  }
  locate(query, result.diagnostics);
  // Errors first, in the order they were found, then warnings.
  std::stable_partition(result.diagnostics.begin(), result.diagnostics.end(),
                        [](const Diagnostic& d) { return d.severity == Severity::Error; });
  for (const Diagnostic& d : result.diagnostics) {
    (d.severity == Severity::Error ? result.semantic_errors : result.warnings).push_back(d.message);
  }
  result.errors = result.semantic_errors;
  result.is_valid = result.errors.empty();
  return result;
}

namespace {

bool has_safe_fix(const Diagnostic& d) {
  if (d.severity != Severity::Error || d.edits.empty()) return false;
  switch (d.code) {
    case Code::UnknownLabel:
    case Code::UnknownRelationshipType:
    case Code::UnknownProperty:
    case Code::UnknownFunction:
    case Code::WrongDirection:
    case Code::RemovedSyntax:
      return true;
    default:
      return false;
  }
}

// The findings' edits applied to `text`, skipping any finding whose edits
// overlap one already taken; records the findings applied.
std::string apply_edits(std::string_view text, const std::vector<Diagnostic>& findings,
                        std::vector<Diagnostic>& applied) {
  std::vector<const Edit*> edits;
  for (const Diagnostic& d : findings) {
    if (!has_safe_fix(d)) continue;
    const bool overlaps = std::any_of(d.edits.begin(), d.edits.end(), [&](const Edit& e) {
      return std::any_of(edits.begin(), edits.end(),
                         [&](const Edit* taken) {
                           return e.span.begin < taken->span.end && taken->span.begin < e.span.end;
                         }) ||
             std::any_of(edits.begin(), edits.end(), [&](const Edit* taken) {
               return e.span.begin == taken->span.begin;  // two insertions at one place
             });
    });
    if (overlaps) continue;
    for (const Edit& e : d.edits) edits.push_back(&e);
    applied.push_back(d);
  }
  std::sort(edits.begin(), edits.end(),
            [](const Edit* a, const Edit* b) { return a->span.begin < b->span.begin; });
  std::string out;
  out.reserve(text.size() + 16);
  size_t at = 0;
  for (const Edit* e : edits) {
    out.append(text.substr(at, e->span.begin - at));
    out += e->replacement;
    at = e->span.end;
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace

// A fix may uncover a finding the first one hid (the keys of a label are
// checked only once the label is known), so fixing goes on for a few rounds
// while no round adds errors. The applied findings are those of the rounds
// kept, each located in the text of its own round.
FixOutcome CypherValidator::fix(std::string_view query) const {
  constexpr int kMaxRounds = 4;
  FixOutcome outcome;
  outcome.query.assign(query);
  outcome.result = validate(query);
  const size_t errors_at_start = outcome.result.errors.size();
  for (int round = 0; round < kMaxRounds; ++round) {
    std::vector<Diagnostic> applied;
    std::string fixed = apply_edits(outcome.query, outcome.result.diagnostics, applied);
    if (applied.empty()) break;
    ValidationResult after = validate(fixed);
    if (after.errors.size() > outcome.result.errors.size()) break;
    outcome.query = std::move(fixed);
    outcome.result = std::move(after);
    for (Diagnostic& d : applied) outcome.applied.push_back(std::move(d));
  }
  if (outcome.result.errors.size() >= errors_at_start && !outcome.applied.empty()) {
    // Nothing got better: the text stays as it was.
    outcome.applied.clear();
    outcome.query.assign(query);
    outcome.result = validate(query);
  }
  return outcome;
}

}  // namespace quorvane
