// Properties that must hold on every query of a large mixed corpus: the
// benchmark queries, every golden syntax case and thousands of generated
// queries. Validation keeps its result shape, agrees with the parser and with
// inspection, repeats exactly and gives the serial results on two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hardening_support.h"
#include "inspect/query_info.h"
#include "parser/parse.h"
#include "pool/thread_pool.h"
#include "validator/cypher_validator.h"

namespace quorvane {
namespace {

using testing::has_result_shape;
using testing::is_syntax_error_for;
using testing::mixed_corpus;

std::vector<ValidationResult> validate_all(const CypherValidator& validator,
                                           const std::vector<std::string>& texts) {
  std::vector<ValidationResult> results;
  results.reserve(texts.size());
  for (const std::string& text : texts) results.push_back(validator.validate(text));
  return results;
}

// The checks below would pass vacuously on a corpus without both kinds of
// query, so make sure it has plenty of each.
TEST(MixedCorpus, IsLargeAndHoldsBothValidAndInvalidQueries) {
  const std::vector<std::string>& corpus = mixed_corpus();
  size_t parsed = 0;
  for (const std::string& text : corpus) parsed += parse(text).ok() ? 1 : 0;
  EXPECT_GT(corpus.size(), 5000u);
  EXPECT_GT(parsed, 3000u);
  EXPECT_GT(corpus.size() - parsed, 1000u);
}

TEST(MixedCorpus, ValidationKeepsItsShapeAndAgreesWithTheParser) {
  const CypherValidator validator(testing::movies_schema());
  int failures = 0;
  for (const std::string& text : mixed_corpus()) {
    const ValidationResult result = validator.validate(text);
    const Result<CypherQuery> parsed = parse(text);
    ASSERT_TRUE(has_result_shape(result)) << text;
    ASSERT_EQ(parsed.ok(), result.syntax_errors.empty()) << text;
    if (!parsed.ok()) {
      EXPECT_EQ(result.syntax_errors.front(), parsed.error().message) << text;
      const ::testing::AssertionResult shape = is_syntax_error_for(parsed.error().message, text);
      if (!shape) {
        ADD_FAILURE() << text << "\n" << shape.message();
        if (++failures > 10) break;
      }
    }
  }
}

TEST(MixedCorpus, ValidationIsDeterministic) {
  const CypherValidator validator(testing::movies_schema());
  const CypherValidator twin(testing::movies_schema());
  const std::vector<ValidationResult> first = validate_all(validator, mixed_corpus());
  const std::vector<ValidationResult> second = validate_all(validator, mixed_corpus());
  const std::vector<ValidationResult> other = validate_all(twin, mixed_corpus());
  ASSERT_EQ(first.size(), mixed_corpus().size());
  for (size_t i = 0; i < first.size(); ++i) {
    ASSERT_EQ(first[i], second[i]) << mixed_corpus()[i];
    ASSERT_EQ(first[i], other[i]) << mixed_corpus()[i];
  }
}

// Two threads validate the whole corpus at once, in opposite orders, with
// one shared validator.
TEST(MixedCorpus, TwoThreadsGiveTheSerialResults) {
  const CypherValidator validator(testing::movies_schema());
  const std::vector<std::string>& texts = mixed_corpus();
  const std::vector<ValidationResult> serial = validate_all(validator, texts);

  std::vector<ValidationResult> forward(texts.size());
  std::vector<ValidationResult> backward(texts.size());
  std::thread a([&] {
    for (size_t i = 0; i < texts.size(); ++i) forward[i] = validator.validate(texts[i]);
  });
  std::thread b([&] {
    for (size_t i = texts.size(); i-- > 0;) backward[i] = validator.validate(texts[i]);
  });
  a.join();
  b.join();
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(forward[i], serial[i]) << texts[i];
    ASSERT_EQ(backward[i], serial[i]) << texts[i];
  }
}

// The same through a two-worker pool, the way batch validation runs.
TEST(MixedCorpus, TwoPoolWorkersGiveTheSerialResults) {
  const CypherValidator validator(testing::movies_schema());
  const std::vector<std::string>& texts = mixed_corpus();
  const std::vector<ValidationResult> serial = validate_all(validator, texts);

  auto started = ThreadPool::start(2);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<ThreadPool>>(started));
  ThreadPool& pool = *std::get<std::unique_ptr<ThreadPool>>(started);
  std::vector<ValidationResult> pooled(texts.size());
  auto body = [&](size_t i) { pooled[i] = validator.validate(texts[i]); };
  pool.for_each(texts.size(), body);
  for (size_t i = 0; i < texts.size(); ++i) ASSERT_EQ(pooled[i], serial[i]) << texts[i];
}

