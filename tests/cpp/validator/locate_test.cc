// locate() against a plain count from the start of the text for every
// offset: characters of several bytes, line feeds, offsets past the end, and
// more offsets than fit on the stack.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "validator/diagnostic.h"

namespace quorvane {
namespace {

Place counted(std::string_view text, uint32_t offset) {
  Place at;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;
    ++at.index;
    if (byte == '\n') {
      ++at.line;
      at.column = 1;
    } else {
      ++at.column;
    }
  }
  return at;
}

void expect_counted(std::string_view text, const std::vector<Diagnostic>& located) {
  for (const Diagnostic& d : located) {
    EXPECT_EQ(d.from, counted(text, d.span.begin)) << d.span.begin;
    EXPECT_EQ(d.to, counted(text, d.span.end)) << d.span.end;
    for (const Edit& e : d.edits) {
      EXPECT_EQ(e.from, counted(text, e.span.begin).index) << e.span.begin;
      EXPECT_EQ(e.to, counted(text, e.span.end).index) << e.span.end;
    }
  }
}

// "é" and "名" take two and three bytes.
constexpr std::string_view kText =
    "MATCH (p:Person)\nWHERE p.name = 'Zoé'\n  RETURN p.名, p.age\n\nLIMIT 3";

TEST(LocateTest, EveryOffsetIsCountedInCharactersAndLines) {
  std::vector<Diagnostic> diagnostics;
  for (uint32_t begin = 0; begin + 3 <= kText.size(); begin += 5) {
    Diagnostic& d = diagnostics.emplace_back();
    d.span = Span{begin, begin + 3};
    d.edits.push_back(Edit{Span{begin + 1, begin + 2}, "x"});
  }
  ASSERT_GT(diagnostics.size() * 4, 32u) << "the offsets must outgrow the stack";
  locate(kText, diagnostics);
  expect_counted(kText, diagnostics);
}

TEST(LocateTest, AFewFindingsInPlainAndWideText) {
  std::vector<Diagnostic> diagnostics(3);
  diagnostics[0].span = Span{0, 5};                                     // plain, first line
  diagnostics[1].span = Span{34, 37};                                   // after 'é', second line
  diagnostics[2].span = Span{48, static_cast<uint32_t>(kText.size())};  // "p.名" to the end
  locate(kText, diagnostics);
  expect_counted(kText, diagnostics);
  EXPECT_EQ(diagnostics[1].from.line, 2u);
  EXPECT_EQ(diagnostics[2].to.line, 5u);
}

TEST(LocateTest, OffsetsPastTheEndLieAtTheEnd) {
  std::vector<Diagnostic> diagnostics(1);
  diagnostics[0].span = Span{3, 500};
  locate("ab\ncé", diagnostics);
  EXPECT_EQ(diagnostics[0].to, counted("ab\ncé", 6));
  EXPECT_EQ(diagnostics[0].to.index, 5u);
  EXPECT_EQ(diagnostics[0].to.line, 2u);
  EXPECT_EQ(diagnostics[0].to.column, 3u);
}

}  // namespace
}  // namespace quorvane
