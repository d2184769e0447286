#include "parser/commands/statement_boundary.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "parser/lexical.h"
#include "parser/parse.h"

namespace quorvane {

namespace {

// The words a query or command starts with.
constexpr std::array<std::string_view, 20> kStatementWords = {
    "MATCH",  "OPTIONAL", "CREATE",  "MERGE", "UNWIND", "CALL",     "WITH",
    "RETURN", "LOAD",     "FOREACH", "USE",   "SHOW",   "DROP",     "ALTER",
    "GRANT",  "DENY",     "REVOKE",  "START", "STOP",   "TERMINATE"};

bool statement_word_at(std::string_view text, size_t pos) {
  for (std::string_view word : kStatementWords) {
    if (!starts_with_keyword(text, pos, word)) continue;
    const size_t end = pos + word.size();
    if (end >= text.size() || !is_word_char(static_cast<unsigned char>(text[end]))) return true;
  }
  return false;
}

// Whether the text from `start` on is one statement, or several each
// missing the ';' before it. Statements past the first few are taken on
// trust, which keeps a long run of them from costing a parse each at every
// level.
bool statements_from(std::string_view text, size_t start, int depth) {
  if (depth > 4) return true;
  // Blanked rather than cut, so that positions stay those of `text`.
  std::string rest(text);
  std::fill(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(start), ' ');
  Result<CypherQuery> parsed = parse_unexplained(rest, Language::Extended);
  if (parsed.ok()) return true;
  const std::optional<size_t> failure = parsed.error().position;
  return failure && *failure > start && statement_word_at(text, *failure) &&
         statements_from(text, *failure, depth + 1);
}

// Whether every bracket of `text` before `end` is closed, and none closed
// that was not open, outside strings, names in backticks and comments: no
// text that parses has it otherwise, so this settles most failures before a
// parse does.
bool brackets_pair_up(std::string_view text, size_t end) {
  int round = 0, square = 0, curly = 0;
  for (size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = quoted_end(text, i, end) - 1;
    } else if (c == '/' && i + 1 < text.size() && (text[i + 1] == '/' || text[i + 1] == '*')) {
      const size_t after = skip_ignorable(text, i);
      if (after == i) continue;  // an unclosed block comment is no comment
      i = after - 1;
    } else if (c == '(' || c == '[' || c == '{') {
      ++(c == '(' ? round : c == '[' ? square : curly);
    } else if (c == ')' || c == ']' || c == '}') {
      if (--(c == ')' ? round : c == ']' ? square : curly) < 0) return false;
    }
  }
  return round == 0 && square == 0 && curly == 0;
}

}  // namespace

std::optional<size_t> second_statement_start(std::string_view text, size_t failure) {
  if (failure == 0 || failure >= text.size() || !statement_word_at(text, failure)) {
    return std::nullopt;
  }
  // The word must start a token: the failure may lie inside a longer one.
  if (is_word_char(static_cast<unsigned char>(text[failure - 1]))) return std::nullopt;
  if (!brackets_pair_up(text, failure)) return std::nullopt;
  // With the ';' written, the text holds two statements, which is another
  // mistake (one statement per text).
  const size_t end = semicolon_place(text, failure);
  if (end > 0 && text[end - 1] == ';') return std::nullopt;
  if (!parses(text.substr(0, failure), Language::Extended)) return std::nullopt;
  if (!statements_from(text, failure, 0)) return std::nullopt;
  return failure;
}

size_t semicolon_place(std::string_view text, size_t start) {
  size_t last_end = 0;
  size_t i = 0;
  while (true) {
    i = skip_ignorable(text, i);
    if (i >= start) break;
    const char c = text[i];
    i = c == '\'' || c == '"' || c == '`' ? quoted_end(text, i, start) : i + 1;
    last_end = i < start ? i : start;
  }
  return last_end;
}

}  // namespace quorvane
