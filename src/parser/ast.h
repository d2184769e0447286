// The syntax tree of one query.
//
// A value tree: every node owns its children (no sharing, no parent links),
// and copying a node copies its whole subtree. Nothing changes after the
// parser returns it. The parser bounds the depth of every tree it builds, so
// recursive walks, copies and destruction stay shallow.
//
// Storage: the parser puts a tree's boxed nodes and lists in the arena its
// root holds (RegularQuery::arena, see arena.h), so a parse makes a few
// allocations instead of one per node, and releases them at once, without
// visiting the nodes while no one can have changed them (RegularQuery). The arena
// also holds the parser's copy of the query text, and the tree's names and
// literals are views into it (tree_string.h). A copy of any part is on the
// heap and owns its names. A part moved out of a parsed tree still lives in
// that tree's arena: keep the root alive while it is used, or copy it.
//
// Optional parts that are large or seldom written (a WHERE, a range, a
// property map, ORDER BY, SKIP, LIMIT, a path name) are held in a Nullable:
// std::optional's interface at the cost of one pointer when absent.
//
// Maps (property maps and map literals) are kept as entry lists in the order
// the keys were first written; a repeated key replaces the earlier value in
// place.
#ifndef QUORVANE_PARSER_AST_H_
#define QUORVANE_PARSER_AST_H_

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "parser/arena.h"
#include "parser/tree_list.h"
#include "parser/tree_string.h"

namespace quorvane {

template <class T>
class Nullable;

// Builds a node on the heap: aggregates take braces, as not every compiler in
// use reads parenthesised aggregate initialisation yet.
template <class T, class... Args>
T* new_node(Args&&... args) {
  if constexpr (std::is_aggregate_v<T>) {
    return new T{std::forward<Args>(args)...};
  } else {
    return new T(std::forward<Args>(args)...);
  }
}

// The one node a Box or Nullable owns, on the heap or in an arena; the low
// bit of the address says which. Releasing it destroys the node and frees
// heap memory; an arena's memory goes with the arena.
template <class T>
class OwnedNode {
 public:
  OwnedNode() noexcept = default;
  // In `arena`, or on the heap where it is null.
  template <class... Args>
  static OwnedNode make(Arena* arena, Args&&... args) {
    static_assert(alignof(T) >= 2, "the low bit of a node's address marks the arena");
    OwnedNode node;
    if (arena != nullptr) {
      node.bits_ =
          reinterpret_cast<uintptr_t>(arena->create<T>(std::forward<Args>(args)...)) | kInArena;
    } else {
      node.bits_ = reinterpret_cast<uintptr_t>(new_node<T>(std::forward<Args>(args)...));
    }
    return node;
  }
  T* get() const noexcept { return reinterpret_cast<T*>(bits_ & ~kInArena); }
  void release() noexcept {
    T* node = get();
    if (node == nullptr) return;
    if (bits_ & kInArena) {
      node->~T();
    } else {
      delete node;
    }
    bits_ = 0;
  }
  void swap(OwnedNode& other) noexcept { std::swap(bits_, other.bits_); }
  // Takes `other`'s node, leaving it empty, then releases the node held
  // before: `other` may be part of that node (a box assigned its own child),
  // and the old node goes now, while its arena surely still exists, rather
  // than with whatever `other` was.
  void replace_with(OwnedNode& other) noexcept {
    OwnedNode old;
    old.bits_ = std::exchange(bits_, std::exchange(other.bits_, 0));
    old.release();
  }

 private:
  static constexpr uintptr_t kInArena = 1;
  uintptr_t bits_ = 0;
};

// An owning, deep-copying pointer: gives recursive types a fixed size.
// Only a moved-from Box, or one held by an empty Nullable, is empty. A copy
// is on the heap, whatever the original's storage.
template <class T>
class Box {
 public:
  // By reference: building a tree boxes large nodes often, and a by-value
  // parameter would move each one twice.
  Box(T&& value) : node_(OwnedNode<T>::make(nullptr, std::move(value))) {}
  Box(const T& value) : node_(OwnedNode<T>::make(nullptr, value)) {}
  // The value constructed in place from `args`: one allocation, no move.
  template <class... Args>
  explicit Box(std::in_place_t, Args&&... args)
      : node_(OwnedNode<T>::make(nullptr, std::forward<Args>(args)...)) {}
  // The same in `arena` (on the heap where it is null).
  template <class... Args>
  static Box in(Arena* arena, Args&&... args) {
    return Box(OwnedNode<T>::make(arena, std::forward<Args>(args)...));
  }
  Box(const Box& other)
      : node_(other.get() ? OwnedNode<T>::make(nullptr, *other.get()) : OwnedNode<T>()) {}
  Box(Box&& other) noexcept { node_.swap(other.node_); }
  Box& operator=(const Box& other) {
    if (this != &other) *this = Box(other);
    return *this;
  }
  Box& operator=(Box&& other) noexcept {
    if (this != &other) node_.replace_with(other.node_);
    return *this;
  }
  ~Box() { node_.release(); }

