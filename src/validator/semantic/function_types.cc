#include "validator/semantic/function_types.h"

#include <algorithm>
#include <vector>

#include "validator/semantic/function_catalogue.h"

namespace quorvane {

namespace {

using K = TypeKind;

constexpr TypeSet bit(K kind) {
  return type_bit(kind);
}
constexpr TypeSet S = bit(K::String);
constexpr TypeSet N = kNumbers;
constexpr TypeSet I = bit(K::Integer);
constexpr TypeSet B = bit(K::Boolean);
constexpr TypeSet L = bit(K::List);
constexpr TypeSet M = bit(K::Map);
constexpr TypeSet Nd = bit(K::Node);
constexpr TypeSet R = bit(K::Relationship);
constexpr TypeSet D = bit(K::Duration);
constexpr TypeSet Pt = bit(K::Point);
constexpr TypeSet T = kTemporals;

constexpr StaticType t(K kind) {
  return {kind, K::Any};
}
constexpr StaticType list(K element) {
  return StaticType::list_of(element);
}

constexpr FunctionType f(std::string_view name, std::array<TypeSet, 3> args, StaticType result,
                         ResultRule rule = ResultRule::Fixed) {
  return FunctionType{name, args, result, rule};
}

// The functions whose types a database checks before running a query, and
// those whose result type is worth knowing. The path functions (length,
// nodes, relationships) have their arguments judged by their own rule.
constexpr std::array kTypes = {
    f("abs", {N}, t(K::Number), ResultRule::SameAsFirst),
    f("acos", {N}, t(K::Float)),
    f("asin", {N}, t(K::Float)),
    f("atan", {N}, t(K::Float)),
    f("atan2", {N, N}, t(K::Float)),
    f("avg", {N | D}, t(K::Float), ResultRule::NumberOrFirst),
    f("btrim", {S, S}, t(K::String)),
    f("ceil", {N}, t(K::Float)),
    f("char_length", {S}, t(K::Integer)),
    f("character_length", {S}, t(K::Integer)),
    f("coalesce", {}, kAnyType, ResultRule::JoinAll),
    f("collect", {}, list(K::Any), ResultRule::ListOfFirst),
    f("cos", {N}, t(K::Float)),
    f("cot", {N}, t(K::Float)),
    f("count", {}, t(K::Integer)),
    f("date", {}, t(K::Date)),
    f("date.realtime", {}, t(K::Date)),
    f("date.statement", {}, t(K::Date)),
    f("date.transaction", {}, t(K::Date)),
    f("date.truncate", {}, t(K::Date)),
    f("datetime", {}, t(K::DateTime)),
    f("datetime.fromepoch", {N, N}, t(K::DateTime)),
    f("datetime.fromepochmillis", {N}, t(K::DateTime)),
    f("datetime.realtime", {}, t(K::DateTime)),
    f("datetime.statement", {}, t(K::DateTime)),
    f("datetime.transaction", {}, t(K::DateTime)),
    f("datetime.truncate", {}, t(K::DateTime)),
    f("degrees", {N}, t(K::Float)),
    f("duration", {}, t(K::Duration)),
    f("duration.between", {T, T}, t(K::Duration)),
    f("duration.inDays", {T, T}, t(K::Duration)),
    f("duration.inMonths", {T, T}, t(K::Duration)),
    f("duration.inSeconds", {T, T}, t(K::Duration)),
    f("e", {}, t(K::Float)),
    f("elementId", {Nd | R}, t(K::String)),
    f("endNode", {R}, t(K::Node)),
    f("exp", {N}, t(K::Float)),
    f("floor", {N}, t(K::Float)),
    f("haversin", {N}, t(K::Float)),
    f("head", {L}, kAnyType, ResultRule::ElementOfFirst),
    f("id", {Nd | R}, t(K::Integer)),
    f("isEmpty", {S | L | M}, t(K::Boolean)),
    f("isNaN", {N}, t(K::Boolean)),
    f("keys", {Nd | R | M}, list(K::String)),
    f("labels", {Nd}, list(K::String)),
    f("last", {L}, kAnyType, ResultRule::ElementOfFirst),
    f("left", {S, I}, t(K::String)),
    f("length", {}, t(K::Integer)),
    f("localdatetime", {}, t(K::LocalDateTime)),
    f("localtime", {}, t(K::LocalTime)),
    f("log", {N}, t(K::Float)),
    f("log10", {N}, t(K::Float)),
    f("lower", {S}, t(K::String)),
    f("ltrim", {S, S}, t(K::String)),
    f("max", {}, kAnyType, ResultRule::SameAsFirst),
    f("min", {}, kAnyType, ResultRule::SameAsFirst),
    f("nodes", {}, list(K::Node)),
    f("percentileCont", {N, N}, t(K::Float)),
    f("percentileDisc", {N, N}, t(K::Number), ResultRule::SameAsFirst),
    f("pi", {}, t(K::Float)),
    f("point", {M}, t(K::Point)),
    f("point.distance", {Pt, Pt}, t(K::Float)),
    f("point.withinBBox", {Pt, Pt, Pt}, t(K::Boolean)),
    f("properties", {Nd | R | M}, t(K::Map)),
    f("radians", {N}, t(K::Float)),
    f("rand", {}, t(K::Float)),
    f("randomUUID", {}, t(K::String)),
    f("range", {I, I, I}, list(K::Integer)),
    f("relationships", {}, list(K::Relationship)),
    f("replace", {S, S, S}, t(K::String)),
    f("reverse", {S | L}, kAnyType, ResultRule::SameAsFirst),
    f("right", {S, I}, t(K::String)),
    f("round", {N, I, S}, t(K::Float)),
    f("rtrim", {S, S}, t(K::String)),
    f("sign", {N}, t(K::Integer)),
    f("sin", {N}, t(K::Float)),
    f("size", {S | L}, t(K::Integer)),
    f("split", {S, S | L}, list(K::String)),
    f("sqrt", {N}, t(K::Float)),
    f("startNode", {R}, t(K::Node)),
    f("stDev", {N}, t(K::Float)),
    f("stDevP", {N}, t(K::Float)),
    f("substring", {S, I, I}, t(K::String)),
    f("sum", {N | D}, kAnyType, ResultRule::SameAsFirst),
    f("tail", {L}, list(K::Any), ResultRule::SameAsFirst),
    f("tan", {N}, t(K::Float)),
    f("time", {}, t(K::Time)),
    f("timestamp", {}, t(K::Integer)),
    f("toBoolean", {S | B | I}, t(K::Boolean)),
    f("toBooleanList", {L}, list(K::Boolean)),
    f("toBooleanOrNull", {}, t(K::Boolean)),
    f("toFloat", {S | N}, t(K::Float)),
    f("toFloatList", {L}, list(K::Float)),
    f("toFloatOrNull", {}, t(K::Float)),
    f("toInteger", {S | N | B}, t(K::Integer)),
    f("toIntegerList", {L}, list(K::Integer)),
    f("toIntegerOrNull", {}, t(K::Integer)),
    f("toLower", {S}, t(K::String)),
    f("toString", {S | N | B | T | D | Pt}, t(K::String)),
    f("toStringList", {L}, list(K::String)),
    f("toStringOrNull", {}, t(K::String)),
    f("toUpper", {S}, t(K::String)),
    f("trim", {S}, t(K::String)),
    f("type", {R}, t(K::String)),
    f("upper", {S}, t(K::String)),
    f("valueType", {}, t(K::String)),
};

// Sorted by lower-cased name, as the catalogue is, so that the names of one
// first letter lie together for lookup.
static_assert(std::is_sorted(kTypes.begin(), kTypes.end(),
                             [](const FunctionType& a, const FunctionType& b) {
                               return function_name_less(a.name, b.name);
                             }),
              "the type table must stay sorted by lower-cased name");

}  // namespace

const FunctionType* find_function_type(std::string_view name) {
  static_assert(starts_in_ascii(kTypes), "first_letters() needs ASCII first letters");
  static constexpr FirstLetters kFirstLetters = first_letters(kTypes);
  return find_by_first_letter(kTypes, kFirstLetters, name);
}

std::span<const FunctionType> function_types() {
  return kTypes;
}

std::string accepted_phrase(TypeSet accepted) {
  std::vector<std::string> words;
  if ((accepted & kNumbers) != 0) {
    words.push_back((accepted & kNumbers) == type_bit(TypeKind::Integer) ? "an INTEGER"
                                                                         : "a NUMBER");
  }
  if ((accepted & kTemporals) == kTemporals) words.push_back("a temporal value");
  for (size_t i = 0; i <= static_cast<size_t>(TypeKind::Point); ++i) {
    const auto kind = static_cast<TypeKind>(i);
    if ((type_bit(kind) & (kNumbers | kTemporals)) != 0 || (accepted & type_bit(kind)) == 0) {
      continue;
    }
    words.push_back(type_phrase({kind, TypeKind::Any}));
  }
  std::string text;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
    text += words[i];
  }
  return text;
}

}  // namespace quorvane
