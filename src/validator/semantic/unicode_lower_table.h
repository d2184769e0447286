// Compact tables for full Unicode lower-casing, generated from CPython's own
// str.lower by tools/gen_unicode_lower.py so that names lower-case here
// exactly as they do in the Python caller.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_TABLE_H_
#define QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_TABLE_H_

#include <cstdint>
#include <span>

namespace quorvane::unicode_lower {

// Code points first, first + stride, ..., up to last lower-case to
// code point + delta. Runs are sorted and do not overlap.
struct LowerRun {
  uint32_t first;
  uint32_t last;
  int32_t delta;
  uint32_t stride;  // 1 or 2
};

// A code point whose lower-case form is several code points.
struct LowerExpansion {
  uint32_t code_point;
  const char* utf8;
};

// What the final-sigma rule needs to know about a code point. Ignorable wins
// over cased, as in CPython, which skips ignorable characters first.
enum class CaseClass : uint8_t { kOther, kCased, kIgnorable };

struct CaseClassRun {
  uint32_t first;
  uint32_t last;
  CaseClass cls;
};

// Sorted by code point.
std::span<const LowerRun> lower_runs();
std::span<const LowerExpansion> lower_expansions();
std::span<const CaseClassRun> case_class_runs();

}  // namespace quorvane::unicode_lower

#endif  // QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_TABLE_H_
