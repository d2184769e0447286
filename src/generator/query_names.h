// How schema names are written into generated query text.
//
// Generated queries must parse whatever the schema calls things, so a label,
// relationship type or property key goes in backticks unless it has the
// shape of a plain name. Reserved words need no quoting in these positions:
// the grammar accepts them as label, type and key names. Plain names are
// written unchanged, so ordinary schemas give the same text as an unquoted
// template would.
#ifndef QUORVANE_GENERATOR_QUERY_NAMES_H_
#define QUORVANE_GENERATOR_QUERY_NAMES_H_

#include <string>
#include <string_view>

namespace quorvane {

// An ASCII letter or underscore, then ASCII letters, digits and underscores.
bool is_plain_name(std::string_view name);

// The name as it goes into a query: itself when plain, else in backticks.
// A name containing a backtick cannot be quoted (the grammar has no escape
// for it), so it is written as it is; such a query will not parse, which is
// the honest outcome for a name no query can spell.
std::string query_name(std::string_view name);

}  // namespace quorvane

#endif  // QUORVANE_GENERATOR_QUERY_NAMES_H_
