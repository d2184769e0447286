// Inputs that must neither crash nor hang the parser.
#include <gtest/gtest.h>

#include <chrono>
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_SMALL_STACK_TEST \
  DISABLED_MaximalNestingParsesOnASmallStack  // instrumented frames are larger
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

TEST(Limits, BacktrackingStaysBounded) {
  std::string comprehension = "x";
  for (int i = 0; i < 40; ++i) comprehension = "[x IN " + comprehension + " | x]";
  std::string slices = "1";
  for (int i = 0; i < 40; ++i) slices = "x[" + slices + "..]";
  for (const std::string& q : {comprehension, slices}) {
    auto start = std::chrono::steady_clock::now();
    auto result = parse("RETURN " + q);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0);
    (void)result;
  }
}

}  // namespace
}  // namespace quorvane