  T& operator*() { return *get(); }
  const T& operator*() const { return *get(); }
  T* operator->() { return get(); }
  const T* operator->() const { return get(); }
  T* get() { return node_.get(); }
  const T* get() const { return node_.get(); }

 private:
  friend class Nullable<Box<T>>;
  struct Empty {};
  explicit Box(Empty) noexcept {}
  explicit Box(OwnedNode<T> node) noexcept : node_(node) {}

  OwnedNode<T> node_;
};

template <class T>
inline constexpr bool is_std_optional_v = false;
template <class T>
inline constexpr bool is_std_optional_v<std::optional<T>> = true;

// What a Nullable<T> may be built or assigned from besides T itself: what
// builds a T, but not a Nullable, an optional or nullopt, which have their
// own overloads.
template <class T, class U>
concept NullableSource =
    std::is_constructible_v<T, U> && !std::is_same_v<std::remove_cvref_t<U>, Nullable<T>> &&
    !std::is_same_v<std::remove_cvref_t<U>, std::nullopt_t> &&
    !std::is_same_v<std::remove_cvref_t<U>, std::in_place_t> &&
    !is_std_optional_v<std::remove_cvref_t<U>>;

// What Nullable<T> and Nullable<TreeString> read alike, from the
// has_value() and operator* each defines: value(), the test, and comparison
// as std::optional compares (two absent values are equal, and an absent
// value equals no present one).
template <class N, class T>
class OptionalReads {
 public:
  explicit operator bool() const noexcept { return self().has_value(); }
  T& value() {
    if (!self().has_value()) throw std::bad_optional_access();
    return *static_cast<N&>(*this);
  }
  const T& value() const {
    if (!self().has_value()) throw std::bad_optional_access();
    return *self();
  }

  friend bool operator==(const N& n, std::nullopt_t) noexcept { return !n.has_value(); }
  friend bool operator==(const N& a, const N& b) {
    return a.has_value() == b.has_value() && (!a || *a == *b);
  }
  template <class U>
  friend bool operator==(const N& a, const std::optional<U>& b) {
    return a.has_value() == b.has_value() && (!a || *a == *b);
  }
  template <class U>
    requires(!std::is_same_v<U, N> && !std::is_same_v<U, std::nullopt_t> && !is_std_optional_v<U>)
  friend bool operator==(const N& a, const U& value) {
    return a.has_value() && *a == value;
  }

 private:
  const N& self() const { return static_cast<const N&>(*this); }
};

// std::optional<T> held behind one pointer: an absent value costs 8 bytes
// rather than sizeof(T), a present one a heap node of its own. For fields
// that are large and mostly absent. Copying copies the value; a moved-from
// Nullable is empty.
template <class T>
class Nullable : public OptionalReads<Nullable<T>, T> {
 public:
  using value_type = T;

  Nullable() noexcept = default;
  Nullable(std::nullopt_t) noexcept {}
  template <class U = T>
    requires NullableSource<T, U&&>
  Nullable(U&& value) : node_(OwnedNode<T>::make(nullptr, std::forward<U>(value))) {}
  Nullable(const std::optional<T>& other)
      : node_(other ? OwnedNode<T>::make(nullptr, *other) : OwnedNode<T>()) {}
  Nullable(std::optional<T>&& other)
      : node_(other ? OwnedNode<T>::make(nullptr, std::move(*other)) : OwnedNode<T>()) {}
  Nullable(const Nullable& other)
      : node_(other ? OwnedNode<T>::make(nullptr, *other) : OwnedNode<T>()) {}
  Nullable(Nullable&& other) noexcept { node_.swap(other.node_); }
  Nullable& operator=(const Nullable& other) {
    if (this != &other) *this = Nullable(other);
    return *this;
  }
  Nullable& operator=(Nullable&& other) noexcept {
    if (this != &other) node_.replace_with(other.node_);
    return *this;
  }
  Nullable& operator=(std::nullopt_t) noexcept {
    reset();
    return *this;
  }
  template <class U = T>
    requires NullableSource<T, U&&>
  Nullable& operator=(U&& value) {
    if (has_value()) {
      **this = std::forward<U>(value);
    } else {
      node_ = OwnedNode<T>::make(nullptr, std::forward<U>(value));
    }
    return *this;
  }
  ~Nullable() { node_.release(); }

  bool has_value() const noexcept { return node_.get() != nullptr; }
  T& operator*() { return *node_.get(); }
  const T& operator*() const { return *node_.get(); }
  T* operator->() { return node_.get(); }
  const T* operator->() const { return node_.get(); }

