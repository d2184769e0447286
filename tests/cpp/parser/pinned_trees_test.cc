// The syntax trees of every query the tests hold, pinned in readable text
// (tests/data/trees.txt): the benchmark corpus, the golden syntax cases, the
// subset snapshot's queries and the extended findings' queries, in both
// languages, spans included. A change to any tree shows as the query with
// the tree pinned and the tree built now. The parser tests' own texts (their
// corner cases and edits of them, some 14,000) are pinned by a digest of
// their trees (tests/data/corner_trees.txt).
//
// QUORVANE_WRITE_TREES=1 writes the file anew from the parser as it is; look
// over the difference before committing it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../../support/corpus_files.h"
#include "../../support/tree_text.h"
#include "parser/parse.h"

namespace quorvane {
namespace {

constexpr const char* kPinnedFile = QUORVANE_DATA_DIR "/trees.txt";
constexpr const char* kCornerFile = QUORVANE_DATA_DIR "/corner_trees.txt";

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

// FNV-1a, 64 bits, in hex: a digest that stays the same everywhere.
std::string digest(const std::string& text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[i] = kHex[h & 15];
  return out;
}

std::string unescaped(const std::string& line) {
  std::string out;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      out += line[i];
    }
  }
  return out;
}

TEST(PinnedTrees, EveryCornerTextBuildsThePinnedTrees) {
  std::ifstream in(kCornerFile);
  std::vector<std::pair<std::string, std::string>> pins;  // digest, query line
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    pins.emplace_back(line.substr(0, 16), line.substr(17));
  }
  ASSERT_GT(pins.size(), 10000u) << "missing or short: " << kCornerFile;
  if (const char* write = std::getenv("QUORVANE_WRITE_TREES"); write && *write == '1') {
    std::ofstream out(kCornerFile);
    out << "# The texts the parser tests take, each with a digest of its trees (see "
           "pinned_trees_test.cc).\n";
    for (const auto& [_, query] : pins) {
      out << digest(trees_of(unescaped(query))) << " " << query << "\n";
    }
    GTEST_SKIP() << "wrote " << kCornerFile;
  }
  int differences = 0;
  for (const auto& [pinned, query] : pins) {
    const std::string trees = trees_of(unescaped(query));
    if (digest(trees) != pinned && ++differences <= 10) {
      ADD_FAILURE() << unescaped(query) << "\nnow:\n" << trees;
    }
  }
  EXPECT_EQ(differences, 0);
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
