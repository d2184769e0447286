// Finds a schema's node labels and relationship types by name, built once
// for a validator, and keeps what else the walk asks of every schema once:
// whether it declares property types.
//
// The walk looks a name up at every pattern node, property access and
// relationship end. The schema's own maps hash a name byte by byte and
// follow a node per bucket; this index hashes a name with a few loads and
// keeps its entries side by side, so a lookup costs a fraction as much.
// Entries are positions in the schema's lists, not pointers, so an index
// stays valid for a copy of its schema and across a move of the validator
// that holds both.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_SCHEMA_INDEX_H_
#define QUORVANE_VALIDATOR_SEMANTIC_SCHEMA_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "schema/schema.h"

namespace quorvane {

// Names, each at a position of one list, found by their hash in an
// open-addressing table at most half full: a lookup usually reads one slot
// and compares one name. Names that share a hash sit in consecutive slots and
// are told apart by comparison.
//
// Invariants: `slots_` is empty or a power of two in size, more than twice
// the names; a slot of position 0 is free, any other holds position + 1.
class NameTable {
 public:
  // `names(i)` is the name at position i, for i below `count`; names are
  // unique.
  template <class Names>
  void build(size_t count, Names&& names) {
    slots_.clear();
    if (count == 0) return;
    size_t size = 8;
    while (size <= 2 * count) size *= 2;
    slots_.assign(size, Slot{0, 0});
    for (size_t i = 0; i < count; ++i) {
      const uint32_t h = hash(names(i));
      size_t at = h & (size - 1);
      while (slots_[at].position != 0) at = (at + 1) & (size - 1);
      slots_[at] = Slot{h, static_cast<uint32_t>(i + 1)};
    }
  }

  static constexpr size_t kMissing = SIZE_MAX;

  // The position of `name`, or kMissing.
  template <class Names>
  size_t find(std::string_view name, Names&& names) const {
    if (slots_.empty()) return kMissing;
    const uint32_t h = hash(name);
    const size_t mask = slots_.size() - 1;
    for (size_t at = h & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.position == 0) return kMissing;
      if (slot.hash == h && names(slot.position - 1) == name) return slot.position - 1;
    }
  }

 private:
  struct Slot {
    uint32_t hash;
    uint32_t position;  // plus one; 0 for a free slot
  };

  // A few loads and one multiply whatever the name's length: its first and
  // last eight bytes (four, or single bytes, for a shorter name), for a name
  // over 16 bytes eight from its middle too, and its length, mixed. Names
  // alike at all three places share a hash and are told apart by comparison;
  // the middle keeps generated names with one prefix and suffix apart, whose
  // probe chains would otherwise make building the table quadratic.
  static uint32_t hash(std::string_view name) {
    const char* p = name.data();
    const size_t n = name.size();
    uint64_t a = 0;
    uint64_t b = 0;
    if (n >= 8) {
      std::memcpy(&a, p, 8);
      std::memcpy(&b, p + n - 8, 8);
      if (n > 16) {
        uint64_t middle = 0;
        std::memcpy(&middle, p + n / 2 - 4, 8);
        a ^= middle * 0xC2B2AE3D27D4EB4Fu;
      }
    } else if (n >= 4) {
      uint32_t head = 0;
      uint32_t tail = 0;
      std::memcpy(&head, p, 4);
      std::memcpy(&tail, p + n - 4, 4);
      a = head;
      b = tail;
    } else if (n > 0) {
      a = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[n / 2]) << 8 |
          static_cast<unsigned char>(p[n - 1]) << 16;
    }
    const uint64_t mixed = (a ^ (b << 29 | b >> 35) ^ n) * 0x9E3779B97F4A7C15u;
    return static_cast<uint32_t>(mixed >> 32);
  }

  std::vector<Slot> slots_;
};

class SchemaIndex {
 public:
  explicit SchemaIndex(const Schema& schema);

  // The entry of that name in `schema` (the schema the index was built from,
  // or a copy of it); nullptr when it declares none.
  const Schema::NodeLabel* node(const Schema& schema, std::string_view label) const {
    const size_t at =
        nodes_.find(label, [&](size_t i) -> std::string_view { return schema.nodes()[i].name; });
    return at == NameTable::kMissing ? nullptr : &schema.nodes()[at];
  }
  const Schema::RelType* rel(const Schema& schema, std::string_view type) const {
    const size_t at = rels_.find(
        type, [&](size_t i) -> std::string_view { return schema.relationships()[i].name; });
    return at == NameTable::kMissing ? nullptr : &schema.relationships()[at];
  }

  bool has_property_types() const { return has_property_types_; }

 private:
  NameTable nodes_;
  NameTable rels_;
  bool has_property_types_;
};

// A schema and its index, as the walk asks them.
class SchemaLookup {
 public:
  SchemaLookup(const Schema& schema, const SchemaIndex& index) : schema_(schema), index_(index) {}

  const Schema& schema() const { return schema_; }
  const SchemaIndex& index() const { return index_; }

  const Schema::NodeLabel* node(std::string_view label) const {
    return index_.node(schema_, label);
  }
  const Schema::RelType* rel(std::string_view type) const { return index_.rel(schema_, type); }
  bool has_node(std::string_view label) const { return node(label) != nullptr; }

 private:
  const Schema& schema_;
  const SchemaIndex& index_;
};

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_SCHEMA_INDEX_H_
