#include "validator/semantic/unicode_lower.h"

#include <algorithm>
#include <span>
#include <vector>

#include "validator/semantic/unicode_lower_table.h"

namespace quorvane {

namespace {

using unicode_lower::CaseClass;
using unicode_lower::CaseClassRun;
using unicode_lower::LowerExpansion;
using unicode_lower::LowerRun;

constexpr uint32_t kCapitalSigma = 0x3A3;
constexpr uint32_t kSmallSigma = 0x3C3;
constexpr uint32_t kFinalSigma = 0x3C2;
// A byte that does not decode is carried as kRawByte + its value: above every
// code point, so no table ever matches it.
constexpr uint32_t kRawByte = 0x110000;

// Finds the run whose range starts at or before `cp`, if `cp` is inside it.
template <class Run>
const Run* find_run(std::span<const Run> runs, uint32_t cp) {
  auto it = std::upper_bound(runs.begin(), runs.end(), cp,
                             [](uint32_t value, const Run& run) { return value < run.first; });
  if (it == runs.begin()) return nullptr;
  const Run& run = *(it - 1);
  return cp <= run.last ? &run : nullptr;
}

CaseClass case_class(uint32_t cp) {
  const CaseClassRun* run = find_run(unicode_lower::case_class_runs(), cp);
  return run ? run->cls : CaseClass::kOther;
}

const char* expansion_of(uint32_t cp) {
  for (const LowerExpansion& e : unicode_lower::lower_expansions()) {
    if (e.code_point == cp) return e.utf8;
  }
  return nullptr;
}

uint32_t continuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80 ? byte & 0x3F : 0x100;
}

// Decodes the code point at `pos` with strict UTF-8 rules (no overlong forms,
// no surrogates, nothing above U+10FFFF). Sets `length` to the bytes used;
// a byte that starts no well-formed sequence decodes alone as a raw byte.
uint32_t decode(std::string_view text, size_t pos, size_t& length) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const size_t left = text.size() - pos;
  length = 1;
  const unsigned char b0 = s[0];
  if (b0 < 0x80) return b0;
  size_t need;
  uint32_t cp;
  uint32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    need = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return kRawByte + b0;
  }
  if (left < need) return kRawByte + b0;
  for (size_t i = 1; i < need; ++i) {
    const uint32_t bits = continuation(s[i]);
    if (bits > 0x3F) return kRawByte + b0;
    cp = (cp << 6) | bits;
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kRawByte + b0;
  length = need;
  return cp;
}

void append_utf8(uint32_t cp, std::string& out) {
  if (cp >= kRawByte) {
    out.push_back(static_cast<char>(cp - kRawByte));
  } else if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// CPython's rule: a capital sigma is final when a cased character precedes it
// and no cased character follows it, skipping case-ignorable characters on
// both sides.
bool is_final_sigma(const std::vector<uint32_t>& cps, size_t i) {
  size_t j = i;
  CaseClass before = CaseClass::kOther;
  while (j > 0) {
    before = case_class(cps[--j]);
    if (before != CaseClass::kIgnorable) break;
  }
  if (before != CaseClass::kCased) return false;
  for (size_t k = i + 1; k < cps.size(); ++k) {
    const CaseClass after = case_class(cps[k]);
    if (after != CaseClass::kIgnorable) return after != CaseClass::kCased;
  }
  return true;
}

void append_lower_unicode(std::string_view text, std::string& out) {
  std::vector<uint32_t> cps;
  cps.reserve(text.size());
  for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
    cps.push_back(decode(text, pos, length));
  }
  for (size_t i = 0; i < cps.size(); ++i) {
    const uint32_t cp = cps[i];
    if (cp == kCapitalSigma) {
      append_utf8(is_final_sigma(cps, i) ? kFinalSigma : kSmallSigma, out);
    } else if (const char* expansion = expansion_of(cp)) {
      out += expansion;
    } else {
      append_utf8(lower_code_point(cp), out);
    }
  }
}

}  // namespace

uint32_t lower_code_point(uint32_t code_point) {
  if (code_point < 0x80) {
    return code_point >= 'A' && code_point <= 'Z' ? code_point + 32 : code_point;
  }
  const LowerRun* run = find_run(unicode_lower::lower_runs(), code_point);
  if (run == nullptr || (code_point - run->first) % run->stride != 0) return code_point;
  return static_cast<uint32_t>(static_cast<int64_t>(code_point) + run->delta);
}

void append_lower(std::string_view text, std::string& out) {
  if (!is_ascii(text)) {
    append_lower_unicode(text, out);
    return;
  }
  const size_t start = out.size();
  out.append(text);
  lower_ascii_in_place(out, start);
}

}  // namespace quorvane
