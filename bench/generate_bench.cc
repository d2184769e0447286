// Generated queries per second for a mixed sequence of every query type
// against a movies-like schema.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "generator/cypher_generator.h"
#include "schema/schema.h"

namespace {

quorvane::Schema movies_schema() {
  quorvane::Schema schema;
  schema.add_node_label("Person", {"name", "born"});
  schema.add_node_label("Movie", {"title", "released", "tagline"});
  schema.add_node_label("Genre", {"name"});
  schema.add_node_label("User", {"userId", "name", "email"});
  schema.add_rel_type("ACTED_IN", "Person", "Movie", {"roles"});
  schema.add_rel_type("DIRECTED", "Person", "Movie", {});
  schema.add_rel_type("PRODUCED", "Person", "Movie", {});
  schema.add_rel_type("WROTE", "Person", "Movie", {});
  schema.add_rel_type("REVIEWED", "Person", "Movie", {"summary", "rating"});
  schema.add_rel_type("FOLLOWS", "Person", "Person", {});
  schema.add_rel_type("IN_GENRE", "Movie", "Genre", {});
  schema.add_rel_type("RATED", "User", "Movie", {"rating", "timestamp"});
  return schema;
}

void BM_GenerateMixed(benchmark::State& state) {
  quorvane::CypherGenerator generator(movies_schema(), 42);
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
  quorvane::CypherGenerator generator(movies_schema(), 42);
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
