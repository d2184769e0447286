#include "parser/builder/tree_builder.h"
#include "parser/lexical.h"

namespace quorvane {

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

// The text after a node's last child holds only terminals of the node's own
// rule (punctuation, arrows, keywords such as END), never strings, so it can
// be stepped through a character at a time with comments skipped. So can a
// node without children, unless it is a string or a name in backticks, which
// is one token.
uint32_t end_of_text(NodeRef node) {
  const std::string_view text = node.source();
  NodeRef last;
  for (NodeRef c = node.first_child(); c.valid(); c = c.next_sibling(node)) last = c;
  uint32_t end = node.start();
  size_t pos = node.start();
  if (last.valid()) {
    end = end_of_text(last);
    pos = last.end();
  } else if (pos < node.end() && (text[pos] == '\'' || text[pos] == '"' || text[pos] == '`')) {
    end = node.end();
    while (end > node.start() && is_space(text[end - 1])) --end;
    return end;
  }
  while (pos < node.end()) {
    const size_t after = skip_ignorable(text, pos);
    if (after > pos) {
      pos = after;
      continue;
    }
    end = static_cast<uint32_t>(++pos);
  }
  return end;
}

}  // namespace quorvane
