#include "generator/random_source.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
namespace quorvane {

namespace {

uint64_t splitmix64_at(uint64_t seed, uint64_t k) {
  uint64_t z = seed + k * 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// Reads exactly `len` bytes from an open descriptor, riding out interrupted
// and short reads. Returns 0 or an errno value.
int read_fully(int fd, unsigned char* buf, size_t len) {
  while (len > 0) {
    const ssize_t got = read(fd, buf, len);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return EIO;
    buf += got;
    len -= static_cast<size_t>(got);
  }
  return 0;
}

// Kernels without getrandom: wait until the entropy pool is initialised
// (/dev/random becomes readable), so /dev/urandom does not hand out
// predictable bytes early in boot.
int read_urandom(unsigned char* buf, size_t len) {
  const int random_fd = open("/dev/random", O_RDONLY | O_CLOEXEC);
  if (random_fd < 0) return errno;
  pollfd pfd{random_fd, POLLIN, 0};
  int err = 0;
  while (poll(&pfd, 1, -1) < 0) {
    if (errno != EINTR) {
      err = errno;
      break;
    }
  }
  close(random_fd);
  if (err != 0) return err;

  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  err = read_fully(fd, buf, len);
  close(fd);
  return err;
}

int read_os_entropy(unsigned char* buf, size_t len) {
#ifdef SYS_getrandom
  while (len > 0) {
    const long got = syscall(SYS_getrandom, buf, len, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == ENOSYS) return read_urandom(buf, len);
      return errno;
    }
    buf += got;
    len -= static_cast<size_t>(got);
  }
  return 0;
#else
  return read_urandom(buf, len);
#endif
}

}  // namespace

RandomSource RandomSource::from_seed(uint64_t seed) {
  return RandomSource(State{splitmix64_at(seed, 1), splitmix64_at(seed, 2), splitmix64_at(seed, 3),
                            splitmix64_at(seed, 4)});
}

RandomSource RandomSource::from_entropy_bytes(const std::array<unsigned char, kSeedBytes>& bytes) {
  State state{};
  bool all_zero = true;
  for (size_t word = 0; word < state.size(); ++word) {
    uint64_t value = 0;
    for (size_t byte = 0; byte < 8; ++byte) {
      value |= uint64_t{bytes[word * 8 + byte]} << (8 * byte);
    }
    state[word] = value;
    all_zero = all_zero && value == 0;
  }
  return all_zero ? from_seed(0) : RandomSource(state);
}

CypherError RandomSource::entropy_failure(int err) {
  return CypherError::generator("from_os_rng failed: " +
                                std::error_code(err, std::system_category()).message());
}

Result<RandomSource> RandomSource::from_os_rng() {
  std::array<unsigned char, kSeedBytes> bytes{};
  const int err = read_os_entropy(bytes.data(), bytes.size());
  if (err != 0) return entropy_failure(err);
  return from_entropy_bytes(bytes);
}

}  // namespace quorvane
