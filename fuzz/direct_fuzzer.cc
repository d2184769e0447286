// The direct parser against the matcher and tree builder, in both
// languages: any text the direct parser takes, they must accept with exactly
// the same tree. Cheaper per input than parse_fuzzer, so it tries many more
// texts near the direct parser's corners.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  fuzz::check_direct_agrees(input, Language::Subset);
  fuzz::check_direct_agrees(input, Language::Extended);
  return 0;
}
