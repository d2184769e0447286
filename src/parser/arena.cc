#include "parser/arena.h"

#include <algorithm>
#include <new>

namespace quorvane {

namespace {

void free_blocks(auto* block) {
  while (block != nullptr) {
    auto* older = block->older;
    ::operator delete(block);
    block = older;
  }
}

}  // namespace

Arena::~Arena() {
  free_blocks(newest_);
  free_blocks(large_);
}

void* Arena::allocate_in_new_block(size_t size) {
  const size_t last = newest_ == nullptr ? 0 : newest_->size;
  const size_t grown =
      last == 0 ? first_block_ : std::min(2 * (last + kHeader), kLargestBlock) - kHeader;
  const size_t room = std::max(grown, size);
  // Through operator new, as every other allocation, so that what counts
  // the heap counts the tree's blocks too.
  void* memory = ::operator new(kHeader + room);
  Block* block = static_cast<Block*>(memory);
  block->size = room;
  block->older = newest_;
  block->newer = nullptr;
  newest_ = block;
  char* data = static_cast<char*>(memory) + kHeader;
  next_ = data + size;
  end_ = data + room;
  return data;
}

void* Arena::allocate_large(size_t size) {
  void* memory = ::operator new(kHeader + size);
  Block* block = static_cast<Block*>(memory);
  block->size = size;
  block->older = large_;
  block->newer = nullptr;
  if (large_ != nullptr) large_->newer = block;
  large_ = block;
  return static_cast<char*>(memory) + kHeader;
}

void Arena::release_large(void* p) noexcept {
  Block* block = reinterpret_cast<Block*>(static_cast<char*>(p) - kHeader);
  if (block->older != nullptr) block->older->newer = block->newer;
  if (block->newer != nullptr) {
    block->newer->older = block->older;
  } else {
    large_ = block->older;
  }
  ::operator delete(block);
}

void Arena::adopt(Arena&& other) noexcept {
  if (other.large_ != nullptr) {
    Block* oldest = other.large_;
    while (oldest->older != nullptr) oldest = oldest->older;
    oldest->older = large_;
    if (large_ != nullptr) large_->newer = oldest;
    large_ = std::exchange(other.large_, nullptr);
  }
  if (other.newest_ == nullptr) return;
  if (newest_ == nullptr) {
    newest_ = std::exchange(other.newest_, nullptr);
    next_ = std::exchange(other.next_, nullptr);
    end_ = std::exchange(other.end_, nullptr);
    return;
  }
  // The other's blocks go behind this arena's newest, which keeps serving.
  Block* oldest = other.newest_;
  while (oldest->older != nullptr) oldest = oldest->older;
  oldest->older = newest_->older;
  newest_->older = std::exchange(other.newest_, nullptr);
  other.next_ = nullptr;
  other.end_ = nullptr;
}

size_t Arena::reserved() const {
  size_t total = 0;
  for (const Block* list : {newest_, large_}) {
    for (const Block* block = list; block != nullptr; block = block->older) {
      total += kHeader + block->size;
    }
  }
  return total;
}

}  // namespace quorvane
