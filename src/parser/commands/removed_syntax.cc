#include "parser/commands/removed_syntax.h"

#include <algorithm>
#include <optional>

#include "parser/commands/command_reader.h"
#include "parser/commands/commands.h"
#include "parser/keywords.h"
#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

// Keeps the edits only when the text they make parses: a rewrite that does
// not is no fix.
RemovedSyntax checked(std::string_view text, std::string message, Span span,
                      std::vector<TextEdit> edits) {
  if (!edits.empty() && !parses(apply_text_edits(text, edits), Language::Extended)) edits.clear();
  return RemovedSyntax{std::move(message), span, std::move(edits)};
}

std::string_view slice(std::string_view text, Span span) {
  return text.substr(span.begin, span.end - span.begin);
}

// `exists(n.p)` in an old constraint: its span and the `n.p` inside.
std::optional<std::pair<Span, Span>> exists_call(CommandReader& r, const SchemaTarget& target) {
  const size_t begin = r.pos();
  if (!r.keyword("EXISTS") || !r.accept('(')) return std::nullopt;
  const size_t inner = r.pos();
  SchemaTarget scratch = target;
  if (!read_property(r, scratch)) return std::nullopt;
  const size_t inner_end = r.last_end();
  if (!r.accept(')')) return std::nullopt;
  return std::make_pair(span_of(begin, r.last_end()), span_of(inner, inner_end));
}

// CREATE CONSTRAINT [name] [IF NOT EXISTS] ON pattern ASSERT ..., and the
// same after DROP.
std::optional<RemovedSyntax> old_constraint(std::string_view text) {
  CommandReader r(text);
  const size_t begin = r.pos();
  const bool create = r.keyword("CREATE");
  if (!create && !r.keyword("DROP")) return std::nullopt;
  if (!r.keyword("CONSTRAINT")) return std::nullopt;
  r.name({"ON", "IF"});
  r.keywords({"IF", "NOT", "EXISTS"});
  const size_t on = r.pos();
  if (!r.keyword("ON")) return std::nullopt;
  const Span on_span = span_of(on, r.last_end());
  SchemaTarget target;
  if (!read_schema_pattern(r, LabelCount::One, target)) return std::nullopt;
  const size_t assert_at = r.pos();
  if (!r.keyword("ASSERT")) return std::nullopt;
  const Span assert_span = span_of(assert_at, r.last_end());
  const size_t statement_end = text.find_last_not_of(" \t\r\n;") + 1;
  const Span whole = span_of(begin, std::max<size_t>(r.last_end(), statement_end));
  if (!create) {
    return RemovedSyntax{
        "DROP CONSTRAINT ON ... ASSERT was removed; drop a constraint by its "
        "name: DROP CONSTRAINT name (SHOW CONSTRAINTS lists the names)",
        whole,
        {}};
  }
  std::vector<TextEdit> edits = {{on_span, "FOR"}, {assert_span, "REQUIRE"}};
  std::string current = "CREATE CONSTRAINT FOR ... REQUIRE ...";
  if (auto call = exists_call(r, target)) {
    edits.push_back({call->first, std::string(slice(text, call->second)) + " IS NOT NULL"});
    current = "CREATE CONSTRAINT FOR ... REQUIRE " + std::string(slice(text, call->second)) +
              " IS NOT NULL";
  }
  RemovedSyntax found = checked(text, "", whole, std::move(edits));
  if (!found.edits.empty()) {
    // The rewrite parses: name it whole.
    const std::string rewritten = apply_text_edits(text, found.edits);
    const size_t last = rewritten.find_last_not_of(" \t\r\n;");
    current = rewritten.substr(begin, last + 1 - begin);
  }
  found.message = "CREATE CONSTRAINT ON ... ASSERT was removed; the current form is " + current;
  return found;
}

// CREATE INDEX [name] ON :L(a, b), DROP INDEX ON :L(a), CREATE BTREE INDEX.
std::optional<RemovedSyntax> old_index(std::string_view text) {
  CommandReader r(text);
  const size_t begin = r.pos();
  const bool create = r.keyword("CREATE");
  if (!create && !r.keyword("DROP")) return std::nullopt;
  const size_t btree = r.pos();
  if (create && r.keyword("BTREE")) {
    const Span span = span_of(btree, r.last_end());
    return checked(text, "BTREE indexes were removed; the current form is CREATE RANGE INDEX", span,
                   {{span, "RANGE"}});
  }
  if (!r.keyword("INDEX")) return std::nullopt;
  if (create) r.name({"ON", "IF", "FOR"});
  const size_t on = r.pos();
  if (!r.keyword("ON") || !r.accept(':')) return std::nullopt;
  std::optional<CommandName> label = r.name();
  if (!label || !r.accept('(')) return std::nullopt;
  std::vector<std::string> keys;
  do {
    std::optional<CommandName> key = r.name();
    if (!key) return std::nullopt;
    keys.push_back(std::string(slice(text, key->span)));
  } while (r.accept(','));
  if (!r.accept(')')) return std::nullopt;
  const Span old = span_of(on, r.last_end());
  if (!create) {
    return RemovedSyntax{
        "DROP INDEX ON :Label(property) was removed; drop an index by its name: "
        "DROP INDEX name (SHOW INDEXES lists the names)",
        span_of(begin, r.last_end()),
        {}};
  }
  std::string current = "FOR (n:" + std::string(slice(text, label->span)) + ") ON (";
  for (size_t i = 0; i < keys.size(); ++i) current += (i > 0 ? ", n." : "n.") + keys[i];
  current += ')';
  return checked(text,
                 "CREATE INDEX ON :Label(property) was removed; the current form is "
                 "CREATE INDEX " +
                     current,
                 old, {{old, current}});
}