  template <class... Args>
  T& emplace(Args&&... args) {
    return emplace_in(nullptr, std::forward<Args>(args)...);
  }
  // The value built in `arena` (on the heap where it is null).
  template <class... Args>
  T& emplace_in(Arena* arena, Args&&... args) {
    reset();
    node_ = OwnedNode<T>::make(arena, std::forward<Args>(args)...);
    return **this;
  }
  void reset() noexcept { node_.release(); }

 private:
  OwnedNode<T> node_;
};

// std::optional<Box<T>> in the space of the Box alone: the Box is empty when
// the value is absent. As with the optional, `*` gives the Box and `**` the
// value. A moved-from one is empty too.
template <class T>
class Nullable<Box<T>> {
 public:
  using value_type = Box<T>;

  Nullable() noexcept : box_(typename Box<T>::Empty()) {}
  Nullable(std::nullopt_t) noexcept : Nullable() {}
  template <class U = Box<T>>
    requires NullableSource<Box<T>, U&&>
  Nullable(U&& value) : box_(std::forward<U>(value)) {}
  Nullable(const std::optional<Box<T>>& other)
      : box_(other ? Box<T>(**other) : Box<T>(typename Box<T>::Empty())) {}
  Nullable(std::optional<Box<T>>&& other)
      : box_(other ? std::move(*other) : Box<T>(typename Box<T>::Empty())) {}
  Nullable(const Nullable&) = default;
  Nullable(Nullable&&) noexcept = default;
  Nullable& operator=(const Nullable&) = default;
  Nullable& operator=(Nullable&& other) noexcept {
    if (this != &other) {
      box_ = std::move(other.box_);
      other.reset();
    }
    return *this;
  }
  Nullable& operator=(std::nullopt_t) noexcept {
    reset();
    return *this;
  }
  template <class U = Box<T>>
    requires NullableSource<Box<T>, U&&>
  Nullable& operator=(U&& value) {
    box_ = Box<T>(std::forward<U>(value));
    return *this;
  }

  bool has_value() const noexcept { return box_.get() != nullptr; }
  explicit operator bool() const noexcept { return has_value(); }
  Box<T>& operator*() { return box_; }
  const Box<T>& operator*() const { return box_; }
  Box<T>* operator->() { return &box_; }
  const Box<T>* operator->() const { return &box_; }
  Box<T>& value() {
    if (!has_value()) throw std::bad_optional_access();
    return box_;
  }
  const Box<T>& value() const {
    if (!has_value()) throw std::bad_optional_access();
    return box_;
  }

  template <class... Args>
  Box<T>& emplace(Args&&... args) {
    reset();
    box_ = Box<T>(std::forward<Args>(args)...);
    return box_;
  }
  // The value built in `arena` (on the heap where it is null).
  template <class... Args>
  Box<T>& emplace_in(Arena* arena, Args&&... args) {
    reset();
    box_ = Box<T>::in(arena, std::forward<Args>(args)...);
    return box_;
  }
  void reset() noexcept { Box<T> gone(std::move(box_)); }

  friend bool operator==(const Nullable& n, std::nullopt_t) noexcept { return !n.has_value(); }

 private:
  Box<T> box_;
};

// std::optional<TreeString> in the 16 bytes of the string alone: an absent
// name is a string with no text at all. Nothing is allocated for a present
// one either, so a parser's arena is not needed (emplace_in takes one only
// to read as the other Nullables do). A moved-from one is empty.
template <>
class Nullable<TreeString> : public OptionalReads<Nullable<TreeString>, TreeString> {
 public:
  using value_type = TreeString;

  Nullable() noexcept : value_(TreeString::Absent()) {}
  Nullable(std::nullopt_t) noexcept : Nullable() {}
  template <class U = TreeString>
    requires NullableSource<TreeString, U&&>
  Nullable(U&& value) : value_(std::forward<U>(value)) {}
  template <class U>
  Nullable(const std::optional<U>& other) : Nullable() {
    if (other) value_ = TreeString(*other);
  }
  Nullable(const Nullable& other) : Nullable() {
    if (other) value_ = other.value_;
  }
  Nullable(Nullable&& other) noexcept : value_(std::move(other.value_)) { other.reset(); }
  Nullable& operator=(const Nullable& other) {
    if (this != &other) *this = Nullable(other);
    return *this;
  }
  Nullable& operator=(Nullable&& other) noexcept {
    if (this != &other) {
      value_ = std::move(other.value_);
      other.reset();
    }
    return *this;
  }
  Nullable& operator=(std::nullopt_t) noexcept {
    reset();
    return *this;
  }
  template <class U = TreeString>
    requires NullableSource<TreeString, U&&>
  Nullable& operator=(U&& value) {
    value_ = TreeString(std::forward<U>(value));
    return *this;
  }

