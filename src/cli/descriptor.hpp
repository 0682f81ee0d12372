// Waiting on a descriptor that may have been left non-blocking by whoever
// handed it to us (a shell, a parent process sharing a pipe).
#pragma once

#include <poll.h>

#include <cerrno>

namespace ardovel::cli {

[[nodiscard]] inline bool would_block(int error) noexcept { return error == EAGAIN || error == EWOULDBLOCK; }

// Returns once `fd` is ready for `events`, or has an error or hang-up that the
// next read or write will then report.
inline void wait_for(int fd, short events) noexcept {
  pollfd ready{fd, events, 0};
  while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace ardovel::cli
