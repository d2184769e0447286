#include "validator/semantic/closest_match.h"

#include <algorithm>
#include <utility>

#include "validator/semantic/unicode_lower.h"

namespace quorvane {

namespace {

size_t length_gap(size_t a, size_t b) {
  return a > b ? a - b : b - a;
}

}  // namespace

ClosestMatcher::ClosestMatcher(std::string_view name) {
  append_lower(name, name_);
  if (name_.size() <= kCountedLength) {
    for (char c : name_) ++name_counts_[static_cast<unsigned char>(c)];
    scratch_counts_ = name_counts_;
  }
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
  if (name_.size() <= kCountedLength && byte_count_gap() > limit) return;
  if (std::optional<size_t> distance = distance_within(limit)) {
    best_ = candidate;
    best_distance_ = *distance;
  }
}

size_t ClosestMatcher::byte_count_gap() {
  size_t unmatched = 0;  // bytes of the candidate the name cannot supply
  for (char c : lowered_) {
    uint8_t& count = scratch_counts_[static_cast<unsigned char>(c)];
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

// Two-row edit distance, computed only in the band of cells within `limit`
// of the diagonal: a cell further out is worth more than `limit`, and so is
// any path through it, so the band alone decides every answer up to `limit`
// (and every early exit) while long names cost O(length * limit), not
// O(length^2). Cells just outside the band read as `far`.
std::optional<size_t> ClosestMatcher::distance_within(size_t limit) {
  const size_t rows = name_.size();
  const size_t columns = lowered_.size();
  const uint32_t far = static_cast<uint32_t>(limit) + 1;
  uint32_t* previous_row = inline_rows_.data();
  if (columns + 2 > kInlineRow) {
    rows_.resize(2 * (columns + 2));
    previous_row = rows_.data();
  }
  uint32_t* current_row = previous_row + columns + 2;
  const size_t first_hi = std::min(columns, limit);
  for (size_t j = 0; j <= first_hi; ++j) previous_row[j] = static_cast<uint32_t>(j);
  previous_row[first_hi + 1] = far;
  for (size_t i = 1; i <= rows; ++i) {
    const size_t lo = i > limit ? i - limit : 0;
    const size_t hi = std::min(columns, i + limit);
    if (lo > hi) return std::nullopt;
    uint32_t row_min = far;
    if (lo == 0) {
      current_row[0] = static_cast<uint32_t>(std::min<size_t>(i, far));
      row_min = current_row[0];
    } else {
      current_row[lo - 1] = far;
    }
    const char from = name_[i - 1];
    for (size_t j = std::max<size_t>(lo, 1); j <= hi; ++j) {
      const uint32_t substitute = previous_row[j - 1] + (from == lowered_[j - 1] ? 0 : 1);
      const uint32_t step = std::min(previous_row[j], current_row[j - 1]) + 1;
      const uint32_t cell = std::min({substitute, step, far});
      current_row[j] = cell;
      row_min = std::min(row_min, cell);
    }
    current_row[hi + 1] = far;  // the next row's band reaches one further
    // Row minima never decrease, so the final distance is out of reach.
    if (row_min > limit) return std::nullopt;
    std::swap(previous_row, current_row);
  }
  const size_t distance = previous_row[columns];
  if (distance > limit) return std::nullopt;
  return distance;
}

std::optional<std::string_view> closest_match(std::string_view name,
                                              std::span<const std::string_view> candidates) {
  return closest_match(name, candidates, [](std::string_view c) { return c; });
}

}  // namespace quorvane
