#include "parser/arena.h"

#include <algorithm>
#include <new>
#include <utility>

namespace quorvane {

namespace {

// One block each thread keeps from the last arena it freed, for the next
// arena it makes: a program that parses one query after another then asks
// the heap for no block at all. A block of a few kilobytes is too large for
// the allocator's fast per-thread lists, and asking for one and giving it
// back cost about 6 % of a short query's parse. Only small blocks are kept,
// so a thread holds less than kSpareLimit bytes it does not use.
//
// The slot is trivially destructible, so an arena freed late in a thread's
// exit (a tree in a static) may still read it; the block goes back to the
// heap with the thread, and arenas freed after that free their own.
struct SpareSlot {
  void* memory;
  size_t size;  // bytes after the header
  bool closed;  // the thread is ending: nothing more is kept
};
constexpr size_t kSpareLimit = 64 << 10;
thread_local SpareSlot spare{};

struct SpareOwner {
  SpareOwner() = default;
  SpareOwner(const SpareOwner&) = delete;
  SpareOwner& operator=(const SpareOwner&) = delete;
  ~SpareOwner() {
    ::operator delete(spare.memory);
    spare = {nullptr, 0, true};
  }
};
thread_local SpareOwner spare_owner;

// Keeps the block as this thread's spare, if the slot is free and the block
// small; else frees it.
void keep_or_free(void* block, size_t size) {
  if (spare.memory == nullptr && !spare.closed && size < kSpareLimit) {
    static_cast<void>(&spare_owner);  // frees the spare when the thread ends
    spare.memory = block;
    spare.size = size;
  } else {
    ::operator delete(block);
  }
}

void free_list(auto* block) {
  while (block != nullptr) {
    auto* older = block->older;
    keep_or_free(block, block->size);
    block = older;
  }
}

}  // namespace

void Arena::free_blocks() noexcept {
  free_list(newest_);
  free_list(large_);
}

void* Arena::allocate_in_new_block(size_t size) {
  const size_t last = newest_ == nullptr ? 0 : newest_->size;
  const size_t grown =
      last == 0 ? first_block_ : std::min(2 * (last + kHeader), kLargestBlock) - kHeader;
  size_t room = std::max(grown, size);
  void* memory = nullptr;
  if (spare.memory != nullptr && spare.size >= room) {
    memory = std::exchange(spare.memory, nullptr);
    room = spare.size;
  } else {
    // Through operator new, as every other allocation, so that what counts
    // the heap counts the tree's blocks too.
    memory = ::operator new(kHeader + room);
  }
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

Arena* Arena::create(size_t first_block) {
  Arena blocks(first_block + sizeof(Arena) + alignof(Arena));
  void* at = blocks.allocate(sizeof(Arena), alignof(Arena));
  return ::new (at) Arena(std::move(blocks));
}

void Arena::destroy(Arena* arena) noexcept {
  // The arena lives in one of its blocks: its blocks leave it before it goes,
  // and are freed after.
  Arena blocks(std::move(*arena));
  arena->~Arena();
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
