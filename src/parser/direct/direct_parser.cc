#include "parser/direct/direct_parser.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "parser/direct/direct_reader.h"

namespace quorvane {

namespace {

// At least the number of UNION clauses in `text`: the words UNION (any
// letter case) that stand alone. Words inside strings count too, so the
// figure is capped by the number of branches the text has room for (the
// shortest is " UNION WITH*").
size_t union_room(std::string_view text) {
  size_t count = 0;
  for (size_t i = 0; i + 5 <= text.size(); ++i) {
    if ((text[i] | 0x20) == 'u' && starts_with_keyword(text, i, "UNION") &&
        (i == 0 || !is_word_char(static_cast<unsigned char>(text[i - 1]))) &&
        (i + 5 == text.size() || !is_word_char(static_cast<unsigned char>(text[i + 5])))) {
      ++count;
    }
  }
  return std::min(count, text.size() / 11);
}

}  // namespace

bool parse_directly(std::string_view text, Language language, RegularQuery& out,
                    DirectLimit* limit) {
  // The matcher refuses texts whose offsets would not fit its 32 bits.
  if (text.size() >= std::numeric_limits<uint32_t>::max()) return false;
  // The nodes of a long query take about nine times its text, not counting
  // a long UNION chain's list of branches and the copy of the text, which
  // have blocks of their own: room for that at once, and for the tree of a
  // usual query in the first block. A tree that needs more goes on in
  // blocks of at most a megabyte.
  Arena* arena = out.arena.get(std::max<size_t>(4096, 9 * text.size()));
  // The tree's names are views into the text: the root keeps its own copy,
  // with the zero byte after it that the reader's look at the next
  // character relies on.
  DirectReader reader(arena->copy_terminated(text), language, arena);
  if (reader.read(out)) return true;
  if (limit) *limit = reader.limit();
  return false;
}

bool DirectReader::read(RegularQuery& out) {
  skip();
  if (!read_single_query(out.first())) return false;
  while (keyword("UNION")) {
    TreeList<UnionPart>& unions = out.unions();
    // Room for every branch at once: a long chain would otherwise grow
    // through copies and leave up to half its storage unused.
    if (unions.empty()) unions.reserve_in(arena_, 1 + union_room(text_.substr(pos_)));
    UnionPart& branch = add(unions);
    branch.all = keyword("ALL");
    if (!read_single_query(branch.query)) return false;
  }
  accept(';');
  if (pos_ != text_.size()) return false;
  // Every node and list is in the arena, every name a view of its text.
  out.free_at_once();
  return true;
}

bool DirectReader::read_name(NameKind kind, std::string_view& name) {
  if (peek() == '`') {
    const size_t close = text_.find('`', pos_ + 1);
    if (close == std::string_view::npos) return false;
    name = text_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    skip();
    return true;
  }
  const size_t length = plain_name_length();
  if (length == 0) return false;
  if (kind == NameKind::kVariable && length >= kShortestKeyword && length <= kLongestKeyword) {
    const int k = keyword_of_word(text_.substr(pos_, length));
    if (extended_ ? extended_reserved(k) : (k >= 0 && !is_variable_word(k))) return false;
  }
  name = text_.substr(pos_, length);
  pos_ += length;
  skip();
  return true;
}

}  // namespace quorvane
