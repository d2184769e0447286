// The one error value of the parser and the generator.
//
// Inside the core, fallible operations return Result<T>: either the value or a
// CypherError. Nothing is thrown; the Python boundary turns errors into
// exceptions.
#ifndef QUORVANE_ERROR_CYPHER_ERROR_H_
#define QUORVANE_ERROR_CYPHER_ERROR_H_

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace quorvane {

struct CypherError {
  enum class Kind { Parse, Semantic, Generator };

  Kind kind;
  std::string message;
  // Syntax errors: the byte at which the text goes wrong and the one-line
  // message that the rendered `message` points from.
  std::optional<size_t> position = std::nullopt;
  std::string summary = {};

  static CypherError parse(std::string message) { return {Kind::Parse, std::move(message)}; }
  static CypherError generator(std::string message) {
    return {Kind::Generator, std::move(message)};
  }

  // "Parse error: ", "Semantic error: " or "Generator error: " and the message.
  std::string display() const {
    const char* prefix = kind == Kind::Parse      ? "Parse error: "
                         : kind == Kind::Semantic ? "Semantic error: "
                                                  : "Generator error: ";
    return prefix + message;
  }
};

// Either a value or a CypherError. A minimal stand-in for std::expected.
template <class T>
class Result {
 public:
  // By reference rather than by value: a by-value parameter costs a second
  // move of what are often large tree nodes.
  Result(T&& value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(const T& value) : state_(std::in_place_index<0>, value) {}
  Result(CypherError&& error) : state_(std::in_place_index<1>, std::move(error)) {}
  Result(const CypherError& error) : state_(std::in_place_index<1>, error) {}
  // The value built in place from `args`.
  template <class... Args>
  explicit Result(std::in_place_t, Args&&... args)
      : state_(std::in_place_index<0>, std::forward<Args>(args)...) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  T& operator*() & { return std::get<0>(state_); }

  const CypherError& error() const& { return std::get<1>(state_); }
  CypherError&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, CypherError> state_;
};

}  // namespace quorvane

#endif  // QUORVANE_ERROR_CYPHER_ERROR_H_
