// Full Unicode lower-casing of UTF-8 text, matching CPython's str.lower.
//
// Suggestions compare names without regard to case, and the names come from
// Python strings, so "without regard to case" means what str.lower means:
// one character may become several (U+0130 becomes "i" and a combining dot),
// and a capital sigma becomes a final sigma at the end of a word.
#ifndef QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_H_
#define QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorvane {

// True when every byte is below 0x80. Reads eight bytes at a time: callers
// run it on every suggestion candidate.
inline bool is_ascii(std::string_view text) {
  const char* p = text.data();
  size_t left = text.size();
  uint64_t bits = 0;
  for (; left >= 8; p += 8, left -= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    bits |= word;
  }
  for (; left > 0; ++p, --left) bits |= static_cast<unsigned char>(*p);
  return (bits & 0x8080808080808080ull) == 0;
}

// Lower-cases ASCII letters in place; other bytes are left alone.
inline void lower_ascii_in_place(std::string& text, size_t from = 0) {
  for (size_t i = from; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool upper = static_cast<unsigned char>(c - 'A') < 26;
    text[i] = static_cast<char>(c | (upper << 5));  // 'a' - 'A' is bit 5
  }
}

// Appends the lower-case form of `text` to `out`. Bytes that are not part of
// well-formed UTF-8 are copied unchanged and count as uncased characters.
void append_lower(std::string_view text, std::string& out);

inline std::string to_lower(std::string_view text) {
  std::string out;
  append_lower(text, out);
  return out;
}

// The lower-case mapping of one code point when it is a single code point
// (the code point itself when it has none); context-free, so a capital sigma
// gives the ordinary small sigma here.
uint32_t lower_code_point(uint32_t code_point);

}  // namespace quorvane

#endif  // QUORVANE_VALIDATOR_SEMANTIC_UNICODE_LOWER_H_
