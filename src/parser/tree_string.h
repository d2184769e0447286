// The text of a name or literal in a syntax tree.
//
// The parser makes views: each points into the copy of the query text that
// the tree's root holds in its arena (see ast.h), so reading a name copies
// and allocates nothing, and freeing one does nothing. Code that builds a
// tree makes owned strings, and a copy is always owned: a copied tree, or a
// node copied out of one, holds no pointer into the tree it came from. As
// with a tree's other parts, a view moved out of a parsed tree lives only
// as long as that tree's root.
#ifndef QUORVANE_PARSER_TREE_STRING_H_
#define QUORVANE_PARSER_TREE_STRING_H_

#include <compare>
#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace quorvane {

template <class T>
class Nullable;

// Invariants: `data_` points at `size_` bytes (at a static empty string
// when there are none; it is null only in an absent Nullable<TreeString>);
// when `owned_`, they were allocated by this string with new[] and nothing
// else points at them. 16 bytes.
class TreeString {
 public:
  TreeString() noexcept = default;
  // Owned copies. From a std::string_view only when asked, so that the
  // parser cannot copy a name by mistake where it means a view.
  TreeString(const std::string& text) { own(text); }
  TreeString(const char* text) { own(text); }
  explicit TreeString(std::string_view text) { own(text); }
  // A view of `text` (under 4 GiB, as a query the parser takes), which must
  // outlive the string and every move of it.
  static TreeString view(std::string_view text) noexcept {
    TreeString s;
    if (!text.empty()) {
      s.data_ = text.data();
      s.size_ = static_cast<uint32_t>(text.size());
    }
    return s;
  }

  TreeString(const TreeString& other) { own(other); }
  TreeString(TreeString&& other) noexcept
      : data_(std::exchange(other.data_, kEmpty)),
        size_(std::exchange(other.size_, 0)),
        owned_(std::exchange(other.owned_, false)) {}
  TreeString& operator=(const TreeString& other) {
    if (this != &other) *this = TreeString(other);
    return *this;
  }
  TreeString& operator=(TreeString&& other) noexcept {
    if (this != &other) {
      free();
      data_ = std::exchange(other.data_, kEmpty);
      size_ = std::exchange(other.size_, 0);
      owned_ = std::exchange(other.owned_, false);
    }
    return *this;
  }
  TreeString& operator=(std::string_view text) { return *this = TreeString(text); }
  TreeString& operator=(const std::string& text) { return *this = TreeString(text); }
  TreeString& operator=(const char* text) { return *this = TreeString(text); }
  ~TreeString() { free(); }

  operator std::string_view() const noexcept { return {data_, size_}; }
  std::string_view sv() const noexcept { return {data_, size_}; }
  std::string str() const { return std::string(data_, size_); }
  const char* data() const noexcept { return data_; }
  size_t size() const noexcept { return size_; }
  size_t length() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const char* begin() const noexcept { return data_; }
  const char* end() const noexcept { return data_ + size_; }
  char operator[](size_t i) const noexcept { return data_[i]; }
  char front() const noexcept { return data_[0]; }
  char back() const noexcept { return data_[size_ - 1]; }
  bool starts_with(std::string_view prefix) const noexcept { return sv().starts_with(prefix); }
  bool ends_with(std::string_view suffix) const noexcept { return sv().ends_with(suffix); }
  std::string_view substr(size_t pos, size_t count = std::string_view::npos) const {
    return sv().substr(pos, count);
  }
  size_t find(char c, size_t pos = 0) const noexcept { return sv().find(c, pos); }
  size_t find(std::string_view s, size_t pos = 0) const noexcept { return sv().find(s, pos); }
  // Whether this string points into text it does not own.
  bool is_view() const noexcept { return !owned_ && size_ != 0; }
  void clear() noexcept {
    free();
    data_ = kEmpty;
    size_ = 0;
  }

  friend bool operator==(const TreeString& a, const TreeString& b) noexcept {
    return a.sv() == b.sv();
  }
  friend std::strong_ordering operator<=>(const TreeString& a, const TreeString& b) noexcept {
    return a.sv() <=> b.sv();
  }
  // With anything that reads as text, without a conversion that could make
  // the comparison ambiguous.
  template <class S>
    requires(std::is_convertible_v<const S&, std::string_view> && !std::is_same_v<S, TreeString>)
  friend bool operator==(const TreeString& a, const S& b) noexcept {
    return a.sv() == std::string_view(b);
  }
  template <class S>
    requires(std::is_convertible_v<const S&, std::string_view> && !std::is_same_v<S, TreeString>)
  friend std::strong_ordering operator<=>(const TreeString& a, const S& b) noexcept {
    return a.sv() <=> std::string_view(b);
  }
  friend std::ostream& operator<<(std::ostream& out, const TreeString& s) { return out << s.sv(); }
  friend std::string operator+(std::string a, const TreeString& b) { return a.append(b.sv()); }
  friend std::string operator+(const TreeString& a, std::string_view b) {
    return a.str().append(b);
  }
  friend std::string operator+(const TreeString& a, const char* b) { return a.str().append(b); }
  friend std::string operator+(const TreeString& a, const std::string& b) {
    return a.str().append(b);
  }
  friend std::string operator+(const char* a, const TreeString& b) {
    return std::string(a).append(b.sv());
  }

 private:
  // Nullable<TreeString> marks an absent name with a null `data_`, which no
  // TreeString has otherwise.
  friend class Nullable<TreeString>;
  struct Absent {};
  explicit TreeString(Absent) noexcept : data_(nullptr) {}
  bool absent() const noexcept { return data_ == nullptr; }

  static constexpr const char* kEmpty = "";

  void own(std::string_view text) {
    if (text.empty()) return;
    // The size is kept in 32 bits, as a query's offsets are.
    if (text.size() > UINT32_MAX) throw std::length_error("a name of 4 GiB or more");
    char* copy = new char[text.size()];
    std::memcpy(copy, text.data(), text.size());
    data_ = copy;
    size_ = static_cast<uint32_t>(text.size());
    owned_ = true;
  }
  void free() noexcept {
    if (owned_) delete[] data_;
    owned_ = false;
  }

  const char* data_ = kEmpty;
  uint32_t size_ = 0;
  bool owned_ = false;
};

}  // namespace quorvane

template <>
struct std::hash<quorvane::TreeString> {
  size_t operator()(const quorvane::TreeString& s) const noexcept {
    return std::hash<std::string_view>()(s.sv());
  }
};

#endif  // QUORVANE_PARSER_TREE_STRING_H_
