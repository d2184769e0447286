// Inputs that must neither crash nor hang the parser.
#include <gtest/gtest.h>

#include <thread>

#include "parse_test_util.h"

namespace quorvane {
namespace {

using testing::last_line;

std::string repeat(std::string_view s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(Limits, DeepNestingIsASyntaxErrorNotACrash) {
  for (const char* open : {"(", "[", "{a:"}) {
    std::string query = "RETURN " + repeat(open, 1000000);
    auto result = parse(query);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(last_line(result.error().message), "  = query nested too deeply (limit 250)") << open;
  }
}

TEST(Limits, TwoHundredLevelsStillParse) {
  EXPECT_TRUE(parse("RETURN " + repeat("(", 200) + "1" + repeat(")", 200)).ok());
  EXPECT_TRUE(parse("RETURN " + repeat("[", 200) + "1" + repeat("]", 200)).ok());
  EXPECT_TRUE(parse("RETURN " + repeat("{a: ", 200) + "1" + repeat("}", 200)).ok());
  EXPECT_TRUE(
      parse("RETURN " + repeat("CASE WHEN true THEN ", 200) + "1" + repeat(" END", 200)).ok());
}

// The parser stops nesting exactly where the matcher does, so no text is
// refused by one and not the other, at any bracket.
TEST(Limits, NestingStopsAtTheMatchersLevel) {
  struct Bracket {
    const char* open;
    const char* inner;
    const char* close;
  };
  const Bracket brackets[] = {{"(", "1", ")"},
                              {"[", "1", "]"},
                              {"{a: ", "1", "}"},
                              {"f(", "1", ")"},
                              {"CASE WHEN true THEN ", "1", " END"},
                              {"[x IN ", "l", " | x]"},
                              {"l[", "0", "]"}};
  for (const Bracket& b : brackets) {
    for (size_t levels : {248, 249, 250}) {
      const std::string text =
          "RETURN " + repeat(b.open, levels) + b.inner + repeat(b.close, levels);
      for (Language language : {Language::Subset, Language::Extended}) {
        const auto result = parse(text, language);
        EXPECT_EQ(result.ok(), levels < 250) << b.open << " x" << levels;
        EXPECT_EQ(check_with_matcher(text, language).ok(), levels < 250)
            << b.open << " x" << levels;
        if (!result.ok()) {
          EXPECT_EQ(result.error().summary, "query nested too deeply (limit 250)");
        }
      }
    }
  }
}

// A chain of operators of any kind is as deep as its links, whatever stands
// between them.
TEST(Limits, ChainsOfEveryKindStopAtTheSameLength) {
  for (const char* link : {" + 1", ".b", "[0]", "[1..2]", " AND true", " = 1", " IS NULL"}) {
    for (size_t links : {990, 1000}) {
      const auto result = parse("RETURN a" + repeat(link, links));
      EXPECT_EQ(result.ok(), links < 1000) << link << " x" << links;
    }
  }
}

TEST(Limits, LongFlatChainsAreBoundedByTreeDepth) {
  for (const char* link : {" + 1", ".b", "[0]"}) {
    auto result = parse("RETURN a" + repeat(link, 300000));
    ASSERT_FALSE(result.ok()) << link;
    EXPECT_EQ(last_line(result.error().message),
              "  = query nested too deeply (tree depth limit 1000)");
  }
  auto nots = parse("RETURN " + repeat("NOT ", 300000) + "true");
  ASSERT_FALSE(nots.ok());
  EXPECT_EQ(last_line(nots.error().message), "  = query nested too deeply (tree depth limit 1000)");
  // Below the limit, chains build normally.
  EXPECT_TRUE(parse("RETURN a" + repeat(" + 1", 900)).ok());
}

// Instrumented frames are larger. GCC says so with __SANITIZE_*__, clang
// with __has_feature.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_INSTRUMENTED_STACK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV_INSTRUMENTED_STACK 1
#endif
#endif

#ifdef QV_INSTRUMENTED_STACK
#define QV_SMALL_STACK_TEST DISABLED_MaximalNestingParsesOnASmallStack
#else
#define QV_SMALL_STACK_TEST MaximalNestingParsesOnASmallStack
#endif

TEST(Limits, QV_SMALL_STACK_TEST) {
  // The deepest accepted input, and the deepest tree, on a thread with 1 MiB
  // of stack.
  std::string query = "RETURN " + repeat("[", 248) + "1" + repeat("]", 248) + ", a" +
                      repeat(".b", 990) + ", " + repeat("[", 248) + repeat("1 + ", 700) + "1" +
                      repeat("]", 248);
  bool ok = false;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 1 << 20);
  pthread_t thread;
  struct Job {
    std::string* query;
    bool* ok;
  } job{&query, &ok};
  // The tree is built, copied and released on the small stack.
  ASSERT_EQ(pthread_create(
                &thread, &attr,
                [](void* p) -> void* {
                  auto* j = static_cast<Job*>(p);
                  auto result = parse(*j->query);
                  *j->ok = result.ok();
                  if (result.ok()) {
                    CypherQuery copy = result.value();
                    (void)copy;
                  }
                  return nullptr;
                },
                &job),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_TRUE(ok);
}

// Comprehensions, slices and (extended) parenthesised maps make the matcher
// read the same text once per alternative; remembered, they parse at any
// depth below the limit, in both languages.
TEST(Limits, BracketedRetriesParseUpToTheLimit) {
  auto comprehension = [](int levels) {
    std::string text = "x";
    for (int i = 0; i < levels; ++i) text = "[x IN " + text + " WHERE x > 0 | x]";
    return text;
  };
  auto slices = [](int levels) {
    std::string text = "1";
    for (int i = 0; i < levels; ++i) text = "x[" + text + "..]";
    return text;
  };
  for (Language language : {Language::Subset, Language::Extended}) {
    for (int levels : {15, 100, 248}) {
      for (const std::string& q : {comprehension(levels), slices(levels)}) {
        auto result = parse("RETURN " + q, language);
        EXPECT_TRUE(result.ok()) << levels << " " << q.substr(0, 20);
      }
    }
    for (const std::string& q : {comprehension(250), slices(250)}) {
      auto result = parse("RETURN " + q, language);
      ASSERT_FALSE(result.ok());
      EXPECT_EQ(last_line(result.error().message), "  = query nested too deeply (limit 250)");
    }
  }
  // The deepest slice holds its range, the outer ones wrap it.
  auto deep = parse("RETURN " + slices(248));
  ASSERT_TRUE(deep.ok());
  const auto& items = std::get<SinglePartQuery>(std::get<RegularQuery>(deep.value()).first())
                          .return_clause->items.items;
  ASSERT_EQ(items.size(), 1u);
  const Expr* e = &items[0].expr;
  int levels = 0;
  while (const auto* slice = e->as<Expr::Slice>()) {
    ASSERT_TRUE(slice->from.has_value());
    EXPECT_FALSE(slice->to.has_value());
    e = slice->from->get();
    ++levels;
  }
  EXPECT_EQ(levels, 248);
  ASSERT_NE(e->as<Expr::Integer>(), nullptr);
  EXPECT_EQ(e->as<Expr::Integer>()->value, 1);
}

}  // namespace
}  // namespace quorvane
