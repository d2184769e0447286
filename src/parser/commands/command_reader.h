// A hand-written reader over the text of one command (schema and
// administration commands of the extended language): keywords, names,
// literals and punctuation, whitespace and comments skipped between them.
//
// The reader never throws; a failure is kept as the first CypherError made,
// a six-line syntax error that quotes the offending token and says what could
// stand there. Every read that fails leaves the position where it was.
#ifndef QUORVANE_PARSER_COMMANDS_COMMAND_READER_H_
#define QUORVANE_PARSER_COMMANDS_COMMAND_READER_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "error/cypher_error.h"
#include "parser/ast.h"
#include "parser/lexical.h"

namespace quorvane {

// What a command's names and words are made of: letters, digits, '_' and
// the bytes of non-ASCII characters.
inline bool is_name_char(unsigned char c) {
  return is_word_char(c) || c >= 0x80;
}

// The length of the name-like word at `pos` of `text`, 0 if none stands
// there.
inline size_t name_length(std::string_view text, size_t pos) {
  size_t end = pos;
  while (end < text.size() && is_name_char(static_cast<unsigned char>(text[end]))) ++end;
  return end - pos;
}

class CommandReader {
 public:
  explicit CommandReader(std::string_view text);

  std::string_view text() const { return text_; }
  size_t pos() const { return pos_; }
  // The end of the last token read: where a node's span ends.
  uint32_t last_end() const { return static_cast<uint32_t>(last_end_); }
  uint32_t here() const { return static_cast<uint32_t>(pos_); }
  bool at_end() const { return pos_ >= text_.size(); }
  bool failed() const { return error_.has_value(); }
  CypherError take_error();

  // The upper-case word `upper` (letters, digits, '_'), whole; moves past it.
  bool keyword(std::string_view upper);
  // Several words in a row, all or none.
  bool keywords(std::initializer_list<std::string_view> words);
  bool peek_keyword(std::string_view upper) const;
  // The next word upper-cased without moving, or empty when none stands here.
  std::string peek_word() const;
  bool accept(char c);
  bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool accept_text(std::string_view s);

  // A plain or backticked name; a plain one is not the word of any
  // keyword in `stop`, so that `CREATE CONSTRAINT IF NOT EXISTS` names none.
  std::optional<CommandName> name(std::initializer_list<std::string_view> stop = {});
  // A name of dotted parts (`db.alias`), a backticked name or a parameter.
  std::optional<CommandName> dotted_name();
  // A quoted string or a parameter, as written.
  std::optional<CommandName> string_or_parameter();
  std::optional<int64_t> integer();
  // Past one token of any kind (a word, a quoted text, a parameter, one
  // character of punctuation); false at the end.
  bool any_token();

  // What follows a command: an optional ';', then nothing.
  bool at_statement_end();

  // Records the failure at the current token: "unexpected 'X'; expected
  // <what>" (or "unexpected end of input; ..."). Returns false so a reading
  // function can `return fail(...)`; only the first failure is kept.
  bool fail(std::string_view what);
  // The same at a given position.
  bool fail_at(size_t pos, std::string_view message);

  // Keeps `error` (from a part read by the query parser) as the failure.
  bool fail_with(CypherError error);

  // Moves to `pos` (used to read a part of the text over again).
  void reset(size_t pos) { pos_ = pos; }
  // Moves past a part the query parser read, which ended at `end`.
  void move_past(size_t end) {
    last_end_ = end;
    pos_ = end;
    skip();
  }
  void skip();

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t last_end_ = 0;
  std::optional<CypherError> error_;
};

// The byte span [begin, end) as a Span.
inline Span span_of(size_t begin, size_t end) {
  return Span{static_cast<uint32_t>(begin), static_cast<uint32_t>(end)};
}

}  // namespace quorvane

#endif  // QUORVANE_PARSER_COMMANDS_COMMAND_READER_H_
