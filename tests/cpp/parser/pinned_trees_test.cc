// The syntax trees of every query the tests hold, pinned in readable text
// (tests/data/trees.txt): the benchmark corpus, the golden syntax cases, the
// subset snapshot's queries and the extended findings' queries, in both
// languages, spans included. A change to any tree shows as the query with
// the tree pinned and the tree built now.
//
// QUORVANE_WRITE_TREES=1 writes the file anew from the parser as it is; look
// over the difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "../../support/corpus_files.h"
#include "../../support/tree_text.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

constexpr const char* kPinnedFile = QUORVANE_DATA_DIR "/trees.txt";

// Every query once, in the order first met.
std::vector<std::string> all_queries() {
  std::vector<std::string> all;
  std::map<std::string, bool> seen;
  const auto add = [&](std::vector<std::string> queries) {
    for (std::string& q : queries) {
      if (seen.emplace(q, true).second) all.push_back(std::move(q));
    }
  };
  add(testing::bench_queries());
  add(testing::jsonl_queries(QUORVANE_DATA_DIR "/syntax_cases.jsonl"));
  add(testing::snapshot_queries());
  add(testing::jsonl_queries(QUORVANE_DATA_DIR "/extended_findings.jsonl"));
  return all;
}

// One line per language that accepts the query: "S " or "E " and the tree,
// or "B " once when both build the same tree.
std::string trees_of(const std::string& query) {
  const Result<CypherQuery> subset = parse(query, Language::Subset);
  const Result<CypherQuery> extended = parse(query, Language::Extended);
  const std::string s = subset.ok() ? testing::tree_text(subset.value(), true) : "";
  const std::string e = extended.ok() ? testing::tree_text(extended.value(), true) : "";
  if (subset.ok() && extended.ok() && s == e) return "B " + s + "\n";
  std::string out;
  if (subset.ok()) out += "S " + s + "\n";
  if (extended.ok()) out += "E " + e + "\n";
  return out;
}

// The query on one line: line feeds, carriage returns and backslashes
// escaped.
std::string one_line(const std::string& query) {
  std::string out;
  for (char c : query) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

// query line -> its tree lines, as pinned.
std::map<std::string, std::string> read_pinned() {
  std::map<std::string, std::string> pinned;
  std::ifstream in(kPinnedFile);
  std::string current;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Q ", 0) == 0) {
      current = line.substr(2);
      pinned[current];
    } else if (!line.empty()) {
      pinned[current] += line + "\n";
    }
  }
  return pinned;
}

TEST(PinnedTrees, EveryQueryBuildsThePinnedTree) {
  const std::vector<std::string> queries = all_queries();
  ASSERT_GT(queries.size(), 4000u);
  if (const char* write = std::getenv("QUORVANE_WRITE_TREES"); write && *write == '1') {
    std::ofstream out(kPinnedFile);
    for (const std::string& query : queries) {
      const std::string trees = trees_of(query);
      if (!trees.empty()) out << "Q " << one_line(query) << "\n" << trees;
    }
    GTEST_SKIP() << "wrote " << kPinnedFile;
  }
  const std::map<std::string, std::string> pinned = read_pinned();
  ASSERT_GT(pinned.size(), 1000u) << "missing or short: " << kPinnedFile;
  int differences = 0;
  size_t accepted = 0;
  for (const std::string& query : queries) {
    const std::string trees = trees_of(query);
    if (trees.empty()) continue;
    ++accepted;
    const auto found = pinned.find(one_line(query));
    const std::string expected = found == pinned.end() ? "(not pinned)\n" : found->second;
    if (trees != expected && ++differences <= 10) {
      ADD_FAILURE() << query << "\npinned:\n" << expected << "now:\n" << trees;
    }
  }
  EXPECT_EQ(differences, 0);
  // A query no language accepts any more would leave its pin unused.
  EXPECT_EQ(accepted, pinned.size());
}

}  // namespace
}  // namespace quorvane
