// How many CPUs a container's CPU quota allows this process.
//
// Linux exposes the quota through cgroups. /proc/self/cgroup names the
// process's group; with cgroup v2 each level of the hierarchy may hold a
// "cpu.max" file ("<limit> <period>" or "max <period>"), with cgroup v1 the
// cpu controller holds "cpu.cfs_quota_us" (-1 for none) and
// "cpu.cfs_period_us". The tightest level wins; the allowance is the quota
// divided by the period, rounded down.
#ifndef QUORVANE_POOL_CPU_QUOTA_H_
#define QUORVANE_POOL_CPU_QUOTA_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

enum class CgroupVersion { V1, V2 };

// The process's place in the hierarchy: the group path without its leading
// slash, and which version's controller owns CPU limits for it.
struct CgroupPlace {
  CgroupVersion version;
  std::string path;
};

// Reads /proc/self/cgroup text. A v1 line whose controllers include "cpu"
// wins over the v2 line ("0::/path"); nothing if neither is present.
std::optional<CgroupPlace> parse_proc_cgroup(std::string_view contents);

// A decimal integer without sign, surrounded by optional whitespace.
std::optional<uint64_t> parse_unsigned(std::string_view text);

// The allowance in a cgroup v2 "cpu.max" text; nothing for "max" or
// unreadable text.
std::optional<uint64_t> parse_cpu_max(std::string_view contents);

// The allowance from cgroup v1 "cpu.cfs_quota_us" and "cpu.cfs_period_us"
// texts; nothing for an unlimited (-1) or unreadable quota.
std::optional<uint64_t> parse_cfs_quota(std::string_view quota, std::string_view period);

// Walks from mount/group up to mount, taking the tightest allowance found.
// Nothing if the group directory does not exist or no level sets a limit.
std::optional<uint64_t> cgroup2_quota(const std::string& mount, const std::string& group);
std::optional<uint64_t> cgroup1_quota(const std::string& mount, const std::string& group);

// Where the kernel interfaces live; tests point these at prepared files.
struct CgroupPaths {
  std::string proc_self_cgroup = "/proc/self/cgroup";
  std::string root = "/sys/fs/cgroup";
};

// The allowance for this process: nothing when unlimited or unknown.
std::optional<uint64_t> cgroup_cpu_quota(const CgroupPaths& paths = {});

}  // namespace quorvane

#endif  // QUORVANE_POOL_CPU_QUOTA_H_