  bool has_value() const noexcept { return !value_.absent(); }
  TreeString& operator*() { return value_; }
  const TreeString& operator*() const { return value_; }
  TreeString* operator->() { return &value_; }
  const TreeString* operator->() const { return &value_; }

  template <class... Args>
  TreeString& emplace(Args&&... args) {
    value_ = TreeString(std::forward<Args>(args)...);
    return value_;
  }
  template <class... Args>
  TreeString& emplace_in(Arena*, Args&&... args) {
    return emplace(std::forward<Args>(args)...);
  }
  void reset() noexcept { value_ = TreeString(TreeString::Absent()); }

 private:
  TreeString value_;
};

// Where a node's text lies in the query: byte offsets, `end` exclusive,
// without the whitespace and comments around it. A node built by code rather
// than read from a text has the empty span at 0.
struct Span {
  uint32_t begin = 0;
  uint32_t end = 0;

  bool empty() const { return begin == end; }
  bool operator==(const Span&) const = default;
};

struct MapEntry;
struct ExistsSubquery;
struct PatternPart;
struct LabelExpr;
using PropertyMap = TreeList<MapEntry>;

struct Expr {
  struct Integer {
    int64_t value;
    // The literal as written (with its 0x or 0o) when it does not fit in a
    // signed 64-bit integer; value is then 0. Empty for every literal that
    // fits.
    TreeString too_large = {};
  };
  struct Float {
    double value;
    // The literal as written when its magnitude is beyond the largest 64-bit
    // float; value is then 0. Empty for every literal that fits.
    TreeString too_large = {};
  };
  struct String {
    TreeString value;
  };  // without quotes; escapes kept as written
  struct Boolean {
    bool value;
  };
  struct Null {};
  struct List {
    TreeList<Expr> items;
  };
  struct Map {
    PropertyMap entries;
  };
  struct Variable {
    TreeString name;
  };
  struct Property {
    Box<Expr> target;
    TreeString key;
    Span key_span;  // the key as written, with its backticks
  };
  struct Index {
    Box<Expr> target;
    Box<Expr> index;
  };
  struct Slice {
    Box<Expr> target;
    Nullable<Box<Expr>> from;
    Nullable<Box<Expr>> to;
  };
  struct Parameter {
    TreeString name;
  };  // without the '$'
  struct Binary {
    Box<Expr> left;
    Box<Expr> right;
  };
  struct Unary {
    Box<Expr> operand;
  };
  struct Or : Binary {};
  struct Xor : Binary {};
  struct And : Binary {};
  struct Not : Unary {};
  struct Equal : Binary {};
  struct NotEqual : Binary {};
  struct LessThan : Binary {};
  struct LessOrEqual : Binary {};
  struct GreaterThan : Binary {};
  struct GreaterOrEqual : Binary {};
  struct RegexMatch : Binary {};
  struct IsNull : Unary {};
  struct IsNotNull : Unary {};
  struct In : Binary {};
  struct StartsWith : Binary {};
  struct EndsWith : Binary {};
  struct Contains : Binary {};
  struct Add : Binary {};
  struct Subtract : Binary {};
  struct Multiply : Binary {};
  struct Divide : Binary {};
  struct Modulo : Binary {};
  struct Power : Binary {};
  struct Negate : Unary {};
  struct FunctionCall {
    TreeString name;
    TreeList<Expr> args;
    bool distinct = false;
    // Where the name is written: the node's span starts at the parentheses
    // around the call, if any (in the padding, so the node is no larger).
    uint32_t name_begin = 0;
  };
  struct CountStar {};
  struct CaseAlternative;
  struct Case {
    Nullable<Box<Expr>> operand;
    TreeList<CaseAlternative> alternatives;
    Nullable<Box<Expr>> else_expr;
  };
  struct ListComprehension {
    TreeString variable;
    Box<Expr> list;
    Nullable<Box<Expr>> predicate;
    Nullable<Box<Expr>> projection;
  };
  struct Quantifier {
    TreeString variable;
    Box<Expr> list;
    Nullable<Box<Expr>> predicate;
  };
  struct All : Quantifier {};
  struct Any : Quantifier {};
  struct None : Quantifier {};
  struct Single : Quantifier {};
  struct Exists {
    Box<ExistsSubquery> subquery;
  };

