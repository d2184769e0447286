// The types an expression certainly has, as far as the query text (and the
// property types a schema may declare) tell: a small lattice under ANY.
//
// ANY means "not known": every rule that reads a type stays silent on it, so
// that a parameter, a procedure's result or an untyped property never causes
// a finding. NULL fits every type that needs a value. NUMBER is an INTEGER or
// a FLOAT. A list knows the type of its elements, one level deep.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_STATIC_TYPES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_STATIC_TYPES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

enum class TypeKind : uint8_t {
  Any,
  Null,
  Boolean,
  Integer,
  Float,
  Number,
  String,
  List,
  Map,
  Node,
  Relationship,
  Path,
  Date,
  DateTime,
  LocalDateTime,
  Time,
  LocalTime,
  Duration,
  Point,
};

struct StaticType {
  TypeKind kind = TypeKind::Any;
  TypeKind element = TypeKind::Any;  // of a List only

  static constexpr StaticType list_of(TypeKind element) { return {TypeKind::List, element}; }
  bool known() const { return kind != TypeKind::Any; }
  bool operator==(const StaticType&) const = default;
};

constexpr StaticType kAnyType{};

// A set of kinds, for what an operator or function accepts.
using TypeSet = uint32_t;
constexpr TypeSet type_bit(TypeKind kind) {
  return TypeSet{1} << static_cast<unsigned>(kind);
}
inline constexpr TypeSet kNumbers =
    type_bit(TypeKind::Integer) | type_bit(TypeKind::Float) | type_bit(TypeKind::Number);
inline constexpr TypeSet kTemporals = type_bit(TypeKind::Date) | type_bit(TypeKind::DateTime) |
                                      type_bit(TypeKind::LocalDateTime) | type_bit(TypeKind::Time) |
                                      type_bit(TypeKind::LocalTime);

// Both are asked of most operands, and inlined.
inline bool is_number(TypeKind kind) {
  return (type_bit(kind) & kNumbers) != 0;
}

// Whether a value of `type` may be what `accepted` asks for: ANY and NULL
// always may; a NUMBER may be an INTEGER or a FLOAT and either may stand for a
// NUMBER.
inline bool may_be(StaticType type, TypeSet accepted) {
  if (type.kind == TypeKind::Any || type.kind == TypeKind::Null) return true;
  if (is_number(type.kind)) {
    // NUMBER may turn out to be either; either fits a NUMBER.
    if (type.kind == TypeKind::Number) return (accepted & kNumbers) != 0;
    return (accepted & (type_bit(type.kind) | type_bit(TypeKind::Number))) != 0;
  }
  return (accepted & type_bit(type.kind)) != 0;
}

// The least type holding both: equal types stay, INTEGER and FLOAT make a
// NUMBER, NULL gives way to the other, anything else is ANY.
StaticType join(StaticType a, StaticType b);

// "INTEGER", "LIST<STRING>", "ZONED DATETIME", as Cypher writes types.
std::string type_name(StaticType type);
// The name with its article: "an INTEGER", "a LIST<STRING>".
std::string type_phrase(StaticType type);

// The type a schema writes for a property ("STRING", "integer", "LocalDateTime",
// "LIST<STRING>", "DATE_TIME"); nothing for a name it does not know.
std::optional<StaticType> parse_type_name(std::string_view name);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_STATIC_TYPES_H_
