// The argument and result types of the common built-in functions
// (extended language): the typed half of the function catalogue
// (function_catalogue.h), which knows the names and argument counts.
//
// An argument position with no accepted set is not judged; a function not
// listed here has an unknown result and unjudged arguments. Only types a
// database refuses before running are left out of an accepted set: where a
// function takes "anything" at compile time (date(x), toString on a list in
// some versions) it is listed with no set.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_TYPES_H_
#define QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_TYPES_H_

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "validator/semantic/static_types.h"

namespace quorvane {

// How a result follows from the arguments.
enum class ResultRule : uint8_t {
  Fixed,           // always `result`
  SameAsFirst,     // the first argument's type (abs, min, reverse, tail)
  ElementOfFirst,  // the first argument's element type (head, last)
  ListOfFirst,     // a list of the first argument's type (collect)
  JoinAll,         // the join of every argument (coalesce)
  NumberOrFirst,   // FLOAT for numbers, else the first argument's type (avg)
};

struct FunctionType {
  std::string_view name;
  std::array<TypeSet, 3> args;  // 0: not judged
  StaticType result;
  ResultRule rule = ResultRule::Fixed;
};

// The entry for `name`, in any letter case; nullptr when none.
const FunctionType* find_function_type(std::string_view name);

// Every entry, in no particular order.
std::span<const FunctionType> function_types();

// What an accepted set asks for, in words: "a STRING or a LIST", "a NUMBER".
std::string accepted_phrase(TypeSet accepted);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_FUNCTION_TYPES_H_
