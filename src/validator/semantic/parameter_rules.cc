#include "validator/semantic/parameter_rules.h"

#include <algorithm>
#include <vector>

#include "inspect/all_names.h"
#include "validator/semantic/closest_match.h"

namespace quorvane {

namespace {

// `$name` as it must be written: the name in backticks unless it is plain
// (a parameter's name may start with a digit: `$0`).
std::string written_parameter(std::string_view name) {
  const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  });
  // Appended piece by piece: `"$" + std::string(name)` trips a false
  // -Wrestrict of g++ 12.
  std::string out = "$";
  if (plain) return out.append(name);
  out += '`';
  for (char c : name) {
    out += c;
    if (c == '`') out += '`';
  }
  return out + "`";
}

}  // namespace

void check_parameters(const CypherQuery& query, std::span<const std::string> known,
                      Findings& findings) {
  const auto* regular = std::get_if<RegularQuery>(&query);
  if (!regular) return;
  std::vector<ParameterUse> uses;
  collect_all_names(*regular, NameLists{.parameters = &uses});
  // Parameter names are exact: `$Name` is not `$name`.
  const auto is_known = [&](std::string_view name) {
    return std::find(known.begin(), known.end(), name) != known.end();
  };
  for (const ParameterUse& use : uses) {
    if (is_known(use.name)) continue;
    ClosestMatcher closest(use.name);
    for (const std::string& candidate : known) closest.offer(candidate);
    std::string message = "Parameter " + written_parameter(use.name) + " is not set";
    const std::optional<std::string_view> best = closest.best();
    if (best) message += ", did you mean " + written_parameter(*best) + "?";
    Diagnostic& d = findings.warning(Code::UnknownParameter, use.span, std::move(message));
    if (best) {
      d.suggestion = std::string(*best);
      d.edits.push_back(Edit{use.span, written_parameter(*best)});
    }
  }
}

}  // namespace quorvane
