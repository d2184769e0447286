#include "parser/direct/direct_parser.h"

namespace quorvane {

bool parse_directly(std::string_view, Language, RegularQuery&) {
  return false;
}

}  // namespace quorvane
