#include "validator/semantic/static_types.h"

#include <array>
#include <utility>

namespace quorvane {

namespace {

constexpr std::array<std::string_view, 19> kNames = {
    "ANY",        "NULL",           "BOOLEAN",        "INTEGER",
    "FLOAT",      "NUMBER",         "STRING",         "LIST",
    "MAP",        "NODE",           "RELATIONSHIP",   "PATH",
    "DATE",       "ZONED DATETIME", "LOCAL DATETIME", "ZONED TIME",
    "LOCAL TIME", "DURATION",       "POINT"};
static_assert(kNames.size() == static_cast<size_t>(TypeKind::Point) + 1);

char upper_ascii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Upper case, with spaces, underscores and hyphens dropped: "local_date time"
// and "LocalDateTime" both read "LOCALDATETIME".
std::string squeezed(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c != ' ' && c != '_' && c != '-') out += upper_ascii(c);
  }
  return out;
}

std::optional<TypeKind> scalar_kind(std::string_view word) {
  static constexpr std::array<std::pair<std::string_view, TypeKind>, 22> kWords = {{
      {"BOOLEAN", TypeKind::Boolean},
      {"BOOL", TypeKind::Boolean},
      {"INTEGER", TypeKind::Integer},
      {"INT", TypeKind::Integer},
      {"LONG", TypeKind::Integer},
      {"FLOAT", TypeKind::Float},
      {"DOUBLE", TypeKind::Float},
      {"NUMBER", TypeKind::Number},
      {"STRING", TypeKind::String},
      {"STR", TypeKind::String},
      {"MAP", TypeKind::Map},
      {"DATE", TypeKind::Date},
      {"DATETIME", TypeKind::DateTime},
      {"ZONEDDATETIME", TypeKind::DateTime},
      {"LOCALDATETIME", TypeKind::LocalDateTime},
      {"TIME", TypeKind::Time},
      {"ZONEDTIME", TypeKind::Time},
      {"LOCALTIME", TypeKind::LocalTime},
      {"DURATION", TypeKind::Duration},
      {"POINT", TypeKind::Point},
      {"ANY", TypeKind::Any},
      {"LIST", TypeKind::List},
  }};
  for (const auto& [text, kind] : kWords) {
    if (word == text) return kind;
  }
  return std::nullopt;
}

}  // namespace

StaticType join(StaticType a, StaticType b) {
  if (a == b) return a;
  if (a.kind == TypeKind::Null) return b;
  if (b.kind == TypeKind::Null) return a;
  if (is_number(a.kind) && is_number(b.kind)) return {TypeKind::Number, TypeKind::Any};
  if (a.kind == TypeKind::List && b.kind == TypeKind::List) {
    return StaticType::list_of(join({a.element, TypeKind::Any}, {b.element, TypeKind::Any}).kind);
  }
  return kAnyType;
}

std::string type_name(StaticType type) {
  std::string name(kNames[static_cast<size_t>(type.kind)]);
  if (type.kind == TypeKind::List && type.element != TypeKind::Any) {
    // Appended piece by piece: GCC 12 misreads "<" + std::string as an
    // overlapping copy (-Wrestrict).
    name.append(1, '<').append(kNames[static_cast<size_t>(type.element)]).append(1, '>');
  }
  return name;
}

std::string type_phrase(StaticType type) {
  std::string name = type_name(type);
  const bool vowel = name.front() == 'A' || name.front() == 'E' || name.front() == 'I' ||
                     name.front() == 'O' || name.front() == 'U';
  return (vowel ? "an " : "a ") + name;
}

std::optional<StaticType> parse_type_name(std::string_view name) {
  std::string word = squeezed(name);
  // A schema may mark a property as required: "STRING NOT NULL", "STRING!".
  if (word.ends_with("NOTNULL")) word.resize(word.size() - 7);
  if (word.ends_with("!")) word.pop_back();
  std::string element;
  if (word.starts_with("LIST<") && word.ends_with(">")) {
    element = word.substr(5, word.size() - 6);
  } else if (word.starts_with("LIST[") && word.ends_with("]")) {
    element = word.substr(5, word.size() - 6);
  } else if (word.starts_with("LISTOF")) {
    element = word.substr(6);
  } else if (word.ends_with("ARRAY") && word.size() > 5) {
    element = word.substr(0, word.size() - 5);
  } else if (word.ends_with("[]") && word.size() > 2) {
    element = word.substr(0, word.size() - 2);
  }
  if (!element.empty()) {
    const std::optional<TypeKind> inner = scalar_kind(element);
    if (!inner || *inner == TypeKind::List) return std::nullopt;
    return StaticType::list_of(*inner);
  }
  const std::optional<TypeKind> kind = scalar_kind(word);
  if (!kind) return std::nullopt;
  return StaticType{*kind, TypeKind::Any};
}

}  // namespace quorvane
