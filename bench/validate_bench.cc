// Validation throughput on the benchmark corpus against its schema, next to
// a parse of the same texts, and the cost of an unknown name when the schema
// is large.
#include <benchmark/benchmark.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/parse.h"
#include "schema/schema.h"
#include "validator/cypher_validator.h"

namespace {

using quorvane::CypherValidator;
using quorvane::Schema;

std::vector<std::string> load_corpus() {
  std::vector<std::string> queries;
  std::ifstream in(QUORVANE_BENCH_DATA_DIR "/queries.cypher");
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty()) queries.push_back(line);
  }
  return queries;
}

// Just enough JSON for the schema file's fixed shape:
// {"nodes": {label: [keys]}, "relationships": {type: [source, target, [keys]]}}.
class SchemaJsonReader {
 public:
  explicit SchemaJsonReader(std::string text) : text_(std::move(text)) {}

  std::optional<Schema> read() {
    Schema schema;
    if (!expect('{')) return std::nullopt;
    do {
      std::optional<std::string> section = string();
      if (!section || !expect(':') || !expect('{')) return std::nullopt;
      if (!peek('}')) {
        do {
          std::optional<std::string> name = string();
          if (!name || !expect(':') || !expect('[')) return std::nullopt;
          if (*section == "nodes") {
            std::optional<std::vector<std::string>> keys = strings_until_close();
            if (!keys) return std::nullopt;
            schema.add_node_label(*name, *keys);
          } else {
            std::optional<std::string> source = string();
            std::optional<std::string> target;
            if (source && expect(',')) target = string();
            if (!target || !expect(',') || !expect('[')) return std::nullopt;
            std::optional<std::vector<std::string>> keys = strings_until_close();
            if (!keys || !expect(']')) return std::nullopt;
            schema.add_rel_type(*name, *source, *target, *keys);
          }
        } while (expect(','));
      }
      if (!expect('}')) return std::nullopt;
    } while (expect(','));
    if (!expect('}')) return std::nullopt;
    return schema;
  }

 private:
  void skip_space() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool peek(char c) {
    skip_space();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  bool expect(char c) {
    if (!peek(c)) return false;
    ++pos_;
    return true;
  }
  // The names in the file need no escapes.
  std::optional<std::string> string() {
    if (!expect('"')) return std::nullopt;
    const size_t end = text_.find('"', pos_);
    if (end == std::string::npos) return std::nullopt;
    std::string out = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return out;
  }
  // Reads `"a", "b"]` after an opening bracket.
  std::optional<std::vector<std::string>> strings_until_close() {
    std::vector<std::string> out;
    if (expect(']')) return out;
    do {
      std::optional<std::string> item = string();
      if (!item) return std::nullopt;
      out.push_back(std::move(*item));
    } while (expect(','));
    if (!expect(']')) return std::nullopt;
    return out;
  }

  std::string text_;
  size_t pos_ = 0;
};

Schema load_schema() {
  std::ifstream in(QUORVANE_BENCH_DATA_DIR "/movies.schema.json");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::optional<Schema> schema = SchemaJsonReader(std::move(text)).read();
  return schema ? std::move(*schema) : Schema();
}

size_t total_bytes(const std::vector<std::string>& queries) {
  size_t bytes = 0;
  for (const std::string& q : queries) bytes += q.size();
  return bytes;
}

void report(benchmark::State& state, const std::vector<std::string>& queries) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * queries.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total_bytes(queries)));
}

void validate_corpus(benchmark::State& state, quorvane::Language language) {
  const std::vector<std::string> queries = load_corpus();
  const Schema schema = load_schema();
  if (queries.empty() || schema.nodes().empty()) {
    state.SkipWithError("benchmark data missing");
    return;
  }
  const CypherValidator validator(schema, language);
  size_t findings = 0;
  for (const std::string& q : queries) findings += validator.validate(q).errors.size();
  for (auto _ : state) {
    for (const std::string& q : queries) {
      auto result = validator.validate(q);
      benchmark::DoNotOptimize(result);
    }
  }
  report(state, queries);
  state.counters["findings_per_pass"] = static_cast<double>(findings);
}

void BM_ValidateCorpus(benchmark::State& state) {
  validate_corpus(state, quorvane::Language::Subset);
}
BENCHMARK(BM_ValidateCorpus);

// The extended language, with every rule a database enforces before running
// a query; compare with BM_ParseCorpusExtended.
void BM_ValidateCorpusExtended(benchmark::State& state) {
  validate_corpus(state, quorvane::Language::Extended);
}
BENCHMARK(BM_ValidateCorpusExtended);

// The parse alone, for the same texts: validation should stay close to it.
void parse_corpus(benchmark::State& state, quorvane::Language language) {
  const std::vector<std::string> queries = load_corpus();
  for (auto _ : state) {
    for (const std::string& q : queries) {
      auto result = quorvane::parse(q, language);
      benchmark::DoNotOptimize(result);
    }
  }
  report(state, queries);
}

void BM_ParseCorpusOnly(benchmark::State& state) {
  parse_corpus(state, quorvane::Language::Subset);
}
BENCHMARK(BM_ParseCorpusOnly);

void BM_ParseCorpusExtended(benchmark::State& state) {
  parse_corpus(state, quorvane::Language::Extended);
}
BENCHMARK(BM_ParseCorpusExtended);

// 10,000 labels of similar length, so few are skipped by length alone.
Schema large_schema() {
  Schema schema;
  for (int i = 0; i < 10000; ++i) {
    std::string label = "Label" + std::to_string(10000 + i);
    schema.add_node_label(std::move(label), {"name", "created"});
  }
  schema.add_rel_type("LINKS", "Label10000", "Label10001", {});
  return schema;
}

void validate_against_large_schema(benchmark::State& state, std::string_view query) {
  const CypherValidator validator(large_schema());
  const quorvane::ValidationResult probe = validator.validate(query);
  if (probe.semantic_errors.size() != 1) {
    state.SkipWithError("expected exactly one finding");
    return;
  }
  state.SetLabel(probe.semantic_errors.front());
  for (auto _ : state) {
    auto result = validator.validate(query);
    benchmark::DoNotOptimize(result);
  }
}

void BM_UnknownLabelLargeSchema(benchmark::State& state) {
  validate_against_large_schema(state, "MATCH (n:Persn) RETURN n.name");
}
BENCHMARK(BM_UnknownLabelLargeSchema)->Unit(benchmark::kMicrosecond);

// A near miss: every candidate has the same length and a full distance row
// to compute before it can be ruled out.
void BM_MisspelledLabelLargeSchema(benchmark::State& state) {
  validate_against_large_schema(state, "MATCH (n:Lable19999) RETURN n.name");
}
BENCHMARK(BM_MisspelledLabelLargeSchema)->Unit(benchmark::kMicrosecond);

// An operator chain near the nesting limit, in the extended language: the
// type rules check every level, and each level's operand is the rest of the
// chain. Bytes per second should match a short query's.
void BM_ValidateLongOperatorChain(benchmark::State& state) {
  std::string query = "WITH 1 AS x RETURN x";
  for (int64_t i = 1; i < state.range(0); ++i) query += " + x";
  const CypherValidator validator(load_schema(), quorvane::Language::Extended);
  if (!validator.validate(query).is_valid) {
    state.SkipWithError("the chain does not validate");
    return;
  }
  for (auto _ : state) {
    auto result = validator.validate(query);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * query.size()));
}
BENCHMARK(BM_ValidateLongOperatorChain)->Arg(100)->Arg(900);

}  // namespace

BENCHMARK_MAIN();
