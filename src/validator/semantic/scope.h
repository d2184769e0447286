// The variables bound at one point of the semantic walk.
//
// Everything here borrows from the syntax tree under validation: names and
// labels are views into it, so a scope must not outlive the tree it was
// filled from. Borrowing keeps the walk nearly free of allocations: a
// variable usually just points at the label list of the pattern that bound
// it.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_SCOPE_H_
#define QUORVANE_VALIDATOR_SEMANTIC_SCOPE_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/ast.h"
#include "validator/semantic/static_types.h"

namespace quorvane {

// What a variable certainly holds, when a pattern bound it (extended
// language): a single node, a single relationship or a path. Anything else
// (a value, a list, a variable-length relationship, a group variable) is
// Unknown.
enum class VariableKind : uint8_t { Unknown, Node, Relationship, Path };

// The node labels or relationship types known for one variable, in the order
// first seen: the list written where the variable was first bound (kept as
// written), then every label merged in later that was not yet known.
//
// A variable bound by a label expression such as `(n:A|B)` (extended
// language) may carry any of its labels: `any_of` then holds, and a property
// is known when any of them declares it.
class KnownLabels {
 public:
  KnownLabels() = default;
  explicit KnownLabels(const TreeList<TreeString>* written, bool any_of = false)
      : written_(written), any_of_(any_of) {}

  bool any_of() const { return any_of_; }

  VariableKind kind() const { return kind_; }
  // The setters chain: on a temporary they hand it on to be moved, not
  // copied, into a scope.
  KnownLabels& set_kind(VariableKind kind) & {
    kind_ = kind;
    return *this;
  }
  KnownLabels&& set_kind(VariableKind kind) && { return std::move(set_kind(kind)); }

  // What the variable holds when it is not a single node, relationship or
  // path (extended language): the type of the value a WITH, UNWIND or
  // iteration gave it, or the list of a variable-length relationship.
  // type() answers for the kind too.
  StaticType type() const {
    switch (kind_) {
      case VariableKind::Node:
        return {TypeKind::Node, TypeKind::Any};
      case VariableKind::Relationship:
        return {TypeKind::Relationship, TypeKind::Any};
      case VariableKind::Path:
        return {TypeKind::Path, TypeKind::Any};
      case VariableKind::Unknown:
        break;
    }
    return type_;
  }
  KnownLabels& set_type(StaticType type) & {
    type_ = type;
    return *this;
  }
  KnownLabels&& set_type(StaticType type) && { return std::move(set_type(type)); }

  bool empty() const { return (written_ == nullptr || written_->empty()) && merged_.empty(); }

  bool contains(std::string_view label) const {
    return (written_ && std::find(written_->begin(), written_->end(), label) != written_->end()) ||
           std::find(merged_.begin(), merged_.end(), label) != merged_.end();
  }

  // Appends each label not yet known, in order; answers whether any was new.
  bool merge(const TreeList<TreeString>& labels) {
    bool added = false;
    for (const TreeString& label : labels) {
      if (!contains(label)) {
        merged_.push_back(label);
        added = true;
      }
    }
    return added;
  }

  // The label a relationship's only declared pair gives this node when no
  // pattern labels it (extended language), and that relationship's type.
  // Used for property checks, which then only warn. Relationships that give
  // different labels leave none: either might be the one the data follows.
  std::string_view inferred() const { return conflicting_ ? std::string_view() : inferred_; }
  std::string_view inferred_by() const { return inferred_by_; }
  void infer(std::string_view label, std::string_view by) {
    if (inferred_.empty()) {
      inferred_ = label;
      inferred_by_ = by;
    } else if (inferred_ != label) {
      conflicting_ = true;
    }
  }

  // Set when labels were merged in by an OPTIONAL MATCH (the variable then
  // need not carry them), or changed by SET or REMOVE.
  bool uncertain() const { return uncertain_; }
  void set_uncertain() { uncertain_ = true; }

  const TreeList<TreeString>* written() const { return written_; }
  std::span<const std::string_view> merged() const { return merged_; }

