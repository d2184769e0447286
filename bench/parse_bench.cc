// Parse + tree-build throughput on the benchmark corpus (one query per line).
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "parser/parse.h"

namespace {

std::vector<std::string> load_corpus() {
  std::vector<std::string> queries;
  std::ifstream in(QUORVANE_BENCH_DATA_DIR "/queries.cypher");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) queries.push_back(line);
  }
  return queries;
}

void BM_ParseCorpus(benchmark::State& state, quorvane::Language language) {
  const std::vector<std::string> queries = load_corpus();
  size_t bytes = 0;
  for (const auto& q : queries) bytes += q.size();
  for (auto _ : state) {
    for (const auto& q : queries) {
      auto result = quorvane::parse(q, language);
      benchmark::DoNotOptimize(result);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * queries.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK_CAPTURE(BM_ParseCorpus, subset, quorvane::Language::Subset);
BENCHMARK_CAPTURE(BM_ParseCorpus, extended, quorvane::Language::Extended);

// One large query: the corpus joined into a UNION chain of valid queries.
void BM_ParseLargeQuery(benchmark::State& state, quorvane::Language language) {
  std::string big = "MATCH (n:Person) RETURN n.name AS name";
  while (big.size() < static_cast<size_t>(state.range(0))) {
    big +=
        " UNION ALL MATCH (p:Person)-[:ACTED_IN]->(m:Movie) WHERE m.released > 2000 "
        "RETURN p.name AS name";
  }
  for (auto _ : state) {
    auto result = quorvane::parse(big, language);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * big.size()));
}
BENCHMARK_CAPTURE(BM_ParseLargeQuery, subset, quorvane::Language::Subset)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParseLargeQuery, extended, quorvane::Language::Extended)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
