// Storage for the nodes of one syntax tree: a bump allocator whose blocks
// are all released together when it goes. A tree's lists take their
// storage from it too (tree_list.h).
//
// A parse puts the whole tree in the arena of the query it returns
// (RegularQuery::arena): a few allocations per query instead of one per node
// and list, nothing released node by node. Nodes in an arena are destroyed
// as any others are (unless the root of a parsed tree lets them go with the
// arena, see ast.h), but their memory is not given back until the arena
// goes, so the arena must outlive every node in it; the tree's root holds
// it, declared before the nodes so that it goes last.
// A copy of any part of a tree is made on the heap and owns itself.
#ifndef QUORVANE_PARSER_ARENA_H_
#define QUORVANE_PARSER_ARENA_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>

namespace quorvane {

// Invariants: small requests come from blocks in order; `next_` and `end_`
// bound the free part of the newest block (both null before the first);
// every such block is in the list from `newest_` and given up only by the
// destructor, which frees it or keeps a small one for the thread's next
// arena (arena.cc). A request of `kLargeRequest` bytes or more has a block
// of its own, in the list from `large_`, freed when released (a list that
// outgrew it) or by the destructor. An arena is used by one thread at a
// time; an arena made by create() lives in one of its own blocks.
class Arena {
 public:
  Arena() noexcept = default;
  // The first block holds `first_block` bytes: a caller that knows about how
  // much it will use spares the blocks on the way there.
  explicit Arena(size_t first_block) noexcept : first_block_(first_block) {}
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  Arena(Arena&& other) noexcept
      : newest_(std::exchange(other.newest_, nullptr)),
        large_(std::exchange(other.large_, nullptr)),
        next_(std::exchange(other.next_, nullptr)),
        end_(std::exchange(other.end_, nullptr)),
        first_block_(other.first_block_) {}
  // Keeps this arena's blocks as well as taking `other`'s: nodes made in
  // either may still be alive (a tree assigned over is destroyed after its
  // root's arena is assigned).
  Arena& operator=(Arena&& other) noexcept {
    if (this != &other) adopt(std::move(other));
    return *this;
  }
  // Inline for the arenas that hold no block (a moved-from one): those
  // cost a test, not a call.
  ~Arena() {
    if (newest_ != nullptr || large_ != nullptr) free_blocks();
  }

  // `size` bytes aligned to `align` (a power of two at most 16).
  void* allocate(size_t size, size_t align) {
    if (size >= kLargeRequest) return allocate_large(size);
    char* at = align_up(next_, align);
    if (at == nullptr || static_cast<size_t>(end_ - at) < size) return allocate_in_new_block(size);
    next_ = at + size;
    return at;
  }

  // Gives back `size` bytes at `p`, from allocate(size, ...), that are no
  // longer used (the storage a list grew out of). A large request's block
  // is freed and the newest request is taken back; any other stays until
  // the arena goes, so that growing lists cost no bookkeeping.
  void release(void* p, size_t size) noexcept {
    if (size >= kLargeRequest) {
      release_large(p);
    } else if (static_cast<char*>(p) + size == next_) {
      next_ = static_cast<char*>(p);
    }
  }

  // A copy of `text` that lives as long as the arena.
  std::string_view copy(std::string_view text) {
    if (text.empty()) return {};
    char* at = static_cast<char*>(allocate(text.size(), 1));
    std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
  }
  // The same with a zero byte after it, even for an empty text: a reader of
  // the copy may then look one byte past its end without a bounds check.
  std::string_view copy_terminated(std::string_view text) {
    char* at = static_cast<char*>(allocate(text.size() + 1, 1));
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    return {at, text.size()};
  }

  template <class T, class... Args>
  T* create(Args&&... args) {
    static_assert(alignof(T) <= kMaxAlign, "over-aligned node");
    void* memory = allocate(sizeof(T), alignof(T));
    if constexpr (std::is_aggregate_v<T>) {
      return ::new (memory) T{std::forward<Args>(args)...};
    } else {
      return ::new (memory) T(std::forward<Args>(args)...);
    }
  }

  // Takes over `other`'s blocks, which then live as long as this arena.
  void adopt(Arena&& other) noexcept;

  // An arena made inside its own first block, which holds `first_block`
  // bytes besides: a root's arena then costs no allocation of its own.
  // Freed with destroy() only.
  static Arena* create(size_t first_block);
  static void destroy(Arena* arena) noexcept;

  // The bytes of all blocks, and of what was handed out (with the padding
  // for alignment and what is left at the end of older blocks): for tests
  // and measurements.
  size_t reserved() const;
  size_t used() const { return reserved() - static_cast<size_t>(end_ - next_); }

  static constexpr size_t kMaxAlign = 16;

 private:
  struct Block {
    Block* older;
    Block* newer;  // in the list of large blocks only
    size_t size;   // bytes after the header
  };
  static constexpr size_t kHeader = (sizeof(Block) + kMaxAlign - 1) / kMaxAlign * kMaxAlign;
  // A query of the usual size fits in the first block; later blocks double
  // up to the largest. A request too large to share a block has its own.
  static constexpr size_t kFirstBlock = 4096 - kHeader;
  static constexpr size_t kLargestBlock = 1 << 20;
  static constexpr size_t kLargeRequest = 64 << 10;

  static char* align_up(char* p, size_t align) {
    if (p == nullptr) return nullptr;
    const uintptr_t bits = reinterpret_cast<uintptr_t>(p);
    return p + ((align - bits % align) % align);
  }
  void free_blocks() noexcept;
  void* allocate_in_new_block(size_t size);
  void* allocate_large(size_t size);
  void release_large(void* p) noexcept;

  Block* newest_ = nullptr;
  Block* large_ = nullptr;  // the newest large block
  char* next_ = nullptr;
  char* end_ = nullptr;
  size_t first_block_ = kFirstBlock;
};

// The arena of a tree's root, at a fixed address for the root's life (the
// tree's lists hold its address). A copy of a tree is on the heap, so a
// copied root has no arena, and a root copied over keeps the arena its
// lists may still take storage from. A root moved over takes the other's;
// the root must assign its nodes before its arena, so that its old nodes go
// while their arena is still there.
class RootArena {
 public:
  RootArena() noexcept = default;
  RootArena(const RootArena&) noexcept {}
  RootArena(RootArena&&) noexcept = default;
  RootArena& operator=(const RootArena&) noexcept { return *this; }
  RootArena& operator=(RootArena&&) noexcept = default;

  // The arena, made on first use with a first block of `first_block` bytes.
  Arena* get(size_t first_block) {
    if (!arena_) arena_.reset(Arena::create(first_block));
    return arena_.get();
  }
  // Nullptr before first use.
  const Arena* arena() const noexcept { return arena_.get(); }

 private:
  struct Destroy {
    void operator()(Arena* arena) const noexcept { Arena::destroy(arena); }
  };
  std::unique_ptr<Arena, Destroy> arena_;
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_ARENA_H_
