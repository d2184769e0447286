// Parses arbitrary text. A failure must be a well-formed six-line syntax
// error pointing inside the text; a success must give a tree that copies,
// inspects the same way as a fresh parse, and survives surrounding
// whitespace.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "inspect/query_info.h"
#include "parser/parse.h"

using namespace quorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Result<CypherQuery> parsed = parse(input);
  if (!parsed.ok()) {
    QV_FUZZ_CHECK(parsed.error().kind == CypherError::Kind::Parse);
    fuzz::check_syntax_error_text(parsed.error().message, input);
    // The same text fails the same way every time.
    Result<CypherQuery> again = parse(input);
    QV_FUZZ_CHECK(!again.ok() && again.error().message == parsed.error().message);
    return 0;
  }

  const QueryInfo info = inspect_tree(parsed.value());
  const CypherQuery copy = parsed.value();
  QV_FUZZ_CHECK(inspect_tree(copy) == info);
  fuzz::check_query_info(info, parsed, input);

  // Whitespace around a whole query changes nothing. (A trailing line
  // comment without its line feed would swallow an appended space, which is
  // still whitespace, so the property holds for it as well.)
  const std::string padded = " \n" + std::string(input) + "\n ";
  Result<CypherQuery> padded_parse = parse(padded);
  QV_FUZZ_CHECK_MSG(padded_parse.ok(), padded_parse.ok() ? "" : padded_parse.error().message);
  QV_FUZZ_CHECK(inspect_tree(padded_parse.value()) == info);
  return 0;
}
