#include "validator/diagnostic.h"

#include <algorithm>
#include <array>

#include "parser/readable_syntax_error.h"

namespace quorvane {

namespace {

constexpr Severity E = Severity::Error;
constexpr Severity W = Severity::Warning;

// One row per code, in the order of the enum.
constexpr std::array<RuleInfo, 36> kRules = {{
    {Code::SyntaxError, "syntax-error", E, false, "The text is not a query the language reads.",
     "MATCH (p:Person RETURN p"},
    {Code::UnknownLabel, "unknown-label", E, true, "A node label the schema does not declare.",
     "MATCH (p:Persn) RETURN p"},
    {Code::UnknownRelationshipType, "unknown-relationship-type", E, true,
     "A relationship type the schema does not declare.",
     "MATCH (p:Person)-[:ACTED]->(m:Movie) RETURN m"},
    {Code::UnknownProperty, "unknown-property", E, true,
     "A property key that no label or type of the element declares (a warning where the label "
     "is only inferred).",
     "MATCH (p:Person) RETURN p.nme"},
    {Code::WrongEndpoints, "wrong-endpoints", E, true,
     "A relationship joins labels its type is not declared between.",
     "MATCH (m:Movie)-[:ACTED_IN]->(g:Genre) RETURN g"},
    {Code::WrongDirection, "wrong-direction", E, true,
     "A relationship is drawn against the direction its type is declared in.",
     "MATCH (m:Movie)-[:ACTED_IN]->(p:Person) RETURN p"},
    {Code::UnboundVariable, "unbound-variable", E, false,
     "A variable is used where nothing binds it.", "MATCH (p:Person) RETURN q"},
    {Code::VariableKind, "variable-kind", E, false,
     "A variable bound to one kind of element is used as another.", "MATCH (a)-[a]->(b) RETURN a"},
    {Code::UnknownFunction, "unknown-function", E, false, "A function no database provides.",
     "RETURN lenght('abc')"},
    {Code::WrongArgumentCount, "wrong-argument-count", E, false,
     "A built-in function is given too few or too many arguments.", "RETURN substring('abc')"},
    {Code::PathFunctionArgument, "path-function-argument", E, false,
     "A path function is given something that is never a path.",
     "MATCH (p:Person) RETURN length(p.name)"},
    {Code::MisplacedAggregate, "misplaced-aggregate", E, false,
     "An aggregating function where no aggregation happens (WHERE, patterns, updates).",
     "MATCH (p:Person) WHERE count(p) > 1 RETURN p"},
    {Code::NestedAggregate, "nested-aggregate", E, false, "An aggregating function inside another.",
     "MATCH (p:Person) RETURN sum(count(p))"},
    {Code::MixedAggregate, "mixed-aggregate", E, false,
     "An item mixes an aggregate with a value that is not a grouping key.",
     "MATCH (p:Person) RETURN p.name + count(p)"},
    {Code::OrderByAggregate, "order-by-aggregate", E, false,
     "ORDER BY aggregates something the aggregating projection does not return.",
     "MATCH (p:Person) RETURN p.name, count(p) AS n ORDER BY sum(p.born)"},
    {Code::OutOfScopeVariable, "out-of-scope-variable", E, false,
     "A variable a projection dropped is used after it.",
     "MATCH (p:Person) RETURN DISTINCT p.name ORDER BY p.born"},
    {Code::DuplicateColumn, "duplicate-column", E, false,
     "Two columns of one RETURN or WITH have the same name.",
     "MATCH (p:Person) RETURN p.name AS n, p.born AS n"},
    {Code::MissingAlias, "missing-alias", E, false,
     "An expression in WITH (or returned by CALL { }) needs a name.",
     "MATCH (p:Person) WITH p.name RETURN 1"},
    {Code::PatternAsValue, "pattern-as-value", E, false,
     "A pattern is used as a value rather than a condition.",
     "MATCH (p:Person) RETURN size((p)-->())"},
    {Code::PatternIntroducesVariable, "pattern-introduces-variable", E, false,
     "A pattern predicate names a variable that is not bound before it.",
     "MATCH (p:Person) WHERE (p)-->(m) RETURN p"},
    {Code::InvalidQueryEnd, "invalid-query-end", E, false,
     "A query or subquery ends with a clause that cannot end it.", "MATCH (p:Person)"},
    {Code::CollectColumns, "collect-columns", E, false,
     "COLLECT { } returns other than exactly one column.",
     "RETURN COLLECT { MATCH (p:Person) RETURN p.name, p.born }"},
    {Code::MixedUnion, "mixed-union", E, false, "UNION and UNION ALL are mixed in one query.",
     "RETURN 1 AS x UNION RETURN 2 AS x UNION ALL RETURN 3 AS x"},
    {Code::UnionColumns, "union-columns", E, false,
     "The branches of a UNION return different columns.", "RETURN 1 AS x UNION RETURN 2 AS y"},
    {Code::InvalidRowCount, "invalid-row-count", E, false,
     "SKIP or LIMIT is a negative or non-integer literal.", "MATCH (p:Person) RETURN p LIMIT -1"},
    {Code::IntegerTooLarge, "integer-too-large", E, false,
     "An integer literal does not fit in 64 bits.", "RETURN 9223372036854775808"},
    {Code::RemovedSyntax, "removed-syntax", E, false,
     "Syntax Cypher no longer reads; the message names the current form and, where the rewrite "
     "is mechanical, the edits make it.",
     "CREATE CONSTRAINT ON (p:Person) ASSERT p.name IS UNIQUE"},
    {Code::TypeMismatch, "type-mismatch", E, false,
     "An operator, function or clause is given a value of a type it cannot take.",
     "MATCH (p:Person) RETURN p.name STARTS WITH 1"},
    {Code::VariableAlreadyBound, "variable-already-bound", E, false,
     "A bound node is created or merged again with labels or properties, a bound relationship "
     "again, one relationship variable stands twice in a pattern, or `UNWIND`, `LOAD CSV`, "
     "`YIELD`, a `CALL { }`'s columns or `REPORT STATUS` declare a name already bound.",
     "MATCH (p:Person) CREATE (p:Person {name: 'Ann'})"},
    {Code::InvalidUpdatePattern, "invalid-update-pattern", E, false,
     "A relationship CREATE or MERGE makes lacks exactly one type or a direction, or has a "
     "variable length.",
     "MATCH (p:Person), (m:Movie) CREATE (p)-[:ACTED_IN|DIRECTED]->(m)"},
    {Code::NonConstantExpression, "non-constant-expression", E, false,
     "SKIP or LIMIT reads a variable; they take literals, parameters and expressions of them.",
     "MATCH (p:Person) RETURN p LIMIT p.born"},
    {Code::NondeterministicAggregate, "nondeterministic-aggregate", E, false,
     "An aggregating function is given a random value.", "MATCH (p:Person) RETURN count(rand())"},
    {Code::ParameterPropertyMap, "parameter-property-map", E, false,
     "MATCH or MERGE is given a parameter as a pattern's property map.",
     "MATCH (p:Person $props) RETURN p"},
    {Code::FloatTooLarge, "float-too-large", E, false,
     "A float literal is too large for a 64-bit float.", "RETURN 1e309"},
    {Code::PropertyTypeMismatch, "property-type-mismatch", W, true,
     "A property whose type the schema declares is compared with, or passed as, a value of "
     "another type.",
     "MATCH (p:Person) WHERE p.born = '1964' RETURN p"},
    {Code::UnknownParameter, "unknown-parameter", W, false,
     "A query reads a parameter that is not among the parameters given to the check (or set "
     "by the script's :param commands).",
     "MATCH (p:Person {name: $nme}) RETURN p"},
}};

constexpr bool in_enum_order() {
  for (size_t i = 0; i < kRules.size(); ++i) {
    if (static_cast<size_t>(kRules[i].code) != i) return false;
  }
  return true;
}
static_assert(in_enum_order());
static_assert(static_cast<size_t>(Code::UnknownParameter) + 1 == kRules.size());

}  // namespace

std::span<const RuleInfo> rule_table() {
  return kRules;
}

const RuleInfo& rule_info(Code code) {
  return kRules[static_cast<size_t>(code)];
}

std::string_view severity_name(Severity severity) {
  return severity == Severity::Error ? "error" : "warning";
}

namespace {

// Moves `at` over text[from, to): a character per byte that does not
// continue a UTF-8 sequence, a new line at each line feed. Most stretches are
// plain ASCII on one line, told in one pass the compiler can vectorise.
void advance(Place& at, std::string_view text, size_t from, size_t to) {
  unsigned plain = 1;
  for (size_t i = from; i < to; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    plain &= static_cast<unsigned>(byte < 0x80) & static_cast<unsigned>(byte != '\n');
  }
  if (plain) {
    at.index += static_cast<uint32_t>(to - from);
    at.column += static_cast<uint32_t>(to - from);
    return;
  }
  for (size_t i = from; i < to; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // inside a character
    ++at.index;
    if (byte == '\n') {
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
}

}  // namespace

void locate(std::string_view text, std::vector<Diagnostic>& diagnostics) {
  // The offsets to place, each once, in order; few enough to sit on the
  // stack for the usual handful of findings.
  constexpr size_t kInline = 32;
  std::array<uint32_t, kInline> inline_offsets;
  std::vector<uint32_t> spilled;
  size_t count = 0;
  for (const Diagnostic& d : diagnostics) count += 2 + 2 * d.edits.size();
  if (count == 0) return;
  if (count > kInline) spilled.resize(count);
  uint32_t* const offsets = count > kInline ? spilled.data() : inline_offsets.data();
  size_t n = 0;
  for (const Diagnostic& d : diagnostics) {
    offsets[n++] = d.span.begin;
    offsets[n++] = d.span.end;
    for (const Edit& e : d.edits) {
      offsets[n++] = e.span.begin;
      offsets[n++] = e.span.end;
    }
  }
  std::sort(offsets, offsets + n);
  n = static_cast<size_t>(std::unique(offsets, offsets + n) - offsets);
  // places[i] is where offsets[i] lies; an offset past the end lies at the end.
  std::array<Place, kInline> inline_places;
  std::vector<Place> spilled_places;
  if (n > kInline) spilled_places.resize(n);
  Place* const places = n > kInline ? spilled_places.data() : inline_places.data();
  Place at;
  size_t done = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t to = std::min<size_t>(offsets[i], text.size());
    advance(at, text, done, to);
    done = to;
    places[i] = at;
  }
  const auto place = [&](uint32_t offset) {
    return places[std::lower_bound(offsets, offsets + n, offset) - offsets];
  };
  for (Diagnostic& d : diagnostics) {
    d.from = place(d.span.begin);
    d.to = place(d.span.end);
    for (Edit& e : d.edits) {
      e.from = place(e.span.begin).index;
      e.to = place(e.span.end).index;
    }
  }
}

Span token_span_at(std::string_view text, size_t pos) {
  pos = std::min(pos, text.size());
  return Span{static_cast<uint32_t>(pos), static_cast<uint32_t>(token_end(text, pos))};
}

}  // namespace quorvane