  template <class F>
  void for_each(F&& f) const {
    if (written_) {
      for (const TreeString& label : *written_) f(std::string_view(label));
    }
    for (std::string_view label : merged_) f(label);
  }

 private:
  const TreeList<TreeString>* written_ = nullptr;
  bool any_of_ = false;
  bool uncertain_ = false;
  bool conflicting_ = false;
  VariableKind kind_ = VariableKind::Unknown;
  StaticType type_;
  std::vector<std::string_view> merged_;
  std::string_view inferred_;
  std::string_view inferred_by_;
};

// A map from variable name to its known labels. Small scopes (the usual
// case) are searched linearly; a hash index is added once a scope grows
// large, so that a query with thousands of variables stays linear overall.
//
// Invariant: generation() changes with every change to the scope (a binding
// added, replaced, changed through find_to_change(), removed; an assignment
// or swap) and never returns to an earlier value for the same object, so
// what was worked out from the scope holds while it stays the same.
class Scope {
 public:
  Scope() = default;
  Scope(const Scope& other) = default;
  Scope(Scope&& other) noexcept
      : bindings_(std::move(other.bindings_)),
        index_(std::move(other.index_)),
        generation_(other.generation_) {
    other.changed_with(generation_);
  }
  Scope& operator=(const Scope& other) {
    if (this != &other) {
      bindings_ = other.bindings_;
      index_ = other.index_;
      changed_with(other.generation_);
    }
    return *this;
  }
  Scope& operator=(Scope&& other) noexcept {
    if (this != &other) {
      bindings_ = std::move(other.bindings_);
      index_ = std::move(other.index_);
      changed_with(other.generation_);
      other.changed_with(generation_);
    }
    return *this;
  }

  // What is known of `name`, for changing it; nullptr when it is unbound.
  KnownLabels* find_to_change(std::string_view name) {
    ++generation_;
    const size_t at = position(name);
    return at < bindings_.size() ? &bindings_[at].labels : nullptr;
  }
  const KnownLabels* find(std::string_view name) const {
    const size_t at = position(name);
    return at < bindings_.size() ? &bindings_[at].labels : nullptr;
  }
  bool contains(std::string_view name) const { return find(name) != nullptr; }
  // Whether `name` is bound by the binding numbered `first` (size() at some
  // earlier moment) or a later one: bound since that moment.
  bool bound_since(std::string_view name, size_t first) const {
    const size_t at = position(name);
    return at < bindings_.size() && at >= first;
  }

  // Binds `name`, replacing whatever was known for it.
  void bind(std::string_view name, KnownLabels labels);

  // Binds a name known to be unbound; pop_last() unbinds it again. For
  // bindings that last while a nested expression is checked.
  void push(std::string_view name, KnownLabels labels);
  void pop_last();

  size_t size() const { return bindings_.size(); }
  void clear();
  void swap(Scope& other) noexcept;
  uint64_t generation() const { return generation_; }

 private:
  struct Binding {
    std::string_view name;
    KnownLabels labels;
  };
  static constexpr size_t kIndexFrom = 16;
  static constexpr size_t kFirstCapacity = 8;

  // Variable names are short and mostly differ in their first letter, so
  // that letter is compared before the rest.
  static bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           (a.empty() || (a[0] == b[0] && (a.size() == 1 || a.substr(1) == b.substr(1))));
  }

  // Inline for the usual small scope, searched in place.
  size_t position(std::string_view name) const {
    if (bindings_.size() >= kIndexFrom) return indexed_position(name);
    for (size_t i = 0; i < bindings_.size(); ++i) {
      if (same_name(bindings_[i].name, name)) return i;
    }
    return bindings_.size();
  }
  size_t indexed_position(std::string_view name) const;

  // Past both this scope's generation and `other`: after taking another
  // scope's bindings, or giving them.
  void changed_with(uint64_t other) { generation_ = std::max(generation_, other) + 1; }

  std::vector<Binding> bindings_;
  std::unordered_map<std::string_view, size_t> index_;  // used from kIndexFrom bindings on
  uint64_t generation_ = 0;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_SCOPE_H_
