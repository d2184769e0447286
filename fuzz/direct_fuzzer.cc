// The direct parser against the matcher and tree builder, in both
// languages: any text the direct parser takes, they must accept with exactly
// the same tree. Cheaper per input than parse_fuzzer, so it tries many more
// texts near the direct parser's corners.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "../tests/support/tree_text.h"
#include "fuzz_checks.h"
#include "parser/direct/direct_parser.h"
#include "parser/parse.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (Language language : {Language::Subset, Language::Extended}) {
    RegularQuery direct;
    if (!parse_directly(input, language, direct)) continue;
    const Result<CypherQuery> exact = parse_with_matcher(input, language);
    QV_FUZZ_CHECK_MSG(exact.ok(), exact.ok() ? "" : exact.error().message);
    const std::string direct_text = testing::tree_text(CypherQuery{std::move(direct)});
    const std::string exact_text = testing::tree_text(exact.value());
    QV_FUZZ_CHECK_MSG(direct_text == exact_text,
                      "direct:  " + direct_text + "\nmatcher: " + exact_text);
  }
  return 0;
}
