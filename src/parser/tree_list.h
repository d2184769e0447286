// The list type of a syntax tree: 16 bytes (a pointer, a 32-bit size, and a
// 31-bit capacity with one bit for whether its storage is in an arena).
//
// The parser appends with emplace_back_in(arena, ...), so a parsed tree's
// lists take their storage from the root's arena and give nothing back one
// by one. Code that builds or changes a tree uses the usual push_back and
// emplace_back, which keep a list on the heap: a list in an arena that must
// grow that way moves its elements to the heap, as it has no arena to grow
// in. A copy is on the heap; a move takes the storage along, wherever it is.
//
// A list does not hold its arena, which is what keeps it at half the size of
// a std::vector with an arena allocator; the arena must outlive the list
// (the root of a parsed tree holds both, see arena.h).
#ifndef QUORVANE_PARSER_TREE_LIST_H_
#define QUORVANE_PARSER_TREE_LIST_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "parser/arena.h"

namespace quorvane {

// Invariants: `data_` holds room for capacity() elements, of which the
// first `size_` are alive; `data_` is null exactly when capacity() is 0;
// in_arena() tells whether the room is an arena's (never freed here) or the
// heap's (freed by this list).
template <class T>
class TreeList {
 public:
  using value_type = T;
  using size_type = size_t;
  using difference_type = std::ptrdiff_t;
  using reference = T&;
  using const_reference = const T&;
  using pointer = T*;
  using const_pointer = const T*;
  using iterator = T*;
  using const_iterator = const T*;

  TreeList() noexcept = default;
  TreeList(std::initializer_list<T> values) : TreeList(values.begin(), values.end()) {}
  template <class It, class = typename std::iterator_traits<It>::iterator_category>
  TreeList(It first, It last) : TreeList() {
    if constexpr (std::is_base_of_v<std::forward_iterator_tag,
                                    typename std::iterator_traits<It>::iterator_category>) {
      reserve(static_cast<size_t>(std::distance(first, last)));
    }
    for (; first != last; ++first) emplace_back(*first);
  }
  TreeList(const TreeList& other) : TreeList(other.begin(), other.end()) {}
  TreeList(TreeList&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)),
        room_(std::exchange(other.room_, 0)) {}
  TreeList& operator=(const TreeList& other) {
    if (this != &other) {
      TreeList copy(other);
      swap(copy);
    }
    return *this;
  }
  TreeList& operator=(TreeList&& other) noexcept {
    if (this != &other) {
      TreeList taken(std::move(other));
      swap(taken);
    }
    return *this;
  }
  TreeList& operator=(std::initializer_list<T> values) { return *this = TreeList(values); }
  // Most of a tree's lists are empty (a query part's updating clauses, a
  // node's labels): those return before calling anything.
  ~TreeList() {
    if (data_ != nullptr) free_storage();
  }

  void swap(TreeList& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(room_, other.room_);
  }
  friend void swap(TreeList& a, TreeList& b) noexcept { a.swap(b); }

  size_t size() const noexcept { return size_; }
  size_t capacity() const noexcept { return room_ & kMaxCapacity; }
  bool empty() const noexcept { return size_ == 0; }
  // Whether the list's storage is an arena's.
  bool in_arena() const noexcept { return (room_ & kInArena) != 0; }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  T* begin() noexcept { return data_; }
  T* end() noexcept { return data_ + size_; }
  const T* begin() const noexcept { return data_; }
  const T* end() const noexcept { return data_ + size_; }
  const T* cbegin() const noexcept { return data_; }
  const T* cend() const noexcept { return data_ + size_; }
  std::reverse_iterator<T*> rbegin() noexcept { return std::reverse_iterator<T*>(end()); }
  std::reverse_iterator<T*> rend() noexcept { return std::reverse_iterator<T*>(begin()); }
  std::reverse_iterator<const T*> rbegin() const noexcept {
    return std::reverse_iterator<const T*>(end());
  }
  std::reverse_iterator<const T*> rend() const noexcept {
    return std::reverse_iterator<const T*>(begin());
  }

  T& operator[](size_t i) noexcept { return data_[i]; }
  const T& operator[](size_t i) const noexcept { return data_[i]; }
  T& at(size_t i) {
    if (i >= size_) throw std::out_of_range("TreeList::at");
    return data_[i];
  }
  const T& at(size_t i) const {
    if (i >= size_) throw std::out_of_range("TreeList::at");
    return data_[i];
  }
  T& front() noexcept { return data_[0]; }
  const T& front() const noexcept { return data_[0]; }
  T& back() noexcept { return data_[size_ - 1]; }
  const T& back() const noexcept { return data_[size_ - 1]; }

  // Appends, growing on the heap.
  template <class... Args>
  T& emplace_back(Args&&... args) {
    return emplace_back_in(nullptr, std::forward<Args>(args)...);
  }
  void push_back(const T& value) { emplace_back(value); }
  void push_back(T&& value) { emplace_back(std::move(value)); }

