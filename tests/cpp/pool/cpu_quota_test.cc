#include "pool/cpu_quota.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace quorvane {
namespace {

TEST(ParseProcCgroup, FindsTheV2Line) {
  auto place = parse_proc_cgroup("0::/user.slice/session-1.scope\n");
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->version, CgroupVersion::V2);
  EXPECT_EQ(place->path, "user.slice/session-1.scope");
}

TEST(ParseProcCgroup, AV1CpuLineWinsOverV2InEitherOrder) {
  const char* text =
      "12:memory:/mem\n"
      "4:cpu,cpuacct:/docker/abc\n"
      "0::/unified\n";
  auto place = parse_proc_cgroup(text);
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->version, CgroupVersion::V1);
  EXPECT_EQ(place->path, "docker/abc");

  place = parse_proc_cgroup("0::/unified\n2:cpu:/k8s/pod\n");
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->version, CgroupVersion::V1);
  EXPECT_EQ(place->path, "k8s/pod");
}

TEST(ParseProcCgroup, IgnoresControllersOtherThanCpu) {
  EXPECT_FALSE(parse_proc_cgroup("2:cpuacct:/x\n3:cpuset:/y\n5:memory:/z").has_value());
  EXPECT_FALSE(parse_proc_cgroup("").has_value());
  EXPECT_FALSE(parse_proc_cgroup("garbage\n").has_value());
  auto place = parse_proc_cgroup("1:name=systemd:/\n3:cpuacct,cpu:/a:b\n");
  ASSERT_TRUE(place.has_value());
  EXPECT_EQ(place->path, "a:b");
}

TEST(ParseCpuMax, DividesLimitByPeriodRoundingDown) {
  EXPECT_EQ(parse_cpu_max("200000 100000\n"), 2u);
  EXPECT_EQ(parse_cpu_max("150000 100000"), 1u);
  EXPECT_EQ(parse_cpu_max("50000 100000"), 0u);
  EXPECT_FALSE(parse_cpu_max("max 100000\n").has_value());
  EXPECT_FALSE(parse_cpu_max("100000 0").has_value());
  EXPECT_FALSE(parse_cpu_max("100000").has_value());
  EXPECT_FALSE(parse_cpu_max("").has_value());
  EXPECT_FALSE(parse_cpu_max("-1 100000").has_value());
}

TEST(ParseCfsQuota, HandlesUnlimitedAndWhitespace) {
  EXPECT_EQ(parse_cfs_quota("400000\n", "100000\n"), 4u);
  EXPECT_EQ(parse_cfs_quota(" 250000 ", "100000"), 2u);
  EXPECT_FALSE(parse_cfs_quota("-1\n", "100000\n").has_value());
  EXPECT_FALSE(parse_cfs_quota("100000", "0").has_value());
  EXPECT_FALSE(parse_cfs_quota("", "100000").has_value());
}

// A scratch directory tree that disappears with the test.
class CgroupTree : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvane-cgroup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

  void make_dir(const std::string& rel) {
    std::string path = root_;
    size_t start = 0;
    while (start <= rel.size()) {
      size_t slash = rel.find('/', start);
      path = root_ + "/" + rel.substr(0, slash);
      mkdir(path.c_str(), 0755);
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
  }
  void write(const std::string& rel, const std::string& text) {
    std::ofstream(root_ + "/" + rel) << text;
  }

  std::string root_;
};

TEST_F(CgroupTree, V2TakesTheTightestLevel) {
  make_dir("fs/a/b");
  write("fs/a/b/cgroup.controllers", "cpu memory\n");
  write("fs/cpu.max", "max 100000\n");
  write("fs/a/cpu.max", "300000 100000\n");
  write("fs/a/b/cpu.max", "max 100000\n");
  EXPECT_EQ(cgroup2_quota(root_ + "/fs", "a/b"), 3u);
  write("fs/cpu.max", "100000 100000\n");
  EXPECT_EQ(cgroup2_quota(root_ + "/fs", "a/b"), 1u);
  EXPECT_EQ(cgroup2_quota(root_ + "/fs", "/a/b/"), 1u);
}

TEST_F(CgroupTree, V2WithoutControllersFileIsNotCgroup2) {
  make_dir("fs/a");
  write("fs/a/cpu.max", "100000 100000\n");
  EXPECT_FALSE(cgroup2_quota(root_ + "/fs", "a").has_value());
}

TEST_F(CgroupTree, V2UnlimitedEverywhereGivesNothing) {
  make_dir("fs/a");
  write("fs/a/cgroup.controllers", "cpu\n");
  write("fs/a/cpu.max", "max 100000\n");
  EXPECT_FALSE(cgroup2_quota(root_ + "/fs", "a").has_value());
}

TEST_F(CgroupTree, V1ReadsQuotaAndPeriodUpTheTree) {
  make_dir("cpu/docker/x");
  write("cpu/cpu.cfs_quota_us", "-1\n");
  write("cpu/cpu.cfs_period_us", "100000\n");
  write("cpu/docker/x/cpu.cfs_quota_us", "200000\n");
  write("cpu/docker/x/cpu.cfs_period_us", "100000\n");
  EXPECT_EQ(cgroup1_quota(root_ + "/cpu", "docker/x"), 2u);
  EXPECT_FALSE(cgroup1_quota(root_ + "/cpu", "missing").has_value());
}

TEST_F(CgroupTree, WholeLookupFollowsProcSelfCgroup) {
  make_dir("sys/cpu,cpuacct/pod");
  write("sys/cpu,cpuacct/pod/cpu.cfs_quota_us", "500000");
  write("sys/cpu,cpuacct/pod/cpu.cfs_period_us", "100000");
  write("cgroup", "3:cpu,cpuacct:/pod\n0::/\n");
  CgroupPaths paths{root_ + "/cgroup", root_ + "/sys"};
  EXPECT_EQ(cgroup_cpu_quota(paths), 5u);

  make_dir("v2/app");
  write("v2/app/cgroup.controllers", "cpu");
  write("v2/app/cpu.max", "250000 100000");
  write("cgroup2", "0::/app\n");
  EXPECT_EQ(cgroup_cpu_quota({root_ + "/cgroup2", root_ + "/v2"}), 2u);

  EXPECT_FALSE(cgroup_cpu_quota({root_ + "/no-such-file", root_ + "/v2"}).has_value());
}

}  // namespace
}  // namespace quorvane
