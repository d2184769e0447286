// Validates arbitrary text against the movies schema, in both languages.
// The result must keep
// its documented shape, agree with the parser, repeat exactly, and its syntax
// verdict must not depend on the schema.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../tests/support/movies_schema.h"
#include "fuzz_checks.h"
#include "parser/parse.h"
#include "validator/cypher_validator.h"

using namespace quorvane;

namespace {

void check_language(std::string_view input, const CypherValidator& movies,
                    const CypherValidator& empty) {
  const ValidationResult result = movies.validate(input);
  const Result<CypherQuery> parsed = parse(input, movies.language());
  fuzz::check_result_matches_parse(result, parsed, input);

  QV_FUZZ_CHECK(movies.validate(input) == result);

  const ValidationResult schemaless = empty.validate(input);
  fuzz::check_result_shape(schemaless);
  QV_FUZZ_CHECK(schemaless.syntax_errors == result.syntax_errors);
  // Declaring nothing can only add findings: whatever passes against no
  // schema at all passes against the movies schema too.
  if (parsed.ok() && schemaless.is_valid) QV_FUZZ_CHECK(result.is_valid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CypherValidator movies(testing::movies_schema());
  static const CypherValidator empty{Schema()};
  static const CypherValidator movies_extended(testing::movies_schema(), Language::Extended);
  static const CypherValidator empty_extended{Schema(), Language::Extended};

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check_language(input, movies, empty);
  check_language(input, movies_extended, empty_extended);
  return 0;
}
