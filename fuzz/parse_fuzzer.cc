// Parses arbitrary text in both languages. A failure must be a well-formed
// six-line syntax error pointing inside the text; a success must give a tree
// that copies, inspects the same way as a fresh parse, and survives
// surrounding whitespace. Whatever the subset accepts, the extended language
// accepts with the same tree. Remembering clauses and brackets changes no
// match. The parser takes what the matcher accepts, and only that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/support/glued_keyword.h"
#include "../tests/support/tree_text.h"
#include "fuzz_checks.h"
#include "inspect/query_info.h"
#include "parser/grammar.h"
#include "parser/parse.h"

using namespace quorvane;

namespace {

Result<CypherQuery> check_language(std::string_view input, Language language) {
  Result<CypherQuery> parsed = parse(input, language);
  if (!parsed.ok()) {
    QV_FUZZ_CHECK(parsed.error().kind == CypherError::Kind::Parse);
    fuzz::check_syntax_error_text(parsed.error().message, input);
    // The same text fails the same way every time.
    Result<CypherQuery> again = parse(input, language);
    QV_FUZZ_CHECK(!again.ok() && again.error().message == parsed.error().message);
    return parsed;
  }

  const QueryInfo info = inspect_tree(parsed.value(), language);
  const CypherQuery copy = parsed.value();
  QV_FUZZ_CHECK(inspect_tree(copy, language) == info);
  fuzz::check_query_info(info, parsed, input);

  // Whitespace around a whole query changes nothing. (A trailing line
  // comment without its line feed would swallow an appended space, which is
  // still whitespace, so the property holds for it as well.)
  const std::string padded = " \n" + std::string(input) + "\n ";
  Result<CypherQuery> padded_parse = parse(padded, language);
  QV_FUZZ_CHECK_MSG(padded_parse.ok(), padded_parse.ok() ? "" : padded_parse.error().message);
  QV_FUZZ_CHECK(inspect_tree(padded_parse.value(), language) == info);
  return parsed;
}

// Without remembering, text that nests brackets re-matches them at every
// level and may reach the work limit; such inputs are not compared.
void check_remembering(std::string_view input, Language language) {
  const MatchResult plain = match_cypher(input, language, false);
  if (!plain.failure.limit_note.empty()) return;
  const MatchResult full = match_cypher(input, language, true);
  QV_FUZZ_CHECK(full.ok == plain.ok);
  if (full.ok) return;
  QV_FUZZ_CHECK(full.failure.position == plain.failure.position);
  QV_FUZZ_CHECK(full.failure.expected == plain.failure.expected);
  QV_FUZZ_CHECK(full.failure.limit_note.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Result<CypherQuery> subset = check_language(input, Language::Subset);
  const Result<CypherQuery> extended = check_language(input, Language::Extended);
  check_remembering(input, Language::Subset);
  check_remembering(input, Language::Extended);
  fuzz::check_same_acceptance(input, Language::Subset);
  fuzz::check_same_acceptance(input, Language::Extended);
  // The subset reads a keyword written against the next word; the extended
  // language does not, and may read such a text otherwise or not at all.
  if (subset.ok() && !testing::has_glued_keyword(input)) {
    QV_FUZZ_CHECK_MSG(extended.ok(), extended.ok() ? "" : extended.error().message);
    const std::string extended_text = testing::tree_text(extended.value(), true);
    if (!testing::has_pattern_predicate(extended_text)) {
      QV_FUZZ_CHECK(testing::tree_text(subset.value(), true) == extended_text);
    }
  }
  return 0;
}
