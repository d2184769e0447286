// Shared pieces of the hardening tests: schemas, the mixed query corpus, the
// shape checks every result must pass, and time budgets that allow for
// sanitizer and debug builds.
#ifndef QUORVANE_TESTS_CPP_HARDENING_HARDENING_SUPPORT_H_
#define QUORVANE_TESTS_CPP_HARDENING_HARDENING_SUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "../../support/corpus_files.h"
#include "../../support/movies_schema.h"
#include "../parser/golden_reader.h"
#include "generator/cypher_generator.h"
#include "schema/schema.h"
#include "validator/validation_result.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_HARDENING_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define QV_HARDENING_SANITIZED 1
#endif
#endif

namespace quorvane::testing {

// How much slower than an optimised build this build may be.
inline double slowdown() {
  double factor = 1.0;
#ifdef QV_HARDENING_SANITIZED
  factor *= 8.0;
#endif
#ifndef NDEBUG
  factor *= 4.0;
#endif
  return factor;
}

// Seconds since construction.
class Stopwatch {
 public:
  double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Names that only parse in backticks, reserved words, non-ASCII letters and
// the empty name.
inline Schema awkward_schema() {
  Schema schema;
  schema.add_node_label("My Label", {"first name", "2nd", "order", "IN"});
  schema.add_node_label("2fast", {"count", "x-y"});
  schema.add_node_label("n\xC3\xA9", {"\xC3\xA9t\xC3\xA9", "Return"});
  schema.add_node_label("Match", {"where", "ASC"});
  schema.add_node_label("", {""});
  schema.add_node_label("tab\there", {"line\nbreak", std::string("nul\0byte", 8)});
  schema.add_rel_type("HAS-PART", "My Label", "2fast", {"since when"});
  schema.add_rel_type("Create", "Match", "n\xC3\xA9", {});
  schema.add_rel_type("", "", "tab\there", {});
  return schema;
}

inline std::vector<std::string> golden_queries() {
  std::vector<std::string> queries;
  for (GoldenCase& c : read_golden_cases(QUORVANE_DATA_DIR "/syntax_cases.jsonl")) {
    queries.push_back(std::move(c.query));
  }
  return queries;
}

// `rounds` queries of every type from each seed in [0, seeds).
inline std::vector<std::string> generated_queries(const Schema& schema, uint64_t seeds,
                                                  int rounds) {
  std::vector<std::string> queries;
  for (uint64_t seed = 0; seed < seeds; ++seed) {
    CypherGenerator generator(schema, seed);
    for (int round = 0; round < rounds; ++round) {
      for (std::string_view type : CypherGenerator::supported_types()) {
        queries.push_back(generator.generate(type).value());
      }
    }
  }
  return queries;
}

// The bench corpus, every golden syntax case, and a few thousand generated
// queries over ordinary and awkward schemas.
inline const std::vector<std::string>& mixed_corpus() {
  static const std::vector<std::string> corpus = [] {
    std::vector<std::string> all = bench_queries();
    for (std::string& q : golden_queries()) all.push_back(std::move(q));
    for (const Schema& schema : {movies_schema(), awkward_schema(), Schema()}) {
      for (std::string& q : generated_queries(schema, 40, 2)) all.push_back(std::move(q));
    }
    return all;
  }();
  return corpus;
}

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

// Whether `error` is a six-line syntax-error text for `input` whose line and
// column lie inside the input; the reason when it is not.
inline ::testing::AssertionResult is_syntax_error_for(const std::string& error,
                                                      std::string_view input) {
  const std::vector<std::string_view> lines = split_lines(error);
  if (lines.size() != 6) {
    return ::testing::AssertionFailure() << lines.size() << " lines in:\n" << error;
  }
  const std::string_view head = lines[0];
  const size_t arrow = head.find("--> ");
  const size_t colon = head.rfind(':');
  if (arrow == std::string_view::npos || colon == std::string_view::npos || colon < arrow) {
    return ::testing::AssertionFailure() << "no --> L:C in: " << head;
  }
  const std::string line_text(head.substr(arrow + 4, colon - arrow - 4));
  const std::string column_text(head.substr(colon + 1));
  if (line_text.empty() || column_text.empty() ||
      line_text.find_first_not_of("0123456789") != std::string::npos ||
      column_text.find_first_not_of("0123456789") != std::string::npos) {
    return ::testing::AssertionFailure() << "bad position in: " << head;
  }
  if (arrow != line_text.size() || head.find_first_not_of(' ') != arrow) {
    return ::testing::AssertionFailure() << "gutter does not match the line number: " << head;
  }
  const size_t line = std::stoul(line_text);
  const size_t column = std::stoul(column_text);
  const size_t input_lines = 1 + static_cast<size_t>(std::count(input.begin(), input.end(), '\n'));
  if (line < 1 || line > input_lines || column < 1) {
    return ::testing::AssertionFailure() << "position " << line << ":" << column
                                         << " outside an input of " << input_lines << " lines";
  }
  if (lines[2].substr(0, line_text.size() + 3) != line_text + " | ") {
    return ::testing::AssertionFailure() << "third line does not start with the line number";
  }
  if (lines[5].substr(0, line_text.size() + 3) != std::string(line_text.size(), ' ') + " = ") {
    return ::testing::AssertionFailure() << "last line is not the message line: " << lines[5];
  }
  return ::testing::AssertionSuccess();
}

// Whether a validation result keeps its documented shape.
inline ::testing::AssertionResult has_result_shape(const ValidationResult& r) {
  if (!r.syntax_errors.empty() && !r.semantic_errors.empty()) {
    return ::testing::AssertionFailure() << "both syntax and semantic errors";
  }
  if (r.syntax_errors.size() > 1) return ::testing::AssertionFailure() << "several syntax errors";
  std::vector<std::string> joined = r.syntax_errors;
  joined.insert(joined.end(), r.semantic_errors.begin(), r.semantic_errors.end());
  if (r.errors != joined) return ::testing::AssertionFailure() << "errors is not the union";
  if (r.is_valid != r.errors.empty()) {
    return ::testing::AssertionFailure() << "is_valid disagrees with errors";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_CPP_HARDENING_HARDENING_SUPPORT_H_
