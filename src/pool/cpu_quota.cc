#include "pool/cpu_quota.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

std::optional<std::string> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(text).str();
}

bool is_directory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

std::string join(const std::string& dir, const std::string& rest) {
  if (rest.empty()) return dir;
  return dir + "/" + rest;
}

// Strips one trailing component; the group paths we build never end in '/'.
std::string parent_of(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::optional<uint64_t> tighter(std::optional<uint64_t> a, std::optional<uint64_t> b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

bool lists_cpu_controller(std::string_view controllers) {
  while (true) {
    size_t comma = controllers.find(',');
    if (controllers.substr(0, comma) == "cpu") return true;
    if (comma == std::string_view::npos) return false;
    controllers.remove_prefix(comma + 1);
  }
}

std::string normalized_group(const std::string& group) {
  std::string out = group;
  while (!out.empty() && out.back() == '/') out.pop_back();
  while (!out.empty() && out.front() == '/') out.erase(0, 1);
  return out;
}

// Visits mount/group and each ancestor up to and including mount.
template <class F>
std::optional<uint64_t> walk_up(const std::string& mount, const std::string& group, F read_level) {
  std::optional<uint64_t> quota;
  std::string dir = join(mount, normalized_group(group));
  while (dir.size() >= mount.size()) {
    quota = tighter(quota, read_level(dir));
    if (dir.size() == mount.size()) break;
    dir = parent_of(dir);
  }
  return quota;
}

}  // namespace

std::optional<CgroupPlace> parse_proc_cgroup(std::string_view contents) {
  std::optional<CgroupPlace> found;
  while (!contents.empty()) {
    size_t newline = contents.find('\n');
    std::string_view line = contents.substr(0, newline);
    contents.remove_prefix(newline == std::string_view::npos ? contents.size() : newline + 1);

    // "<id>:<controllers>:<path>"; the path itself may contain ':'.
    size_t first = line.find(':');
    if (first == std::string_view::npos) continue;
    size_t second = line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    std::string_view controllers = line.substr(first + 1, second - first - 1);
    std::string_view path = line.substr(second + 1);

    CgroupVersion version;
    if (controllers.empty()) {
      version = CgroupVersion::V2;
    } else if (lists_cpu_controller(controllers)) {
      version = CgroupVersion::V1;
    } else {
      continue;
    }
    // A v1 cpu line names the controller explicitly, so it beats the v2 line.
    if (found && version == CgroupVersion::V2) continue;
    if (!path.empty() && path.front() == '/') path.remove_prefix(1);
    found = CgroupPlace{version, std::string(path)};
  }
  return found;
}

std::optional<uint64_t> parse_unsigned(std::string_view text) {
  text = trim(text);
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<uint64_t> parse_cpu_max(std::string_view contents) {
  std::string_view line = contents.substr(0, contents.find('\n'));
  size_t space = line.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  std::string_view limit_text = line.substr(0, space);
  std::string_view period_text = line.substr(space + 1);
  period_text = period_text.substr(0, period_text.find(' '));
  std::optional<uint64_t> limit = parse_unsigned(limit_text);
  std::optional<uint64_t> period = parse_unsigned(period_text);
  if (!limit || !period || *period == 0) return std::nullopt;
  return *limit / *period;
}

std::optional<uint64_t> parse_cfs_quota(std::string_view quota, std::string_view period) {
  std::optional<uint64_t> limit = parse_unsigned(quota);
  std::optional<uint64_t> length = parse_unsigned(period);
  if (!limit || !length || *length == 0) return std::nullopt;
  return *limit / *length;
}

std::optional<uint64_t> cgroup2_quota(const std::string& mount, const std::string& group) {
  std::string dir = join(mount, normalized_group(group));
  // Without cgroup.controllers this is not a cgroup2 hierarchy at all.
  struct stat st;
  if (::stat((dir + "/cgroup.controllers").c_str(), &st) != 0) return std::nullopt;
  return walk_up(mount, group, [](const std::string& level) -> std::optional<uint64_t> {
    std::optional<std::string> text = read_file(level + "/cpu.max");
    return text ? parse_cpu_max(*text) : std::nullopt;
  });
}

std::optional<uint64_t> cgroup1_quota(const std::string& mount, const std::string& group) {
  if (!is_directory(join(mount, normalized_group(group)))) return std::nullopt;
  return walk_up(mount, group, [](const std::string& level) -> std::optional<uint64_t> {
    std::optional<std::string> quota = read_file(level + "/cpu.cfs_quota_us");
    std::optional<std::string> period = read_file(level + "/cpu.cfs_period_us");
    return quota && period ? parse_cfs_quota(*quota, *period) : std::nullopt;
  });
}

std::optional<uint64_t> cgroup_cpu_quota(const CgroupPaths& paths) {
  std::optional<std::string> text = read_file(paths.proc_self_cgroup);
  if (!text) return std::nullopt;
  std::optional<CgroupPlace> place = parse_proc_cgroup(*text);
  if (!place) return std::nullopt;
  if (place->version == CgroupVersion::V2) return cgroup2_quota(paths.root, place->path);
  // The cgroups(7) mount points of the v1 cpu controller; the first one
  // that holds our group is the right one.
  for (const char* controller : {"/cpu", "/cpu,cpuacct"}) {
    std::string mount = paths.root + controller;
    if (is_directory(join(mount, normalized_group(place->path)))) {
      return cgroup1_quota(mount, place->path);
    }
  }
  return std::nullopt;
}

}  // namespace quorvane
