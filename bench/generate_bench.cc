// Generated queries per second for a mixed sequence of every query type
// against a movies-like schema.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "../tests/support/movies_schema.h"
#include "generator/cypher_generator.h"

namespace {

void BM_GenerateMixed(benchmark::State& state) {
  quorvane::CypherGenerator generator(quorvane::testing::movies_schema(), 42);
  const auto& types = quorvane::CypherGenerator::supported_types();
  size_t next = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    quorvane::Result<std::string> query = generator.generate(types[next]);
    bytes += query->size();
    benchmark::DoNotOptimize(query);
    next = next + 1 == types.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_GenerateMixed);

void BM_GeneratePerType(benchmark::State& state) {
  quorvane::CypherGenerator generator(quorvane::testing::movies_schema(), 42);
  const std::string_view type =
      quorvane::CypherGenerator::supported_types()[static_cast<size_t>(state.range(0))];
  state.SetLabel(std::string(type));
  for (auto _ : state) {
    quorvane::Result<std::string> query = generator.generate(type);
    benchmark::DoNotOptimize(query);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_GeneratePerType)->DenseRange(0, 12);

}  // namespace

BENCHMARK_MAIN();
