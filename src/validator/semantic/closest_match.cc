#include "validator/semantic/closest_match.h"

#include <algorithm>

#include "validator/semantic/unicode_lower.h"

namespace quorvane {

namespace {

size_t length_gap(size_t a, size_t b) {
  return a > b ? a - b : b - a;
}

}  // namespace

ClosestMatcher::ClosestMatcher(std::string_view name) {
  append_lower(name, name_);
  for (char c : name_) ++name_counts_[static_cast<unsigned char>(c)];
  scratch_counts_ = name_counts_;
}

void ClosestMatcher::offer(std::string_view candidate) {
  if (settled()) return;
  // Only a strictly smaller distance replaces the kept candidate, so the
  // bound tightens as closer candidates are found. The same candidates are
  // kept as with a fixed bound of 3; more of the others are skipped early.
  const size_t limit = best_ ? best_distance_ - 1 : kMaxSuggestionDistance;
  // ASCII keeps its length when lower-cased, which lets most candidates be
  // skipped before they are copied.
  lowered_.clear();
  if (is_ascii(candidate)) {
    if (length_gap(candidate.size(), name_.size()) > limit) return;
    lowered_.append(candidate);
    lower_ascii_in_place(lowered_);
  } else {
    append_lower(candidate, lowered_);
  }
  if (length_gap(lowered_.size(), name_.size()) > limit) return;
  if (byte_count_gap() > limit) return;
  if (std::optional<size_t> distance = distance_within(limit)) {
    best_ = candidate;
    best_distance_ = *distance;
  }
}

size_t ClosestMatcher::byte_count_gap() {
  size_t unmatched = 0;  // bytes of the candidate the name cannot supply
  for (char c : lowered_) {
    uint32_t& count = scratch_counts_[static_cast<unsigned char>(c)];
    const bool available = count != 0;
    count -= available;
    unmatched += !available;
  }
  for (char c : lowered_) {
    const auto byte = static_cast<unsigned char>(c);
    scratch_counts_[byte] = name_counts_[byte];
  }
  const size_t left_over = name_.size() - (lowered_.size() - unmatched);
  return std::max(unmatched, left_over);
}

std::optional<size_t> ClosestMatcher::distance_within(size_t limit) {
  const size_t columns = lowered_.size() + 1;
  previous_row_.resize(columns);
  current_row_.resize(columns);
  for (size_t j = 0; j < columns; ++j) previous_row_[j] = static_cast<uint32_t>(j);
  for (size_t i = 0; i < name_.size(); ++i) {
    current_row_[0] = static_cast<uint32_t>(i + 1);
    uint32_t row_min = current_row_[0];
    const char from = name_[i];
    for (size_t j = 1; j < columns; ++j) {
      const uint32_t substitute = previous_row_[j - 1] + (from == lowered_[j - 1] ? 0 : 1);
      const uint32_t step = std::min(previous_row_[j], current_row_[j - 1]) + 1;
      const uint32_t cell = std::min(substitute, step);
      current_row_[j] = cell;
      row_min = std::min(row_min, cell);
    }
    // Row minima never decrease, so the final distance is out of reach.
    if (row_min > limit) return std::nullopt;
    previous_row_.swap(current_row_);
  }
  const size_t distance = previous_row_[columns - 1];
  if (distance > limit) return std::nullopt;
  return distance;
}

std::optional<std::string_view> closest_match(std::string_view name,
                                              std::span<const std::string_view> candidates) {
  return closest_match(name, candidates, [](std::string_view c) { return c; });
}

}  // namespace quorvane