TEST(MixedCorpus, InspectionIsValidExactlyWhenTheQueryParses) {
  const CypherValidator validator(testing::movies_schema());
  for (const std::string& text : mixed_corpus()) {
    const QueryInfo info = inspect_query(text);
    const Result<CypherQuery> parsed = parse(text);
    ASSERT_EQ(info.is_valid, parsed.ok()) << text;
    ASSERT_EQ(info.is_valid, validator.validate(text).syntax_errors.empty()) << text;
    if (parsed.ok()) {
      ASSERT_TRUE(info.errors.empty()) << text;
      ASSERT_EQ(info, inspect_tree(parsed.value())) << text;
    } else {
      ASSERT_EQ(info.errors, std::vector<std::string>{parsed.error().display()}) << text;
    }
  }
}

// With nothing declared, every label and relationship type a pattern
// mentions is unknown, and inspection lists exactly those.
TEST(MixedCorpus, InspectionNamesWhatAnEmptySchemaRejects) {
  const CypherValidator empty{Schema()};
  auto named = [](const std::vector<std::string>& messages, std::string_view prefix) {
    std::vector<std::string> names;
    for (const std::string& m : messages) {
      if (std::string_view(m).substr(0, prefix.size()) == prefix) {
        names.push_back(m.substr(prefix.size()));
      }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
  };
  size_t with_labels = 0;
  for (const std::string& text : mixed_corpus()) {
    const QueryInfo info = inspect_query(text);
    if (!info.is_valid) continue;
    const ValidationResult result = empty.validate(text);
    ASSERT_EQ(named(result.semantic_errors, "Unknown node label: :"), info.labels_used) << text;
    ASSERT_EQ(named(result.semantic_errors, "Unknown relationship type: :"), info.rel_types_used)
        << text;
    with_labels += info.labels_used.empty() ? 0 : 1;
  }
  EXPECT_GT(with_labels, 1000u);
}

TEST(GeneratedQueries, AlwaysParse) {
  // Schemas whose names hold every byte but the backtick, which no query
  // can quote.
  std::vector<Schema> schemas = {testing::movies_schema(), testing::awkward_schema(), Schema()};
  for (int variant = 0; variant < 4; ++variant) {
    Schema schema;
    std::vector<std::string> labels;
    for (int i = 0; i < 8; ++i) {
      std::string name;
      for (int b = 0; b < 5; ++b) {
        char c = static_cast<char>((variant * 97 + i * 31 + b * 7) % 256);
        name += c == '`' ? 'x' : c;
      }
      labels.push_back(name);
      schema.add_node_label(name, {name + "\n", std::string(1, '\0'), "p q"});
    }
    schema.add_rel_type(labels[0] + labels[1], labels[2], labels[3], {"k"});
    schema.add_rel_type("", labels[4], labels[4], {});
    schemas.push_back(std::move(schema));
  }
  size_t checked = 0;
  for (const Schema& schema : schemas) {
    const CypherValidator validator(schema);
    for (const std::string& text : testing::generated_queries(schema, 30, 3)) {
      const Result<CypherQuery> parsed = parse(text);
      ASSERT_TRUE(parsed.ok()) << text << "\n" << parsed.error().message;
      ++checked;
    }
  }
  EXPECT_EQ(checked, schemas.size() * 30 * 3 * 13);
}

}  // namespace
}  // namespace quorvane
