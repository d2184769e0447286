// Inspects arbitrary text in both languages. The record must agree with the
// parser and with the validator: against an empty schema, every label and
// relationship type that a pattern mentions is reported unknown (in the
// subset, exactly those are).
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

bool includes(const std::vector<std::string>& all, const std::vector<std::string>& some) {
  return std::includes(all.begin(), all.end(), some.begin(), some.end());
}

void check_language(std::string_view input, const CypherValidator& empty) {
  const Language language = empty.language();
  const QueryInfo info = inspect_query(input, language);
  const Result<CypherQuery> parsed = parse(input, language);
  fuzz::check_query_info(info, parsed, input);
  QV_FUZZ_CHECK(inspect_query(input, language) == info);
  if (!parsed.ok()) return;
  QV_FUZZ_CHECK(inspect_tree(parsed.value(), language) == info);

  const ValidationResult result = empty.validate(input);
  fuzz::check_result_matches_parse(result, parsed, input);
  // With nothing declared there is nothing to suggest, so each message is
  // exactly the prefix and the name. The subset reports exactly the names it
  // lists; the extended language lists every name, also those it reports
  // with other prefixes (SET, REMOVE).
  const auto labels = named_in(result.semantic_errors, "Unknown node label: :");
  const auto types = named_in(result.semantic_errors, "Unknown relationship type: :");
  if (language == Language::Subset) {
    QV_FUZZ_CHECK(labels == info.labels_used);
    QV_FUZZ_CHECK(types == info.rel_types_used);
  } else {
    QV_FUZZ_CHECK(includes(info.labels_used, labels));
    QV_FUZZ_CHECK(includes(info.rel_types_used, types));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const CypherValidator empty{Schema()};
  static const CypherValidator empty_extended{Schema(), Language::Extended};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  check_language(input, empty);
  check_language(input, empty_extended);
  return 0;
}
