// The query files the tests read: the benchmark corpus and the queries of the
// subset's pinned results.
#ifndef QUORVANE_TESTS_SUPPORT_CORPUS_FILES_H_
#define QUORVANE_TESTS_SUPPORT_CORPUS_FILES_H_

#include <fstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "../cpp/parser/golden_reader.h"

namespace quorvane::testing {

// bench/data/queries.cypher: one query per non-blank line.
inline std::vector<std::string> bench_queries() {
  std::vector<std::string> queries;
  std::ifstream in(QUORVANE_SOURCE_DIR "/bench/data/queries.cypher");
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t\r") != std::string::npos) queries.push_back(line);
  }
  return queries;
}

// The queries of tests/data/subset_snapshot.jsonl, each once, in order.
inline std::vector<std::string> snapshot_queries() {
  std::vector<std::string> queries;
  std::unordered_set<std::string> seen;
  std::ifstream in(QUORVANE_DATA_DIR "/subset_snapshot.jsonl");
  for (std::string line; std::getline(in, line);) {
    size_t pos = line.find("\"query\"");
    if (pos == std::string::npos) continue;
    pos = line.find('"', pos + 7);
    std::string query = read_json_string(line, pos);
    if (seen.insert(query).second) queries.push_back(std::move(query));
  }
  return queries;
}

// The "query" of every line of a JSON Lines file, in order, repeats kept.
inline std::vector<std::string> jsonl_queries(const std::string& path) {
  std::vector<std::string> queries;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    size_t pos = line.find("\"query\"");
    if (pos == std::string::npos) continue;
    pos = line.find('"', pos + 7);
    queries.push_back(read_json_string(line, pos));
  }
  return queries;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_SUPPORT_CORPUS_FILES_H_
