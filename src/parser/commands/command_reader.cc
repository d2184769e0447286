#include "parser/commands/command_reader.h"

#include <algorithm>

#include "parser/commands/commands.h"
#include "parser/lexical.h"
#include "parser/readable_syntax_error.h"
#include "parser/syntax_error.h"

namespace quorvane {

namespace {

char upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

}  // namespace

CypherError command_syntax_error(std::string_view text, size_t pos, std::string message) {
  pos = std::min(pos, text.size());
  CypherError error = CypherError::parse(render_syntax_error(text, pos, message));
  error.position = pos;
  error.summary = std::move(message);
  return error;
}

CommandReader::CommandReader(std::string_view text) : text_(text) {
  skip();
}

CypherError CommandReader::take_error() {
  if (!error_) return command_syntax_error(text_, pos_, "unknown parsing error");
  return std::move(*error_);
}

void CommandReader::skip() {
  pos_ = skip_ignorable(text_, pos_);
}

bool CommandReader::peek_keyword(std::string_view word) const {
  if (!starts_with_keyword(text_, pos_, word)) return false;
  const size_t end = pos_ + word.size();
  return end >= text_.size() || !is_name_char(static_cast<unsigned char>(text_[end]));
}

bool CommandReader::keyword(std::string_view word) {
  if (!peek_keyword(word)) return false;
  pos_ += word.size();
  last_end_ = pos_;
  skip();
  return true;
}

bool CommandReader::keywords(std::initializer_list<std::string_view> words) {
  const size_t start = pos_;
  const size_t end = last_end_;
  for (std::string_view word : words) {
    if (!keyword(word)) {
      pos_ = start;
      last_end_ = end;
      return false;
    }
  }
  return true;
}

std::string CommandReader::peek_word() const {
  std::string word;
  for (size_t i = pos_; i < text_.size() && is_word_char(static_cast<unsigned char>(text_[i]));
       ++i) {
    word += upper(text_[i]);
  }
  return word;
}

bool CommandReader::accept(char c) {
  if (!peek(c)) return false;
  ++pos_;
  last_end_ = pos_;
  skip();
  return true;
}

bool CommandReader::accept_text(std::string_view s) {
  if (text_.substr(pos_, s.size()) != s) return false;
  pos_ += s.size();
  last_end_ = pos_;
  skip();
  return true;
}

std::optional<CommandName> CommandReader::name(std::initializer_list<std::string_view> stop) {
  const size_t begin = pos_;
  if (peek('`')) {
    const size_t close = text_.find('`', pos_ + 1);
    if (close == std::string_view::npos || close == pos_ + 1) return std::nullopt;
    CommandName out{std::string(text_.substr(pos_ + 1, close - pos_ - 1)),
                    span_of(begin, close + 1)};
    pos_ = close + 1;
    last_end_ = pos_;
    skip();
    return out;
  }
  size_t end = pos_;
  while (end < text_.size() && is_name_char(static_cast<unsigned char>(text_[end]))) ++end;
  if (end == pos_ || (text_[pos_] >= '0' && text_[pos_] <= '9')) return std::nullopt;
  for (std::string_view word : stop) {
    if (peek_keyword(word)) return std::nullopt;
  }
  CommandName out{std::string(text_.substr(pos_, end - pos_)), span_of(begin, end)};
  pos_ = end;
  last_end_ = pos_;
  skip();
  return out;
}

std::optional<CommandName> CommandReader::dotted_name() {
  if (peek('$')) return string_or_parameter();
  const size_t begin = pos_;
  std::optional<CommandName> first = name();
  if (!first) return std::nullopt;
  // No space around the dots: `a . b` is not one name.
  while (last_end_ == pos_ && peek('.') && pos_ + 1 < text_.size() &&
         is_name_char(static_cast<unsigned char>(text_[pos_ + 1]))) {
    ++pos_;
    std::optional<CommandName> part = name();
    if (!part) break;
    first->name += '.';
    first->name += part->name;
  }
  first->span = span_of(begin, last_end_);
  return first;
}

std::optional<CommandName> CommandReader::string_or_parameter() {
  const size_t begin = pos_;
  if (peek('$')) {
    size_t end = pos_ + 1;
    while (end < text_.size() && is_name_char(static_cast<unsigned char>(text_[end]))) ++end;
    if (end == pos_ + 1) return std::nullopt;
    pos_ = end;
  } else if (peek('\'') || peek('"')) {
    const char quote = text_[pos_];
    size_t end = pos_ + 1;
    while (end < text_.size() && text_[end] != quote) end += text_[end] == '\\' ? 2 : 1;
    if (end >= text_.size()) return std::nullopt;
    pos_ = end + 1;
  } else {
    return std::nullopt;
  }
  CommandName out{std::string(text_.substr(begin, pos_ - begin)), span_of(begin, pos_)};
  last_end_ = pos_;
  skip();
  return out;
}

std::optional<int64_t> CommandReader::integer() {
  size_t end = pos_;
  int64_t value = 0;
  while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') {
    if (value > (INT64_MAX - 9) / 10) return std::nullopt;
    value = value * 10 + (text_[end] - '0');
    ++end;
  }
  if (end == pos_ || (end < text_.size() && is_name_char(static_cast<unsigned char>(text_[end])))) {
    return std::nullopt;
  }
  pos_ = end;
  last_end_ = pos_;
  skip();
  return value;
}

bool CommandReader::any_token() {
  if (at_end()) return false;
  if (peek('`') && name()) return true;
  if ((peek('$') || peek('\'') || peek('"')) && string_or_parameter()) return true;
  size_t end = pos_;
  while (end < text_.size() && is_name_char(static_cast<unsigned char>(text_[end]))) ++end;
  move_past(end == pos_ ? pos_ + 1 : end);
  return true;
}

bool CommandReader::at_statement_end() {
  const size_t start = pos_;
  if (accept(';') && at_end()) return true;
  pos_ = start;
  return at_end();
}

bool CommandReader::fail(std::string_view what) {
  const std::string_view token = token_at(text_, pos_);
  std::string message =
      token.empty() ? "unexpected end of input" : "unexpected '" + std::string(token) + "'";
  message += "; expected ";
  message += what;
  return fail_at(pos_, message);
}

bool CommandReader::fail_with(CypherError error) {
  if (!error_) error_ = std::move(error);
  return false;
}

bool CommandReader::fail_at(size_t pos, std::string_view message) {
  if (!error_) error_ = command_syntax_error(text_, pos, std::string(message));
  return false;
}

}  // namespace quorvane
