// The direct parser against the matcher on acceptance, in both directions
// and both languages: the parser must take exactly the texts the matcher
// accepts. (direct_fuzzer compares the trees of the texts it takes.)
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_checks.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  fuzz::check_same_acceptance(input, Language::Subset);
  fuzz::check_same_acceptance(input, Language::Extended);
  return 0;
}