  // Appends, growing in `arena` (on the heap where it is null). A list on
  // the heap that must grow stays there. A list already in an arena must be
  // given that arena: the room it outgrows goes back to it.
  template <class... Args>
  T& emplace_back_in(Arena* arena, Args&&... args) {
    if (size_ == capacity()) [[unlikely]] {
      return grow_and_emplace(arena, std::forward<Args>(args)...);
    }
    T* at = ::new (static_cast<void*>(data_ + size_)) T(std::forward<Args>(args)...);
    ++size_;
    return *at;
  }

  // Room for `count` elements, on the heap or in `arena`, as for appending.
  void reserve(size_t count) { reserve_in(nullptr, count); }
  void reserve_in(Arena* arena, size_t count) {
    if (count > capacity()) move_to_storage(arena, count);
  }

  void pop_back() noexcept {
    --size_;
    data_[size_].~T();
  }
  void clear() noexcept {
    std::destroy(begin(), end());
    size_ = 0;
  }
  // Removes [first, last), moving the rest down.
  T* erase(const T* first, const T* last) {
    T* to = data_ + (first - data_);
    T* from = data_ + (last - data_);
    if (first == last) return to;
    T* new_end = std::move(from, end(), to);
    std::destroy(new_end, end());
    size_ = static_cast<uint32_t>(new_end - data_);
    return to;
  }
  T* erase(const T* at) { return erase(at, at + 1); }

  friend bool operator==(const TreeList& a, const TreeList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }
  // A list of the tree equals a std::vector of equal elements (a list of
  // names, a std::vector of std::string).
  template <class U>
  friend bool operator==(const TreeList& list, const std::vector<U>& other) {
    return std::equal(list.begin(), list.end(), other.begin(), other.end());
  }

 private:
  static constexpr uint32_t kInArena = uint32_t{1} << 31;
  static constexpr uint32_t kMaxCapacity = kInArena - 1;

  struct Room {
    T* data;
    size_t count;
    bool in_arena;
  };

  // New room for `count` elements: in `arena` when it is given and the list
  // is not on the heap already.
  Room new_room(Arena* arena, size_t count) const {
    if (count > kMaxCapacity) throw std::length_error("TreeList: too many elements");
    if (arena != nullptr && (data_ == nullptr || in_arena())) {
      return {static_cast<T*>(arena->allocate(count * sizeof(T), alignof(T))), count, true};
    }
    return {std::allocator<T>().allocate(count), count, false};
  }
  static void drop_room(Room room, Arena* arena) noexcept {
    if (!room.in_arena) {
      std::allocator<T>().deallocate(room.data, room.count);
    } else {
      arena->release(room.data, room.count * sizeof(T));
    }
  }
  // Moves the elements into `room`, which the list then holds.
  void take_room(Room room, Arena* arena) noexcept {
    static_assert(std::is_nothrow_move_constructible_v<T>, "a tree's nodes move without failing");
    std::uninitialized_move(begin(), end(), room.data);
    const uint32_t size = size_;
    free_storage(arena);
    data_ = room.data;
    size_ = size;
    room_ = static_cast<uint32_t>(room.count) | (room.in_arena ? kInArena : 0);
  }

  void move_to_storage(Arena* arena, size_t count) { take_room(new_room(arena, count), arena); }

  // The new element is made before the old ones move: it may be made from
  // one of them (`list.push_back(list.front())`). Most lists of a tree hold
  // one element; those that grow double.
  template <class... Args>
  [[gnu::noinline]] T& grow_and_emplace(Arena* arena, Args&&... args) {
    if (data_ == nullptr && arena != nullptr) {
      // The usual case: the first element of a list the parser makes, with
      // no elements to move and no room to give back.
      T* at = static_cast<T*>(arena->allocate(sizeof(T), alignof(T)));
      ::new (static_cast<void*>(at)) T(std::forward<Args>(args)...);
      data_ = at;
      size_ = 1;
      room_ = 1 | kInArena;
      return *at;
    }
    const Room room = new_room(arena, std::max(size_t{size_} + 1, 2 * capacity()));
    T* at = room.data + size_;
    try {
      ::new (static_cast<void*>(at)) T(std::forward<Args>(args)...);
    } catch (...) {
      drop_room(room, arena);
      throw;
    }
    take_room(room, arena);
    ++size_;
    return *at;
  }

  // Destroys the elements and gives the room back: to the heap, or to
  // `arena` if it is the room's and can take it back.
  void free_storage(Arena* arena = nullptr) noexcept {
    if constexpr (!std::is_trivially_destructible_v<T>) std::destroy(begin(), end());
    if (data_ != nullptr) {
      if (!in_arena()) {
        std::allocator<T>().deallocate(data_, capacity());
      } else if (arena != nullptr) {
        arena->release(data_, capacity() * sizeof(T));
      }
    }
    data_ = nullptr;
    size_ = 0;
    room_ = 0;
  }

  T* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t room_ = 0;  // the capacity, and kInArena when the room is an arena's
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_TREE_LIST_H_