  // ---- Extended language only ----
  // `COUNT { ... }`: a pattern (with an optional WHERE, held as a one-MATCH
  // query) or a whole query.
  struct CountSubquery {
    Box<ExistsSubquery> subquery;
  };
  // `COLLECT { query }`: always the query form.
  struct CollectSubquery {
    Box<ExistsSubquery> subquery;
  };
  // A path pattern with at least one relationship used as an expression:
  // `(a)-[:R]->(:B)`.
  struct PatternPredicate {
    Box<PatternPart> pattern;
  };
  // `[p = (a)-[:R]->(b) WHERE cond | projection]`; the path name, if any, is
  // the pattern part's variable.
  struct PatternComprehension {
    Box<PatternPart> pattern;
    Nullable<Box<Expr>> predicate;
    Box<Expr> projection;
  };
  // `n:A`, `n:A|B`, `n IS A`, ...
  struct LabelCheck {
    Box<Expr> target;
    Box<LabelExpr> labels;
  };
  struct MapProjectionItem {
    enum class Kind { Property, AllProperties, Entry, Variable };
    Kind kind;
    TreeString name;            // key (Property, Entry) or variable; empty for .*
    Nullable<Box<Expr>> value;  // Entry only
    Span span;                  // the name as written (the key of an Entry)
  };
  // `n{.name, .*, total: expr, other}`.
  struct MapProjection {
    TreeString variable;
    TreeList<MapProjectionItem> items;
    // The variable as written: the node's span starts at the parentheses
    // around the projection, if any.
    Span variable_span = {};
  };
  // `reduce(acc = init, x IN list | expression)`: the iteration is held as
  // the comprehension `[x IN list | expression]`, whose projection is always
  // set.
  struct Reduce {
    TreeString accumulator;
    Box<Expr> init;
    Box<ListComprehension> iteration;
  };
  // `shortestPath(pattern)` or `allShortestPaths(pattern)` as an expression.
  struct ShortestPath {
    bool all = false;
    Box<PatternPart> pattern;
  };
  // `x IS [NOT] :: TYPE` or `x :: TYPE`; the type upper-cased, spaces made
  // single and dropped around "<", "|" and before ">" ("LIST<INTEGER> NOT
  // NULL").
  struct TypePredicate {
    Box<Expr> operand;
    TreeString type;
    bool negated = false;
  };
  // `a || b`.
  struct Concatenate : Binary {};

  // The 56 variants, in their fixed order: the first 45 make up the subset.
  using Variant =
      std::variant<Integer, Float, String, Boolean, Null, List, Map, Variable, Property, Index,
                   Slice, Parameter, Or, Xor, And, Not, Equal, NotEqual, LessThan, LessOrEqual,
                   GreaterThan, GreaterOrEqual, RegexMatch, IsNull, IsNotNull, In, StartsWith,
                   EndsWith, Contains, Add, Subtract, Multiply, Divide, Modulo, Power, Negate,
                   FunctionCall, CountStar, Case, ListComprehension, All, Any, None, Single, Exists,
                   CountSubquery, CollectSubquery, PatternPredicate, PatternComprehension,
                   LabelCheck, MapProjection, Reduce, ShortestPath, TypePredicate, Concatenate>;

  // Forwarding rather than by value, which would move each node twice; an
  // Expr itself is copied or moved by the implicit constructors.
  template <class T>
    requires(!std::is_same_v<std::remove_cvref_t<T>, Expr>)
  Expr(T&& node) : node(std::forward<T>(node)) {}

  template <class T>
  const T* as() const {
    return std::get_if<T>(&node);
  }
  size_t kind() const { return node.index(); }

