// Inspects arbitrary text. The record must agree with the parser and with
// the validator: against an empty schema, every label and relationship type
// that a pattern mentions is reported unknown, and nothing else is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "inspect/query_info.h"
#include "parser/parse.h"
#include "validator/cypher_validator.h"

using namespace quorvane;

namespace {

// The names after `prefix` in the messages that start with it, sorted and
// without repeats.
std::vector<std::string> named_in(const std::vector<std::string>& messages,
                                  std::string_view prefix) {
  std::vector<std::string> names;
  for (const std::string& message : messages) {
    if (std::string_view(message).substr(0, prefix.size()) == prefix) {
      names.push_back(message.substr(prefix.size()));
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CypherValidator empty{Schema()};

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const QueryInfo info = inspect_query(input);
  const Result<CypherQuery> parsed = parse(input);
  fuzz::check_query_info(info, parsed, input);
  QV_FUZZ_CHECK(inspect_query(input) == info);
  if (!parsed.ok()) return 0;
  QV_FUZZ_CHECK(inspect_tree(parsed.value()) == info);

  const ValidationResult result = empty.validate(input);
  fuzz::check_result_matches_parse(result, parsed, input);
  // With nothing declared there is nothing to suggest, so each message is
  // exactly the prefix and the name.
  QV_FUZZ_CHECK(named_in(result.semantic_errors, "Unknown node label: :") == info.labels_used);
  QV_FUZZ_CHECK(named_in(result.semantic_errors, "Unknown relationship type: :") ==
                info.rel_types_used);
  return 0;
}
