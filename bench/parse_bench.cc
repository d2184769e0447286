// Parse + tree-build throughput on the benchmark corpus (one query per line).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "parser/parse.h"

// Heap accounting for the memory figure: bytes in use now and the most in
// use since the last reset. Accounting is on only while the memory figure is
// taken, so the throughput figures pay nothing for it. Benchmarks run on one
// thread.
namespace {
bool g_counting = false;
size_t g_heap_now = 0;
size_t g_heap_peak = 0;

void* counted_alloc(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  if (g_counting) {
    g_heap_now += malloc_usable_size(p);
    g_heap_peak = std::max(g_heap_peak, g_heap_now);
  }
  return p;
}

void counted_free(void* p) {
  if (p == nullptr) return;
  if (g_counting) g_heap_now -= malloc_usable_size(p);
  std::free(p);
}
}  // namespace

void* operator new(size_t size) { return counted_alloc(size); }
void* operator new[](size_t size) { return counted_alloc(size); }
void operator delete(void* p) noexcept { counted_free(p); }
void operator delete[](void* p) noexcept { counted_free(p); }
void operator delete(void* p, size_t) noexcept { counted_free(p); }
void operator delete[](void* p, size_t) noexcept { counted_free(p); }

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

// One large query: a UNION chain of valid queries. `peak_heap_x` is the most
// heap in use during one parse (rule tree, syntax tree, everything), as a
// multiple of the query's size.
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
    if (!result.ok()) state.SkipWithError("query does not parse");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * big.size()));
  // One more parse, outside the timed loop, with the heap counted. A parse
  // frees only what it allocated, so the count starts from zero.
  g_heap_now = 0;
  g_heap_peak = 0;
  g_counting = true;
  {
    auto result = quorvane::parse(big, language);
    benchmark::DoNotOptimize(result);
  }
  g_counting = false;
  const size_t peak = g_heap_peak;
  state.counters["peak_heap_x"] = static_cast<double>(peak) / static_cast<double>(big.size());
}
BENCHMARK_CAPTURE(BM_ParseLargeQuery, subset, quorvane::Language::Subset)->Arg(1 << 20);
BENCHMARK_CAPTURE(BM_ParseLargeQuery, extended, quorvane::Language::Extended)->Arg(1 << 20);

// Deep nesting: list comprehensions and slices nested 248 levels, just below
// the nesting limit; each level is read by two alternatives.
std::string deep_query(int kind) {
  std::string inner = kind == 0 ? "x" : "1";
  for (int i = 0; i < 248; ++i) {
    inner = kind == 0 ? "[x IN " + inner + " WHERE x > 0 | x]" : "x[" + inner + "..]";
  }
  return "WITH [1] AS x RETURN " + inner;
}

void BM_ParseDeepNesting(benchmark::State& state, quorvane::Language language) {
  const std::string query = deep_query(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto result = quorvane::parse(query, language);
    benchmark::DoNotOptimize(result);
    if (!result.ok()) state.SkipWithError("query does not parse");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * query.size()));
}
// Arg 0: comprehensions, 1: slices.
BENCHMARK_CAPTURE(BM_ParseDeepNesting, subset, quorvane::Language::Subset)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_ParseDeepNesting, extended, quorvane::Language::Extended)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
