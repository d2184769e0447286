#include "validator/semantic/scope.h"

#include <utility>

namespace quorvane {

size_t Scope::indexed_position(std::string_view name) const {
  auto it = index_.find(name);
  return it == index_.end() ? bindings_.size() : it->second;
}

void Scope::bind(std::string_view name, KnownLabels labels) {
  if (KnownLabels* known = find_to_change(name)) {
    *known = std::move(labels);
    return;
  }
  push(name, std::move(labels));
}

void Scope::push(std::string_view name, KnownLabels labels) {
  ++generation_;
  // Room for a usual query's variables at once, rather than growing one by
  // one; small enough for the allocator's fast per-thread cache.
  if (bindings_.capacity() == 0) bindings_.reserve(kFirstCapacity);
  bindings_.push_back(Binding{name, std::move(labels)});
  if (bindings_.size() == kIndexFrom) {
    for (size_t i = 0; i < bindings_.size(); ++i) index_.emplace(bindings_[i].name, i);
  } else if (bindings_.size() > kIndexFrom) {
    index_.emplace(name, bindings_.size() - 1);
  }
}

void Scope::pop_last() {
  if (bindings_.empty()) return;
  ++generation_;
  if (bindings_.size() >= kIndexFrom) {
    if (bindings_.size() == kIndexFrom) {
      index_.clear();
    } else {
      index_.erase(bindings_.back().name);
    }
  }
  bindings_.pop_back();
}

void Scope::clear() {
  ++generation_;
  bindings_.clear();
  index_.clear();
}

void Scope::swap(Scope& other) noexcept {
  bindings_.swap(other.bindings_);
  index_.swap(other.index_);
  changed_with(other.generation_);
  other.generation_ = generation_;
}

}  // namespace quorvane
