// Reads the golden syntax cases: one JSON object per line with the fields
// "query" (string), "valid" (bool) and "message" (string or null).
#ifndef QUORVANE_TESTS_PARSER_GOLDEN_READER_H_
#define QUORVANE_TESTS_PARSER_GOLDEN_READER_H_

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::testing {

struct GoldenCase {
  int line = 0;
  std::string query;
  bool valid = false;
  std::optional<std::string> message;
};

inline void append_utf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Parses the JSON string starting at line[pos] == '"'; advances pos.
inline std::string read_json_string(const std::string& line, size_t& pos) {
  std::string out;
  ++pos;
  while (pos < line.size() && line[pos] != '"') {
    char c = line[pos++];
    if (c != '\\') {
      out += c;
      continue;
    }
    char e = line[pos++];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u': {
        unsigned cp = std::stoul(line.substr(pos, 4), nullptr, 16);
        pos += 4;
        if (cp >= 0xD800 && cp < 0xDC00 && line.compare(pos, 2, "\\u") == 0) {
          unsigned low = std::stoul(line.substr(pos + 2, 4), nullptr, 16);
          pos += 6;
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        append_utf8(out, cp);
        break;
      }
      default:
        out += e;
    }
  }
  ++pos;
  return out;
}

inline std::vector<GoldenCase> read_golden_cases(const std::string& path) {
  std::vector<GoldenCase> cases;
  std::ifstream in(path);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty()) continue;
    GoldenCase c;
    c.line = number;
    size_t pos = line.find("\"query\"");
    pos = line.find('"', pos + 7);
    c.query = read_json_string(line, pos);
    size_t valid = line.find("\"valid\"", pos);
    c.valid = line.compare(line.find_first_not_of(": ", valid + 7), 4, "true") == 0;
    size_t message = line.find("\"message\"", valid);
    size_t value = line.find_first_not_of(": ", message + 9);
    if (line[value] == '"') c.message = read_json_string(line, value);
    cases.push_back(std::move(c));
  }
  return cases;
}

}  // namespace quorvane::testing

#endif  // QUORVANE_TESTS_PARSER_GOLDEN_READER_H_
