// The rule tree of one successful match.
//
// Nodes are stored flat in pre-order: a node's children follow it directly,
// and `next` is the index just past its last descendant. Walking, building
// and releasing the tree therefore never recurse over the flat storage.
// Offsets are bytes into the matched text, which must outlive the tree.
#ifndef QUORVANE_PARSER_RULE_TREE_H_
#define QUORVANE_PARSER_RULE_TREE_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "parser/rule.h"

namespace quorvane {

struct RuleNode {
  // Left unset: the matcher sizes its node storage ahead of use, and filling
  // it would cost more than matching a short query.
  RuleNode() {}
  RuleNode(Rule r, uint32_t s, uint32_t e, uint32_t n) : rule(r), start(s), end(e), next(n) {}

  Rule rule;
  uint32_t start;
  uint32_t end;
  uint32_t next;  // index past the subtree
};

// A cheap handle on one node of a rule tree.
class NodeRef {
 public:
  NodeRef() = default;
  NodeRef(const std::vector<RuleNode>* nodes, std::string_view text, uint32_t index)
      : nodes_(nodes), text_(text), index_(index) {}

  bool valid() const { return nodes_ != nullptr; }
  uint32_t index() const { return index_; }
  Rule rule() const { return node().rule; }
  uint32_t start() const { return node().start; }
  uint32_t end() const { return node().end; }
  std::string_view text() const { return text_.substr(start(), end() - start()); }
  std::string_view source() const { return text_; }

  bool has_children() const { return index_ + 1 < node().next; }
  // The first child, or an invalid handle.
  NodeRef first_child() const {
    return has_children() ? NodeRef(nodes_, text_, index_ + 1) : NodeRef();
  }
  // The first child when it is the only one, else an invalid handle.
  NodeRef only_child() const {
    if (!has_children()) return NodeRef();
    return (*nodes_)[index_ + 1].next == node().next ? NodeRef(nodes_, text_, index_ + 1)
                                                     : NodeRef();
  }
  // The following sibling within `parent`, or an invalid handle.
  NodeRef next_sibling(const NodeRef& parent) const {
    uint32_t next = node().next;
    return next < parent.node().next ? NodeRef(nodes_, text_, next) : NodeRef();
  }
  // The first child with the given rule, or an invalid handle.
  NodeRef child(Rule rule) const {
    for (NodeRef c = first_child(); c.valid(); c = c.next_sibling(*this)) {
      if (c.rule() == rule) return c;
    }
    return NodeRef();
  }
  // The n-th child (0-based), or an invalid handle.
  NodeRef nth_child(int n) const {
    NodeRef c = first_child();
    while (c.valid() && n-- > 0) c = c.next_sibling(*this);
    return c;
  }
  // For iterating children by index.
  uint32_t subtree_end() const { return node().next; }
  uint32_t next_of(uint32_t index) const { return (*nodes_)[index].next; }
  NodeRef at(uint32_t index) const { return NodeRef(nodes_, text_, index); }

 private:
  const RuleNode& node() const { return (*nodes_)[index_]; }

  const std::vector<RuleNode>* nodes_ = nullptr;
  std::string_view text_;
  uint32_t index_ = 0;
};

// Iterates the children of a node: for (NodeRef c : children(n)) ...
// The iterator walks indexes up to the end of the parent's subtree: a step is
// one load, with none of next_sibling's checks.
class Children {
 public:
  explicit Children(const NodeRef& parent) : parent_(parent) {}
  class iterator {
   public:
    iterator(const NodeRef& parent, uint32_t index, uint32_t end)
        : parent_(parent), index_(index), end_(end) {}
    NodeRef operator*() const { return parent_.at(index_); }
    iterator& operator++() {
      index_ = parent_.next_of(index_);
      return *this;
    }
    bool operator!=(const iterator& other) const {
      return (index_ < end_) != (other.index_ < other.end_) ||
             (index_ < end_ && index_ != other.index_);
    }

   private:
    NodeRef parent_;
    uint32_t index_;
    uint32_t end_;
  };
  iterator begin() const { return iterator(parent_, parent_.index() + 1, parent_.subtree_end()); }
  iterator end() const { return iterator(parent_, parent_.subtree_end(), parent_.subtree_end()); }

 private:
  NodeRef parent_;
};

inline Children children(const NodeRef& parent) {
  return Children(parent);
}

}  // namespace quorvane

#endif  // QUORVANE_PARSER_RULE_TREE_H_