  Variant node;
  Span span = {};
};

struct Expr::CaseAlternative {
  Expr when;
  Expr then;
};

struct MapEntry {
  TreeString key;
  Expr value;
  Span key_span = {};  // the key as written, with its backticks
};

// A label expression (extended language): `A`, `%`, `!e`, `e&e`, `e|e`; a
// colon list `:A:B` is an And. A dynamic atom, `$(names)`, `$all(names)` or
// `$any(names)`, takes its names from an expression when the query runs:
// the node has all of them, or (`$any`) one.
struct LabelExpr {
  enum class Kind { Name, Wildcard, Not, And, Or, Dynamic };
  Kind kind = Kind::Name;
  TreeString name;               // Name only
  TreeList<LabelExpr> operands;  // Not: one; And, Or: two or more
  Span span = {};
  Nullable<Box<Expr>> names = {};  // Dynamic only
  bool any = false;                // Dynamic: `$any(...)`
};

// ---- Patterns ----

struct MapOrParam {
  struct Map {
    PropertyMap entries;
  };
  struct Parameter {
    TreeString name;  // without the '$'
    Span span = {};   // of the whole `$name`
  };
  std::variant<Map, Parameter> value;
};

// `labels` holds the names a node is known to carry when matched. A label
// expression other than a plain colon list (extended language) is kept whole
// in `label_expr`; `labels` then holds its names when it is built from names
// with `&` and `|` only (any of them may be the node's), and nothing when it
// holds `!` or `%`.
struct NodePattern {
  Nullable<TreeString> variable;
  TreeList<TreeString> labels;
  Nullable<MapOrParam> properties;
  // Boxed: rare, and kept out of the way of the common node's size.
  Nullable<Box<LabelExpr>> label_expr;
  Nullable<Box<Expr>> where_clause;  // `(n:A WHERE n.x > 1)`
  Span span = {};                    // from '(' to ')'
  Span variable_span = {};
  TreeList<Span> label_spans = {};  // one per name of `labels` read from the text
};

enum class Direction { Outgoing, Incoming, Undirected };

struct RangeBounds {
  std::optional<int64_t> min;
  std::optional<int64_t> max;
};

// As for nodes, `types` holds the possible types and `type_expr` a type
// expression beyond `:A|B` (extended language). A quantifier written after
// the relationship (`-[:R]->{1,3}`, `-->+`) is held as its range.
struct RelationshipPattern {
  Nullable<TreeString> variable;
  TreeList<TreeString> types;
  Nullable<MapOrParam> properties;
  Direction direction = Direction::Undirected;
  Nullable<RangeBounds> range;  // absent without '*' or a quantifier
  Nullable<Box<LabelExpr>> type_expr;
  Nullable<Box<Expr>> where_clause;
  // From the first to the last character of the arrow: `<-[r:T]-`, `-->`.
  Span span = {};
  Span variable_span = {};
  TreeList<Span> type_spans = {};  // one per name of `types` read from the text
};

struct QuantifiedPath;

// One step of a path: a relationship and the node it leads to, or (extended
// language) a quantified group `((a)-->(b)){1,3}` and the node after it,
// anonymous when none is written.
struct PatternLink {
  RelationshipPattern relationship;
  NodePattern node;
  Nullable<Box<QuantifiedPath>> group;
};

// How a pattern part selects paths (extended language).
enum class PathSelector {
  All,
  ShortestPath,
  AllShortestPaths,
  AnyPaths,
  ShortestK,
  AllShortest,
  ShortestKGroups
};

// A path; it starts at an anonymous node when it starts with a group.
struct PatternPart {
  Nullable<TreeString> variable;  // path name, rare
  NodePattern start;
  TreeList<PatternLink> chain;
  PathSelector selector = PathSelector::All;
  std::optional<int64_t> selector_count;  // the k of SHORTEST k, ANY k
  Span span = {};
};

struct QuantifiedPath {
  PatternPart path;
  Nullable<Expr> where_clause;
  RangeBounds quantifier;
};

using Pattern = TreeList<PatternPart>;

// ---- Clauses ----

struct YieldItem {
  TreeString variable;
  Nullable<TreeString> field;
  Span span = {};
  Span variable_span = {};  // the name the item declares, as written
};

struct CallClause {
  TreeString procedure;
  TreeList<Expr> args;
  TreeList<YieldItem> yield_items;
  // Extended language: `YIELD *`, `YIELD ... WHERE`, and a call written
  // without parentheses.
  bool yield_all = false;
  Nullable<Expr> where_clause;
  bool implicit_arguments = false;
};

struct RegularQuery;

struct ReadingClause {
  struct Match {
    bool optional = false;
    Pattern pattern;
    // Held in place: common, and Match is not the largest reading clause.
    std::optional<Expr> where_clause;
  };
  struct Unwind {
    Expr expr;
    TreeString variable;
    Span variable_span = {};
  };
  // ---- Extended language only ----
  // `[OPTIONAL] CALL [(a, b) | (*)] { query } [IN TRANSACTIONS ...]`.
  struct Subquery {
    bool optional = false;
    bool has_scope = false;   // a scope list was written
    bool import_all = false;  // `(*)`
    TreeList<TreeString> scope = {};
    TreeList<Span> scope_spans = {};  // one per name of `scope`, as written
    Box<RegularQuery> query;
    bool in_transactions = false;
    Nullable<Expr> batch_rows = {};    // OF n ROWS
    bool concurrent = false;           // IN [n] CONCURRENT TRANSACTIONS
    Nullable<Expr> concurrency = {};   // the n
    Nullable<TreeString> status = {};  // REPORT STATUS AS status
    Span status_span = {};             // where the status variable is written
  };
  // `LOAD CSV [WITH HEADERS] FROM source AS row [FIELDTERMINATOR 'x']`.
  struct LoadCsv {
    bool with_headers = false;
    // Boxed: held in place it would make every reading clause larger.
    Box<Expr> source;
    TreeString variable;
    Nullable<TreeString> field_terminator;
    Span variable_span = {};
  };
  std::variant<Match, Unwind, CallClause, Subquery, LoadCsv> clause;
  Span span = {};  // from the clause's first keyword to its end
};

struct PropertyExpr {
  TreeString variable;
  TreeList<TreeString> keys;
  Span variable_span = {};
  TreeList<Span> key_spans = {};  // one per key
};

struct SetItem {
  struct Property {
    PropertyExpr target;
    Expr value;
  };
  struct Assign {
    TreeString variable;
    Expr value;
    Span variable_span;
  };
  struct AddAssign {
    TreeString variable;
    Expr value;
    Span variable_span;
  };
  struct Labels {
    TreeString variable;
    TreeList<TreeString> labels;
    Span variable_span;
    TreeList<Span> label_spans;  // one per label
    TreeList<Expr> dynamic;      // what each `$(...)` holds (extended language)
  };
  std::variant<Property, Assign, AddAssign, Labels> item;
};

struct RemoveItem {
  struct Labels {
    TreeString variable;
    TreeList<TreeString> labels;
    Span variable_span;
    TreeList<Span> label_spans;  // one per label
    TreeList<Expr> dynamic;      // what each `$(...)` holds (extended language)
  };
  struct Property {
    PropertyExpr target;
  };
  std::variant<Labels, Property> item;
};

struct UpdatingClause {
  struct Create {
    Pattern pattern;
  };
  struct Merge {
    // Boxed: a list of clauses holds each at the size of the largest kind.
    Box<PatternPart> pattern_part;
    TreeList<TreeList<SetItem>> on_match;
    TreeList<TreeList<SetItem>> on_create;
  };
  struct Set {
    TreeList<SetItem> items;
  };
  struct Remove {
    TreeList<RemoveItem> items;
  };
  struct Delete {
    bool detach = false;
    TreeList<Expr> exprs;
  };
  // Extended language: `FOREACH (x IN list | clauses)`.
  struct Foreach {
    TreeString variable;
    Expr list;
    TreeList<UpdatingClause> clauses;
  };
  std::variant<Create, Merge, Set, Remove, Delete, Foreach> clause;
  Span span = {};  // from the clause's first keyword to its end
};

struct ReturnItem {
  Expr expr;
  Nullable<TreeString> alias;
  Span alias_span = {};
};

struct SortItem {
  Expr expr;
  bool descending = false;
};

struct WithClause {
  bool distinct = false;
  TreeList<ReturnItem> items;  // empty for WITH *
  Nullable<TreeList<SortItem>> order_by;
  Nullable<Expr> skip;
  Nullable<Expr> limit;
  Nullable<Expr> where_clause;
  Span span = {};  // from WITH to the clause's end
};

// All is only the starting value of a return clause; every built clause holds
// an item list, empty for RETURN *.
struct ReturnItems {
  bool all = true;
  TreeList<ReturnItem> items;
};

struct ReturnClause {
  bool distinct = false;
  ReturnItems items;
  Nullable<TreeList<SortItem>> order_by;
  Nullable<Expr> skip;
  Nullable<Expr> limit;
  Span span = {};  // from RETURN to the clause's end
};

// ---- Queries ----

struct SinglePartQuery {
  TreeList<ReadingClause> reading_clauses;
  TreeList<UpdatingClause> updating_clauses;
  std::optional<ReturnClause> return_clause;
};

struct QueryPart {
  TreeList<ReadingClause> reading_clauses;
  TreeList<UpdatingClause> updating_clauses;
  WithClause with_clause;
};

struct MultiPartQuery {
  TreeList<QueryPart> parts;
  TreeList<ReadingClause> reading_clauses;
  TreeList<UpdatingClause> updating_clauses;
  std::optional<ReturnClause> return_clause;
};

// SinglePart (index 0) or MultiPart (index 1).
using SingleQuery = std::variant<SinglePartQuery, MultiPartQuery>;

struct UnionPart {
  bool all = false;
  SingleQuery query;
};

// The root of a query's tree. A root the parser filled holds every node in
// its arena and nothing outside it, so it lets them go with the arena at
// once instead of visiting each. It does so only while nothing can have
// changed them: a copy, anything assigned over it, or any access to its
// parts that is not const makes it destroy its nodes one by one, as the root
// of a tree built by code does. Read a parsed tree through a const reference
// to keep it quick to free.
struct RegularQuery {
  RegularQuery() = default;
  explicit RegularQuery(SingleQuery first, TreeList<UnionPart> unions = {})
      : first_(std::move(first)), unions_(std::move(unions)) {}
  RegularQuery(const RegularQuery& other) : first_(other.first_), unions_(other.unions_) {}
  RegularQuery(RegularQuery&& other) noexcept
      : arena(std::move(other.arena)),
        first_(std::move(other.first_)),
        unions_(std::move(other.unions_)),
        frees_at_once_(std::exchange(other.frees_at_once_, false)) {}
  // Keeps this root's arena, which its lists may still take storage from.
  RegularQuery& operator=(const RegularQuery& other) {
    if (this != &other) {
      first_ = other.first_;
      unions_ = other.unions_;
      frees_at_once_ = false;
    }
    return *this;
  }
  // The nodes first, while the arena of the old ones is still there.
  RegularQuery& operator=(RegularQuery&& other) noexcept {
    if (this != &other) {
      if (frees_at_once_) forget_nodes();
      first_ = std::move(other.first_);
      unions_ = std::move(other.unions_);
      arena = std::move(other.arena);
      frees_at_once_ = std::exchange(other.frees_at_once_, false);
    }
    return *this;
  }
  ~RegularQuery() {
    if (frees_at_once_) forget_nodes();
  }

