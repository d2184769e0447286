// The parser against the matcher on acceptance, in both directions and both
// languages: the parser must take exactly the texts the matcher accepts,
// short of each one's limits. (The trees are pinned by the parser tests.)
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