// USING PERIODIC COMMIT [n] before LOAD CSV.
std::optional<RemovedSyntax> periodic_commit(std::string_view text) {
  CommandReader r(text);
  const size_t begin = r.pos();
  if (!r.keywords({"USING", "PERIODIC", "COMMIT"})) return std::nullopt;
  const std::optional<int64_t> rows = r.integer();
  const Span prefix = span_of(begin, r.last_end());
  const std::string of_rows = rows ? " OF " + std::to_string(*rows) + " ROWS" : "";
  std::string message =
      "USING PERIODIC COMMIT was removed; the current form is LOAD CSV ... CALL { ... } IN "
      "TRANSACTIONS" +
      of_rows;
  // Mechanical when the rest is LOAD CSV followed by updates only.
  std::string rest(text);
  std::fill(rest.begin(), rest.begin() + r.pos(), ' ');
  Result<CypherQuery> parsed = parse_unexplained(rest, Language::Extended);
  const auto* regular = parsed.ok() ? std::get_if<RegularQuery>(&parsed.value()) : nullptr;
  const auto* single = regular && regular->unions().empty()
                           ? std::get_if<SinglePartQuery>(&regular->first())
                           : nullptr;
  if (single == nullptr || single->reading_clauses.size() != 1 || single->return_clause ||
      single->updating_clauses.empty()) {
    return RemovedSyntax{std::move(message), prefix, {}};
  }
  const auto* load = std::get_if<ReadingClause::LoadCsv>(&single->reading_clauses[0].clause);
  if (load == nullptr) return RemovedSyntax{std::move(message), prefix, {}};
  const uint32_t load_end = single->reading_clauses[0].span.end;
  const uint32_t end = single->updating_clauses.back().span.end;
  return checked(text, std::move(message), prefix,
                 {{span_of(begin, r.pos()), ""},
                  {span_of(load_end, load_end), " CALL (" + load->variable + ") {"},
                  {span_of(end, end), " } IN TRANSACTIONS" + of_rows}});
}

// `{name}` where a value stands: not after a name (a map projection), unless
// that name is a keyword (`IN {list}`).
bool parameter_position(std::string_view text, size_t brace) {
  size_t i = brace;
  while (i > 0 && is_skippable_space(text[i - 1])) --i;
  if (i == 0 || !is_word_char(static_cast<unsigned char>(text[i - 1]))) {
    return i == 0 || text[i - 1] != '`';
  }
  size_t start = i;
  while (start > 0 && is_word_char(static_cast<unsigned char>(text[start - 1]))) --start;
  return keyword_index(text, start) >= 0;
}

// Old parameters `{name}`, each its own finding.
std::vector<RemovedSyntax> old_parameters(std::string_view text) {
  if (text.find('{') == std::string_view::npos) return {};
  std::vector<TextEdit> edits;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = quoted_end(text, i, text.size()) - 1;
      continue;
    }
    if (c != '{' || !parameter_position(text, i)) continue;
    size_t j = skip_ignorable(text, i + 1);
    const size_t name = j;
    while (j < text.size() && is_word_char(static_cast<unsigned char>(text[j]))) ++j;
    const size_t name_end = j;
    j = skip_ignorable(text, j);
    if (name_end == name || text[name] <= '9' || j >= text.size() || text[j] != '}') continue;
    std::string parameter = "$";
    parameter += text.substr(name, name_end - name);
    edits.push_back({span_of(i, j + 1), std::move(parameter)});
  }
  if (edits.empty() || !parses(apply_text_edits(text, edits), Language::Extended)) return {};
  std::vector<RemovedSyntax> out;
  for (TextEdit& edit : edits) {
    // The old form without what was written between the braces and the
    // name: a comment or a line break there would run the message over
    // several lines.
    std::string message = "the parameter syntax {";
    message += std::string_view(edit.replacement).substr(1);
    message += "} was removed; the current form is ";
    message += edit.replacement;
    const Span span = edit.span;
    out.push_back(RemovedSyntax{std::move(message), span, {std::move(edit)}});
  }
  return out;
}

}  // namespace

std::string apply_text_edits(std::string_view text, std::vector<TextEdit> edits) {
  std::stable_sort(edits.begin(), edits.end(), [](const TextEdit& a, const TextEdit& b) {
    return a.span.begin < b.span.begin;
  });
  std::string out;
  size_t at = 0;
  for (const TextEdit& e : edits) {
    if (e.span.begin < at || e.span.end > text.size()) continue;
    out.append(text.substr(at, e.span.begin - at));
    out += e.replacement;
    at = e.span.end;
  }
  out.append(text.substr(at));
  return out;
}

std::vector<RemovedSyntax> find_removed_syntax(std::string_view text) {
  // The removed commands start with CREATE, DROP or USING; most texts get
  // no further than their first word.
  const size_t first = skip_ignorable(text, 0);
  const std::string_view word = text.substr(first, name_length(text, first));
  if (same_word(word, "CREATE") || same_word(word, "DROP") || same_word(word, "USING")) {
    for (auto* detector : {old_constraint, old_index, periodic_commit}) {
      if (std::optional<RemovedSyntax> found = detector(text)) return {std::move(*found)};
    }
  }
  return old_parameters(text);
}

}  // namespace quorvane