  const SingleQuery& first() const { return first_; }
  const TreeList<UnionPart>& unions() const { return unions_; }
  // For changing the tree: its nodes are then destroyed one by one.
  SingleQuery& first() {
    frees_at_once_ = false;
    return first_;
  }
  TreeList<UnionPart>& unions() {
    frees_at_once_ = false;
    return unions_;
  }
  // Whether the root lets its nodes go with its arena.
  bool frees_at_once() const { return frees_at_once_; }

  // Where the parser put the tree's nodes: declared first, so that it goes
  // after them. Empty for a tree built or copied by code, and for a query
  // nested in another (its nodes are in the outer one's arena).
  RootArena arena;

 private:
  // The parser, once it has filled the tree.
  friend class DirectReader;
  void free_at_once() { frees_at_once_ = arena.arena() != nullptr; }

  // Ends the nodes' lives without running their destructors, which would
  // only give back arena storage: the arena's blocks go with the root.
  void forget_nodes() noexcept {
    ::new (static_cast<void*>(&first_)) SingleQuery();
    ::new (static_cast<void*>(&unions_)) TreeList<UnionPart>();
    frees_at_once_ = false;
  }

  SingleQuery first_;
  TreeList<UnionPart> unions_;
  bool frees_at_once_ = false;
};

// ---- Commands (extended language only) ----

// A name a command writes: a label, type, key, index, database, user or
// role, without its backticks.
struct CommandName {
  std::string name;
  Span span = {};  // as written, with its backticks
};

// What a constraint or index is for: `(n:L)` or `()-[r:T]-()`, and the keys
// it covers, each written `n.key`.
struct SchemaTarget {
  bool relationship = false;
  CommandName variable;
  std::vector<CommandName> labels;  // labels or types: several for FULLTEXT, none for LOOKUP
  std::vector<CommandName> properties;
};

// `CREATE CONSTRAINT`, `CREATE ... INDEX`, `DROP CONSTRAINT`, `DROP INDEX`.
struct SchemaCommand {
  enum class Kind : uint8_t { CreateConstraint, CreateIndex, DropConstraint, DropIndex };
  Kind kind = Kind::CreateConstraint;
  CommandName name;        // empty when the command names none
  bool if_exists = false;  // `IF NOT EXISTS` on CREATE, `IF EXISTS` on DROP
  // Constraints: "UNIQUE", "KEY", "NOT NULL" or ":: " and the property type.
  // Indexes: "RANGE", "TEXT", "POINT", "LOOKUP", "FULLTEXT" or "VECTOR".
  std::string form;
  SchemaTarget target;     // CREATE only
  Nullable<Expr> options;  // the map after OPTIONS
  Span span = {};
};

// `SHOW ... INDEXES`, `SHOW CONSTRAINTS`, `SHOW DATABASES`, ...
struct ShowCommand {
  std::string what;    // the shown kind, upper-cased and plural: "INDEXES"
  std::string filter;  // the words before it, upper-cased: "ALL", "RANGE", "NODE KEY"
  CommandName name;    // `SHOW DATABASE name`, `SHOW USER name PRIVILEGES`
  // `YIELD ... [WHERE ...]` held as a procedure call yielding those columns,
  // and the RETURN after it.
  std::optional<CallClause> yield;
  std::optional<ReturnClause> return_clause;
  Nullable<Expr> where_clause;  // `WHERE` without YIELD
  Span span = {};
};

// Databases, aliases, users, roles, privileges and transactions: read for
// their syntax only.
struct AdminCommand {
  std::string action;              // the leading words, upper-cased: "CREATE DATABASE", "GRANT"
  std::vector<CommandName> names;  // the databases, users, roles... it names
  Span span = {};
};

// Query (index 0), StandaloneCall (index 1), or a command of the extended
// language (2 to 4).
using CypherQuery =
    std::variant<RegularQuery, CallClause, SchemaCommand, ShowCommand, AdminCommand>;

// Pattern (index 0) or Query (index 1).
struct ExistsSubquery {
  std::variant<Pattern, RegularQuery> value;
};

}  // namespace quorvane

#endif  // QUORVANE_PARSER_AST_H_
