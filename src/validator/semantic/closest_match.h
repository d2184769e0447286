// "Did you mean" search: the candidate closest to a misspelled name.
//
// Names are compared after full Unicode lower-casing, by Levenshtein distance
// over their UTF-8 bytes. Only candidates within distance 3 count; the first
// candidate in list order wins a tie, so the caller's order decides.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_CLOSEST_MATCH_H_
#define QUORVANE_VALIDATOR_SEMANTIC_CLOSEST_MATCH_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// Largest edit distance at which a candidate is still suggested.
inline constexpr size_t kMaxSuggestionDistance = 3;

// Scores candidates one at a time against a name lower-cased once, so the
// caller can offer them straight from wherever they live without building a
// list first.
class ClosestMatcher {
 public:
  explicit ClosestMatcher(std::string_view name);

  // Considers one candidate; it is kept when it is strictly closer than the
  // one kept so far. The view must stay valid until best() is read.
  void offer(std::string_view candidate);

  // True once a candidate at distance 0 is kept: no later one can replace it.
  bool settled() const { return best_ && best_distance_ == 0; }

  std::optional<std::string_view> best() const { return best_; }
  // The edit distance of best(), when there is one.
  size_t best_distance() const { return best_distance_; }

 private:
  // A lower bound on the distance from the name to lowered_: bytes that one
  // side holds more often than the other each need at least one edit.
  size_t byte_count_gap();

  // Distance between the lower-cased name and lowered_, or nullopt when it
  // exceeds `limit`; gives up as soon as a whole row exceeds `limit`.
  std::optional<size_t> distance_within(size_t limit);

  // A matcher is made for every unknown name a query holds, and most names
  // are short: the byte counts fit in a byte each for a name of up to
  // kCountedLength bytes (a longer one skips that bound), and the rows of
  // the distance table sit in the matcher up to kInlineRow cells.
  static constexpr size_t kCountedLength = 255;
  static constexpr size_t kInlineRow = 64;

  std::string name_;
  std::array<uint8_t, 256> name_counts_{};  // occurrences of each byte in name_
  std::array<uint8_t, 256> scratch_counts_{};
  std::string lowered_;  // the candidate under consideration, lower-cased
  std::array<uint32_t, 2 * kInlineRow> inline_rows_;
  std::vector<uint32_t> rows_;  // for a candidate too long for inline_rows_
  std::optional<std::string_view> best_;
  size_t best_distance_ = 0;
};

// The closest candidate, as written in `candidates`, or nullopt when none is
// within kMaxSuggestionDistance.
std::optional<std::string_view> closest_match(std::string_view name,
                                              std::span<const std::string_view> candidates);

// The same over any range, reading each candidate's name through `name_of`.
template <class Range, class NameOf>
std::optional<std::string_view> closest_match(std::string_view name, const Range& candidates,
                                              NameOf name_of) {
  ClosestMatcher matcher(name);
  for (const auto& candidate : candidates) {
    matcher.offer(name_of(candidate));
    if (matcher.settled()) break;
  }
  return matcher.best();
}

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_CLOSEST_MATCH_H_
