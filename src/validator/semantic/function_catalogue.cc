#include "validator/semantic/function_catalogue.h"

#include <algorithm>
#include <array>

#include "validator/semantic/closest_match.h"
#include "validator/semantic/expression_kinds.h"
#include "validator/semantic/expression_text.h"

namespace quorvane {

namespace {

constexpr size_t kAny = kAnyArgumentCount;

constexpr BuiltinFunction syntax(std::string_view name) {
  return BuiltinFunction{name, 0, kAny, false};
}

// Sorted by lower-cased name (checked below), so that the names of one first
// letter lie together for lookup.
// Besides the functions of every query, it holds the LOAD CSV helpers `file`
// and `linenumber`, and `distance`, the older name of point.distance, which
// queries written for earlier databases still call.
constexpr std::array kFunctions = {
    BuiltinFunction{"abs", 1, 1},
    BuiltinFunction{"acos", 1, 1},
    syntax("all"),
    syntax("allShortestPaths"),
    syntax("any"),
    BuiltinFunction{"asin", 1, 1},
    BuiltinFunction{"atan", 1, 1},
    BuiltinFunction{"atan2", 2, 2},
    BuiltinFunction{"avg", 1, 1},
    BuiltinFunction{"btrim", 1, 2},
    BuiltinFunction{"ceil", 1, 1},
    BuiltinFunction{"char_length", 1, 1},
    BuiltinFunction{"character_length", 1, 1},
    BuiltinFunction{"coalesce", 1, kAny},
    BuiltinFunction{"collect", 1, 1},
    BuiltinFunction{"cos", 1, 1},
    BuiltinFunction{"cot", 1, 1},
    BuiltinFunction{"count", 1, 1},
    BuiltinFunction{"date", 0, 1},
    BuiltinFunction{"date.realtime", 0, 1},
    BuiltinFunction{"date.statement", 0, 1},
    BuiltinFunction{"date.transaction", 0, 1},
    BuiltinFunction{"date.truncate", 1, 3},
    BuiltinFunction{"datetime", 0, 1},
    BuiltinFunction{"datetime.fromepoch", 2, 2},
    BuiltinFunction{"datetime.fromepochmillis", 1, 1},
    BuiltinFunction{"datetime.realtime", 0, 1},
    BuiltinFunction{"datetime.statement", 0, 1},
    BuiltinFunction{"datetime.transaction", 0, 1},
    BuiltinFunction{"datetime.truncate", 1, 3},
    BuiltinFunction{"degrees", 1, 1},
    BuiltinFunction{"distance", 2, 2},
    BuiltinFunction{"duration", 1, 1},
    BuiltinFunction{"duration.between", 2, 2},
    BuiltinFunction{"duration.inDays", 2, 2},
    BuiltinFunction{"duration.inMonths", 2, 2},
    BuiltinFunction{"duration.inSeconds", 2, 2},
    BuiltinFunction{"e", 0, 0},
    BuiltinFunction{"elementId", 1, 1},
    BuiltinFunction{"endNode", 1, 1},
    syntax("exists"),  // exists(n.prop) has rules of its own
    BuiltinFunction{"exp", 1, 1},
    BuiltinFunction{"file", 0, 0},
    BuiltinFunction{"floor", 1, 1},
    BuiltinFunction{"graph.byElementId", 1, 1},
    BuiltinFunction{"graph.byName", 1, 1},
    BuiltinFunction{"graph.names", 0, 0},
    BuiltinFunction{"graph.propertiesByName", 1, 1},
    BuiltinFunction{"haversin", 1, 1},
    BuiltinFunction{"head", 1, 1},
    BuiltinFunction{"id", 1, 1},
    BuiltinFunction{"isEmpty", 1, 1},
    BuiltinFunction{"isNaN", 1, 1},
    BuiltinFunction{"keys", 1, 1},
    BuiltinFunction{"labels", 1, 1},
    BuiltinFunction{"last", 1, 1},
    BuiltinFunction{"left", 2, 2},
    BuiltinFunction{"length", 1, 1},
    BuiltinFunction{"linenumber", 0, 0},
    BuiltinFunction{"localdatetime", 0, 1},
    BuiltinFunction{"localdatetime.realtime", 0, 1},
    BuiltinFunction{"localdatetime.statement", 0, 1},
    BuiltinFunction{"localdatetime.transaction", 0, 1},
    BuiltinFunction{"localdatetime.truncate", 1, 3},
    BuiltinFunction{"localtime", 0, 1},
    BuiltinFunction{"localtime.realtime", 0, 1},
    BuiltinFunction{"localtime.statement", 0, 1},
    BuiltinFunction{"localtime.transaction", 0, 1},
    BuiltinFunction{"localtime.truncate", 1, 3},
    BuiltinFunction{"log", 1, 1},
    BuiltinFunction{"log10", 1, 1},
    BuiltinFunction{"lower", 1, 1},
    BuiltinFunction{"ltrim", 1, 2},
    BuiltinFunction{"max", 1, 1},
    BuiltinFunction{"min", 1, 1},
    BuiltinFunction{"nodes", 1, 1},
    syntax("none"),
    BuiltinFunction{"normalize", 1, 2},
    BuiltinFunction{"nullIf", 2, 2},
    BuiltinFunction{"percentileCont", 2, 2},
    BuiltinFunction{"percentileDisc", 2, 2},
    BuiltinFunction{"pi", 0, 0},
    BuiltinFunction{"point", 1, 1},
    BuiltinFunction{"point.distance", 2, 2},
    BuiltinFunction{"point.withinBBox", 3, 3},
    BuiltinFunction{"properties", 1, 1},
    BuiltinFunction{"radians", 1, 1},
    BuiltinFunction{"rand", 0, 0},
    BuiltinFunction{"randomUUID", 0, 0},
    BuiltinFunction{"range", 2, 3},
    syntax("reduce"),
    BuiltinFunction{"relationships", 1, 1},
    BuiltinFunction{"replace", 3, 3},
    BuiltinFunction{"reverse", 1, 1},
    BuiltinFunction{"right", 2, 2},
    BuiltinFunction{"round", 1, 3},
    BuiltinFunction{"rtrim", 1, 2},
    syntax("shortestPath"),
    BuiltinFunction{"sign", 1, 1},
    BuiltinFunction{"sin", 1, 1},
    syntax("single"),
    BuiltinFunction{"size", 1, 1},
    BuiltinFunction{"split", 2, 2},
    BuiltinFunction{"sqrt", 1, 1},
    BuiltinFunction{"startNode", 1, 1},
    BuiltinFunction{"stDev", 1, 1},
    BuiltinFunction{"stDevP", 1, 1},
    BuiltinFunction{"substring", 2, 3},
    BuiltinFunction{"sum", 1, 1},
    BuiltinFunction{"tail", 1, 1},
    BuiltinFunction{"tan", 1, 1},
    BuiltinFunction{"time", 0, 1},
    BuiltinFunction{"time.realtime", 0, 1},
    BuiltinFunction{"time.statement", 0, 1},
    BuiltinFunction{"time.transaction", 0, 1},
    BuiltinFunction{"time.truncate", 1, 3},
    BuiltinFunction{"timestamp", 0, 0},
    BuiltinFunction{"toBoolean", 1, 1},
    BuiltinFunction{"toBooleanList", 1, 1},
    BuiltinFunction{"toBooleanOrNull", 1, 1},
    BuiltinFunction{"toFloat", 1, 1},
    BuiltinFunction{"toFloatList", 1, 1},
    BuiltinFunction{"toFloatOrNull", 1, 1},
    BuiltinFunction{"toInteger", 1, 1},
    BuiltinFunction{"toIntegerList", 1, 1},
    BuiltinFunction{"toIntegerOrNull", 1, 1},
    BuiltinFunction{"toLower", 1, 1},
    BuiltinFunction{"toString", 1, 1},
    BuiltinFunction{"toStringList", 1, 1},
    BuiltinFunction{"toStringOrNull", 1, 1},
    BuiltinFunction{"toUpper", 1, 1},
    BuiltinFunction{"trim", 1, 1},
    BuiltinFunction{"type", 1, 1},
    BuiltinFunction{"upper", 1, 1},
    BuiltinFunction{"valueType", 1, 1},
    BuiltinFunction{"vector", 3, 3},
    BuiltinFunction{"vector.similarity.cosine", 2, 2},
    BuiltinFunction{"vector.similarity.euclidean", 2, 2},
    BuiltinFunction{"vector_dimension_count", 1, 1},
    BuiltinFunction{"vector_distance", 3, 3},
    BuiltinFunction{"vector_norm", 2, 2},
};

static_assert(std::is_sorted(kFunctions.begin(), kFunctions.end(),
                             [](const BuiltinFunction& a, const BuiltinFunction& b) {
                               return function_name_less(a.name, b.name);
                             }),
              "the function table must stay sorted by lower-cased name");

// Names earlier databases gave a function that now goes by another: the
// replacement is a better suggestion than whatever is spelt closest (toInt
// is one letter from point).
struct RenamedFunction {
  std::string_view old_name;
  std::string_view new_name;
};
constexpr std::array<RenamedFunction, 3> kRenamed = {{
    {"rels", "relationships"},
    {"str", "toString"},
    {"toInt", "toInteger"},
}};

bool is_namespaced(std::string_view name) {
  return name.find('.') != std::string_view::npos;
}

// "no arguments", "1 argument", "2 or 3 arguments", "at least 1 argument".
std::string accepted_counts(const BuiltinFunction& function) {
  const auto arguments = [](size_t count) {
    return std::to_string(count) + (count == 1 ? " argument" : " arguments");
  };
  const size_t min = function.min_args;
  const size_t max = function.max_args;
  if (max == kAnyArgumentCount) return "at least " + arguments(min);
  if (min == max) return max == 0 ? std::string("no arguments") : arguments(max);
  if (min == 0) return "at most " + arguments(max);
  if (min + 1 == max) return std::to_string(min) + " or " + arguments(max);
  return std::to_string(min) + " to " + arguments(max);
}

std::string unknown_function_message(std::string_view name, std::string& suggested) {
  std::string message = "Unknown function " + quoted(name);
  for (const RenamedFunction& renamed : kRenamed) {
    if (same_function_name(name, renamed.old_name)) {
      suggested = renamed.new_name;
      return message + ", did you mean " + quoted(renamed.new_name) + "?";
    }
  }
  // Only names a call can be written with are offered: no namespaced ones,
  // and no syntax that merely looks like a call. A name cut short or run on
  // (`siz`, `countt`) most likely meant the built-in it is a prefix of, or
  // that is a prefix of it, so those are offered first and win a tie; a
  // shared first letter or two says too little to count.
  const auto callable = [](const BuiltinFunction& function) {
    return function.arity_checked && !is_namespaced(function.name);
  };
  const auto prefix_related = [&](std::string_view candidate) {
    const size_t common = std::min(candidate.size(), name.size());
    return common >= 3 && same_function_name(candidate.substr(0, common), name.substr(0, common));
  };
  ClosestMatcher matcher(name);
  for (const bool first_pass : {true, false}) {
    for (const BuiltinFunction& function : kFunctions) {
      if (callable(function) && prefix_related(function.name) == first_pass) {
        matcher.offer(function.name);
      }
    }
  }
  if (const std::optional<std::string_view> suggestion = matcher.best()) {
    suggested = *suggestion;
    message += ", did you mean " + quoted(*suggestion) + "?";
  }
  return message;
}

}  // namespace

std::span<const BuiltinFunction> builtin_functions() {
  return kFunctions;
}

const BuiltinFunction* find_builtin_function(std::string_view name) {
  static_assert(starts_in_ascii(kFunctions), "first_letters() needs ASCII first letters");
  static constexpr FirstLetters kFirstLetters = first_letters(kFunctions);
  return find_by_first_letter(kFunctions, kFirstLetters, name);
}

namespace {

// `exists(n.prop)`, which Cypher no longer reads: `(n.prop IS NOT NULL)`,
// written with the brackets so that it fits wherever the call stood.
bool report_removed_exists(const Expr& expr, const Expr::FunctionCall& call, Findings& findings) {
  if (!same_function_name(call.name, "exists") || call.args.size() != 1 ||
      call.args[0].as<Expr::Property>() == nullptr) {
    return false;
  }
  const Expr& property = call.args[0];
  const std::string text = expression_text(property);
  Diagnostic& d = findings.error(
      Code::RemovedSyntax, expr.span,
      "exists(" + text + ") was removed; the current form is " + text + " IS NOT NULL");
  if (!expr.span.empty() && !property.span.empty()) {
    d.edits.push_back(Edit{Span{expr.span.begin, property.span.begin}, "("});
    d.edits.push_back(Edit{Span{property.span.end, expr.span.end}, " IS NOT NULL)"});
  }
  return true;
}

}  // namespace

void check_function_call(const Expr& expr, const Expr::FunctionCall& call, Findings& findings) {
  if (report_removed_exists(expr, call, findings)) return;
  const Span name = name_span(call, expr.span);
  const BuiltinFunction* function = find_builtin_function(call.name);
  if (function == nullptr) {
    // A namespace may belong to a plugin or a user's library, which the
    // catalogue cannot know.
    if (is_namespaced(call.name)) return;
    std::string suggested;
    std::string message = unknown_function_message(call.name, suggested);
    Diagnostic& d = findings.error(Code::UnknownFunction, name, std::move(message));
    if (!suggested.empty() && !expr.span.empty()) {
      d.edits.push_back(Edit{name, suggested});
    }
    d.suggestion = std::move(suggested);
    return;
  }
  const size_t given = call.args.size();
  if (!function->arity_checked || (given >= function->min_args && given <= function->max_args)) {
    return;
  }
  findings.error(Code::WrongArgumentCount, expr.span,
                 "Function " + quoted(function->name) + " takes " + accepted_counts(*function) +
                     ", but " + std::to_string(given) +
                     (given == 1 ? " was given" : " were given"));
}

}  // namespace quorvane
