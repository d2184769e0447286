// Invariant checks shared by the fuzz targets. A failed check prints what
// broke and aborts, which libFuzzer records as a crash with its input.
#ifndef QUORVANE_FUZZ_FUZZ_CHECKS_H_
#define QUORVANE_FUZZ_FUZZ_CHECKS_H_

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/support/tree_text.h"
#include "error/cypher_error.h"
#include "inspect/query_info.h"
#include "parser/commands/commands.h"
#include "parser/direct/direct_parser.h"
#include "parser/grammar.h"
#include "parser/parse.h"
#include "validator/validation_result.h"

namespace quorvane::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line,
                              std::string_view detail = {}) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
  if (!detail.empty()) {
    std::fprintf(stderr, "--- detail ---\n%.*s\n--------------\n", static_cast<int>(detail.size()),
                 detail.data());
  }
  std::abort();
}

#define QV_FUZZ_CHECK(cond) ((cond) ? (void)0 : ::quorvane::fuzz::fail(#cond, __FILE__, __LINE__))
#define QV_FUZZ_CHECK_MSG(cond, detail) \
  ((cond) ? (void)0 : ::quorvane::fuzz::fail(#cond, __FILE__, __LINE__, (detail)))

inline std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// Reads a run of decimal digits at `pos` as a number; false when there is
// none or it is absurdly long.
inline bool read_number(std::string_view text, size_t& pos, size_t& value) {
  const size_t begin = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (pos - begin >= 18) return false;
    value = value * 10 + static_cast<size_t>(text[pos] - '0');
    ++pos;
  }
  return pos > begin;
}

// Characters (UTF-8 lead bytes and single bytes) of the given line of the
// input, 1-based, without its line feed.
inline size_t chars_in_line(std::string_view input, size_t line) {
  size_t start = 0;
  for (size_t l = 1; l < line; ++l) {
    start = input.find('\n', start);
    if (start == std::string_view::npos) return 0;
    ++start;
  }
  size_t end = input.find('\n', start);
  if (end == std::string_view::npos) end = input.size();
  size_t chars = 0;
  for (size_t i = start; i < end; ++i) {
    if ((static_cast<unsigned char>(input[i]) & 0xC0) != 0x80) ++chars;
  }
  return chars;
}

// The six-line syntax-error text for `input`:
//    --> L:C            (as many leading spaces as L has digits)
//     |
//   L | <line text>
//     | <blanks>^---
//     |
//     = <message>
// with L within the input's lines and C within line L (one past its last
// character at most).
inline void check_syntax_error_text(std::string_view error, std::string_view input) {
  const std::vector<std::string_view> lines = split_lines(error);
  QV_FUZZ_CHECK_MSG(lines.size() == 6, error);

  const std::string_view head = lines[0];
  size_t pos = 0;
  while (pos < head.size() && head[pos] == ' ') ++pos;
  const size_t gutter_width = pos;
  QV_FUZZ_CHECK_MSG(head.substr(pos, 4) == "--> ", error);
  pos += 4;
  size_t line = 0;
  size_t column = 0;
  const size_t line_digits_start = pos;
  QV_FUZZ_CHECK_MSG(read_number(head, pos, line), error);
  const size_t line_digits = pos - line_digits_start;
  QV_FUZZ_CHECK_MSG(pos < head.size() && head[pos] == ':', error);
  ++pos;
  QV_FUZZ_CHECK_MSG(read_number(head, pos, column), error);
  QV_FUZZ_CHECK_MSG(pos == head.size(), error);
  QV_FUZZ_CHECK_MSG(gutter_width == line_digits, error);

  const size_t input_lines = 1 + static_cast<size_t>(std::count(input.begin(), input.end(), '\n'));
  QV_FUZZ_CHECK_MSG(line >= 1 && line <= input_lines, error);
  QV_FUZZ_CHECK_MSG(column >= 1, error);
  QV_FUZZ_CHECK_MSG(column <= chars_in_line(input, line) + 1, error);

  const std::string gutter(gutter_width, ' ');
  QV_FUZZ_CHECK_MSG(lines[1] == gutter + " |", error);
  QV_FUZZ_CHECK_MSG(lines[2].substr(0, line_digits + 3) == std::to_string(line) + " | ", error);
  QV_FUZZ_CHECK_MSG(lines[3].substr(0, gutter_width + 3) == gutter + " | ", error);
  const std::string_view underline = lines[3].substr(gutter_width + 3);
  QV_FUZZ_CHECK_MSG(underline.size() >= 4 && underline.substr(underline.size() - 4) == "^---",
                    error);
  const std::string_view blanks = underline.substr(0, underline.size() - 4);
  QV_FUZZ_CHECK_MSG(blanks.find_first_not_of(" \t") == std::string_view::npos, error);
  QV_FUZZ_CHECK_MSG(blanks.size() <= column - 1, error);
  QV_FUZZ_CHECK_MSG(lines[4] == gutter + " |", error);
  QV_FUZZ_CHECK_MSG(lines[5].substr(0, gutter_width + 3) == gutter + " = ", error);
  QV_FUZZ_CHECK_MSG(lines[5].size() > gutter_width + 3, error);
}

// The documented shape of a validation result.
inline void check_result_shape(const ValidationResult& result) {
  QV_FUZZ_CHECK(result.syntax_errors.empty() || result.semantic_errors.empty());
  QV_FUZZ_CHECK(result.syntax_errors.size() <= 1);
  std::vector<std::string> joined = result.syntax_errors;
  joined.insert(joined.end(), result.semantic_errors.begin(), result.semantic_errors.end());
  QV_FUZZ_CHECK(result.errors == joined);
  QV_FUZZ_CHECK(result.is_valid == result.errors.empty());
}

// A validation result agrees with the parse of the same text: a syntax error
// exactly when the parse fails, carrying the parse error's own text.
inline void check_result_matches_parse(const ValidationResult& result,
                                       const Result<CypherQuery>& parsed, std::string_view input) {
  check_result_shape(result);
  QV_FUZZ_CHECK(parsed.ok() == result.syntax_errors.empty());
  if (!parsed.ok()) {
    QV_FUZZ_CHECK(parsed.error().kind == CypherError::Kind::Parse);
    QV_FUZZ_CHECK(result.syntax_errors.front() == parsed.error().message);
    check_syntax_error_text(result.syntax_errors.front(), input);
  }
}

inline bool sorted_unique(const std::vector<std::string>& names) {
  return std::adjacent_find(names.begin(), names.end(),
                            [](const std::string& a, const std::string& b) { return !(a < b); }) ==
         names.end();
}

// The shape of an inspection record and its agreement with the parse.
inline void check_query_info(const QueryInfo& info, const Result<CypherQuery>& parsed,
                             std::string_view input) {
  QV_FUZZ_CHECK(info.is_valid == parsed.ok());
  QV_FUZZ_CHECK(sorted_unique(info.labels_used));
  QV_FUZZ_CHECK(sorted_unique(info.rel_types_used));
  QV_FUZZ_CHECK(sorted_unique(info.properties_used));
  if (parsed.ok()) {
    QV_FUZZ_CHECK(info.errors.empty());
    // Every name is spelled somewhere in the text (backticks only delimit).
    for (const auto* names : {&info.labels_used, &info.rel_types_used, &info.properties_used}) {
      for (const std::string& name : *names) {
        QV_FUZZ_CHECK_MSG(input.find(name) != std::string_view::npos, name);
      }
    }
  } else {
    QV_FUZZ_CHECK(info.errors.size() == 1);
    QV_FUZZ_CHECK(info.errors.front() == parsed.error().display());
    QV_FUZZ_CHECK(info.labels_used.empty() && info.rel_types_used.empty() &&
                  info.properties_used.empty());
  }
}

// The direct parser takes exactly the texts the matcher accepts, short of
// its limits. Commands are read by their own reader, not by either of them.
inline void check_same_acceptance(std::string_view input, Language language) {
  if (language == Language::Extended && starts_command(input)) return;
  RegularQuery direct;
  DirectLimit limit;
  const bool taken = parse_directly(input, language, direct, &limit);
  const MatchResult match = match_cypher(input, language);
  // Each side may stop at a limit of its own (nesting, tree depth, the
  // matcher's backtracking budget); below them the two agree.
  if (!taken && limit.kind != DirectLimit::Kind::None) return;
  if (!match.ok && !match.failure.limit_note.empty()) return;
  QV_FUZZ_CHECK_MSG(taken == match.ok,
                    taken ? std::string("taken directly, rejected by the matcher")
                          : std::string("accepted by the matcher, declined directly"));
}

}  // namespace quorvane::fuzz

#endif  // QUORVANE_FUZZ_FUZZ_CHECKS_H_
